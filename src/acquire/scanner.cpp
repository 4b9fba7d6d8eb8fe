#include "scanner.h"

#include <QFileInfo>
#include <QSaveFile>
#include <QStorageInfo>
#include <QSysInfo>
#include <QTime>
#include <QtEndian>

#include "lazylibrary.h"

#include <sane/sane.h>
#include <sane/saneopts.h>

namespace Scanner {

namespace {

// SANE, opened when a scanner is first wanted.
#define VELLARO_SANE_FUNCTIONS(F) F(sane_init) F(sane_exit) F(sane_strstatus) F(sane_get_devices) F(sane_open) \
    F(sane_close) F(sane_cancel) F(sane_get_option_descriptor) F(sane_control_option) F(sane_start) \
    F(sane_get_parameters) F(sane_read)
VELLARO_LAZY_TABLE(SaneApi, VELLARO_SANE_FUNCTIONS)

const SaneApi &sane()
{
    static const SaneApi api = SaneApi::open(VELLARO_SANE_SONAME);
    return api;
}

QString statusText(SANE_Status status)
{
    return QString::fromLocal8Bit(sane().sane_strstatus(status));
}

// One SANE session: init on construction, exit on destruction, on one thread.
struct Session
{
    SANE_Status status = SANE_STATUS_UNSUPPORTED;
    Session()
    {
        SANE_Int version = 0;
        if (sane().error.isEmpty())
            status = sane().sane_init(&version, nullptr);
    }
    ~Session()
    {
        if (status == SANE_STATUS_GOOD)
            sane().sane_exit();
    }
    // Why the session could not start.
    QString error() const
    {
        return sane().error.isEmpty() ? statusText(status) : QStringLiteral("Scanning is not available: ") + sane().error;
    }
};

struct Handle
{
    SANE_Handle handle = nullptr;
    ~Handle()
    {
        if (handle) {
            sane().sane_cancel(handle);
            sane().sane_close(handle);
        }
    }
};

int optionIndex(SANE_Handle handle, const char *name, const SANE_Option_Descriptor **found)
{
    for (SANE_Int i = 1;; ++i) {
        const SANE_Option_Descriptor *option = sane().sane_get_option_descriptor(handle, i);
        if (!option)
            return -1;
        if (option->name && qstrcmp(option->name, name) == 0) {
            *found = option;
            return i;
        }
    }
}

// Sets a string option to the entry of its list that `wanted` matches (case ignored,
// "adf" matching the feeder). False with `error` set when the device has no such entry.
bool setChoice(SANE_Handle handle, const char *name, const QString &wanted, QString *error)
{
    const SANE_Option_Descriptor *option = nullptr;
    const int index = optionIndex(handle, name, &option);
    if (index < 0 || option->type != SANE_TYPE_STRING || option->constraint_type != SANE_CONSTRAINT_STRING_LIST) {
        *error = QStringLiteral("This scanner has no %1 to choose.").arg(QLatin1String(name));
        return false;
    }
    QByteArray chosen;
    QStringList offered;
    for (const SANE_String_Const *entry = option->constraint.string_list; *entry; ++entry) {
        const QString text = QString::fromUtf8(*entry);
        offered << text;
        const bool feeder = wanted == QLatin1String("adf")
                            && (text.contains(QLatin1String("feeder"), Qt::CaseInsensitive)
                                || text.contains(QLatin1String("ADF"), Qt::CaseInsensitive));
        const bool flatbed = wanted == QLatin1String("flatbed") && text.contains(QLatin1String("flatbed"), Qt::CaseInsensitive);
        const bool lineart = wanted == QLatin1String("lineart")
                             && (text.compare(QLatin1String("Lineart"), Qt::CaseInsensitive) == 0
                                 || text.compare(QLatin1String("Binary"), Qt::CaseInsensitive) == 0);
        if (chosen.isEmpty() && (text.compare(wanted, Qt::CaseInsensitive) == 0 || feeder || flatbed || lineart
                                 || (wanted == QLatin1String("gray") && text.compare(QLatin1String("Grey"), Qt::CaseInsensitive) == 0)))
            chosen = *entry;
    }
    if (chosen.isEmpty()) {
        *error = QStringLiteral("This scanner offers no %1 \"%2\" (it offers: %3).").arg(QLatin1String(name), wanted, offered.join(QStringLiteral(", ")));
        return false;
    }
    QByteArray value(qMax<int>(option->size, chosen.size() + 1), '\0');
    memcpy(value.data(), chosen.constData(), size_t(chosen.size()));
    const SANE_Status status = sane().sane_control_option(handle, index, SANE_ACTION_SET_VALUE, value.data(), nullptr);
    if (status != SANE_STATUS_GOOD) {
        *error = statusText(status);
        return false;
    }
    return true;
}

bool setResolution(SANE_Handle handle, int dpi, QString *error)
{
    const SANE_Option_Descriptor *option = nullptr;
    const int index = optionIndex(handle, SANE_NAME_SCAN_RESOLUTION, &option);
    if (index < 0) {
        *error = QStringLiteral("This scanner has no resolution to choose.");
        return false;
    }
    if (dpi <= 0 || dpi > Scanner::MaxResolution) {
        *error = QStringLiteral("A resolution of %1 dots per inch cannot be asked of a scanner.").arg(dpi);
        return false;
    }
    SANE_Word value = option->type == SANE_TYPE_FIXED ? SANE_FIX(dpi) : dpi;
    const SANE_Status status = sane().sane_control_option(handle, index, SANE_ACTION_SET_VALUE, &value, nullptr);
    if (status != SANE_STATUS_GOOD) {
        *error = statusText(status);
        return false;
    }
    return true;
}

// Sample `x` of a line of `depth` bits, as 8 bits. Sixteen-bit samples come in the
// machine's byte order; one-bit grey samples are black when set, colour ones full.
inline int sample(const uchar *line, int x, int depth, bool grey = false)
{
    if (depth == 8)
        return line[x];
    if (depth == 16)
        return line[2 * x + (QSysInfo::ByteOrder == QSysInfo::LittleEndian ? 1 : 0)];
    const bool set = line[x / 8] & (0x80 >> (x % 8));
    return set != grey ? 255 : 0;
}

// Reads one frame into `data`; false when cancelled or SANE failed (`status`).
bool readFrame(SANE_Handle handle, const SANE_Parameters &parameters, QByteArray *data, const std::atomic_bool &cancel,
               const std::function<void(int)> &percent, SANE_Status *status)
{
    const qint64 expected = parameters.lines > 0 ? qint64(parameters.lines) * parameters.bytes_per_line : -1;
    QByteArray buffer(64 * 1024, '\0');
    int lastPercent = -1;
    for (;;) {
        if (cancel)
            return false;
        SANE_Int length = 0;
        *status = sane().sane_read(handle, reinterpret_cast<SANE_Byte *>(buffer.data()), SANE_Int(buffer.size()), &length);
        if (*status == SANE_STATUS_EOF)
            return true;
        if (*status != SANE_STATUS_GOOD)
            return false;
        data->append(buffer.constData(), length);
        if (percent && expected > 0) {
            const int now = int(qMin<qint64>(100, data->size() * 100 / expected));
            if (now != lastPercent)
                percent(lastPercent = now);
        }
    }
}

} // namespace

QList<Device> devices(QString *error)
{
    Session session;
    if (session.status != SANE_STATUS_GOOD) {
        *error = session.error();
        return {};
    }
    const SANE_Device **list = nullptr;
    const SANE_Status status = sane().sane_get_devices(&list, SANE_FALSE);
    if (status != SANE_STATUS_GOOD) {
        *error = statusText(status);
        return {};
    }
    QList<Device> found;
    for (const SANE_Device **device = list; device && *device; ++device)
        found.append({QString::fromUtf8((*device)->name), QString::fromUtf8((*device)->vendor),
                      QString::fromUtf8((*device)->model), QString::fromUtf8((*device)->type)});
    return found;
}

Outcome acquire(const Choice &choice, const std::function<bool(const QImage &, QString *)> &page,
                const std::atomic_bool &cancel, const std::function<void(int, int)> &progress)
{
    Outcome outcome;
    Session session;
    if (session.status != SANE_STATUS_GOOD) {
        outcome.error = session.error();
        return outcome;
    }
    QByteArray name = choice.device.toUtf8();
    if (name.isEmpty()) {
        const SANE_Device **list = nullptr;
        if (sane().sane_get_devices(&list, SANE_FALSE) == SANE_STATUS_GOOD && list && list[0])
            name = list[0]->name;
        if (name.isEmpty()) {
            outcome.error = statusText(SANE_STATUS_INVAL) + QStringLiteral(": no scanner was found.");
            return outcome;
        }
    }
    Handle device;
    SANE_Status status = sane().sane_open(name.constData(), &device.handle);
    if (status != SANE_STATUS_GOOD) {
        device.handle = nullptr;
        outcome.error = QStringLiteral("The scanner %1 cannot be opened (is it switched on and plugged in?): %2")
                            .arg(QString::fromUtf8(name), statusText(status));
        return outcome;
    }
    if (!choice.mode.isEmpty() && !setChoice(device.handle, SANE_NAME_SCAN_MODE, choice.mode, &outcome.error))
        return outcome;
    if (!choice.source.isEmpty() && !setChoice(device.handle, SANE_NAME_SCAN_SOURCE, choice.source, &outcome.error))
        return outcome;
    if (choice.resolution > 0 && !setResolution(device.handle, choice.resolution, &outcome.error))
        return outcome;

    const bool feeder = choice.source == QLatin1String("adf");
    for (int sheet = 0;; ++sheet) {
        // One picture: one frame, or three (red, green, blue) from a three-pass scanner.
        QImage image;
        QByteArray planes[3];
        SANE_Parameters parameters{};
        bool whole = false;
        for (int frame = 0; frame < 3; ++frame) {
            status = sane().sane_start(device.handle);
            if (status == SANE_STATUS_NO_DOCS && feeder && sheet > 0 && frame == 0)
                return outcome;  // the feeder is empty: the batch is over
            if (status != SANE_STATUS_GOOD) {
                // Cancelled by the scanner itself (a button on it, a driver's own
                // dialog) is told like any other failure: only the user's Cancel is quiet.
                if (cancel)
                    outcome.cancelled = true;
                else
                    outcome.error = statusText(status);
                return outcome;
            }
            status = sane().sane_get_parameters(device.handle, &parameters);
            if (status != SANE_STATUS_GOOD) {
                outcome.error = statusText(status);
                return outcome;
            }
            QByteArray data;
            const int pageNumber = sheet;
            if (!readFrame(device.handle, parameters, &data, cancel,
                           [&progress, pageNumber](int percent) {
                               if (progress)
                                   progress(pageNumber, percent);
                           },
                           &status)) {
                sane().sane_cancel(device.handle);
                if (cancel)
                    outcome.cancelled = true;
                else
                    outcome.error = statusText(status);
                return outcome;
            }
            const int width = parameters.pixels_per_line;
            const int lines = parameters.bytes_per_line > 0 ? int(data.size() / parameters.bytes_per_line) : 0;
            if (width <= 0 || lines <= 0 || !(parameters.depth == 1 || parameters.depth == 8 || parameters.depth == 16)) {
                outcome.error = QStringLiteral("The scanner sent a picture this program cannot read (%1 bits).")
                                    .arg(parameters.depth);
                return outcome;
            }
            const auto line = [&](int y) {
                return reinterpret_cast<const uchar *>(data.constData()) + qint64(y) * parameters.bytes_per_line;
            };
            if (parameters.format == SANE_FRAME_GRAY) {
                if (parameters.depth == 1) {
                    image = QImage(width, lines, QImage::Format_Mono);
                    image.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
                    for (int y = 0; y < lines; ++y)
                        for (int x = 0; x < width; ++x)
                            image.setPixel(x, y, sample(line(y), x, 1, true) ? 1 : 0);
                } else {
                    image = QImage(width, lines, QImage::Format_Grayscale8);
                    for (int y = 0; y < lines; ++y) {
                        uchar *out = image.scanLine(y);
                        for (int x = 0; x < width; ++x)
                            out[x] = uchar(sample(line(y), x, parameters.depth, true));
                    }
                }
                whole = true;
            } else if (parameters.format == SANE_FRAME_RGB) {
                image = QImage(width, lines, QImage::Format_RGB32);
                for (int y = 0; y < lines; ++y) {
                    auto *out = reinterpret_cast<QRgb *>(image.scanLine(y));
                    for (int x = 0; x < width; ++x)
                        out[x] = qRgb(sample(line(y), 3 * x, parameters.depth), sample(line(y), 3 * x + 1, parameters.depth),
                                      sample(line(y), 3 * x + 2, parameters.depth));
                }
                whole = true;
            } else {
                // Three-pass colour: one plane a frame, in whichever order the scanner sends.
                const int plane = parameters.format == SANE_FRAME_RED ? 0 : parameters.format == SANE_FRAME_GREEN ? 1 : 2;
                planes[plane] = data;
                if (parameters.last_frame) {
                    image = QImage(width, lines, QImage::Format_RGB32);
                    for (int y = 0; y < lines; ++y) {
                        auto *out = reinterpret_cast<QRgb *>(image.scanLine(y));
                        for (int x = 0; x < width; ++x) {
                            int rgb[3] = {0, 0, 0};
                            for (int c = 0; c < 3; ++c) {
                                if (planes[c].size() >= qint64(y + 1) * parameters.bytes_per_line)
                                    rgb[c] = sample(reinterpret_cast<const uchar *>(planes[c].constData())
                                                        + qint64(y) * parameters.bytes_per_line,
                                                    x, parameters.depth);
                            }
                            out[x] = qRgb(rgb[0], rgb[1], rgb[2]);
                        }
                    }
                    whole = true;
                }
            }
            if (whole || parameters.last_frame)
                break;
        }
        if (!whole) {
            outcome.error = QStringLiteral("The scanner ended a picture before its last colour.");
            return outcome;
        }
        QString refused;
        if (!page(image, &refused)) {
            outcome.error = refused;
            return outcome;
        }
        ++outcome.pages;
        if (!feeder)
            return outcome;
    }
}

} // namespace Scanner

namespace ScanFile {

QByteArray encode(const QImage &source)
{
    // The kind of file follows the kind of scan, not what the page happens to show.
    const bool mono = source.format() == QImage::Format_Mono || source.format() == QImage::Format_MonoLSB;
    const bool grey = source.format() == QImage::Format_Grayscale8
                      || (source.format() == QImage::Format_Indexed8 && source.isGrayscale());
    const int bits = mono ? 1 : grey ? 8 : 24;
    const int colours = mono ? 2 : grey ? 256 : 0;
    const int width = source.width(), height = source.height();
    const int stride = (width * bits + 31) / 32 * 4;
    const quint32 offset = 54 + 4 * colours;
    const quint32 imageSize = quint32(stride) * quint32(height);
    QByteArray out(int(offset + imageSize), '\0');
    auto put16 = [&out](int at, quint16 v) { qToLittleEndian<quint16>(v, out.data() + at); };
    auto put32 = [&out](int at, quint32 v) { qToLittleEndian<quint32>(v, out.data() + at); };
    out[0] = 'B';
    out[1] = 'M';
    put32(2, offset + imageSize);
    put32(10, offset);
    put32(14, 40);
    put32(18, quint32(width));
    put32(22, quint32(height));  // rows from the bottom up
    put16(26, 1);
    put16(28, quint16(bits));
    put32(30, 0);
    put32(34, imageSize);
    const int dpm = source.dotsPerMeterX() > 0 ? source.dotsPerMeterX() : 2835;
    put32(38, quint32(dpm));
    put32(42, quint32(source.dotsPerMeterY() > 0 ? source.dotsPerMeterY() : dpm));
    put32(46, quint32(colours));
    put32(50, 0);
    for (int i = 0; i < colours; ++i) {
        const int level = mono ? i * 255 : i;
        out[54 + 4 * i] = char(level);
        out[54 + 4 * i + 1] = char(level);
        out[54 + 4 * i + 2] = char(level);
    }
    const QImage image = mono ? source.convertToFormat(QImage::Format_RGB32)
                              : grey ? source.convertToFormat(QImage::Format_Grayscale8)
                                     : source.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        uchar *row = reinterpret_cast<uchar *>(out.data()) + offset + qint64(height - 1 - y) * stride;
        if (grey) {
            memcpy(row, image.constScanLine(y), size_t(width));
        } else {
            const auto *in = reinterpret_cast<const QRgb *>(image.constScanLine(y));
            for (int x = 0; x < width; ++x) {
                if (mono) {
                    if (qGray(in[x]) > 127)
                        row[x / 8] |= uchar(0x80 >> (x % 8));
                } else {
                    row[3 * x] = uchar(qBlue(in[x]));
                    row[3 * x + 1] = uchar(qGreen(in[x]));
                    row[3 * x + 2] = uchar(qRed(in[x]));
                }
            }
        }
    }
    return out;
}

QString name(const QTime &batchStart, int index)
{
    return QStringLiteral("import") + batchStart.toString(QStringLiteral("hh-mm-ss-zzz")) + QString::number(index)
           + QStringLiteral(".bmp");
}

bool write(const QImage &image, const QString &path, QString *error)
{
    const QByteArray bytes = encode(image);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        // A full disk often comes back from the file layer as "Unknown error".
        const QStorageInfo disk(QFileInfo(path).absolutePath());
        const QString reason = disk.isValid() && disk.bytesAvailable() < bytes.size()
                                   ? QStringLiteral("the disk is full (%1 KB free, the picture needs %2 KB)")
                                         .arg(disk.bytesAvailable() / 1024)
                                         .arg((bytes.size() + 1023) / 1024)
                                   : file.errorString();
        *error = QStringLiteral("The scanned picture could not be written to %1: %2").arg(path, reason);
        return false;
    }
    return true;
}

} // namespace ScanFile
