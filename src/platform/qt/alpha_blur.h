// The passes of the blur that makes a shadow's silhouette from an image's alpha.
#pragma once

#include <vector>

namespace qtbackend {

inline constexpr int kBoxPasses = 3;

/// Radii of three box filters whose succession approximates a Gaussian of `sigma`.
void boxRadiiForGaussian(double sigma, int radii[kBoxPasses]);

/// One box pass along a row of `n` values (outside counts as 0), from `in` to `out`.
void boxRow(const float* in, float* out, int n, int radius);

/// One box pass down the columns of a `width` × `height` buffer.
void boxColumns(const float* in, float* out, int width, int height, int radius, std::vector<float>& sums);

}  // namespace qtbackend
