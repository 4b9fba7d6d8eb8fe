// The kill harness: runs the writing commands of vellaro-cli (new albums, adds, sets,
// removals of albums, renames of pictures, imports of every picture's tags from its
// sidecar, which write their property files as one batch) against a generated catalogue and kills
// them with SIGKILL at random moments. After every kill:
//  - every catalogue file is its old version or a whole new one (never empty, never
//    cut), and no temporary file is left beside one;
//  - the lock keeps no next writer out;
//  - `check` finds nothing but rows that disagree with their property files, album
//    files the index misses, and the killed holder's details in the lock file, and
//    `check --repair` clears them, losing no album and no tag;
//  - a renamed picture is under one of its two names, and every row names that one.
//
//   killharness --cli PATH [--kills N] [--seed S] [--keep]
//
// Exit status 0 when every kill passed, 1 at the first one that did not (what was
// wrong on standard error), 2 for a usage error.
#include "albumrows.h"
#include "cataloguecontext.h"
#include "cataloguelock.h"
#include "libraryindex.h"
#include "playlist.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTextStream>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <thread>
#include <unistd.h>
#include <sys/types.h>

namespace {

QTextStream err(stderr);
QTextStream out(stdout);

// An album's name from its id: the id is the name and a 23-character time stamp.
QString nameOf(const QString &id)
{
    return id.size() > 23 ? id.left(id.size() - 23) : id;
}

// An XMP sidecar giving a picture `title` and `rating` (its love), as a camera or
// another organiser leaves one beside a picture.
bool writeSidecar(const QString &path, const QString &title, int rating)
{
    QFile file(path);
    const QByteArray xml = "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">"
                           "<rdf:Description rdf:about=\"\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\" "
                           "xmlns:xmp=\"http://ns.adobe.com/xap/1.0/\" xmp:Rating=\""
                           + QByteArray::number(rating) + "\"><dc:title><rdf:Alt><rdf:li xml:lang=\"x-default\">"
                           + title.toUtf8() + "</rdf:li></rdf:Alt></dc:title></rdf:Description></rdf:RDF></x:xmpmeta>\n";
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(xml) == xml.size();
}

struct Run
{
    int code = -1;
    bool killed = false;
    qint64 writesUs = 0;  // from its first change of the catalogue to its last
    QByteArray out;
    QString err;
};

class Harness
{
public:
    Harness(const QString &cli, quint32 seed)
        : m_cli(cli)
        , m_random(seed)
    {
    }

    bool setUp();
    bool oneKill(int n);
    void report(int kills) const;

private:
    Run cli(const QStringList &args, qint64 killAfterUs = -1);
    QMap<QString, QByteArray> catalogueFiles() const;
    bool filesAreWhole(const QMap<QString, QByteArray> &before, QString *why) const;
    QMap<QString, QString> tags();  // "album|file" -> "title|love"
    QSet<QString> albumIds() const;
    bool fail(int n, const QString &why, const QString &command)
    {
        err << "kill " << n << " (" << command << "): " << why << Qt::endl;
        return false;
    }

    QString m_cli;
    QRandomGenerator m_random;
    QTemporaryDir m_dir;
    QString m_install;
    QStringList m_pictures;
    QStringList m_albums;  // names of the albums the loop may use
    int m_made = 0;
    int m_killedMidway = 0;
    int m_finished = 0;
    int m_killedAfterAWrite = 0;  // killed with some of its writes made
    int m_unfinished = 0;         // unused new versions left (between naming and renaming)
    int m_runs = 0;               // runs of the tool
    QMap<QString, int> m_kinds;  // problems seen after kills, by kind
    int m_repairs = 0;
    QMap<QString, qint64> m_durations;  // microseconds each command writes for, once it holds the lock
};

namespace {
// What the watched folders saw since last asked: the lock file written, and changes
// of anything else.
struct Seen
{
    bool lock = false;
    bool catalogue = false;
};

Seen drain(int watch)
{
    alignas(inotify_event) char buffer[8192];
    Seen seen;
    ssize_t n;
    while ((n = ::read(watch, buffer, sizeof buffer)) > 0) {
        for (ssize_t at = 0; at < n;) {
            const auto *event = reinterpret_cast<const inotify_event *>(buffer + at);
            if (event->len > 0 && QByteArray(event->name) == "vellaro.lock")
                seen.lock = true;
            else
                seen.catalogue = true;
            at += ssize_t(sizeof(inotify_event) + event->len);
        }
    }
    return seen;
}
} // namespace

Run Harness::cli(const QStringList &args, qint64 killAfterUs)
{
    using Clock = std::chrono::steady_clock;
    // The catalogue folders are watched (no busy waiting: the machine has few cores, and
    // the command must not be starved): the lock file naming the command says its writes
    // are near, the first change of anything else that they have begun.
    ++m_runs;
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (watch >= 0) {
        const uint32_t events = IN_CREATE | IN_MOVED_TO | IN_CLOSE_WRITE | IN_DELETE | IN_MOVED_FROM | IN_MODIFY;
        QStringList folders{m_install + "/DataBase", m_install + "/DataBase/db"};
        for (const QFileInfo &album : QDir(m_install + "/DataBase/db").entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot))
            folders << album.filePath();
        for (const QString &folder : folders)
            ::inotify_add_watch(watch, QFile::encodeName(folder).constData(), events);
    }
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", m_dir.path());
    env.insert("XDG_CONFIG_HOME", m_dir.filePath(".config"));
    env.insert("VELLARO_LOCK_WAIT_MS", "3000");
    // A run that is killed is no leak.
    env.insert("ASAN_OPTIONS", "detect_leaks=0");
    process.setProcessEnvironment(env);
    process.start(m_cli, QStringList{"--install-dir", m_install} + args);
    Run run;
    if (!process.waitForStarted()) {
        if (watch >= 0)
            ::close(watch);
        return run;
    }
    const QByteArray pid = QByteArray::number(process.processId()) + '\n';
    const QByteArray lockPath = QFile::encodeName(m_install + "/DataBase/vellaro.lock");
    auto holdsLock = [&] {
        const int fd = ::open(lockPath.constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return false;
        char head[32];
        const ssize_t n = ::pread(fd, head, sizeof head, 0);
        ::close(fd);
        return n >= pid.size() && QByteArray(head, int(pid.size())) == pid;
    };
    const Clock::time_point started = Clock::now();
    Clock::time_point firstChange, lastChange;
    bool locked = false, changed = false, killSent = false;
    while (process.state() != QProcess::NotRunning) {
        if (Clock::now() - started > std::chrono::seconds(120)) {
            process.kill();
            break;
        }
        pollfd ready{watch, POLLIN, 0};
        const int events = watch >= 0 ? ::poll(&ready, 1, 5) : 0;
        if (events > 0) {
            const Seen seen = drain(watch);
            if (!locked && seen.lock && holdsLock())
                locked = true;
            if (locked && seen.catalogue) {
                lastChange = Clock::now();
                if (!changed) {
                    changed = true;
                    firstChange = lastChange;
                }
            }
        }
        if (changed && killAfterUs >= 0 && !killSent) {
            std::this_thread::sleep_until(firstChange + std::chrono::microseconds(killAfterUs));
            ::kill(pid_t(process.processId()), SIGKILL);
            killSent = true;
        }
        if (events <= 0)
            process.waitForFinished(0);
    }
    process.waitForFinished();
    if (watch >= 0) {
        if (locked && drain(watch).catalogue)
            lastChange = Clock::now();
        ::close(watch);
    }
    if (changed)
        run.writesUs = std::chrono::duration_cast<std::chrono::microseconds>(lastChange - firstChange).count();
    run.killed = process.exitStatus() == QProcess::CrashExit;
    run.code = process.exitCode();
    run.out = process.readAllStandardOutput();
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

bool Harness::setUp()
{
    if (!m_dir.isValid())
        return false;
    m_install = m_dir.filePath("install");
    const QString pics = m_dir.filePath("pics");
    QDir().mkpath(pics);
    for (int i = 0; i < 24; ++i) {
        QImage image(32, 24, QImage::Format_RGB32);
        image.fill(QColor::fromHsv(i * 15, 200, 200));
        const QString path = pics + QStringLiteral("/p%1.jpg").arg(i, 2, 10, QLatin1Char('0'));
        if (!image.save(path, "JPEG"))
            return false;
        m_pictures << path;
    }
    for (const QString &name : {QStringLiteral("Alpha"), QStringLiteral("Beta"), QStringLiteral("Gamma")}) {
        if (cli({"new-album", name}).code != 0)
            return false;
        m_albums << name;
    }
    for (int i = 0; i < m_pictures.size(); ++i) {
        if (cli({"add", m_albums.at(i % 3), m_pictures.at(i)}).code != 0)
            return false;
    }
    for (const QString &picture : std::as_const(m_pictures)) {
        if (!writeSidecar(picture + ".xmp", QStringLiteral("Start"), 2))
            return false;
    }
    // How long each kind of command holds the lock: its kills fall within that time.
    const QList<QStringList> samples{{"set", "Alpha", "p00.jpg", "title=Start"},
                                     {"import-metadata", "Gamma", "--overwrite"},
                                     {"add", "Beta", m_pictures.at(0), m_pictures.at(1)},
                                     {"new-album", "Warmup"},
                                     {"remove-album", "Warmup"},
                                     {"rename", "Beta", "p00.jpg", "p00-r.jpg"}};
    for (const QStringList &sample : samples)
        m_durations.insert(sample.first(), qMax<qint64>(100, cli(sample).writesUs));
    return cli({"rename", "Alpha", "p00-r.jpg", "p00.jpg"}).code == 0 && cli({"check"}).code == 0;
}

QMap<QString, QByteArray> Harness::catalogueFiles() const
{
    QMap<QString, QByteArray> files;
    QDirIterator it(m_install + "/DataBase", QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (path.endsWith(QLatin1String("/vellaro.lock")))
            continue;
        QFile file(path);
        files.insert(path, file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>"));
    }
    return files;
}

bool Harness::filesAreWhole(const QMap<QString, QByteArray> &before, QString *why) const
{
    // Temporary names: the system's (name.XXXXXX) are never allowed; the one unused new
    // version a kill between naming and renaming leaves ("name.vellaro-new") must be
    // whole, and is removed by the next writer.
    static const QRegularExpression temporary(QStringLiteral("\\.(db|dir|group|kiv|list|smart)\\.[A-Za-z0-9]{6}$"));
    const QMap<QString, QByteArray> now = catalogueFiles();
    for (auto it = now.begin(); it != now.end(); ++it) {
        const QString &path = it.key();
        const QByteArray &bytes = it.value();
        if (temporary.match(path).hasMatch()) {
            *why = QStringLiteral("a temporary file is left: %1").arg(path);
            return false;
        }
        if (before.value(path) == bytes && before.contains(path))
            continue;  // the old version
        if (path.endsWith(QLatin1String(".vellaro-new")))
            ++const_cast<Harness *>(this)->m_unfinished;
        // A new version must be whole: not empty, ending with its line end, readable.
        if (path.endsWith(QLatin1String(".kiv")) || path.endsWith(QLatin1String(".db"))
            || path.endsWith(QLatin1String(".dir"))) {
            if (bytes.isEmpty() || !bytes.endsWith("\r\n")) {
                *why = QStringLiteral("%1 is empty or cut short").arg(path);
                return false;
            }
        }
        if (path.endsWith(QLatin1String("/library.db"))) {
            LibraryIndex index;
            index.setRoot(m_install + "/DataBase");
            index.load();
            if (index.isDamaged()) {
                *why = index.damage();
                return false;
            }
        } else if (path.endsWith(QLatin1String(".db")) && QFileInfo(path).dir().dirName() == QLatin1String("db")) {
            PlayList album;
            if (!album.load(path) || album.fileState() != PlayList::FileState::Loaded) {
                *why = QStringLiteral("the album file %1 is not whole (%2)").arg(path, album.damage());
                return false;
            }
        } else if (path.endsWith(QLatin1String(".kiv")) && bytes.count("\r\n") != 13) {
            *why = QStringLiteral("the property file %1 holds %2 lines").arg(path).arg(bytes.count("\r\n"));
            return false;
        }
    }
    return true;
}

QSet<QString> Harness::albumIds() const
{
    LibraryIndex index;
    index.setRoot(m_install + "/DataBase");
    index.load();
    QSet<QString> ids;
    for (int i = 0; i < index.rowCount(); ++i)
        ids.insert(index.row(i).value(4));
    return ids;
}

QMap<QString, QString> Harness::tags()
{
    // Read in place, as the tool reads them: title and love of every row.
    QMap<QString, QString> all;
    LibraryIndex index;
    index.setRoot(m_install + "/DataBase");
    index.load();
    for (int i = 0; i < index.rowCount(); ++i) {
        const QStringList row = index.row(i);
        if (row.value(3) != QLatin1String("Playlist"))
            continue;
        PlayList album;
        if (!album.load(m_install + "/DataBase/db/" + row.value(4) + ".db"))
            continue;
        for (int r = 0; r < album.rowTable().count(); ++r) {
            const QStringList texts = album.rowTable().row(r);
            all.insert(row.value(4) + '|' + texts.value(AlbumRows::FileName),
                       texts.value(AlbumRows::Title) + '|' + texts.value(AlbumRows::Love));
        }
    }
    return all;
}

bool Harness::oneKill(int n)
{
    // One writing command, chosen at random.
    QStringList args;
    QString changedKey;  // the picture whose tags the command changes
    QString newTags;
    QString importedTitle;  // an import's new title, for every picture of the album
    QString album = m_albums.at(int(m_random.bounded(m_albums.size())));
    const int pick = int(m_random.bounded(100));
    QString kind;
    QString renamedFrom, renamedTo;  // a rename's two names
    int renamed = -1;                // and its picture
    const QMap<QString, QString> tagsBefore = tags();
    if (pick >= 45 && pick < 55 && !tagsBefore.isEmpty()) {
        // A picture of some album (the others holding it follow): to its other name.
        kind = QStringLiteral("rename");
        const QString key = tagsBefore.keys().at(int(m_random.bounded(tagsBefore.size())));
        renamedFrom = key.section('|', 1);
        renamedTo = renamedFrom.contains(QLatin1String("-r.")) ? QString(renamedFrom).replace(QLatin1String("-r."), QLatin1String("."))
                                                               : QFileInfo(renamedFrom).completeBaseName() + QLatin1String("-r.jpg");
        for (int i = 0; i < m_pictures.size(); ++i) {
            if (QFileInfo(m_pictures.at(i)).fileName() == renamedFrom)
                renamed = i;
        }
        args = QStringList{"rename", key.section('|', 0, 0), renamedFrom, renamedTo};
    } else if (pick < 50) {
        kind = QStringLiteral("set");
        const QString file = QFileInfo(m_pictures.at(int(m_random.bounded(m_pictures.size())))).fileName();
        const QString title = QStringLiteral("T%1").arg(n);
        const int love = 1 + int(m_random.bounded(5));
        args = QStringList{"set", album, file, "title=" + title, "love=" + QString::number(love)};
        changedKey = file;
        newTags = title + '|' + QString::number(love);
    } else if (pick < 75) {
        kind = QStringLiteral("add");
        args = QStringList{"add", album};
        for (int i = 0; i < 3; ++i)
            args << m_pictures.at(int(m_random.bounded(m_pictures.size())));
    } else if (pick < 85) {
        // Every picture of the album takes its sidecar's new title and love: many
        // property files staged, flushed and renamed together, then the album once.
        kind = QStringLiteral("import-metadata");
        importedTitle = QStringLiteral("I%1").arg(n);
        for (const QString &picture : std::as_const(m_pictures)) {
            if (!writeSidecar(picture + ".xmp", importedTitle, 1 + n % 5))
                return fail(n, QStringLiteral("a sidecar could not be written"), QString());
        }
        args = QStringList{"import-metadata", album, "--overwrite"};
    } else if (pick < 95 || m_albums.size() <= 3) {
        kind = QStringLiteral("new-album");
        args = QStringList{"new-album", QStringLiteral("Made%1").arg(++m_made)};
    } else {
        kind = QStringLiteral("remove-album");
        album = m_albums.at(3 + int(m_random.bounded(m_albums.size() - 3)));
        args = QStringList{"remove-album", album};
    }
    const QString command = args.join(' ');
    const QMap<QString, QByteArray> before = catalogueFiles();
    const QSet<QString> albumsBefore = albumIds();

    // Anywhere in the time the command's writes usually take, and a little past it.
    const qint64 span = m_durations.value(kind, m_durations.value("set"));
    const qint64 delay = qint64(m_random.bounded(quint32(span * 13 / 10 + 1)));
    const Run run = cli(args, delay);
    if (run.killed)
        ++m_killedMidway;
    else
        ++m_finished;
    if (!run.killed && args.first() == QLatin1String("new-album") && run.code == 0)
        m_albums << args.at(1);

    if (run.killed && catalogueFiles() != before)
        ++m_killedAfterAWrite;
    QString why;
    if (!filesAreWhole(before, &why))
        return fail(n, why, command);
    {
        CatalogueLock next(m_install + "/DataBase");
        if (!next.tryLock())
            return fail(n, QStringLiteral("the lock keeps the next writer out"), command);
    }
    const Run check = cli({"--json", "check"});
    if (check.code != 0 && check.code != 1)
        return fail(n, QStringLiteral("check exited %1: %2").arg(check.code).arg(check.err), command);
    const QJsonArray problems = QJsonDocument::fromJson(check.out).object().value("problems").toArray();
    static const QSet<QString> allowed{"row-disagrees", "album-not-in-index", "stale-lock", "unfinished-write"};
    for (const QJsonValue &value : problems) {
        const QString kindFound = value.toObject().value("kind").toString();
        ++m_kinds[kindFound];
        if (!allowed.contains(kindFound))
            return fail(n, QStringLiteral("check found %1: %2").arg(kindFound, value.toObject().value("detail").toString()),
                        command);
    }
    if (!problems.isEmpty()) {
        ++m_repairs;
        const Run repair = cli({"check", "--repair"});
        if (repair.code != 0)
            return fail(n, QStringLiteral("check --repair exited %1: %2").arg(repair.code).arg(repair.err), command);
    }
    // No album lost (the one being removed may be gone), no tag lost.
    const QSet<QString> albumsAfter = albumIds();
    bool removed = false;
    for (const QString &id : albumsBefore) {
        if (albumsAfter.contains(id))
            continue;
        if (kind == QLatin1String("remove-album") && nameOf(id) == album)
            removed = true;
        else
            return fail(n, QStringLiteral("the album %1 was lost").arg(id), command);
    }
    if (removed)
        m_albums.removeAll(album);
    // A rename is done whole or not at all: one picture file, and every row names it.
    bool renameDone = false;
    if (!renamedFrom.isEmpty()) {
        const QString folder = QFileInfo(m_pictures.at(renamed)).path();
        const bool oldThere = QFile::exists(folder + '/' + renamedFrom), newThere = QFile::exists(folder + '/' + renamedTo);
        if (oldThere == newThere)
            return fail(n, QStringLiteral("the renamed picture is %1").arg(oldThere ? "there twice" : "gone"), command);
        renameDone = newThere;
        if (renameDone)
            m_pictures[renamed] = folder + '/' + renamedTo;
    }
    const QMap<QString, QString> tagsAfter = tags();
    for (auto it = tagsAfter.begin(); it != tagsAfter.end(); ++it) {
        if (!renamedFrom.isEmpty() && it.key().section('|', 1) == (renameDone ? renamedFrom : renamedTo))
            return fail(n, QStringLiteral("the row %1 names a picture that is not there").arg(it.key()), command);
    }
    for (auto it = tagsBefore.begin(); it != tagsBefore.end(); ++it) {
        if (!albumsAfter.contains(it.key().section('|', 0, 0)))
            continue;
        QString key = it.key();
        if (renameDone && key.section('|', 1) == renamedFrom)
            key = key.section('|', 0, 0) + '|' + renamedTo;
        const QString now = tagsAfter.value(key);
        const bool target = !changedKey.isEmpty() && it.key().section('|', 1) == changedKey
                            && nameOf(it.key().section('|', 0, 0)) == album;
        // An import changes each picture of its album whole (title and love), or not.
        const bool imported = !importedTitle.isEmpty() && nameOf(it.key().section('|', 0, 0)) == album
                              && now == importedTitle + '|' + QString::number(1 + n % 5);
        if (now != it.value() && !(target && now == newTags) && !imported)
            return fail(n, QStringLiteral("the tags of %1 went from %2 to %3").arg(it.key(), it.value(), now), command);
    }
    return true;
}

void Harness::report(int kills) const
{
    out << "kills: " << kills << " (killed mid-command " << m_killedMidway << ", of them after some of its writes "
        << m_killedAfterAWrite << "; finished first " << m_finished << ")\nwrites last (us):";
    for (auto it = m_durations.begin(); it != m_durations.end(); ++it)
        out << ' ' << it.key() << '=' << it.value();
    out << "\nruns of the tool: " << m_runs << "\nunused new versions left: " << m_unfinished << "\nrepairs needed: " << m_repairs << "\nproblems found after kills:";
    if (m_kinds.isEmpty())
        out << " none";
    for (auto it = m_kinds.begin(); it != m_kinds.end(); ++it)
        out << ' ' << it.key() << '=' << it.value();
    out << Qt::endl;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QString cliPath;
    int kills = 100;
    quint32 seed = QRandomGenerator::global()->generate();
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args.at(i) == QLatin1String("--cli") && i + 1 < args.size())
            cliPath = args.at(++i);
        else if (args.at(i) == QLatin1String("--kills") && i + 1 < args.size())
            kills = args.at(++i).toInt();
        else if (args.at(i) == QLatin1String("--seed") && i + 1 < args.size())
            seed = args.at(++i).toUInt();
        else {
            err << "usage: killharness --cli PATH [--kills N] [--seed S]" << Qt::endl;
            return 2;
        }
    }
    if (cliPath.isEmpty() || kills <= 0) {
        err << "usage: killharness --cli PATH [--kills N] [--seed S]" << Qt::endl;
        return 2;
    }
    out << "seed " << seed << Qt::endl;
    Harness harness(cliPath, seed);
    if (!harness.setUp()) {
        err << "the catalogue could not be made" << Qt::endl;
        return 1;
    }
    for (int n = 1; n <= kills; ++n) {
        if (!harness.oneKill(n)) {
            harness.report(n);
            return 1;
        }
    }
    harness.report(kills);
    return 0;
}
