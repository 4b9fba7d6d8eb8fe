#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

// Reading and writing the catalogue's text files (property files, album files, the
// library index, the name lists). Lines end in CR LF; text is UTF-8, the local 8-bit
// encoding on Linux, so no file name is lost.
namespace CatalogueFile {

// A process-wide switch: while it is on, every catalogue write is refused (the window
// runs read-only when another program holds the catalogue's lock).
void setReadOnly(bool readOnly, const QString &reason = QString());
bool isReadOnly();
// Why the catalogue is read-only, in a sentence for the user.
QString readOnlyReason();

// Writes the lines, each followed by CR LF. The file is written whole to a temporary
// file beside it and renamed into place: a crash, a kill or a full disk leaves the old
// file, never a half-written one. Returns false (and leaves the old file) on failure.
bool writeLines(const QString &path, const QStringList &lines);
bool writeBytes(const QString &path, const QByteArray &bytes);

// Reads every line whole, without its line end (CR LF, or a bare LF). A file that does
// not exist or cannot be read gives no lines; `ok` tells the two cases apart.
QStringList readLines(const QString &path, bool *ok = nullptr);

// The text after the first `keyLength` characters of a line: readers rely on the
// order of the lines, not on their keys.
QString valueAfterKey(const QString &line, int keyLength);

// The number on a counted file's first line ("NUMLIB=3", "NUMSUB=2"); 0 when there is
// no line or no number.
int leadingCount(const QStringList &lines, int keyLength);

// Reads a counted file: a "KEY=count" line, then that many element lines.
enum class Counted { Missing, Unreadable, Empty, Read };
Counted readCounted(const QString &path, int keyLength, QStringList *elements);

// Walks the lines of a file held in memory, each without its line end (CR LF or LF).
class LineReader
{
public:
    explicit LineReader(const QByteArray &bytes)
        : m_bytes(bytes)
    {
    }
    bool atEnd() const { return m_pos >= m_bytes.size(); }
    QByteArrayView next();
    // The text of the next line after its key (the key itself is not compared).
    QString value(qsizetype keyLength);

private:
    const QByteArray &m_bytes;
    qsizetype m_pos = 0;
};

} // namespace CatalogueFile
