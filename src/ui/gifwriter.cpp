#include "gifwriter.h"

#include "lazylibrary.h"

#include <QHash>
#include <QVector>
#include <gif_lib.h>

namespace GifWriter {

namespace {

// giflib, opened when a GIF is first written.
#define VELLARO_GIF_FUNCTIONS(F) F(EGifCloseFile) F(EGifOpen) F(EGifPutExtension) F(EGifPutExtensionBlock) \
    F(EGifPutExtensionLeader) F(EGifPutExtensionTrailer) F(EGifPutImageDesc) F(EGifPutLine) F(EGifPutScreenDesc) \
    F(EGifSetGifVersion) F(GifFreeMapObject) F(GifMakeMapObject) F(GifQuantizeBuffer)
VELLARO_LAZY_TABLE(GifApi, VELLARO_GIF_FUNCTIONS)

const GifApi &giflib()
{
    static const GifApi api = [] {
        GifApi table = GifApi::open(VELLARO_GIF_SONAME);
        if (!table.error.isEmpty())
            qWarning("GIF pictures cannot be written: %s", qPrintable(table.error));
        return table;
    }();
    return api;
}

int appendToBuffer(GifFileType *gif, const GifByteType *data, int length)
{
    static_cast<QByteArray *>(gif->UserData)->append(reinterpret_cast<const char *>(data), length);
    return length;
}

// A picture reduced to palette indexes.
struct Indexed
{
    QVector<GifColorType> palette;
    QVector<GifByteType> pixels;  // width * height indexes, row after row
    int transparent = -1;
};

GifColorType gifColour(QRgb rgb)
{
    return {GifByteType(qRed(rgb)), GifByteType(qGreen(rgb)), GifByteType(qBlue(rgb))};
}

Indexed reduceIndexed8(const QImage &image)
{
    Indexed out;
    const QVector<QRgb> table = image.colorTable();
    for (int i = 0; i < table.size(); ++i) {
        out.palette.append(gifColour(table.at(i)));
        if (out.transparent < 0 && qAlpha(table.at(i)) < 128)
            out.transparent = i;
    }
    out.pixels.resize(qsizetype(image.width()) * image.height());
    for (int y = 0; y < image.height(); ++y)
        std::copy_n(image.constScanLine(y), image.width(), out.pixels.data() + qsizetype(y) * image.width());
    return out;
}

// Median cut to at most `limit` colours; false when giflib refuses.
bool quantize(const QImage &image, int limit, Indexed &out)
{
    const int w = image.width(), h = image.height();
    const qsizetype n = qsizetype(w) * h;
    QVector<GifByteType> r(n), g(n), b(n);
    for (int y = 0; y < h; ++y) {
        const QRgb *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < w; ++x) {
            const qsizetype i = qsizetype(y) * w + x;
            r[i] = GifByteType(qRed(line[x]));
            g[i] = GifByteType(qGreen(line[x]));
            b[i] = GifByteType(qBlue(line[x]));
        }
    }
    int size = limit;
    QVector<GifColorType> map(256);
    if (giflib().GifQuantizeBuffer(unsigned(w), unsigned(h), &size, r.data(), g.data(), b.data(), out.pixels.data(),
                          map.data())
        == GIF_ERROR)
        return false;
    out.palette = map.mid(0, size);
    return true;
}

Indexed reduce(const QImage &source)
{
    if (source.format() == QImage::Format_Indexed8 && source.colorCount() <= 256)
        return reduceIndexed8(source);

    const QImage image = source.convertToFormat(QImage::Format_ARGB32);
    const int w = image.width(), h = image.height();
    Indexed out;
    out.pixels.resize(qsizetype(w) * h);

    // Whether any pixel is less than half opaque, over the whole picture: the exact
    // palette's search below may stop early.
    bool hasTransparent = false;
    for (int y = 0; y < h && !hasTransparent; ++y) {
        const QRgb *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < w && !hasTransparent; ++x)
            hasTransparent = qAlpha(line[x]) < 128;
    }

    // Exact palette when it fits.
    QHash<QRgb, int> exact;
    bool fits = true;
    const int room = hasTransparent ? 255 : 256;
    for (int y = 0; y < h && fits; ++y) {
        const QRgb *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < w; ++x) {
            if (qAlpha(line[x]) < 128)
                continue;
            const QRgb opaque = line[x] | 0xff000000u;
            if (!exact.contains(opaque)) {
                if (exact.size() >= room) {
                    fits = false;
                    break;
                }
                exact.insert(opaque, int(exact.size()));
            }
        }
    }
    if (fits) {
        out.palette.resize(exact.size());
        for (auto it = exact.cbegin(); it != exact.cend(); ++it)
            out.palette[it.value()] = gifColour(it.key());
        for (int y = 0; y < h; ++y) {
            const QRgb *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
            for (int x = 0; x < w; ++x)
                out.pixels[qsizetype(y) * w + x] = GifByteType(exact.value(line[x] | 0xff000000u));
        }
    } else if (!quantize(image, room, out)) {
        return {};
    }
    // Pixels less than half opaque take one more palette entry, the transparent one.
    if (hasTransparent) {
        out.transparent = int(out.palette.size());
        out.palette.append({0, 0, 0});
        for (int y = 0; y < h; ++y) {
            const QRgb *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
            for (int x = 0; x < w; ++x) {
                if (qAlpha(line[x]) < 128)
                    out.pixels[qsizetype(y) * w + x] = GifByteType(out.transparent);
            }
        }
    }
    return out;
}

// giflib wants a colour map whose size is a power of two.
ColorMapObject *makeMap(QVector<GifColorType> palette)
{
    int size = 2;
    while (size < palette.size())
        size *= 2;
    palette.resize(size);
    return giflib().GifMakeMapObject(size, palette.constData());
}

struct GifCloser
{
    GifFileType *gif = nullptr;
    ~GifCloser()
    {
        if (gif)
            giflib().EGifCloseFile(gif, nullptr);
    }
};

bool putFrame(GifFileType *gif, const Indexed &frame, int width, int height, int delay, bool animated)
{
    if (animated || frame.transparent >= 0) {
        const GifByteType control[4] = {GifByteType(frame.transparent >= 0 ? 0x01 : 0x00),
                                        GifByteType(delay & 0xff), GifByteType((delay >> 8) & 0xff),
                                        GifByteType(frame.transparent >= 0 ? frame.transparent : 0)};
        if (giflib().EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, control) == GIF_ERROR)
            return false;
    }
    ColorMapObject *map = makeMap(frame.palette);
    const bool ok = map && giflib().EGifPutImageDesc(gif, 0, 0, width, height, false, map) != GIF_ERROR;
    giflib().GifFreeMapObject(map);
    if (!ok)
        return false;
    QVector<GifPixelType> line(width);
    for (int y = 0; y < height; ++y) {
        std::copy_n(frame.pixels.constData() + qsizetype(y) * width, width, line.data());
        if (giflib().EGifPutLine(gif, line.data(), width) == GIF_ERROR)
            return false;
    }
    return true;
}

QByteArray encodeFrames(const QList<QImage> &frames, int delay)
{
    if (frames.isEmpty() || frames.first().isNull() || !giflib().error.isEmpty())
        return {};
    const QSize size = frames.first().size();
    QList<Indexed> reduced;
    for (const QImage &frame : frames) {
        if (frame.size() != size)
            return {};
        reduced.append(reduce(frame));
        if (reduced.last().palette.isEmpty())
            return {};
    }

    QByteArray bytes;
    int error = 0;
    GifCloser closer;
    closer.gif = giflib().EGifOpen(&bytes, appendToBuffer, &error);
    GifFileType *gif = closer.gif;
    if (!gif)
        return {};
    const bool animated = frames.size() > 1;
    giflib().EGifSetGifVersion(gif, animated || reduced.first().transparent >= 0);
    ColorMapObject *screenMap = makeMap(reduced.first().palette);
    const bool screenOk = screenMap && giflib().EGifPutScreenDesc(gif, size.width(), size.height(), 8, 0, screenMap) != GIF_ERROR;
    giflib().GifFreeMapObject(screenMap);
    if (!screenOk)
        return {};
    if (animated) {
        // Loop for ever.
        const GifByteType loop[3] = {1, 0, 0};
        if (giflib().EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE) == GIF_ERROR
            || giflib().EGifPutExtensionBlock(gif, 11, "NETSCAPE2.0") == GIF_ERROR
            || giflib().EGifPutExtensionBlock(gif, 3, loop) == GIF_ERROR || giflib().EGifPutExtensionTrailer(gif) == GIF_ERROR)
            return {};
    }
    for (const Indexed &frame : reduced) {
        if (!putFrame(gif, frame, size.width(), size.height(), delay, animated))
            return {};
    }
    closer.gif = nullptr;
    if (giflib().EGifCloseFile(gif, &error) == GIF_ERROR)
        return {};
    return bytes;
}

} // namespace

QByteArray encode(const QImage &image)
{
    return encodeFrames({image}, 0);
}

QByteArray encodeAnimation(const QList<QImage> &frames, int delayCentiseconds)
{
    return encodeFrames(frames, delayCentiseconds);
}

} // namespace GifWriter
