#include "cataloguefile.h"
#include "cataloguebatch.h"
#include <unistd.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <fcntl.h>
#include <QDirIterator>

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QMultiHash>
#include <QSaveFile>
#include <QStringDecoder>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <condition_variable>
#include <cstring>
#include <future>
#include <mutex>
#include <optional>
#include <thread>

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
    // Read in pieces: asking for the largest size at once would reserve that much for
    // every small file.
    bytes->clear();
    bytes->reserve(qsizetype(info.size()));
    char piece[64 * 1024];
    qint64 n;
    while ((n = file.read(piece, sizeof piece)) > 0) {
        bytes->append(piece, qsizetype(n));
        if (bytes->size() > MaxFileSize)
            return fail(QStringLiteral("it is too large for a catalogue file"));
    }
    if (n < 0 || file.error() != QFileDevice::NoError)
        return fail(file.errorString());
    return true;
}

bool isUtf8(QByteArrayView bytes)
{
    // ASCII is UTF-8: only what follows the first byte above 127 needs decoding. Eight
    // bytes are looked at a time.
    const char *data = bytes.data();
    const qsizetype size = bytes.size();
    qsizetype ascii = 0;
    for (; ascii + 8 <= size; ascii += 8) {
        quint64 word;
        std::memcpy(&word, data + ascii, sizeof word);
        if (word & 0x8080808080808080ULL)
            break;
    }
    while (ascii < size && static_cast<unsigned char>(data[ascii]) < 0x80)
        ++ascii;
    if (ascii == size)
        return true;
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder(bytes.sliced(ascii));
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

namespace {

// Writes all of `bytes` to `fd`; false with errno set on a short write.
bool writeAll(int fd, const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = ENOSPC;
            return false;
        }
        done += n;
    }
    return true;
}

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

QString unfinishedSuffix()
{
    return QStringLiteral(".vellaro-new");
}

namespace {

bool write(const QString &path, const QByteArray &bytes, bool durable);
thread_local Batch *t_batch = nullptr;

// The catalogue whose folder holds the journal of this program's batches (empty: none
// is written), set by the holder of its lock (finishInterruptedBatch).
std::mutex g_journalMutex;
QString g_journalFolder;

const char kJournalName[] = "unfinished-change.vellaro-journal";
const QByteArray kJournalHead = "VellaroJournal 1";

QString journalFolder()
{
    const std::lock_guard<std::mutex> hold(g_journalMutex);
    return g_journalFolder;
}

void syncFolder(const QByteArray &folder)
{
    const int dir = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}
// statfs's f_type of a file system in user space.
constexpr long kFuseMagic = 0x65735546;

} // namespace

struct BatchWriter
{
    // The batch the durable writes of this thread are staged into, if any.
    static Batch *current() { return t_batch; }
    // A file staged twice in one batch is renamed once, in its newest version (the
    // second staging replaced the first under the same name).
    static void add(Batch *batch, const QByteArray &folder, const QByteArray &staged, const QByteArray &name)
    {
        const QByteArray path = folder + '/' + name;
        if (batch->m_paths.contains(path))
            return;
        batch->m_paths.insert(path);
        batch->m_staged.push_back({folder, staged, name});
    }
};

namespace {

// What keeps this run's staged files from the sweep of an earlier run's left-overs: the
// sweep removes nothing while a change of several files is open (its staged files wait
// for its renames), nor a staged name a single write is using. Writes never wait for the
// sweep, which may take minutes after a kill in the middle of a large change.
std::mutex g_stagingMutex;
std::condition_variable g_batchesClosed;
int g_openBatches = 0;
QMultiHash<QByteArray, int> g_stagingNames;  // file names of staged files in use
std::atomic_bool g_sweepStop{false};

class StagingClaim
{
public:
    explicit StagingClaim(const QByteArray &name)
        : m_name(name)
    {
        const std::lock_guard<std::mutex> hold(g_stagingMutex);
        g_stagingNames.insert(m_name, 0);
    }
    ~StagingClaim()
    {
        const std::lock_guard<std::mutex> hold(g_stagingMutex);
        g_stagingNames.remove(m_name, 0);
    }
    StagingClaim(const StagingClaim &) = delete;
    StagingClaim &operator=(const StagingClaim &) = delete;

private:
    QByteArray m_name;
};

// Runs `work` on a thread of its own while `tell` is called on this one every few
// hundredths of a second, then once more when the work is done: thousands of files
// take minutes on a slow disk, and the caller's window keeps repainting meanwhile.
void runBesideTelling(const std::function<void()> &work, const std::function<void()> &tell)
{
    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
    std::thread worker([&] {
        work();
        const std::lock_guard<std::mutex> lock(mutex);
        done = true;
        ended.notify_all();
    });
    for (;;) {
        tell();
        std::unique_lock<std::mutex> lock(mutex);
        if (ended.wait_for(lock, std::chrono::milliseconds(30), [&done] { return done; }))
            break;
    }
    worker.join();
    tell();
}

} // namespace

Batch::Batch()
{
    // One batch at a time on a thread: a second would take the first one's files. A
    // batch begun while another is paused is fine (the first cannot stage meanwhile).
    if (t_batch)
        qFatal("CatalogueFile::Batch: a batch is already open on this thread");
    // The sweep of left-overs leaves the batch's staged files alone until it is done.
    {
        const std::lock_guard<std::mutex> hold(g_stagingMutex);
        ++g_openBatches;
    }
    t_batch = this;
}

Batch::~Batch()
{
    if (m_open) {
        removeStaged(0);
        if (t_batch == this)
            t_batch = nullptr;
    }
    const std::lock_guard<std::mutex> hold(g_stagingMutex);
    --g_openBatches;
    g_batchesClosed.notify_all();
}

Batch::Pause::Pause()
    : m_batch(t_batch)
{
    t_batch = nullptr;
}

Batch::Pause::~Pause()
{
    t_batch = m_batch;
}

void Batch::removeStaged(std::size_t from)
{
    for (std::size_t i = from; i < m_staged.size(); ++i) {
        const Staged &file = m_staged[i];
        ::unlink((file.folder + '/' + file.staged).constData());
    }
}

void Batch::drop(const std::function<void(qsizetype removed, qsizetype total)> &whileDropping)
{
    if (!m_open)
        return;
    m_open = false;
    if (t_batch == this)
        t_batch = nullptr;
    std::atomic<std::size_t> removed{0};
    runBesideTelling(
        [this, &removed] {
            for (const Staged &file : m_staged) {
                ::unlink((file.folder + '/' + file.staged).constData());
                removed.fetch_add(1, std::memory_order_relaxed);
            }
        },
        [this, &removed, &whileDropping] {
            whileDropping(qsizetype(removed.load(std::memory_order_relaxed)), qsizetype(m_staged.size()));
        });
    m_staged.clear();
    m_paths.clear();
}

QStringList Batch::renamed() const
{
    QStringList paths;
    for (std::size_t i = 0; i < m_renamed && i < m_staged.size(); ++i)
        paths << QFile::decodeName(m_staged[i].folder + '/' + m_staged[i].name);
    return paths;
}

bool Batch::commit(const std::function<void(qsizetype renamed, qsizetype total)> &whileWriting)
{
    m_open = false;
    if (t_batch == this)
        t_batch = nullptr;
    t_lastWriteError.clear();
    // The folders, each once, in the order their first file was staged. One folder is
    // open at a time: a batch may span thousands of albums.
    std::vector<QByteArray> folders;
    {
        QSet<QByteArray> seen;
        for (const Staged &file : m_staged) {
            if (!seen.contains(file.folder)) {
                seen.insert(file.folder);
                folders.push_back(file.folder);
            }
        }
    }
    // Every staged file reaches the disk before any is renamed: a power cut then leaves
    // each file old or new. One flush a file system; a file system in user space
    // (FUSE: a USB disk through ntfs-3g, sshfs) is not flushed by syncfs, so there each
    // file is flushed itself. Only the staged files and the folders are read meanwhile.
    auto flush = [this, &folders]() -> int {
        std::vector<dev_t> flushed;
        for (const QByteArray &folder : folders) {
            const int dir = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            struct stat info;
            struct statfs system;
            if (dir < 0 || ::fstat(dir, &info) != 0 || ::fstatfs(dir, &system) != 0) {
                const int error = errno;
                if (dir >= 0)
                    ::close(dir);
                return error;
            }
            int error = 0;
            if (system.f_type == kFuseMagic) {
                for (const Staged &file : m_staged) {
                    if (file.folder != folder)
                        continue;
                    const int fd = ::openat(dir, file.staged.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
                    if (fd < 0 || ::fsync(fd) != 0)
                        error = errno;
                    if (fd >= 0)
                        ::close(fd);
                    if (error)
                        break;
                }
            } else if (std::find(flushed.begin(), flushed.end(), info.st_dev) == flushed.end()) {
                if (::syncfs(dir) != 0)
                    error = errno;
                else
                    flushed.push_back(info.st_dev);
            }
            ::close(dir);
            if (error)
                return error;
        }
        return 0;
    };
    // Flushed, the renames are written down first (durably): a change cut short among
    // them is finished at the next start (finishInterruptedBatch), not left half new.
    // Then each file takes its new name. The reason of a failure is returned (empty:
    // every file holds its new version); what was staged and not renamed is removed.
    std::atomic<std::size_t> named{0};
    const QString journalAt = m_staged.size() > 1 ? journalFolder() : QString();
    auto work = [this, &flush, &folders, &named, &journalAt]() -> QString {
        if (const int error = flush()) {
            removeStaged(0);
            return systemError(error);
        }
        QByteArray journal;
        if (!journalAt.isEmpty()) {
            QByteArray entries = kJournalHead + '\n';
            for (const Staged &file : m_staged)
                entries += file.folder.toPercentEncoding() + ' ' + file.staged.toPercentEncoding() + ' '
                           + file.name.toPercentEncoding() + '\n';
            entries += "End " + QByteArray::number(qulonglong(m_staged.size())) + '\n';
            journal = QFile::encodeName(batchJournalPath(journalAt));
            if (!write(QFile::decodeName(journal), entries, true)) {
                const QString why = t_lastWriteError;
                removeStaged(0);
                return why.isEmpty() ? QStringLiteral("the journal of the change cannot be written") : why;
            }
        }
        for (std::size_t i = 0; i < m_staged.size(); ++i) {
            const Staged &file = m_staged[i];
            if (::rename((file.folder + '/' + file.staged).constData(), (file.folder + '/' + file.name).constData())
                != 0) {
                const int error = errno;
                // What was renamed is put back by the caller: the journal must not finish the rest.
                if (!journal.isEmpty())
                    ::unlink(journal.constData());
                removeStaged(i);
                return systemError(error);
            }
            named.store(i + 1, std::memory_order_relaxed);
        }
        // The new names survive a power cut too.
        for (const QByteArray &folder : folders)
            syncFolder(folder);
        if (!journal.isEmpty()) {
            ::unlink(journal.constData());
            syncFolder(QFile::encodeName(journalAt));
        }
        return {};
    };
    QString error;
    if (!whileWriting) {
        error = work();
    } else {
        // A large change takes minutes on a slow disk: the disk's work goes on in a
        // thread of its own while this one is told how far it is, to the last count.
        runBesideTelling([&error, &work] { error = work(); },
                         [this, &named, &whileWriting] {
                             whileWriting(qsizetype(named.load(std::memory_order_relaxed)),
                                          qsizetype(m_staged.size()));
                         });
    }
    m_renamed = named.load();
    if (!error.isEmpty()) {
        t_lastWriteError = error;
        return false;
    }
    return true;
}

QString batchJournalPath(const QString &catalogueRoot)
{
    return catalogueRoot + QLatin1Char('/') + QLatin1String(kJournalName);
}

namespace {

struct JournalEntry
{
    QByteArray folder, staged, name;
};

// The renames a journal writes down; false (and why) when it cannot be read or is
// damaged.
bool readJournal(const QString &path, std::vector<JournalEntry> *entries, QString *why)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *why = file.errorString();
        return false;
    }
    const QList<QByteArray> lines = file.readAll().split('\n');
    file.close();
    const QString damaged = QStringLiteral("the journal of the change (%1) is damaged").arg(path);
    // Head, entries, "End <count>", and the empty text after the last line end.
    const qsizetype count = lines.size() - 3;
    if (lines.size() < 3 || lines.first() != kJournalHead || !lines.last().isEmpty()
        || lines.at(lines.size() - 2) != "End " + QByteArray::number(count)) {
        *why = damaged;
        return false;
    }
    for (qsizetype i = 1; i <= count; ++i) {
        const QList<QByteArray> fields = lines.at(i).split(' ');
        if (fields.size() != 3) {
            *why = damaged;
            return false;
        }
        JournalEntry entry{QByteArray::fromPercentEncoding(fields.at(0)), QByteArray::fromPercentEncoding(fields.at(1)),
                           QByteArray::fromPercentEncoding(fields.at(2))};
        // Only names within their folder: a damaged journal leads nowhere else.
        for (const QByteArray *name : {&entry.staged, &entry.name}) {
            if (name->isEmpty() || name->contains('/') || *name == "." || *name == "..") {
                *why = damaged;
                return false;
            }
        }
        if (!entry.staged.endsWith(QFile::encodeName(unfinishedSuffix()))) {
            *why = damaged;
            return false;
        }
        entries->push_back(std::move(entry));
    }
    return true;
}

} // namespace

PendingBatch pendingBatch(const QString &catalogueRoot)
{
    PendingBatch pending;
    std::vector<JournalEntry> entries;
    QString why;
    if (catalogueRoot.isEmpty() || !QFileInfo::exists(batchJournalPath(catalogueRoot))
        || !readJournal(batchJournalPath(catalogueRoot), &entries, &why))
        return pending;
    for (const JournalEntry &entry : entries) {
        const QString folder = QFile::decodeName(entry.folder) + QLatin1Char('/');
        pending.staged.insert(folder + QFile::decodeName(entry.staged));
        pending.replaced.insert(folder + QFile::decodeName(entry.name));
    }
    return pending;
}

int finishInterruptedBatch(const QString &catalogueRoot,
                           const std::function<void(qsizetype done, qsizetype total)> &progress)
{
    t_lastWriteError.clear();
    {
        const std::lock_guard<std::mutex> hold(g_journalMutex);
        g_journalFolder = catalogueRoot;
    }
    if (catalogueRoot.isEmpty())
        return 0;
    const QString path = batchJournalPath(catalogueRoot);
    QFile file(path);
    if (!file.exists())
        return 0;
    auto failed = [](const QString &why) {
        t_lastWriteError = why;
        return -1;
    };
    if (g_readOnly)
        return failed(QStringLiteral("the catalogue is open read-only"));
    std::vector<JournalEntry> entries;
    if (QString why; !readJournal(path, &entries, &why))
        return failed(why);
    // Each file still under its staged name takes its new version; those renamed before
    // the change was cut short are left as they are.
    int finished = 0;
    // Each folder once: the change may span thousands of albums (a look along a list
    // for each of half a million files took minutes).
    std::vector<QByteArray> folders;
    QSet<QByteArray> seen;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (progress && i % 256 == 0)
            progress(qsizetype(i), qsizetype(entries.size()));
        const JournalEntry &entry = entries[i];
        const QByteArray staged = entry.folder + '/' + entry.staged;
        struct stat info;
        if (::lstat(staged.constData(), &info) != 0 || !S_ISREG(info.st_mode))
            continue;
        if (::rename(staged.constData(), (entry.folder + '/' + entry.name).constData()) != 0)
            return failed(QStringLiteral("%1: %2").arg(QFile::decodeName(entry.folder + '/' + entry.name),
                                                        systemError(errno)));
        ++finished;
        if (!seen.contains(entry.folder)) {
            seen.insert(entry.folder);
            folders.push_back(entry.folder);
        }
    }
    for (const QByteArray &folder : folders)
        syncFolder(folder);
    if (!QFile::remove(path))
        return failed(QStringLiteral("%1: %2").arg(path, QStringLiteral("cannot be removed")));
    syncFolder(QFile::encodeName(catalogueRoot));
    return finished;
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    return write(path, bytes, true);
}

bool writeCacheBytes(const QString &path, const QByteArray &bytes)
{
    return write(path, bytes, false);
}

namespace {

bool write(const QString &path, const QByteArray &bytes, bool durable)
{
    auto fail = [](const QString &why) {
        t_lastWriteError = why;
        return false;
    };
    t_lastWriteError.clear();
    if (g_readOnly)
        return fail(QStringLiteral("the catalogue is open read-only"));
    if (path.isEmpty())
        return fail(QStringLiteral("the picture is in no album"));
    const QFileInfo info(path);
    // A link would lead the write to what it points at, which may lie outside the
    // catalogue; a FIFO, a device or a folder standing there is not replaced.
    if (info.isSymLink())
        return fail(QStringLiteral("it is a symbolic link"));
    if (info.exists() && !info.isFile())
        return fail(QStringLiteral("it is not a regular file"));

    // The new version is written whole into a file without a name, made durable, then
    // given the name "<file>.vellaro-new" and renamed over the file: a kill leaves the
    // old version or the new one. Only between naming and renaming (microseconds) can a
    // kill leave the unused new version under its own name, which the next writer
    // removes (sweepUnfinished).
    const QByteArray folder = QFile::encodeName(info.absolutePath());
    const QByteArray name = QFile::encodeName(info.fileName());
    // Where "<file>.vellaro-new" would be longer than a file name may be (255 bytes), the
    // new version is named by a hash of the file's name, ending alike: every file the
    // catalogue can name can be written.
    QByteArray staged = name + QFile::encodeName(unfinishedSuffix());
    if (staged.size() > NAME_MAX)
        staged = '.' + QCryptographicHash::hash(name, QCryptographicHash::Sha1).toHex()
                 + QFile::encodeName(unfinishedSuffix());
    // The sweep of an earlier run's left-overs, which may be under way, leaves this
    // name alone while it is in use here.
    const StagingClaim claim(staged);
    const int dir = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0)
        return fail(systemError(errno));
    struct stat old;
    const mode_t mode = ::fstatat(dir, name.constData(), &old, AT_SYMLINK_NOFOLLOW) == 0 ? (old.st_mode & 07777) : 0;
    bool unnamed = true;
    int fd = ::openat(dir, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (fd < 0) {
        // A file system without unnamed files: the staged name from the start.
        unnamed = false;
        ::unlinkat(dir, staged.constData(), 0);
        fd = ::openat(dir, staged.constData(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC | O_NOFOLLOW, 0666);
    }
    if (fd < 0) {
        const int error = errno;
        ::close(dir);
        return fail(systemError(error));
    }
    auto abandon = [&](int error) {
        ::close(fd);
        if (!unnamed)
            ::unlinkat(dir, staged.constData(), 0);
        ::close(dir);
        return fail(systemError(error));
    };
    // In a batch the file is flushed and renamed with the others, at its commit.
    Batch *const batch = durable ? BatchWriter::current() : nullptr;
    if (mode != 0 && ::fchmod(fd, mode) != 0)
        return abandon(errno);
    if (!writeAll(fd, bytes) || (durable && !batch && ::fsync(fd) != 0))
        return abandon(errno);
    if (unnamed) {
        ::unlinkat(dir, staged.constData(), 0);
        const QByteArray self = "/proc/self/fd/" + QByteArray::number(fd);
        if (::linkat(AT_FDCWD, self.constData(), dir, staged.constData(), AT_SYMLINK_FOLLOW) != 0)
            return abandon(errno);
    }
    ::close(fd);
    if (batch) {
        ::close(dir);
        BatchWriter::add(batch, folder, staged, name);
        return true;
    }
    if (::renameat(dir, staged.constData(), dir, name.constData()) != 0) {
        const int error = errno;
        ::unlinkat(dir, staged.constData(), 0);
        ::close(dir);
        return fail(systemError(error));
    }
    if (durable)
        ::fsync(dir);  // the new name survives a power cut too
    ::close(dir);
    return true;
}

} // namespace

namespace {

std::mutex g_sweepMutex;
std::shared_future<int> g_sweep;
std::optional<QString> g_putOffSweep;  // the catalogue whose sweep waits to begin
std::function<void(int)> g_swept;      // told when the sweep has gone through it all

// With g_sweepMutex held.
void beginSweep(QString root)
{
    g_putOffSweep.reset();
    g_sweepStop = false;
    g_sweep = std::async(std::launch::async, [root, swept = g_swept] {
                  int changeFiles = 0;
                  const int removed = sweepUnfinished(root, &changeFiles);
                  if (swept && !g_sweepStop)
                      swept(changeFiles);
                  return removed;
              }).share();
}

} // namespace

void startSweepUnfinished(const QString &root, bool putOff, const std::function<void(int)> &swept)
{
    const std::lock_guard<std::mutex> hold(g_sweepMutex);
    g_swept = swept;
    if (putOff) {
        g_sweep = {};
        g_putOffSweep = root;
    } else {
        beginSweep(root);
    }
}

void startPutOffSweep()
{
    const std::lock_guard<std::mutex> hold(g_sweepMutex);
    if (g_putOffSweep)
        beginSweep(*g_putOffSweep);
}

int stopSweep()
{
    std::shared_future<int> sweep;
    {
        const std::lock_guard<std::mutex> hold(g_sweepMutex);
        g_putOffSweep.reset();
        g_swept = {};
        sweep = g_sweep;
    }
    {
        const std::lock_guard<std::mutex> hold(g_stagingMutex);
        g_sweepStop = true;
        g_batchesClosed.notify_all();
    }
    const int removed = sweep.valid() ? sweep.get() : 0;
    g_sweepStop = false;
    return removed;
}

int waitForSweep()
{
    std::shared_future<int> sweep;
    {
        const std::lock_guard<std::mutex> hold(g_sweepMutex);
        if (g_putOffSweep)
            beginSweep(*g_putOffSweep);
        sweep = g_sweep;
    }
    return sweep.valid() ? sweep.get() : 0;
}

int sweepUnfinished(const QString &root, int *changeFiles)
{
    int removed = 0;
    if (changeFiles)
        *changeFiles = 0;
    const QString suffix = unfinishedSuffix();
    // A change that could not be finished keeps its staged files for the next try.
    const QString journal = batchJournalPath(root);
    if (QFile::exists(journal))
        return removed;
    QDirIterator it(root, {QStringLiteral("*") + unfinishedSuffix()}, QDir::Files | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext() && !g_sweepStop) {
        const QString path = it.next();
        if (it.fileInfo().isSymLink())
            continue;
        std::unique_lock<std::mutex> hold(g_stagingMutex);
        // This run's own staged files are not left-overs: a change of several files holds
        // its own until its renames are done, a single write the name it is using.
        g_batchesClosed.wait(hold, [] { return g_openBatches == 0 || g_sweepStop; });
        if (g_sweepStop)
            break;
        if (g_stagingNames.contains(QFile::encodeName(it.fileName())))
            continue;
        // A change of this run cut short among its renames keeps its staged files too.
        if (QFile::exists(journal))
            break;
        if (QFile::remove(path)) {
            ++removed;
            const QString name = it.fileName().chopped(suffix.size());
            if (changeFiles && (name.endsWith(QLatin1String(".kiv")) || name.endsWith(QLatin1String(".db"))))
                ++*changeFiles;
        }
    }
    return removed;
}

void refuseWrite(const QString &why)
{
    t_lastWriteError = why;
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
    QString value = line.mid(keyLength);
    // A key of another length may end inside a character written as two UTF-16 units;
    // its second half alone is no character (it would be written back as "?").
    if (keyLength > 0 && keyLength < line.size() && line.at(keyLength).isLowSurrogate()
        && line.at(keyLength - 1).isHighSurrogate())
        value.remove(0, 1);
    return value;
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
