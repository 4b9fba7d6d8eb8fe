#pragma once

#include <functional>

#include <QByteArray>
#include <QSet>
#include <QStringList>

#include <vector>

namespace CatalogueFile {

// Many files written as one change (the tags of thousands of pictures). While a Batch
// is open on its thread, each durable write (writeLines, writeBytes) is staged beside
// its file under the unfinished name and not flushed alone; commit() flushes the file
// system once, renames every staged file over its file, then flushes their folders:
// two flushes for the whole batch instead of two a file. A batch closed without
// commit() removes what it staged and leaves every file as it was. Batches do not nest.
class Batch
{
public:
    Batch();
    ~Batch();
    Batch(const Batch &) = delete;
    Batch &operator=(const Batch &) = delete;
    // False when the flush or a rename failed (lastWriteError() tells why): what was
    // staged and not yet renamed is removed, so each file is old or new, never half.
    // The batch is closed either way: later writes are written one by one.
    // `whileWriting`, when given, is called every few hundredths of a second while the
    // disk takes the staged files and they take their names (on a slow disk and a large
    // batch, minutes), with the number renamed so far, and once more at the end: the
    // window repaints and shows it. The disk's work then runs on a thread of its own.
    bool commit(const std::function<void(qsizetype renamed, qsizetype total)> &whileWriting = {});
    // Closes the batch without its commit, as the destructor would, removing what was
    // staged on a thread of its own while `whileDropping` is told every few hundredths
    // of a second, and once at the end, how many files are gone: a batch of thousands
    // takes about as long to drop as to stage, and the window keeps repainting. The
    // batch then holds nothing.
    void drop(const std::function<void(qsizetype removed, qsizetype total)> &whileDropping);
    // Files staged so far.
    qsizetype size() const { return qsizetype(m_staged.size()); }
    // The files a failed commit renamed before it stopped: those that hold their new
    // version (every other one is as it was).
    QStringList renamed() const;

    // While a Pause lives, this thread's writes are not staged into its batch: for a
    // batch that lets the window answer (its progress, its Cancel) between two files,
    // so that whatever else runs meanwhile is written as it would be otherwise.
    class Pause
    {
    public:
        Pause();
        ~Pause();
        Pause(const Pause &) = delete;
        Pause &operator=(const Pause &) = delete;

    private:
        Batch *m_batch;
    };

private:
    friend struct BatchWriter;
    struct Staged
    {
        QByteArray folder;
        QByteArray staged;
        QByteArray name;
    };
    void removeStaged(std::size_t from);
    std::vector<Staged> m_staged;
    QSet<QByteArray> m_paths;
    std::size_t m_renamed = 0;
    bool m_open = true;
};

} // namespace CatalogueFile
