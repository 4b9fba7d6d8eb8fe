#include "cataloguefile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

#include <cerrno>
#include <cstring>

namespace CatalogueFile {

namespace {
thread_local QString t_lastWriteError;
bool g_readOnly = false;
QString g_readOnlyReason;
} // namespace

void setReadOnly(bool readOnly, const QString &reason)
{
    g_readOnly = readOnly;
    g_readOnlyReason = reason;
}

bool isReadOnly()
{
    return g_readOnly;
}

QString readOnlyReason()
{
    if (!g_readOnly)
        return {};
    return g_readOnlyReason.isEmpty() ? QStringLiteral("The catalogue is open read-only: no change is saved.")
                                      : g_readOnlyReason;
}

bool readBytes(const QString &path, QByteArray *bytes, QString *why)
{
    const QFileInfo info(path);
    auto fail = [why](const QString &reason) {
        if (why)
            *why = reason;
        return false;
    };
    if (!info.exists())
        return fail(QStringLiteral("the file does not exist"));
    if (!info.isFile())
        return fail(QStringLiteral("it is not a regular file"));
    if (info.size() > MaxFileSize)
        return fail(QStringLiteral("it is too large for a catalogue file"));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(file.errorString());
    *bytes = file.read(MaxFileSize + 1);
    if (file.error() != QFileDevice::NoError)
        return fail(file.errorString());
    if (bytes->size() > MaxFileSize)
        return fail(QStringLiteral("it is too large for a catalogue file"));
    return true;
}

bool isUtf8(QByteArrayView bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder(bytes);
    return !decoder.hasError();
}

QString fromWindows1252(QByteArrayView bytes)
{
    // 0x80..0x9F of Windows-1252; the five undefined positions keep their Latin-1 code.
    static const char16_t high[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                      0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    QString text(bytes.size(), Qt::Uninitialized);
    QChar *out = text.data();
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const uchar c = uchar(bytes[i]);
        out[i] = (c >= 0x80 && c < 0xA0) ? QChar(high[c - 0x80]) : QChar(c);
    }
    return text;
}

QString decode(QByteArrayView bytes, bool utf8)
{
    return utf8 ? QString::fromUtf8(bytes) : fromWindows1252(bytes);
}

Snapshot::Snapshot(const QString &path)
    : m_path(path)
{
    const QFileInfo info(path);
    m_existed = info.isFile();
    if (m_existed) {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly))
            m_bytes = file.readAll();
    }
}

bool Snapshot::restore() const
{
    if (m_existed)
        return writeBytes(m_path, m_bytes);
    return !QFileInfo::exists(m_path) || QFile::remove(m_path);
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    // The save file would follow a link and replace what it points at, which may lie
    // outside the catalogue.
    auto fail = [](const QString &why) {
        t_lastWriteError = why;
        return false;
    };
    t_lastWriteError.clear();
    if (g_readOnly)
        return fail(QStringLiteral("the catalogue is open read-only"));
    const QFileInfo info(path);
    if (info.isSymLink())
        return fail(QStringLiteral("it is a symbolic link"));
    // A FIFO, a device or a folder standing there is not replaced.
    if (info.exists() && !info.isFile())
        return fail(QStringLiteral("it is not a regular file"));
    QSaveFile file(path);
    // Unbuffered, so a short write (a full disk, a file size limit) shows in the count
    // returned here; a buffered flush at commit time may not report it.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return fail(file.errorString());
    errno = 0;
    if (file.write(bytes) != bytes.size()) {
        // A short write leaves the system's reason (a full disk, a size limit) in errno.
        const int error = errno;
        const QString why = error != 0 ? QString::fromLocal8Bit(std::strerror(error)) : file.errorString();
        file.cancelWriting();
        return fail(why);
    }
    if (!file.commit())
        return fail(file.errorString());
    return true;
}

QString lastWriteError()
{
    return t_lastWriteError;
}

bool writeLines(const QString &path, const QStringList &lines)
{
    QByteArray bytes;
    for (const QString &line : lines) {
        bytes += line.toUtf8();
        bytes += "\r\n";
    }
    return writeBytes(path, bytes);
}

QStringList readLines(const QString &path, bool *ok)
{
    QByteArray bytes;
    if (!readBytes(path, &bytes)) {
        if (ok)
            *ok = false;
        return {};
    }
    if (ok)
        *ok = true;
    QStringList lines;
    LineReader reader(bytes);
    while (!reader.atEnd())
        lines.append(reader.text(reader.next()));
    return lines;
}

QString valueAfterKey(const QString &line, int keyLength)
{
    return line.mid(keyLength);
}

int leadingCount(const QStringList &lines, int keyLength)
{
    return lines.isEmpty() ? 0 : qMax(0, lines.first().mid(keyLength).toInt());
}

Counted readCounted(const QString &path, int keyLength, QStringList *elements)
{
    if (!QFile::exists(path))
        return Counted::Missing;
    bool ok = false;
    const QStringList lines = readLines(path, &ok);
    if (!ok)
        return Counted::Unreadable;
    const int count = leadingCount(lines, keyLength);
    if (count <= 0)
        return Counted::Empty;
    *elements = lines.mid(1, count);
    return Counted::Read;
}

QByteArrayView LineReader::next()
{
    if (atEnd())
        return {};
    qsizetype end = m_bytes.indexOf('\n', m_pos);
    const qsizetype following = end < 0 ? m_bytes.size() : end + 1;
    if (end < 0)
        end = m_bytes.size();
    qsizetype stop = end;
    if (stop > m_pos && m_bytes.at(stop - 1) == '\r')
        --stop;
    const QByteArrayView line(m_bytes.constData() + m_pos, stop - m_pos);
    m_pos = following;
    return line;
}

QString LineReader::value(qsizetype keyLength)
{
    const QByteArrayView line = next();
    return text(line.sliced(qMin(keyLength, line.size())));
}

} // namespace CatalogueFile
