#include "imageeffects.h"

#include "hsvkernel.h"
#include "rowkernels.h"
#include "viewerlog.h"

#include <QMutex>
#include <QPainter>
#include <QThread>
#include <QtConcurrent>
#include <QtMath>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <vector>

namespace ImageEffects {

namespace {

bool isIndexed(const QImage &image)
{
    return image.depth() <= 8 && image.colorCount() > 0;
}

// Makes a picture workable through its "pixel table": indexed pictures keep their
// colour table; anything else becomes 32-bit pixels (alpha kept when present).
void prepare(QImage &image)
{
    if (isIndexed(image))
        return;
    const QImage::Format want = image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32;
    if (image.format() != want)
        image = image.convertToFormat(want);
}

// Runs work(firstRow, endRow) over bands of rows on every core, for pictures large
// enough to be worth it; the bands never share a row.
template<typename Work>
void overRows(int height, qsizetype pixels, Work work)
{
    const int threads = QThread::idealThreadCount();
    if (threads < 2 || pixels < 1000000) {
        work(0, height);
        return;
    }
    QList<QPair<int, int>> bands;
    const int band = (height + threads - 1) / threads;
    for (int y = 0; y < height; y += band)
        bands.append({y, qMin(height, y + band)});
    QtConcurrent::blockingMap(bands, [&work](const QPair<int, int> &b) { work(b.first, b.second); });
}

// Applies run(entries, count) to the pixel table: the colour table of an indexed
// picture, else each row of pixels.
template<typename Run>
void throughRuns(QImage &image, Run run)
{
    prepare(image);
    if (isIndexed(image)) {
        QVector<QRgb> table = image.colorTable();
        run(table.data(), int(table.size()));
        image.setColorTable(table);
        return;
    }
    uchar *const bits = image.bits();
    const qsizetype stride = image.bytesPerLine();
    const int width = image.width();
    overRows(image.height(), qsizetype(width) * image.height(), [&](int from, int to) {
        for (int y = from; y < to; ++y)
            run(reinterpret_cast<QRgb *>(bits + y * stride), width);
    });
}

// Applies f to every entry of the pixel table, one entry at a time.
template<typename F>
void throughTable(QImage &image, F f)
{
    throughRuns(image, [&f](QRgb *entries, int count) {
        for (int i = 0; i < count; ++i)
            entries[i] = f(entries[i]);
    });
}

template<typename Table>
QRgb mapChannels(QRgb p, const Table &t)
{
    return qRgba(t[qRed(p)], t[qGreen(p)], t[qBlue(p)], qAlpha(p));
}

int pixelIntensity(QRgb p)
{
    return int(0.299 * qRed(p) + 0.587 * qGreen(p) + 0.1140000000000001 * qBlue(p));
}

// The histogram of pixel intensities, every pixel counted (indexed: by its colour).
// The three products come from tables; they are the same doubles, added in the same
// order, so every intensity is exactly I = truncate(0.299 r + 0.587 g + 0.114 b).
std::array<qint64, 256> intensityHistogram(const QImage &image)
{
    std::array<qint64, 256> histogram{};
    if (isIndexed(image)) {
        const QVector<QRgb> table = image.colorTable();
        std::array<int, 256> ofIndex{};
        for (int i = 0; i < table.size(); ++i)
            ofIndex[i] = pixelIntensity(table.at(i));
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                ++histogram[ofIndex[image.pixelIndex(x, y)]];
        return histogram;
    }
    std::array<double, 256> red{}, green{}, blue{};
    for (int c = 0; c < 256; ++c) {
        red[c] = 0.299 * c;
        green[c] = 0.587 * c;
        blue[c] = 0.1140000000000001 * c;
    }
    // Each band counts into its own histogram; the counts are added afterwards.
    QMutex merge;
    overRows(image.height(), qsizetype(image.width()) * image.height(), [&](int from, int to) {
        // Four partial counts for neighbouring pixels: photographs repeat intensities,
        // and one count bumped again and again would wait on itself.
        std::array<std::array<qint64, 256>, 4> counts{};
        auto bin = [&](QRgb p) { return int(red[qRed(p)] + green[qGreen(p)] + blue[qBlue(p)]); };
        const int width = image.width();
        for (int y = from; y < to; ++y) {
            const QRgb *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
            int x = 0;
            for (; x + 4 <= width; x += 4) {
                ++counts[0][bin(line[x])];
                ++counts[1][bin(line[x + 1])];
                ++counts[2][bin(line[x + 2])];
                ++counts[3][bin(line[x + 3])];
            }
            for (; x < width; ++x)
                ++counts[0][bin(line[x])];
        }
        const QMutexLocker lock(&merge);
        for (int i = 0; i < 256; ++i)
            histogram[i] += counts[0][i] + counts[1][i] + counts[2][i] + counts[3][i];
    });
    return histogram;
}

} // namespace

void intensity(QImage &image, float p)
{
    if (image.isNull())
        return;
    const bool brighten = p >= 0;
    const float amount = std::fabs(p);
    // 256 entries whatever the picture: the table is indexed by channel values.
    std::array<int, 256> t{};
    for (int i = 0; i < 256; ++i)
        t[i] = brighten ? qMin(255, int(i * amount)) : qMax(0, int(i * amount));
    std::array<uchar, 256> map{};
    for (int c = 0; c < 256; ++c)
        map[c] = uchar(brighten ? qMin(255, c + qMin(255, t[c])) : qMax(0, c - qMin(255, t[c])));
    throughTable(image, [&map](QRgb px) { return mapChannels(px, map); });
}

void blend(QImage &image, const QColor &target, float i0)
{
    if (image.isNull())
        return;
    if (isIndexed(image) || image.depth() != 32)
        image = image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    i0 = qBound(-1.0f, i0, 1.0f);
    float unaffected = 1.0f;
    if (i0 < 0) {
        unaffected = 1.0f + i0;
        i0 = 0;
    }
    const int h = image.height();
    const int y0 = int(h * (1.0f - unaffected));
    float step = 1.0f - i0;
    step /= float(h - y0);
    float level = i0;
    const int R = target.red(), G = target.green(), B = target.blue();
    std::array<uchar, 256> tr{}, tg{}, tb{};
    for (int y = y0; y < h; ++y) {
        level += step;
        // One table per channel for the row: the move toward the target at this level.
        for (int c = 0; c < 256; ++c) {
            tr[c] = uchar(qBound(0, c + int(level * float(R - c)), 255));
            tg[c] = uchar(qBound(0, c + int(level * float(G - c)), 255));
            tb[c] = uchar(qBound(0, c + int(level * float(B - c)), 255));
        }
        QRgb *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = line[x];
            line[x] = qRgba(tr[qRed(p)], tg[qGreen(p)], tb[qBlue(p)], qAlpha(p));
        }
    }
}

void fade(QImage &image, const QColor &target, double v)
{
    if (image.isNull() || image.depth() == 1)
        return;
    std::array<int, 256> t{};
    for (int i = 0; i < 256; ++i)
        t[i] = int(i * v + 0.5);
    const int R = target.red(), G = target.green(), B = target.blue();
    // One table per channel: the move toward the target for each channel value.
    std::array<uchar, 256> mr{}, mg{}, mb{};
    for (int c = 0; c < 256; ++c) {
        auto toward = [&t, c](int C) { return uchar(c <= C ? c + t[C - c] : c - t[c - C]); };
        mr[c] = toward(R);
        mg[c] = toward(G);
        mb[c] = toward(B);
    }
    throughTable(image, [&](QRgb p) { return qRgba(mr[qRed(p)], mg[qGreen(p)], mb[qBlue(p)], qAlpha(p)); });
}

void grey(QImage &image)
{
    if (image.isNull())
        return;
    throughTable(image, [](QRgb p) {
        const int y = (11 * qRed(p) + 16 * qGreen(p) + 5 * qBlue(p)) / 32;
        return qRgba(y, y, y, qAlpha(p));
    });
}

void desaturate(QImage &image, float d)
{
    if (image.isNull())
        return;
    d = qBound(0.0f, d, 1.0f);
    const double keep = 1.0 - d;
    throughRuns(image, [keep](QRgb *entries, int count) { HsvKernel::scaleSaturation(entries, count, keep); });
}

void contrast(QImage &image, int sign)
{
    if (image.isNull())
        return;
    // The double whose bits are 3FE0000000000001.
    const double scale = 0.5000000000000001;
    // Only the value changes: the curve is worked out once for each of its 256 values.
    int curve[256];
    for (int v = 0; v < 256; ++v) {
        double b = v / 255.0;
        const double theta = (b - 0.5) * 3.14368;
        b = b + ((scale * (std::sin(theta) + 1.0) - b) * sign) * scale;
        if (b > 1.0)
            b = 1.0;
        else if (b < 0)
            b = 0;
        curve[v] = int(b * 255.0);
    }
    throughRuns(image, [&curve](QRgb *entries, int count) { HsvKernel::mapValue(entries, count, curve); });
}

void normalize(QImage &image)
{
    if (image.isNull())
        return;
    prepare(image);
    const std::array<qint64, 256> histogram = intensityHistogram(image);
    auto bounds = [&histogram](qint64 threshold, int *low, int *high) {
        qint64 sum = 0;
        int i = 0;
        for (; i < 255; ++i) {
            sum += histogram[i];
            if (sum > threshold)
                break;
        }
        *low = i;
        sum = 0;
        int j = 255;
        for (; j > 0; --j) {
            sum += histogram[j];
            if (sum > threshold)
                break;
        }
        *high = j;
    };
    int low = 0, high = 0;
    bounds(qint64(image.width()) * image.height() / 100, &low, &high);
    if (low == high) {
        bounds(0, &low, &high);
        if (low == high)
            return;
    }
    std::array<uchar, 256> map{};
    for (int i = 0; i < 256; ++i) {
        if (i < low)
            map[i] = 0;
        else if (i > high)
            map[i] = 255;
        else
            map[i] = uchar((i - low) * 254 / (high - low));
    }
    throughTable(image, [&map](QRgb p) { return mapChannels(p, map); });
}

void equalize(QImage &image)
{
    if (image.isNull())
        return;
    prepare(image);
    const std::array<qint64, 256> histogram = intensityHistogram(image);
    std::array<qint64, 256> cumulative{};
    qint64 sum = 0;
    for (int i = 0; i < 256; ++i) {
        sum += histogram[i];
        cumulative[i] = sum;
    }
    if (cumulative[255] == 0)
        return;
    const qint64 low = cumulative[0], high = cumulative[255];
    qint64 divisor = high - low;
    if (divisor < 2)
        divisor = 1;
    std::array<uchar, 256> map{};
    for (int i = 0; i < 256; ++i)
        map[i] = uchar(int((cumulative[i] - low) * 255.0 / double(divisor)));
    throughTable(image, [&map](QRgb p) { return mapChannels(p, map); });
}

QImage edge(const QImage &source, double factor)
{
    if (source.isNull() || source.width() < 3 || source.height() < 3)
        return source;
    const QImage image = isIndexed(source) || source.depth() != 32
                             ? source.convertToFormat(QImage::Format_ARGB32)
                             : source;
    const int w = image.width(), h = image.height();
    const double weight = factor / 8.0;
    const double neighbour = -weight / 8.0;
    QImage out(w, h, QImage::Format_RGB32);
    // When both weights are multiples of 1/65536 of moderate size, every product and
    // partial sum of the nine terms is exact in double precision, so the neighbours may
    // be added as integers first without changing a single result: the sum is the exact
    // rational (A c + B S) / 65536. Reduced by the common power of two it fits in 32 bits.
    auto exactMultiple = [](double v) {
        const double scaled = v * 65536.0;
        return scaled == std::floor(scaled) && std::fabs(v) < 1048576.0;
    };
    qint64 A = exactMultiple(weight) ? qint64(weight * 65536.0) : 0;
    qint64 B = exactMultiple(neighbour) ? qint64(neighbour * 65536.0) : 0;
    int shift = 16;
    while (shift > 0 && A % 2 == 0 && B % 2 == 0) {
        A /= 2;
        B /= 2;
        --shift;
    }
    // Centre up to 255, neighbour sum up to 8 x 255.
    const bool exactSums = exactMultiple(weight) && exactMultiple(neighbour)
                           && std::abs(A) * 255 + std::abs(B) * 2040 < (qint64(1) << 31);
    const int a = int(A), b = int(B);
    auto clamp = [](double v) { return v < 0 ? 0 : v > 255 ? 255 : int(v); };
    overRows(h, qsizetype(w) * h, [&](int from, int to) {
        for (int y = from; y < to; ++y) {
            const int k = qMin(qMax(y - 1, 0), h - 3);
            const QRgb *rows[3] = {reinterpret_cast<const QRgb *>(image.constScanLine(k)),
                                   reinterpret_cast<const QRgb *>(image.constScanLine(k + 1)),
                                   reinterpret_cast<const QRgb *>(image.constScanLine(k + 2))};
            QRgb *dst = reinterpret_cast<QRgb *>(out.scanLine(y));
            dst[0] = rows[1][0] | 0xff000000u;
            dst[w - 1] = rows[0][w - 1] | 0xff000000u;
            if (exactSums) {
                RowKernels::filterEdgeRow(rows[0], rows[1], rows[2], dst, w, a, b, shift);
                continue;
            }
            for (int x = 1; x < w - 1; ++x) {
                double r = 0, g = 0, bl = 0;
                for (int dy = 0; dy < 3; ++dy) {
                    for (int dx = -1; dx <= 1; ++dx) {
                        const QRgb p = rows[dy][x + dx];
                        const double wgt = (dy == 1 && dx == 0) ? weight : neighbour;
                        r += qRed(p) * wgt;
                        g += qGreen(p) * wgt;
                        bl += qBlue(p) * wgt;
                    }
                }
                dst[x] = qRgb(clamp(r), clamp(g), clamp(bl));
            }
        }
    });
    return out;
}

QImage noise(const QImage &source)
{
    if (source.isNull())
        return source;
    // 32-bit pixels without premultiplication are read as they are (an RGB32 pixel
    // already holds an opaque alpha): no copy of a large picture first.
    const bool direct = source.format() == QImage::Format_RGB32 || source.format() == QImage::Format_ARGB32;
    const QImage image = direct ? source : source.convertToFormat(QImage::Format_ARGB32);
    // Pixels of a picture without alpha are opaque whatever their top byte holds.
    const QRgb opaque = image.format() == QImage::Format_RGB32 ? 0xff000000u : 0u;
    QImage out(image.size(), QImage::Format_ARGB32);
    // What a 15-bit draw r does, with the double arithmetic: q = r / 32767.0 (0 counts
    // as 1.0); below 0.05 the channel turns black, from 0.95 on it turns full. Both
    // tests are monotonic in r, so they come down to two limits worked out once.
    struct Limits
    {
        uint black;  // 1..black turn black
        uint full;   // full..32767, and 0, turn full
    };
    static const Limits limits = [] {
        Limits l{0, 32768};
        for (uint r = 1; r < 32768; ++r) {
            const double q = r / 32767.0;
            if (q < 0.05)
                l.black = r;
            if (q >= 0.95 && l.full == 32768)
                l.full = r;
        }
        return l;
    }();
    // Random bits from a counter-based generator of our own: one count per pixel, from a
    // start drawn once from the C library's and moved on past every picture, so each
    // band of rows (and each later use) draws numbers of its own.
    static quint32 state = quint32(std::rand());
    const quint32 start = state;
    const int height = image.height(), width = image.width();
    state += quint32(width) * quint32(height);
    overRows(height, qsizetype(width) * height, [&, opaque](int from, int to) {
        quint32 counter = start + quint32(from) * quint32(width);
        for (int y = from; y < to; ++y) {
            RowKernels::impulseNoiseRow(reinterpret_cast<const QRgb *>(image.constScanLine(y)),
                                        reinterpret_cast<QRgb *>(out.scanLine(y)), width, counter, limits.black,
                                        limits.full, opaque);
        }
    });
    return out;
}

void mirror(QImage &image)
{
    if (image.isNull())
        return;
    if (image.depth() != 32) {
        image = image.mirrored(true, false);
        return;
    }
    for (int y = 0; y < image.height(); ++y) {
        QRgb *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        std::reverse(line, line + image.width());
    }
}

namespace {

// Quarter turn of 32-bit pixels in tiles, so both pictures are walked cache-friendly.
QImage quarterTurn(const QImage &image, bool clockwise)
{
    const int w = image.width(), h = image.height();
    QImage out(h, w, image.format());
    uchar *const bits = out.bits();
    const qsizetype stride = out.bytesPerLine();
    auto row = [bits, stride](int y) { return reinterpret_cast<QRgb *>(bits + y * stride); };
    const int tile = 64;
    for (int ty = 0; ty < h; ty += tile) {
        for (int tx = 0; tx < w; tx += tile) {
            const int yEnd = qMin(h, ty + tile), xEnd = qMin(w, tx + tile);
            for (int y = ty; y < yEnd; ++y) {
                const QRgb *src = reinterpret_cast<const QRgb *>(image.constScanLine(y));
                for (int x = tx; x < xEnd; ++x) {
                    // Clockwise: (x, y) goes to (h - 1 - y, x); counter-clockwise to (y, w - 1 - x).
                    if (clockwise)
                        row(x)[h - 1 - y] = src[x];
                    else
                        row(w - 1 - x)[y] = src[x];
                }
            }
        }
    }
    return out;
}

} // namespace

void rotateClockwise(QImage &image)
{
    if (image.isNull())
        return;
    image = image.depth() == 32 ? quarterTurn(image, true) : image.transformed(QTransform().rotate(90));
}

void rotateCounterClockwise(QImage &image)
{
    if (image.isNull())
        return;
    image = image.depth() == 32 ? quarterTurn(image, false) : image.transformed(QTransform().rotate(-90));
}

void reduce(QImage &image, int width)
{
    if (image.isNull() || image.width() <= width)
        return;
    const QSize size = image.size().scaled(width, image.height(), Qt::KeepAspectRatio);
    image = image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

void keepLargeBuffers()
{
#ifdef __GLIBC__
    // Picture buffers of tens of megabytes are otherwise mapped fresh for every effect
    // and unmapped after it, and touching a fresh mapping costs more than the effect.
    // From the heap they are reused.
    mallopt(M_MMAP_THRESHOLD, 256 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 512 * 1024 * 1024);
#endif
}

QSize fittedSize(const QSize &picture, const QSize &view)
{
    int w = picture.width(), h = picture.height();
    const int W = view.width(), H = view.height();
    if (w <= W && h <= H)
        return picture;
    while (w > W || h > H) {
        if (w > W) {
            const float ratio = float(W) / float(w);
            w = int(w * ratio);
            h = int(h * ratio);
            qCWarning(lcViewer) << "Scaling width";
        }
        if (h > H) {
            const float ratio = float(H) / float(h);
            w = int(w * ratio);
            h = int(h * ratio);
            qCWarning(lcViewer) << "Scaling height";
        }
    }
    return {w, h};
}

} // namespace ImageEffects
