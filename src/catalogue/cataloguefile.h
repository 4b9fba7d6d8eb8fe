#pragma once

#include <functional>

#include <QByteArray>
#include <QByteArrayView>
#include <QSet>
#include <QString>
#include <QStringList>

// Reading and writing the catalogue's text files (property files, album files, the
// library index, the name lists). Lines end in CR LF; text is written as UTF-8, the
// local 8-bit encoding on Linux, so no file name is lost. A file that is not valid
// UTF-8 was written by an older Windows installation and is read as Windows-1252.
namespace CatalogueFile {

// A process-wide switch: while it is on, every catalogue write is refused (the window
// runs read-only when another program holds the catalogue's lock).
void setReadOnly(bool readOnly, const QString &reason = QString());
bool isReadOnly();
// Why the catalogue is read-only, in a sentence for the user.
QString readOnlyReason();

// Catalogue files are read only when they are regular files (a FIFO would hang the
// reader, a link to a device would never end) and not larger than this.
constexpr qint64 MaxFileSize = 256 * 1024 * 1024;

// Reads a whole catalogue file. False when it does not exist, is not a regular file
// (after following links), is too large or cannot be read; `why` then says which.
bool readBytes(const QString &path, QByteArray *bytes, QString *why = nullptr);

// Text of a catalogue file: UTF-8 when the bytes are valid UTF-8, else Windows-1252.
bool isUtf8(QByteArrayView bytes);
QString decode(QByteArrayView bytes, bool utf8);
QString fromWindows1252(QByteArrayView bytes);

// What was on disk at a path before a change, to put it back when a later step of the
// same change fails (an album file and the library index, a property file and its
// album row): the files then never disagree.
class Snapshot
{
public:
    explicit Snapshot(const QString &path);
    // Puts the old bytes back, or removes the file when there was none.
    bool restore() const;
    QString path() const { return m_path; }

private:
    QString m_path;
    bool m_existed = false;
    QByteArray m_bytes;
};

// Writes the lines, each followed by CR LF. The file is written whole, made durable and
// renamed into place: a crash, a kill or a full disk leaves the old file, never a
// half-written one. Returns false (and leaves the old file) on failure.
// A path that is a symbolic link is never written through: it is refused.
bool writeLines(const QString &path, const QStringList &lines);
bool writeBytes(const QString &path, const QByteArray &bytes);
// The same, renamed into place whole but not made durable first: for what is remade
// when lost or damaged (thumbnails), where two disk flushes a file would cost more
// than the file.
bool writeCacheBytes(const QString &path, const QByteArray &bytes);
// What a write cut short between its two last steps can leave beside its file: the
// unused new version, named "<file>.vellaro-new" (for a file whose name is within 12
// bytes of the longest, "." and a hash of the name before ".vellaro-new"). The writer
// that next holds the catalogue's lock removes them; the number removed is returned.
QString unfinishedSuffix();
// `changeFiles`, when given, counts the removed new versions of the catalogue's own files
// (property files, album files, the index): those of a change that was never kept.
int sweepUnfinished(const QString &catalogueRoot, int *changeFiles = nullptr);
// A Batch of several files writes down its renames (a journal in the catalogue folder)
// once they are flushed, before the first rename: cut short among them (a kill, a power
// cut), the change is finished here, by the next holder of the catalogue's lock before
// it reads or sweeps anything: each file then holds its new version. From then on the
// batches of this program write down theirs in `catalogueRoot` (an empty one: nowhere,
// nothing to finish). Returns the number of
// files finished (0: nothing was cut short), or -1 when the journal could not be read
// or finished (lastWriteError() says why; it is left for the next start).
// `progress`, when given, is told every few hundred files how many of the journal's
// files have been gone through (a change of thousands of pictures takes minutes).
int finishInterruptedBatch(const QString &catalogueRoot,
                           const std::function<void(qsizetype done, qsizetype total)> &progress = {});
// Where that journal stands while a change is among its renames.
QString batchJournalPath(const QString &catalogueRoot);
// What the journal of a change cut short will finish: each staged new version, and the
// file it replaces (absolute paths). Empty when there is none or it cannot be read.
struct PendingBatch
{
    QSet<QString> staged, replaced;
};
PendingBatch pendingBatch(const QString &catalogueRoot);
// The same on a thread of its own, for a start that need not wait for the walk (after a
// kill in the middle of a large change it may take minutes): writes go on meanwhile, the
// walk leaving the staged files of this run's writes alone. Put off, the walk begins at
// startPutOffSweep() (once the window shows). waitForSweep() waits for it and returns
// the number removed; stopSweep() ends it between two files (what is left waits for the
// next start) and returns the number removed so far.
// `swept`, when given, is called on the walk's thread once it has gone through the whole
// catalogue (not when stopped), with the number of new versions of the catalogue's own
// files it removed.
void startSweepUnfinished(const QString &catalogueRoot, bool putOff = false,
                          const std::function<void(int changeFiles)> &swept = {});
void startPutOffSweep();
int waitForSweep();
int stopSweep();

// Why the last write of this thread failed ("No space left on device", "it is a
// symbolic link"), for the message that tells it.
QString lastWriteError();
// A write refused before it began, for the reason given (as lastWriteError() tells).
void refuseWrite(const QString &why);

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
        , m_utf8(isUtf8(bytes))
    {
    }
    bool atEnd() const { return m_pos >= m_bytes.size(); }
    QByteArrayView next();
    // The text of the next line after its key (the key itself is not compared).
    QString value(qsizetype keyLength);
    // A line's text, decoded as the file is.
    QString text(QByteArrayView line) const { return decode(line, m_utf8); }
    // Whether the file is UTF-8: its lines are then their text's own bytes.
    bool utf8() const { return m_utf8; }

private:
    const QByteArray &m_bytes;
    bool m_utf8 = true;
    qsizetype m_pos = 0;
};

} // namespace CatalogueFile
