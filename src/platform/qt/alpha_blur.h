// The blur that makes a shadow's silhouette from an image's alpha, over plain memory. Three box
// passes per axis approximate a Gaussian; wide blurs run on a downsampled copy, which the drawing
// scales back up with smooth filtering.
#pragma once

#include <cstdint>

#include "platform/qt/pixel_kernels.h"

namespace qtbackend {

/// The layout of a blurred silhouette, known before blurring: what the shadow's drawing needs to
/// know where it lands.
struct SilhouetteGeometry {
    int width = 0;   ///< low-resolution pixels, padding included
    int height = 0;
    int step = 1;     ///< source pixels per low-resolution pixel
    int padding = 0;  ///< low-resolution pixels added on each side
    int radii[3] = {0, 0, 0};  ///< of the three box passes, low-resolution pixels
};
/// The silhouette of a `sourceWidth` × `sourceHeight` image blurred by `sigma` source pixels.
SilhouetteGeometry silhouetteGeometry(int sourceWidth, int sourceHeight, double sigma);

/// Blurs the alpha of `source` (32-bit ARGB, premultiplied or not) laid out as `g` (made for the
/// source's size) into `alpha`, g.width × g.height values row after row, row 0 at the top.
void blurAlpha(const ConstPixelBuffer& source, const SilhouetteGeometry& g, uint8_t* alpha);

}  // namespace qtbackend
