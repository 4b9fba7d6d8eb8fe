#include "catalogueloader.h"

#include "cataloguecontext.h"
#include "cataloguelog.h"
#include "directoryplaylist.h"
#include "libraryindex.h"
#include "playlistgroup.h"
#include "prompter.h"

#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QSignalBlocker>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <atomic>
#include <fcntl.h>
#include <unistd.h>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace CatalogueLoader {

namespace {

bool passes(const QString &filter, const QString &kind)
{
    return filter == QLatin1String("media") || kind == QLatin1String("media") || kind == filter;
}

void finish(PlayList *album, bool isGroup)
{
    const QString title = album->title();
    album->setText(1, (isGroup || title.isEmpty() || title == QLatin1String(" ")) ? album->name() : title);
    album->setDirty(false);
    album->setFlags(album->flags() | Qt::ItemIsDragEnabled);
    album->setBackgroundColour(QColor(220, 220, 220));
}

// What the reader found of the album's folder, for the refusal check.
struct FolderLook
{
    QString kivDir;
    bool isLink = false;
};

bool takeRead(PlayList *album, PlayList::AlbumFile &&file, int *promised, FolderLook *look)
{
    // The header alone: the rows come later.
    *promised = file.headerOnly ? file.promised : -1;
    look->kivDir = file.folderLooked;
    look->isLink = file.folderIsLink;
    const QString kind = file.contentKind;
    if (!album->loadRead(std::move(file)))
        return false;
    album->presetContentKind(kind);
    return true;
}

// The album files of a catalogue, read and parsed on threads of their own while the
// albums are made from them in index order: with thousands of albums the reading is
// most of a start. Each file is taken by the one album it is read for.
class FileReader
{
public:
    struct Job
    {
        QString path;
        QString suffix;
        bool withFolder = false;
        bool kind = false;
        bool header = false;  // the header alone when the rows can wait (readHeader)
        // With the catalogue folder and the album's id: a look at the album's folder too
        // (AlbumFile::folderLooked).
        QString catalogue;
        QString id;
    };

    // With `folder`, the folder every job's file (and every album folder looked at) is
    // in: they are opened and looked at by their names in it. With `busy` (the list being
    // made, nothing else to answer), a thread that would wait for a file reads others
    // meanwhile; otherwise it waits (a file it took on could be far larger than its own,
    // the window kept waiting for it).
    explicit FileReader(QList<Job> jobs, bool startNow = true, const QString &folder = QString(), bool busy = false)
        : m_jobs(std::move(jobs))
        , m_files(size_t(m_jobs.size()))
        , m_ready(size_t(m_jobs.size()))
        , m_busy(busy)
    {
        if (!folder.isEmpty())
            m_folderFd = ::open(QFile::encodeName(folder).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (startNow)
            start();
    }

    void start()
    {
        // A few files are read at once on the taking thread; more on every core.
        if (!m_threads.empty())
            return;
        const int threads = m_jobs.size() < 16 ? 0 : int(qBound(1u, std::thread::hardware_concurrency(), 8u));
        for (int t = 0; t < threads; ++t)
            m_threads.emplace_back([this] { work(); });
    }

    ~FileReader()
    {
        m_stop = true;
        for (std::thread &thread : m_threads)
            thread.join();
        if (m_folderFd >= 0)
            ::close(m_folderFd);
    }

    // The file of job `i`, read here when no thread has taken it yet.
    PlayList::AlbumFile take(int i)
    {
        std::atomic<int> &state = m_ready[size_t(i)];
        int expected = Waiting;
        // Nobody has begun this one: this thread reads it, the others pass it by.
        if (state.compare_exchange_strong(expected, Taken))
            return read(i);
        // Being read: rather than wait, a busy reader reads files nobody has begun.
        while (m_busy && state.load(std::memory_order_acquire) != Done && readNext()) {
        }
        std::unique_lock<std::mutex> lock(m_mutex);
        m_done.wait(lock, [&state] { return state.load(std::memory_order_acquire) == Done; });
        return std::move(m_files[size_t(i)]);
    }

private:
    enum { Waiting, Reading, Done, Taken };

    PlayList::AlbumFile read(int i) const
    {
        const Job &job = m_jobs.at(i);
        PlayList::AlbumFile file = job.header
                                       ? PlayList::readHeader(job.path, job.suffix, job.withFolder, m_folderFd)
                                       : PlayList::readFile(job.path, job.suffix, job.withFolder);
        if (job.kind && file.state == PlayList::FileState::Loaded && !file.headerOnly)
            file.contentKind = PlayList::kindOfRows(file.rows);
        // An album read whole is looked at now; one whose header alone was read is when
        // its rows come (LateRowSource::arrived): what it refuses can only be known then.
        if (!job.catalogue.isEmpty() && !file.headerOnly) {
            // The folder of the KivDir the album takes from its file, else of its id.
            const bool named = file.state == PlayList::FileState::Loaded && !file.kivDir.isEmpty();
            file.folderLooked = named ? file.kivDir : job.id;
            if (PlayList::isSafeKivDir(file.folderLooked))
                file.folderIsLink = m_folderFd >= 0
                                        ? PlayList::isLinkAt(m_folderFd, file.folderLooked)
                                        : PlayList::isLink(job.catalogue + QLatin1Char('/') + file.folderLooked);
            else
                file.folderLooked.clear();
        }
        return file;
    }

    // Reads the next file nobody has begun, if any is left.
    bool readNext()
    {
        for (;;) {
            const int i = m_next.fetch_add(1);
            if (i >= m_jobs.size() || m_stop)
                return false;
            std::atomic<int> &state = m_ready[size_t(i)];
            int expected = Waiting;
            if (!state.compare_exchange_strong(expected, Reading))
                continue;
            m_files[size_t(i)] = read(i);
            {
                const std::lock_guard<std::mutex> lock(m_mutex);
                state.store(Done, std::memory_order_release);
            }
            m_done.notify_all();
            return true;
        }
    }

    void work()
    {
        while (readNext()) {
        }
    }

    const QList<Job> m_jobs;
    std::vector<PlayList::AlbumFile> m_files;
    std::vector<std::atomic<int>> m_ready;
    std::atomic<int> m_next{0};
    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
    std::condition_variable m_done;
    std::vector<std::thread> m_threads;
    int m_folderFd = -1;
    const bool m_busy;
};

// Marks an album whose file cannot be written through: listed, but in red, the reason a
// hover away.
void markRefused(PlayList *album, const QString &refusal)
{
    album->setValid(false);
    album->setTextColour(QColor(160, 0, 0));
    album->setToolTip(1, refusal);
}

} // namespace

// The whole files of the albums whose headers alone were read.
class LateRowSource : public PlayList::RowSource
{
public:
    explicit LateRowSource(QList<FileReader::Job> jobs)
        : m_files(std::move(jobs), false)
    {
    }
    void start() { m_files.start(); }
    PlayList::AlbumFile take(int job) override { return m_files.take(job); }
    void arrived(PlayList *album) override
    {
        // The header read well; the rest of the file may not have.
        const QString refusal = album->writeRefusal();
        if (refusal.isEmpty())
            return;
        markRefused(album, refusal);
        m_problems << refusal;
        qCWarning(lcCatalogue) << refusal;
    }
    QStringList problems() const { return m_problems; }

private:
    FileReader m_files;
    QStringList m_problems;
};

LateRows::LateRows(QObject *parent)
    : QObject(parent)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &LateRows::takeSome);
}

LateRows::~LateRows() = default;

void LateRows::start(QTreeWidget *list, std::function<void(const QStringList &)> finished)
{
    m_list = list;
    m_finished = std::move(finished);
    if (!m_source) {
        if (m_finished)
            m_finished({});
        return;
    }
    m_source->start();
    m_timer.start(0);
}

void LateRows::takeSome()
{
    if (!m_source)
        return;
    QElapsedTimer spent;
    spent.start();
    bool waiting = false;
    for (PlayList *album : storedAlbums(m_list)) {
        if (!album->rowsPending())
            continue;
        if (spent.elapsed() >= 8) {
            waiting = true;
            break;
        }
        album->takePendingRows();
    }
    if (waiting) {
        m_timer.start(0);
        return;
    }
    finishNow();
}

void LateRows::finishNow()
{
    if (!m_source)
        return;
    if (m_list) {
        for (PlayList *album : storedAlbums(m_list))
            album->takePendingRows();
    }
    m_timer.stop();
    const QStringList problems = m_source->problems();
    m_source.reset();
    if (m_finished)
        m_finished(problems);
}

QList<PlayList *> load(QTreeWidget *list, const LibraryIndex &index, const CatalogueContext &context,
                       const QString &filter, Prompter *prompter, QStringList *problems, LateRows *late)
{
    QList<PlayList *> created;
    if (filter.isEmpty()) {
        if (prompter) {
            prompter->message(nullptr, {Prompter::Icon::Warning, QStringLiteral("Vellaro"),
                                        QStringLiteral("Could not open the Database.\n\n\n"),
                                        {QStringLiteral("Retry"), QStringLiteral("Quit")}, 0, 1});
        }
        return created;
    }
    // Nothing reacts to the items' texts while they are set up: loading writes nothing.
    const QSignalBlocker quiet(list);
    list->clear();
    // Groups are found by the text of column 1: a list without that column (the
    // command-line tool's) would put every album at the top level.
    if (list->columnCount() < 3)
        list->setColumnCount(3);
    // The albums are made away from the list and put into it at once at the end: one
    // by one, each would be laid into a shown list (thousands at every start). In the
    // order of the index, sorted once if the list is.
    QList<QTreeWidgetItem *> top;
    // The groups by name, the first of a name standing for it. (Found by the title
    // column of any album before, a dynamic album went under a plain album that
    // happened to be titled as its group.)
    QHash<QString, PlayList *> groups;
    // The plain and dynamic albums' files, read ahead.
    QList<FileReader::Job> jobs;
    jobs.reserve(index.rowCount());
    QList<int> jobOfRow(index.rowCount(), -1);
    for (int i = 0; i < index.rowCount(); ++i) {
        const QStringList row = index.row(i);
        auto text = [&row](int k) { return k < row.size() ? row.at(k) : QString(); };
        const QString kind = text(1), className = text(3), id = text(4);
        if (!passes(filter, kind) || !PlayList::isSafeKivDir(id))
            continue;
        const bool dynamic = className == QLatin1String("DirectoryPlaylist");
        if (!dynamic && className != QLatin1String("Playlist"))
            continue;
        const QString suffix = dynamic ? QStringLiteral(".dir") : QStringLiteral(".db");
        jobOfRow[i] = int(jobs.size());
        jobs.append({context.folder + QLatin1Char('/') + id + suffix, suffix, dynamic, context.kindsAtLoad,
                     late != nullptr, context.folder, id});
    }
    FileReader files(jobs, true, context.folder, true);
    // The albums whose headers alone were read, with what their files promise.
    struct Late
    {
        PlayList *album;
        int job;
        int promised;
    };
    QList<Late> lates;
    for (int i = 0; i < index.rowCount(); ++i) {
        const QStringList row = index.row(i);
        auto text = [&row](int k) { return k < row.size() ? row.at(k) : QString(); };
        const QString group = text(0), kind = text(1), name = text(2), className = text(3), id = text(4);
        if (!passes(filter, kind))
            continue;
        const bool safeId = PlayList::isSafeKivDir(id);
        // An unsafe id is never used to name a file: such an album reads nothing.
        PlayList *album = nullptr;
        QString missing;
        int promised = -1;
        FolderLook look;
        if (className == QLatin1String("Playlist")) {
            album = new PlayList;
            album->setContext(&context);
            album->resetRows();
            album->setName(name);
            if (!safeId || !takeRead(album, files.take(jobOfRow.at(i)), &promised, &look))
                album->setKivDir(id);
            // A listed album whose file is gone stays usable, shown empty; but it is
            // said, for its pictures may be wanted back from a backup.
            if (safeId && album->fileState() == PlayList::FileState::Missing)
                missing = QStringLiteral("The file of the album \"%1\" is missing (%2); it is shown empty. Its "
                                         "pictures can be put back from a backup (vellaro-cli restore).")
                              .arg(name, context.folder + QLatin1Char('/') + id + QStringLiteral(".db"));
        } else if (className == QLatin1String("DirectoryPlaylist")) {
            QTreeWidgetItem *parent = group == QLatin1String("NONE") ? nullptr : groups.value(group);
            auto *dynamic = parent ? new DirectoryPlaylist(parent) : new DirectoryPlaylist;
            album = dynamic;
            album->setContext(&context);
            album->resetRows();
            album->setName(name);
            if (!safeId || !takeRead(album, files.take(jobOfRow.at(i)), &promised, &look))
                album->setValid(false);
            if (dynamic->from().isEmpty() || dynamic->from() == QLatin1String(" ")) {
                album->setKivDir(id);
                album->setValid(false);
            } else if (!DirectoryPlaylist::folderRefusal(dynamic->from()).isEmpty()) {
                album->setValid(false);
                if (problems)
                    *problems << QStringLiteral("The dynamic album \"%1\" is bound to a folder whose path cannot be "
                                                "catalogued: %2")
                                     .arg(name, dynamic->from());
            } else if (dynamic->folderGone()) {
                dynamic->setFolderMissing(true);
            }
        } else if (className == QLatin1String("PlayListGroup")) {
            album = new PlayListGroup;
            album->setContext(&context);
            album->resetRows();
            if (safeId)
                album->load(context.folder + QLatin1Char('/') + id + QStringLiteral(".group"));
            album->setName(name);
            album->setKivDir(id);
        } else {
            continue;
        }
        if (album->kivDir().isEmpty())
            album->setKivDir(id);
        album->setGroup(group);
        const std::optional<bool> looked =
            !look.kivDir.isEmpty() && look.kivDir == album->kivDir() ? std::optional<bool>(look.isLink) : std::nullopt;
        // An album whose rows come later is said wrong when they come.
        QString refusal = safeId ? (promised >= 0 ? QString() : album->writeRefusal(looked))
                                 : QStringLiteral("The album \"%1\" names a place outside the catalogue "
                                                        "(\"%2\"); it is left as it is.")
                                             .arg(name, id);
        if (!missing.isEmpty()) {
            if (problems)
                *problems << missing;
            qCWarning(lcCatalogue) << missing;
        }
        finish(album, className == QLatin1String("PlayListGroup"));
        if (!refusal.isEmpty()) {
            markRefused(album, refusal);
            if (problems)
                *problems << refusal;
            qCWarning(lcCatalogue) << refusal;
        }
        if (!album->parent())
            top.append(album);
        if (className == QLatin1String("PlayListGroup") && !groups.contains(name))
            groups.insert(name, album);
        created.append(album);
        if (promised >= 0)
            lates.append({album, jobOfRow.at(i), promised});
    }
    list->addTopLevelItems(top);
    if (late && !lates.isEmpty()) {
        QList<FileReader::Job> lateJobs;
        for (const Late &pending : std::as_const(lates)) {
            FileReader::Job job = jobs.at(pending.job);
            job.header = false;
            job.kind = true;
            job.catalogue.clear();  // looked at already
            lateJobs.append(job);
        }
        auto source = std::make_shared<LateRowSource>(lateJobs);
        for (int k = 0; k < lates.size(); ++k)
            lates.at(k).album->setPendingRows(source, k, lates.at(k).promised);
        late->setSource(source);
    }
    return created;
}

QList<PlayList *> storedAlbums(const QTreeWidget *list)
{
    QList<PlayList *> albums;
    for (QTreeWidgetItemIterator it(const_cast<QTreeWidget *>(list)); *it; ++it) {
        auto *album = dynamic_cast<PlayList *>(*it);
        if (!album || album->isSmart() || album->className() == QLatin1String("SmartPlaylist")
            || album->className() == QLatin1String("GroupYear") || album->className() == QLatin1String("PlayListGroup"))
            continue;
        albums.append(album);
    }
    return albums;
}

QList<PlayList *> topLevelAlbums(const QTreeWidget *list)
{
    QList<PlayList *> albums;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        if (auto *album = dynamic_cast<PlayList *>(list->topLevelItem(i)))
            albums.append(album);
    }
    return albums;
}

bool refuseInvalidAlbum(const PlayList *album, Prompter &prompter, QWidget *parent)
{
    if (!album || album->isValid())
        return false;
    prompter.message(parent, {Prompter::Icon::Warning, QStringLiteral("Album non valid"),
                              QStringLiteral("Your album is invalid.Do refresh thumbs or remove for resolve the issue."),
                              {QStringLiteral("OK")}, 0, 0});
    return true;
}

bool refuseSmartAlbum(const QList<PlayList *> &albums, Prompter &prompter, QWidget *parent)
{
    for (const PlayList *album : albums) {
        if (!album->isValid()) {
            prompter.message(parent, {Prompter::Icon::Warning, QStringLiteral("DataBase error"),
                                      QStringLiteral("DataBase Query error : Please remove corrupted album."),
                                      {QStringLiteral("OK")}, 0, 0});
            return true;
        }
    }
    return false;
}

} // namespace CatalogueLoader
