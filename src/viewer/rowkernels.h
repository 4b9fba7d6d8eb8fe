#pragma once

#include <QRgb>

// Inner loops of the edge filter and the impulse noise, eight pixels at a time where the
// compiler offers vectors (AVX2 chosen at run time on x86-64).
namespace RowKernels {

// Output pixels 1 .. width - 2 of one row from the window rows above, at and below:
// each channel is (centre × (centre weight) + (sum of the 8 neighbours) × (neighbour
// weight)) >> shift, limited to 0..255, with an opaque alpha. The caller guarantees that
// |centreWeight| × 255 + |neighbourWeight| × 2040 fits in 31 bits.
// The edge filter when its weights are whole multiples of a power of two, in exact
// 32-bit integers.
void filterEdgeRow(const QRgb *above, const QRgb *row, const QRgb *below, QRgb *out, int width, int centreWeight,
               int neighbourWeight, int shift);

// Impulse noise over `count` pixels: each of blue, green and red turns black when its
// 15-bit draw d is 1..black, full when d is 0 or at least `full`, and is kept otherwise.
// The draws come from a counter-based generator starting at `counter` (one step per
// pixel), so bands of rows can draw at once. `opaque` is ORed into every alpha.
void impulseNoiseRow(const QRgb *in, QRgb *out, int count, quint32 &counter, quint32 black, quint32 full,
                     QRgb opaque);

} // namespace RowKernels
