// The pixel loops of the Qt backend's drawing, which write straight into image memory.
#pragma once

#include <QPointF>
#include <QRect>
#include <QRgb>

namespace qtbackend {

/// x × a / 255 on each of the four 8-bit channels of x, rounded.
inline uint byteMul(uint x, uint a) {
    uint t = (x & 0xff00ff) * a;
    t = (t + ((t >> 8) & 0xff00ff) + 0x800080) >> 8;
    t &= 0xff00ff;
    x = ((x >> 8) & 0xff00ff) * a;
    x = x + ((x >> 8) & 0xff00ff) + 0x800080;
    x &= 0xff00ff00;
    return x | t;
}

/// Blends an antialiased disc of a premultiplied colour over 32-bit premultiplied pixels, inside
/// `clip` (device pixels).
void blendSmallDisc(uchar* bits, qsizetype bytesPerLine, const QRect& clip, QPointF centre, double radius,
                    QRgb color);

/// Sets `count` pixels to one value.
void fillPixels(QRgb* row, int count, QRgb value);

/// Orders the bypassing stores of fillPixels before whatever is drawn next.
void finishPixelFill();

}  // namespace qtbackend
