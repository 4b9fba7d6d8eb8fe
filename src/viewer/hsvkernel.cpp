#include "hsvkernel.h"

#include <QColor>
#include <cstring>

// GCC and Clang vector extensions: eight lanes, compiled for AVX2 where the processor
// has it and for the baseline instruction set otherwise. Other compilers take the
// plain QColor path, which gives the same colours.
#if defined(__GNUC__)
#define VELLARO_HSV_VECTORS 1
#endif

#if defined(VELLARO_HSV_VECTORS) && defined(__x86_64__) && (!defined(__clang__) || __clang_major__ >= 14)
#define VELLARO_HSV_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define VELLARO_HSV_CLONES
#endif

namespace {

#ifdef VELLARO_HSV_VECTORS

typedef float F8 __attribute__((vector_size(32)));
typedef int I8 __attribute__((vector_size(32)));
typedef double D8 __attribute__((vector_size(64)));

#define HSV_INLINE static inline __attribute__((always_inline))

// Colour components are kept as 16-bit values (8-bit value × 257) in the toolkit; an
// 8-bit component is read back rounded: (x + 128) / 257 without a division.
HSV_INLINE I8 div257(I8 x)
{
    return (x + 128 - ((x + 128) >> 8)) >> 8;
}

// Rounding of a non-negative single-precision value: the integer part of x + 0.5.
HSV_INLINE I8 roundUp(F8 x)
{
    return __builtin_convertvector(x + 0.5f, I8);
}

HSV_INLINE F8 toFloat(I8 x)
{
    return __builtin_convertvector(x, F8);
}

struct Hsv
{
    I8 h;  // degrees, -1 for a grey
    I8 s;
    I8 v;
};

HSV_INLINE Hsv toHsv(I8 p)
{
    const F8 r = toFloat(((p >> 16) & 255) * 257) / 65535.0f;
    const F8 g = toFloat(((p >> 8) & 255) * 257) / 65535.0f;
    const F8 b = toFloat((p & 255) * 257) / 65535.0f;
    F8 max = r > g ? r : g;
    max = max > b ? max : b;
    F8 min = r < g ? r : g;
    min = min < b ? min : b;
    const F8 delta = max - min;
    const I8 grey = delta <= 0.00001f;
    const F8 one = F8{} + 1.0f;
    const F8 safeDelta = grey ? one : delta;
    const I8 s = grey ? I8{} : div257(roundUp((delta / (grey ? one : max)) * 65535.0f));
    // Hue in sixths of the circle from the largest component; one division per lane.
    const I8 redMax = r == max, greenMax = g == max;
    const F8 base = redMax ? F8{} : greenMax ? F8{} + 2.0f : F8{} + 4.0f;
    const F8 difference = redMax ? g - b : greenMax ? b - r : r - g;
    F8 hue = (base + difference / safeDelta) * 60.0f;
    hue = hue + (hue < 0.0f ? F8{} + 360.0f : F8{});
    // Hundredths of a degree, then whole degrees: n / 100 as (n * 5243) >> 19, exact
    // for every n below 43699.
    const I8 hundredths = roundUp(hue * 100.0f);
    const I8 h = grey ? I8{} - 1 : (hundredths * 5243) >> 19;
    return {h, s, div257(roundUp(max * 65535.0f))};
}

HSV_INLINE I8 fromHsv(I8 h, I8 s8, I8 v8, I8 alpha)
{
    const I8 sat = s8 * 0x101, val = v8 * 0x101;
    const I8 grey = (sat == 0) | (h < 0);
    const I8 hue = (h >= 360 ? h - 360 : h < 0 ? I8{} : h) * 100;
    const F8 sixths = toFloat(hue) / 6000.0f;
    const F8 s = toFloat(sat) / 65535.0f, v = toFloat(val) / 65535.0f;
    const I8 i = __builtin_convertvector(sixths, I8);
    const F8 f = sixths - toFloat(i);
    const F8 p = v * (1.0f - s), q = v * (1.0f - (s * f)), t = v * (1.0f - (s * (1.0f - f)));
    const F8 r = ((i == 0) | (i == 5)) ? v : i == 1 ? q : i == 4 ? t : p;
    const F8 g = ((i == 1) | (i == 2)) ? v : i == 0 ? t : i == 3 ? q : p;
    const F8 b = ((i == 3) | (i == 4)) ? v : i == 2 ? t : i == 5 ? q : p;
    const I8 red = grey ? v8 : div257(roundUp(r * 65535.0f));
    const I8 green = grey ? v8 : div257(roundUp(g * 65535.0f));
    const I8 blue = grey ? v8 : div257(roundUp(b * 65535.0f));
    return alpha | (red << 16) | (green << 8) | blue;
}

HSV_INLINE I8 load(const QRgb *pixels)
{
    I8 p;
    std::memcpy(&p, pixels, sizeof p);
    return p;
}

HSV_INLINE void store(QRgb *pixels, I8 p)
{
    std::memcpy(pixels, &p, sizeof p);
}

// Runs block(eight pixels) over the pixels; the last few go through a padded copy.
// Everything that takes or returns a vector is inlined into the cloned loops: a call
// would pass the vectors differently in the AVX2 and the baseline code.
template<typename Block>
HSV_INLINE void inBlocks(QRgb *pixels, int count, Block block)
{
    int i = 0;
    for (; i + 8 <= count; i += 8)
        store(pixels + i, block(load(pixels + i)));
    if (i < count) {
        QRgb tail[8] = {};
        std::memcpy(tail, pixels + i, sizeof(QRgb) * size_t(count - i));
        store(tail, block(load(tail)));
        std::memcpy(pixels + i, tail, sizeof(QRgb) * size_t(count - i));
    }
}

VELLARO_HSV_CLONES void scaleSaturationVectors(QRgb *pixels, int count, double keep)
{
    inBlocks(pixels, count, [keep](I8 p) __attribute__((always_inline)) {
        const Hsv c = toHsv(p);
        // int(s × keep) in double precision, as the caller's arithmetic has it.
        const I8 s = __builtin_convertvector(__builtin_convertvector(c.s, D8) * keep, I8);
        return fromHsv(c.h, s, c.v, p & int(0xff000000u));
    });
}

VELLARO_HSV_CLONES void mapValueVectors(QRgb *pixels, int count, const int *valueMap)
{
    inBlocks(pixels, count, [valueMap](I8 p) __attribute__((always_inline)) {
        const Hsv c = toHsv(p);
        I8 v;
        for (int lane = 0; lane < 8; ++lane)
            v[lane] = valueMap[c.v[lane]];
        return fromHsv(c.h, c.s, v, p & int(0xff000000u));
    });
}

#endif

} // namespace

namespace HsvKernel {

void scaleSaturation(QRgb *pixels, int count, double keep)
{
#ifdef VELLARO_HSV_VECTORS
    scaleSaturationVectors(pixels, count, keep);
#else
    for (int i = 0; i < count; ++i) {
        QColor colour = QColor::fromRgba(pixels[i]);
        int h, s, v;
        colour.getHsv(&h, &s, &v);
        colour.setHsv(h, int(s * keep), v, qAlpha(pixels[i]));
        pixels[i] = colour.rgba();
    }
#endif
}

void mapValue(QRgb *pixels, int count, const int *valueMap)
{
#ifdef VELLARO_HSV_VECTORS
    mapValueVectors(pixels, count, valueMap);
#else
    for (int i = 0; i < count; ++i) {
        QColor colour = QColor::fromRgba(pixels[i]);
        int h, s, v;
        colour.getHsv(&h, &s, &v);
        colour.setHsv(h, s, valueMap[v]);
        pixels[i] = qRgba(colour.red(), colour.green(), colour.blue(), qAlpha(pixels[i]));
    }
#endif
}

} // namespace HsvKernel
