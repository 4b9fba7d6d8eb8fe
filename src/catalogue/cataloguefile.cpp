#include "cataloguefile.h"

#include <QFile>
#include <QSaveFile>

namespace CatalogueFile {

namespace {
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

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    if (g_readOnly)
        return false;
    QSaveFile file(path);
    // Unbuffered, so a short write (a full disk, a file size limit) shows in the count
    // returned here; a buffered flush at commit time may not report it.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
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
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (ok)
            *ok = false;
        return {};
    }
    const QByteArray bytes = file.readAll();
    if (ok)
        *ok = true;
    QStringList lines;
    LineReader reader(bytes);
    while (!reader.atEnd())
        lines.append(QString::fromUtf8(reader.next()));
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
    return QString::fromUtf8(line.sliced(qMin(keyLength, line.size())));
}

} // namespace CatalogueFile
