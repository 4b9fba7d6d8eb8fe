#include "edgekernel.h"

#include <cstring>

#if defined(__GNUC__)
#define VELLARO_EDGE_VECTORS 1
#endif

#if defined(VELLARO_EDGE_VECTORS) && defined(__x86_64__) && (!defined(__clang__) || __clang_major__ >= 14)
#define VELLARO_EDGE_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define VELLARO_EDGE_CLONES
#endif

namespace {

inline int channelOf(QRgb p, int c)
{
    return int((p >> (8 * c)) & 255);
}

// One output pixel, the plain way (the row's ends and compilers without vectors).
inline QRgb filterPixel(const QRgb *above, const QRgb *row, const QRgb *below, int x, int a, int b, int shift)
{
    QRgb result = 0xff000000u;
    for (int c = 0; c < 3; ++c) {
        int sum = 0;
        for (int dx = -1; dx <= 1; ++dx)
            sum += channelOf(above[x + dx], c) + channelOf(row[x + dx], c) + channelOf(below[x + dx], c);
        const int centre = channelOf(row[x], c);
        // Truncation toward zero of a negative sum still gives 0 or less: the arithmetic
        // shift (rounding down) ends at the same 0 once limited.
        const int v = (a * centre + b * (sum - centre)) >> shift;
        result |= QRgb(v < 0 ? 0 : v > 255 ? 255 : v) << (8 * c);
    }
    return result;
}

#ifdef VELLARO_EDGE_VECTORS

typedef int I8 __attribute__((vector_size(32)));

#define EDGE_INLINE static inline __attribute__((always_inline))

EDGE_INLINE I8 load(const QRgb *p)
{
    I8 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

VELLARO_EDGE_CLONES void filterVectors(const QRgb *above, const QRgb *row, const QRgb *below, QRgb *out, int width,
                                       int a, int b, int shift)
{
    int x = 1;
    for (; x + 8 <= width - 1; x += 8) {
        const I8 taps[9] = {load(above + x - 1), load(above + x), load(above + x + 1),
                            load(row + x - 1),   load(row + x),   load(row + x + 1),
                            load(below + x - 1), load(below + x), load(below + x + 1)};
        I8 result = I8{} + int(0xff000000u);
        for (int c = 0; c < 3; ++c) {
            I8 sum = I8{};
            for (const I8 &tap : taps)
                sum += (tap >> (8 * c)) & 255;
            const I8 centre = (taps[4] >> (8 * c)) & 255;
            I8 v = (a * centre + b * (sum - centre)) >> shift;
            v = v < 0 ? I8{} : v;
            v = v > 255 ? I8{} + 255 : v;
            result |= v << (8 * c);
        }
        std::memcpy(out + x, &result, sizeof result);
    }
    for (; x < width - 1; ++x)
        out[x] = filterPixel(above, row, below, x, a, b, shift);
}

#endif

} // namespace

namespace EdgeKernel {

void filterRow(const QRgb *above, const QRgb *row, const QRgb *below, QRgb *out, int width, int centreWeight,
               int neighbourWeight, int shift)
{
#ifdef VELLARO_EDGE_VECTORS
    filterVectors(above, row, below, out, width, centreWeight, neighbourWeight, shift);
#else
    for (int x = 1; x < width - 1; ++x)
        out[x] = filterPixel(above, row, below, x, centreWeight, neighbourWeight, shift);
#endif
}

} // namespace EdgeKernel
