// vellaro-cli on damaged, hostile and full catalogues, run as a process: its exit
// status and its words are what scripts rely on.
#include <QDirIterator>
#include <QElapsedTimer>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "clirun.h"
#include "testfiles.h"

namespace {

struct Run
{
    int code = -1;
    QByteArray out;
    QString err;
    QJsonDocument json() const { return QJsonDocument::fromJson(out); }
};

void makePicture(const QString &path, const QColor &colour = Qt::red)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QImage image(64, 48, QImage::Format_RGB32);
    image.fill(colour);
    QVERIFY(image.save(path, "JPEG"));
}

} // namespace

class TestCliSound : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void fullDiskIsRefused();
    void damagedIndex();
    void namesThatBreakRows();
    void commaFolderReadsBack();
    void hostileAlbumsTouchNothingOutside();
    void specialFilesDoNotHang();
    void groupedAlbumsAreSearched();
    void removingABrokenDynamicAlbum();
    void changeKilledAmongItsRenamesIsFinishedByTheNextWriter();

private:
    // `fileSizeLimit` > 0 runs the tool with that file size limit: a full disk.
    Run cli(const QStringList &args, rlim_t fileSizeLimit = 0);
    QString id(const QString &name);
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_install;
    QString m_library;
};

void TestCliSound::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_install = m_dir->filePath("install");
    m_library = m_install + "/DataBase/library.db";
}

Run TestCliSound::cli(const QStringList &args, rlim_t fileSizeLimit)
{
    const CliOutput output = runCli(m_dir->path(), m_install, args, fileSizeLimit);
    return {output.code, output.out, output.err};
}

QString TestCliSound::id(const QString &name)
{
    const Run albums = cli({"--json", "albums"});
    for (const QJsonValue &album : albums.json().array()) {
        if (album.toObject().value("name").toString() == name)
            return album.toObject().value("id").toString();
    }
    return {};
}

void TestCliSound::fullDiskIsRefused()
{
    QCOMPARE(cli({"new-album", "Trip"}).code, 0);
    const QString trip = id("Trip");
    const QString albumFile = m_install + "/DataBase/db/" + trip + ".db";
    const QByteArray albumBefore = readAll(albumFile);
    const QByteArray indexBefore = readAll(m_library);
    makePicture(m_dir->filePath("pics/a.jpg"));

    // The album file cannot grow: the picture is not added, and the tool says so.
    const Run full = cli({"--json", "add", "Trip", m_dir->filePath("pics/a.jpg")}, albumBefore.size() + 16);
    QCOMPARE(full.code, 1);
    QVERIFY2(full.err.contains("could not be saved"), qPrintable(full.err));
    QCOMPARE(full.json().object().value("added").toArray().size(), 0);
    QCOMPARE(readAll(albumFile), albumBefore);
    QCOMPARE(readAll(m_library), indexBefore);

    // Setting a property on a full disk changes neither the property file nor the row.
    QCOMPARE(cli({"add", "Trip", m_dir->filePath("pics/a.jpg")}).code, 0);
    QCOMPARE(cli({"set", "Trip", "a.jpg", "title=Short"}).code, 0);
    const QByteArray props = readAll(m_install + "/DataBase/db/" + trip + "/a.jpg.kiv");
    const QByteArray rows = readAll(albumFile);
    const Run set = cli({"set", "Trip", "a.jpg", "title=" + QString(200, u'x')}, rows.size() + 20);
    QCOMPARE(set.code, 1);
    QVERIFY(set.err.contains("could not be saved"));
    QCOMPARE(readAll(m_install + "/DataBase/db/" + trip + "/a.jpg.kiv"), props);
    QCOMPARE(readAll(albumFile), rows);

    // A new album on a full disk leaves neither a row nor an empty folder.
    const Run album = cli({"new-album", "Second"}, 8);
    QCOMPARE(album.code, 1);
    QCOMPARE(QDir(m_install + "/DataBase/db").entryList({"Second*"}, QDir::AllEntries), QStringList());
}

void TestCliSound::damagedIndex()
{
    QCOMPARE(cli({"new-album", "Trip"}).code, 0);
    QCOMPARE(cli({"new-album", "Home"}).code, 0);
    // A count that disagrees with the rows.
    QByteArray damaged = readAll(m_library);
    damaged.replace("NUMLIB=2", "NUMLIB=5");
    writeFile(m_library, damaged);
    for (const QStringList &reading : {QStringList{"albums"}, QStringList{"search", "x"}, QStringList{"rows", "Trip"}}) {
        const Run run = cli(reading);
        QCOMPARE(run.code, 2);
        QVERIFY2(run.err.contains("library.db is damaged"), qPrintable(run.err));
    }
    for (const QStringList &writing : {QStringList{"new-album", "Third"}, QStringList{"remove-album", "Trip"}}) {
        const Run run = cli(writing);
        QCOMPARE(run.code, 1);
        QVERIFY(run.err.contains("repaired"));
        QCOMPARE(readAll(m_library), damaged);
    }
    QCOMPARE(QDir(m_install + "/DataBase/db").entryList({"*.db"}, QDir::Files).size(), 2);
}

void TestCliSound::namesThatBreakRows()
{
    QCOMPARE(cli({"new-album", "Trip"}).code, 0);
    makePicture(m_dir->filePath("pics/good.jpg"));
    makePicture(m_dir->filePath("pics/bad|name.jpg"));
    writeFile(m_dir->filePath("pics/notes.jpg"), "just text\n");
    writeFile(m_dir->filePath("pics/empty.jpg"), "");
    const Run add = cli({"--json", "add", "Trip", m_dir->filePath("pics/bad|name.jpg"), m_dir->filePath("pics/notes.jpg"),
                         m_dir->filePath("pics/empty.jpg"), m_dir->filePath("pics/good.jpg")});
    QCOMPARE(add.code, 1);
    QVERIFY(add.err.contains("\"|\""));
    QCOMPARE(add.err.count("Could not open this file."), 2);
    QCOMPARE(add.json().object().value("added").toArray(), QJsonArray{"good.jpg"});
    const Run rows = cli({"--json", "rows", "Trip"});
    QCOMPARE(rows.json().array().size(), 1);
    QCOMPARE(rows.json().array().at(0).toObject().value("file").toString(), QStringLiteral("good.jpg"));

    // A folder whose path holds "|" cannot become a dynamic album; files with "|" in a
    // dynamic album's folder are skipped with a warning.
    QDir().mkpath(m_dir->filePath("a|b"));
    const Run bar = cli({"new-dynamic-album", m_dir->filePath("a|b")});
    QCOMPARE(bar.code, 1);
    QVERIFY(bar.err.contains("\"|\""));
    const Run pics = cli({"--json", "new-dynamic-album", m_dir->filePath("pics")});
    QCOMPARE(pics.code, 0);
    QVERIFY(pics.err.contains("bad|name.jpg"));
    const Run dynamicRows = cli({"--json", "rows", pics.json().object().value("id").toString()});
    QStringList files;
    for (const QJsonValue &row : dynamicRows.json().array())
        files << row.toObject().value("file").toString();
    QVERIFY(!files.contains("bad|name.jpg"));
    QVERIFY(files.contains("good.jpg"));
}

void TestCliSound::commaFolderReadsBack()
{
    const QString folder = m_dir->filePath("Rome, Florence, Pisa");
    makePicture(folder + "/duomo.jpg");
    const Run made = cli({"--json", "new-dynamic-album", folder});
    QCOMPARE(made.code, 0);
    const QString albumId = made.json().object().value("id").toString();
    QVERIFY(albumId.startsWith("Rome, Florence, Pisa"));
    QCOMPARE(cli({"set", albumId, "duomo.jpg", "title=Dome", "love=5"}).code, 0);
    // Read back by a new process, as after a restart.
    const Run albums = cli({"--json", "albums"});
    QCOMPARE(albums.code, 0);
    const QJsonObject album = albums.json().array().at(0).toObject();
    QCOMPARE(album.value("name").toString(), QStringLiteral("Rome, Florence, Pisa"));
    QCOMPARE(album.value("id").toString(), albumId);
    QCOMPARE(album.value("valid").toBool(), true);
    const Run favorites = cli({"--json", "smart", "Favorites"});
    QCOMPARE(favorites.json().array().size(), 1);
    QCOMPARE(favorites.json().array().at(0).toObject().value("folder").toString(), folder);
}

void TestCliSound::hostileAlbumsTouchNothingOutside()
{
    // The user's pictures outside the catalogue, and albums whose id or KivDir= lead there.
    const QString victim = m_dir->filePath("victim");
    makePicture(victim + "/precious.jpg");
    writeFile(victim + "/precious.kiv", "title=keep\r\n");
    const QString db = m_install + "/DataBase/db";
    writeFile(db + "/K1.db", "KivDir=../../victim\r\nTitle=K\r\nDirty=True\r\nCreationDate=2003-01-01\r\nNumFile=0\r\n");
    QVERIFY(QDir().mkpath(db));
    QVERIFY(QFile::link(victim, db + "/L1"));
    writeFile(db + "/L1.db", "KivDir=L1\r\nTitle=L\r\nDirty=True\r\nCreationDate=2003-01-01\r\nNumFile=0\r\n");
    writeFile(m_library, "NUMLIB=3\r\nLIBRARY=NONE,Photo,Up,Playlist,../../victim\r\n"
                         "LIBRARY=NONE,Photo,K,Playlist,K1\r\nLIBRARY=NONE,Photo,L,Playlist,L1\r\n");
    const Run albums = cli({"--json", "albums"});
    QCOMPARE(albums.code, 0);
    QCOMPARE(albums.err.count("warning:"), 3);
    for (const QJsonValue &album : albums.json().array())
        QCOMPARE(album.toObject().value("valid").toBool(), false);
    for (const char *name : {"Up", "K", "L"}) {
        makePicture(m_dir->filePath("pics/new.jpg"));
        QCOMPARE(cli({"add", name, m_dir->filePath("pics/new.jpg")}).code, 1);
        QCOMPARE(cli({"remove-album", name}).code, 0);
        QVERIFY(QFile::exists(victim + "/precious.jpg"));
        QCOMPARE(readAll(victim + "/precious.kiv"), QByteArray("title=keep\r\n"));
    }
    QCOMPARE(QDir(victim).entryList(QDir::Files).size(), 2);
}

void TestCliSound::specialFilesDoNotHang()
{
    QCOMPARE(cli({"new-album", "Trip"}).code, 0);
    const QString trip = id("Trip");
    const QString albumFile = m_install + "/DataBase/db/" + trip + ".db";
    // The album file replaced by a FIFO, then by a link to an endless device.
    QFile::remove(albumFile);
    QCOMPARE(mkfifo(QFile::encodeName(albumFile).constData(), 0644), 0);
    Run rows = cli({"rows", "Trip"});
    QCOMPARE(rows.code, 1);  // listed, invalid, and refused when read
    QFile::remove(albumFile);
    QVERIFY(QFile::link("/dev/zero", albumFile));
    rows = cli({"--json", "albums"});
    QCOMPARE(rows.code, 0);
    QCOMPARE(rows.json().array().at(0).toObject().value("valid").toBool(), false);
    // The library index as a FIFO: reported, never waited on.
    QFile::remove(m_library);
    QCOMPARE(mkfifo(QFile::encodeName(m_library).constData(), 0644), 0);
    const Run index = cli({"albums"});
    QCOMPARE(index.code, 2);
    QVERIFY(index.err.contains("library.db"));
}

void TestCliSound::groupedAlbumsAreSearched()
{
    const QString db = m_install + "/DataBase/db";
    const QString pics = m_dir->filePath("G");
    makePicture(pics + "/g.jpg");
    writeFile(db + "/Grp1.group", "Title=Grp\r\n");
    writeFile(db + "/In1.dir", "KivDir=In1\r\nFrom=" + pics.toUtf8()
                                   + "\r\nTitle=In\r\nDirty=True\r\nCreationDate=2003-01-05\r\nNumFile=1\r\nFile=Photo|"
                                   + pics.toUtf8() + "|g.jpg|Grouped|Family| |5|0|-1|64*48|\r\n");
    writeFile(m_library, "NUMLIB=2\r\nLIBRARY=NONE,UNKNOW,Grp,PlayListGroup,Grp1\r\n"
                         "LIBRARY=Grp,Photo,In,DirectoryPlaylist,In1\r\n");
    for (const QStringList &query : {QStringList{"smart", "AllPhoto"}, QStringList{"smart", "Favorites"},
                                     QStringList{"search", "grouped"}}) {
        const Run run = cli(QStringList{"--json"} + query);
        QCOMPARE(run.code, 0);
        QCOMPARE(run.json().array().size(), 1);
        QCOMPARE(run.json().array().at(0).toObject().value("album").toString(), QStringLiteral("In1"));
    }
    const Run albums = cli({"--json", "albums"});
    QCOMPARE(albums.json().array().at(1).toObject().value("group").toString(), QStringLiteral("Grp"));
}

void TestCliSound::removingABrokenDynamicAlbum()
{
    // A dynamic album whose file is gone: no folder to hide from the locator.
    writeFile(m_library, "NUMLIB=1\r\nLIBRARY=NONE,Photo,Lost,DirectoryPlaylist,Lost1\r\n");
    const Run removed = cli({"remove-album", "Lost"});
    QCOMPARE(removed.code, 0);
    const QByteArray hidden = readAll(m_install + "/DataBase/hidedir.list");
    QVERIFY2(!hidden.contains("\r\n\r\n") && !hidden.endsWith("=\r\n") && !hidden.contains("\r\n \r\n"),
             hidden.constData());
    QVERIFY(hidden.isEmpty() || hidden.startsWith("NUMSUB=0"));
    QCOMPARE(readAll(m_library), QByteArray("NUMLIB=0\r\n"));
}


void TestCliSound::changeKilledAmongItsRenamesIsFinishedByTheNextWriter()
{
    // Hundreds of pictures whose sidecars give them a new title, imported as one change;
    // the import is killed as soon as its renames are written down. The next writer
    // finishes the change: every picture, in its property file and in its album's row,
    // then has the new title, and nothing of the change is left over.
    const int count = 400;
    QCOMPARE(cli({"new-album", "Trip"}).code, 0);
    QStringList pictures;
    for (int i = 0; i < count; ++i) {
        const QString picture = m_dir->filePath(QStringLiteral("pics/p%1.jpg").arg(i));
        QDir().mkpath(QFileInfo(picture).absolutePath());
        QImage image(8, 8, QImage::Format_RGB32);
        image.fill(QColor(i % 256, 0, 0));
        QVERIFY(image.save(picture, "JPEG"));
        pictures << picture;
    }
    QCOMPARE(cli(QStringList{"add", "Trip"} + pictures).code, 0);
    QCOMPARE(cli({"set", "Trip", "p0.jpg", "title=Harbour"}).code, 0);
    QCOMPARE(cli({"export-metadata", "Trip"}).code, 0);
    const QByteArray sidecar = readAll(m_dir->filePath("pics/p0.jpg.xmp"));
    QVERIFY(!sidecar.isEmpty());
    for (int i = 1; i < count; ++i)
        writeFile(m_dir->filePath(QStringLiteral("pics/p%1.jpg.xmp").arg(i)), sidecar);
    QCOMPARE(cli({"set", "Trip", "p0.jpg", "title=Old"}).code, 0);

    const QString root = m_install + "/DataBase";
    const QString journal = "unfinished-change.vellaro-journal";
    bool caught = false;
    for (int attempt = 0; attempt < 3 && !caught; ++attempt) {
        const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        QVERIFY(watch >= 0);
        QVERIFY(inotify_add_watch(watch, QFile::encodeName(root).constData(), IN_MOVED_TO | IN_CREATE) >= 0);
        QProcess import;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", m_dir->path());
        env.insert("XDG_CONFIG_HOME", m_dir->path() + "/.config");
        import.setProcessEnvironment(env);
        import.start(QStringLiteral(VELLARO_CLI), {"--install-dir", m_install, "import-metadata", "Trip", "--overwrite"});
        QVERIFY(import.waitForStarted());
        // The moment the journal takes its name, the import is stopped dead.
        QElapsedTimer waited;
        waited.start();
        while (import.state() == QProcess::Running && waited.elapsed() < 120000) {
            pollfd ready{watch, POLLIN, 0};
            if (::poll(&ready, 1, 20) <= 0)
                continue;
            alignas(inotify_event) char events[4096];
            const ssize_t got = ::read(watch, events, sizeof events);
            bool named = false;
            for (ssize_t at = 0; at < got;) {
                const auto *event = reinterpret_cast<const inotify_event *>(events + at);
                if (event->len > 0 && QByteArray(event->name) == journal.toUtf8())
                    named = true;
                at += ssize_t(sizeof(inotify_event) + event->len);
            }
            if (named) {
                ::kill(pid_t(import.processId()), SIGKILL);
                break;
            }
        }
        import.waitForFinished();
        ::close(watch);
        caught = QFileInfo::exists(root + '/' + journal);
        if (!caught)  // finished before the kill: every picture has the title already
            QVERIFY(cli({"props", "Trip", "p1.jpg"}).out.contains("title=Harbour\n"));
    }
    QVERIFY2(caught, "the import was never caught among its renames");
    // Left as it is, the catalogue is half changed; the check says what will finish it.
    const Run check = cli({"check"});
    QCOMPARE(check.code, 1);
    QVERIFY2(check.out.contains("cut short among its renames"), check.out.constData());
    // Its waiting files are its own, not told one by one as unused.
    QVERIFY2(!check.out.contains("left its new version unused"), check.out.constData());

    // The next writer finishes it before anything else.
    QCOMPARE(cli({"new-album", "Other"}).code, 0);
    QVERIFY(!QFileInfo::exists(root + '/' + journal));
    const Run rows = cli({"--json", "rows", "Trip"});
    const QJsonArray all = rows.json().array();
    QCOMPARE(all.size(), count);
    for (const QJsonValue &row : all)
        QCOMPARE(row.toObject().value("title").toString(), QStringLiteral("Harbour"));
    QDirIterator files(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    int properties = 0;
    while (files.hasNext()) {
        const QString file = files.next();
        QVERIFY2(!file.endsWith(".vellaro-new"), qPrintable(file));
        if (file.endsWith(".jpg.kiv")) {
            ++properties;
            QVERIFY2(readAll(file).contains("title=Harbour"), qPrintable(file));
        }
    }
    QCOMPARE(properties, count);
    QCOMPARE(cli({"check"}).code, 0);
}

QTEST_MAIN(TestCliSound)
#include "tst_clisound.moc"
