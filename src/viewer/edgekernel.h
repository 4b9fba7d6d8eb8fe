#pragma once

#include <QRgb>

// The edge filter's inner loop when its weights are whole multiples of a power of two:
// eight pixels at a time, in exact 32-bit integers.
namespace EdgeKernel {

// Output pixels 1 .. width - 2 of one row from the window rows above, at and below:
// each channel is (centre × (centre weight) + (sum of the 8 neighbours) × (neighbour
// weight)) >> shift, limited to 0..255, with an opaque alpha. The caller guarantees that
// |centreWeight| × 255 + |neighbourWeight| × 2040 fits in 31 bits.
void filterRow(const QRgb *above, const QRgb *row, const QRgb *below, QRgb *out, int width, int centreWeight,
               int neighbourWeight, int shift);

} // namespace EdgeKernel
