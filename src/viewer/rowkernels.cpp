#include "rowkernels.h"

#include <cstring>

#if defined(__GNUC__)
#define VELLARO_ROW_VECTORS 1
// Everything that takes or returns a vector is inlined into the cloned loops: a call
// would pass the vectors differently in the AVX2 and the baseline code.
#define ROW_INLINE static inline __attribute__((always_inline))
#else
#define ROW_INLINE static inline
#endif

#if defined(VELLARO_ROW_VECTORS) && defined(__x86_64__) && (!defined(__clang__) || __clang_major__ >= 14)
#define VELLARO_ROW_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define VELLARO_ROW_CLONES
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

// A 32-bit integer hash (two multiply-xorshift rounds) of a counter: the random bits.
// T is one 32-bit lane or eight of them.
template<typename T>
ROW_INLINE T mix(T x)
{
    x ^= x >> 16;
    x *= 0x7feb352du;
    x ^= x >> 15;
    x *= 0x846ca68bu;
    x ^= x >> 16;
    return x;
}

template<typename T>
ROW_INLINE T impulse(T draw, T value, quint32 black, quint32 full)
{
    const T none = value - value;
    return (draw - 1u < black) ? none : ((draw >= full) | (draw == 0u)) ? none + 255u : value;
}

// Blue and green draw from the first hash, red from a second one.
inline QRgb impulsePixel(QRgb p, quint32 n, quint32 black, quint32 full, QRgb opaque)
{
    const quint32 z = mix(n), y = mix(n ^ 0x9e3779b9u);
    const quint32 b = impulse(z & 32767u, p & 255u, black, full);
    const quint32 g = impulse((z >> 15) & 32767u, (p >> 8) & 255u, black, full);
    const quint32 r = impulse(y & 32767u, (p >> 16) & 255u, black, full);
    return (p & 0xff000000u) | opaque | (r << 16) | (g << 8) | b;
}

#ifdef VELLARO_ROW_VECTORS

typedef int I8 __attribute__((vector_size(32)));

ROW_INLINE I8 load(const QRgb *p)
{
    I8 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

VELLARO_ROW_CLONES void filterVectors(const QRgb *above, const QRgb *row, const QRgb *below, QRgb *out, int width,
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

typedef unsigned U8 __attribute__((vector_size(32)));

VELLARO_ROW_CLONES void impulseNoiseVectors(const QRgb *in, QRgb *out, int count, quint32 &counter, quint32 black,
                                            quint32 full, QRgb opaque)
{
    const U8 lanes = {0, 1, 2, 3, 4, 5, 6, 7};
    int i = 0;
    for (; i + 8 <= count; i += 8, counter += 8) {
        U8 p;
        std::memcpy(&p, in + i, sizeof p);
        const U8 n = counter + lanes;
        const U8 z = mix(n), y = mix(n ^ 0x9e3779b9u);
        const U8 b = impulse(z & 32767u, p & 255u, black, full);
        const U8 g = impulse((z >> 15) & 32767u, (p >> 8) & 255u, black, full);
        const U8 r = impulse(y & 32767u, (p >> 16) & 255u, black, full);
        const U8 result = (p & 0xff000000u) | opaque | (r << 16) | (g << 8) | b;
        std::memcpy(out + i, &result, sizeof result);
    }
    for (; i < count; ++i)
        out[i] = impulsePixel(in[i], counter++, black, full, opaque);
}

#endif

} // namespace

namespace RowKernels {

void filterEdgeRow(const QRgb *above, const QRgb *row, const QRgb *below, QRgb *out, int width, int centreWeight,
               int neighbourWeight, int shift)
{
#ifdef VELLARO_ROW_VECTORS
    filterVectors(above, row, below, out, width, centreWeight, neighbourWeight, shift);
#else
    for (int x = 1; x < width - 1; ++x)
        out[x] = filterPixel(above, row, below, x, centreWeight, neighbourWeight, shift);
#endif
}

void impulseNoiseRow(const QRgb *in, QRgb *out, int count, quint32 &counter, quint32 black, quint32 full,
                     QRgb opaque)
{
#ifdef VELLARO_ROW_VECTORS
    impulseNoiseVectors(in, out, count, counter, black, full, opaque);
#else
    for (int i = 0; i < count; ++i)
        out[i] = impulsePixel(in[i], counter++, black, full, opaque);
#endif
}

} // namespace RowKernels
