// vellaro-cli check, backup and restore, run as a process on catalogues the tests
// make and damage by hand.
#include "cataloguebackup.h"
#include "cataloguelock.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QImage>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>

#include <archive.h>
#include <archive_entry.h>
#include <csignal>
#include <sys/resource.h>

#include "clirun.h"
#include "testfiles.h"

namespace {

struct Run : CliOutput
{
    QJsonObject json() const { return QJsonDocument::fromJson(out).object(); }
    QSet<QString> kinds() const
    {
        QSet<QString> found;
        for (const QJsonValue &problem : json().value("problems").toArray())
            found.insert(problem.toObject().value("kind").toString());
        return found;
    }
};

const QByteArray kTrip = "Trip01.01.2005.00.00.00.000";
const QByteArray kPics = "Pics01.01.2005.00.00.00.000";
const QByteArray kSnow = "Snow01.01.2005.00.00.00.000";

QByteArray propertyFile(const QByteArray &title, int love)
{
    return "title=" + title + "\r\nformat=64*48\r\ncategory=Art\r\ncomment= \r\nlove=" + QByteArray::number(love)
           + "\r\nauthor=\r\nfrom=\r\ndate=2004-05-06\r\nfiletype=Photo\r\npersoninit=Anna\r\nevent=\r\nplace=Brest\r\n"
             "userbadge=-1\r\n";
}

// Every file under `root` with its bytes: what "changes nothing" is checked against.
QMap<QString, QByteArray> everything(const QString &root)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files.insert(path, readAll(path));
    }
    return files;
}

} // namespace

class TestCheck : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void soundCatalogue();
    void everyKindFoundAndNothingChanged();
    void repairMendsWhatIsSafe();
    void damagedIndexIsRebuilt();
    void unreadableCatalogue();
    void nothingIsRepairedUnderARunningProgram();
    void backupAndRestore();
    void hostileArchivesAreRefused();
    void snapshotsAreKeptTen();
    void fullDiskBackupIsAFailure();
    void backupsNeverOverwriteAndRestoresNeedAnIndex();
    void damageAroundTheCatalogue();
    void unfinishedWritesAreToldAndSwept();
    void renameReachesEveryAlbumOrNothing();
    void cutShortRenameIsFinished_data();
    void cutShortRenameIsFinished();

private:
    Run cli(const QStringList &args, rlim_t fileSizeLimit = 0);
    QString db() const { return m_install + "/DataBase/db/"; }
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_install;
    QString m_pics;
};

void TestCheck::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_install = m_dir->filePath("install");
    m_pics = m_dir->filePath("pics");
    for (const char *name : {"a.jpg", "b.jpg", "c.jpg"}) {
        QImage image(64, 48, QImage::Format_RGB32);
        image.fill(Qt::green);
        QDir().mkpath(m_pics);
        QVERIFY(image.save(m_pics + "/" + name, "JPEG"));
    }
    const QByteArray pics = m_pics.toUtf8();
    writeFile(m_install + "/DataBase/library.db",
              "NUMLIB=3\r\nLIBRARY=NONE,Photo,Trip,Playlist," + kTrip + "\r\nLIBRARY=NONE,media,pics,DirectoryPlaylist,"
                  + kPics + "\r\nLIBRARY=NONE,Photo,Snow,Playlist," + kSnow + "\r\n");
    writeFile(db() + kTrip + ".db", "KivDir=" + kTrip + "\r\nTitle=Trip\r\nDirty=False\r\nCreationDate=2005-01-01\r\n"
                                    "NumFile=2\r\nFile=Photo|" + pics + "|a.jpg|Harbour|Art| |4|0|-1|64*48|Anna|\r\n"
                                    "File=Photo|" + pics + "|b.jpg| | | |1|0|-1|64*48||\r\n");
    writeFile(db() + kTrip + "/a.jpg.kiv", propertyFile("Harbour", 4));
    writeFile(db() + kTrip + "/a.jpg", "thumbnail");
    writeFile(db() + kTrip + "/b.jpg", "thumbnail");
    writeFile(db() + kPics + ".dir", "KivDir=" + kPics + "\r\nFrom=" + pics + "\r\nTitle=pics\r\nDirty=False\r\n"
                                     "CreationDate=2005-01-01\r\nNumFile=1\r\nFile=Photo|" + pics + "|c.jpg| | | |1|0|-1|64*48||\r\n");
    writeFile(db() + kSnow + ".db", "KivDir=" + kSnow + "\r\nTitle=Snow\r\nDirty=False\r\nCreationDate=2005-01-01\r\n"
                                    "NumFile=1\r\nFile=Photo|" + pics + "|c.jpg|Cold| | |1|0|-1|64*48||\r\n");
}

Run TestCheck::cli(const QStringList &args, rlim_t fileSizeLimit)
{
    return {runCli(m_dir->path(), m_install, args, fileSizeLimit, {"VELLARO_LOCK_WAIT_MS=200"})};
}

void TestCheck::soundCatalogue()
{
    const Run run = cli({"--json", "check"});
    QCOMPARE(run.code, 0);
    QCOMPARE(run.json().value("problems").toArray().size(), 0);
    QCOMPARE(run.json().value("repaired").toArray().size(), 0);
    // A lock file a program emptied when it let go is no problem.
    writeFile(m_install + "/DataBase/vellaro.lock", "");
    QCOMPARE(cli({"check"}).code, 0);
    // A row keeps an empty field as a space, a property file as nothing: the two agree.
    writeFile(db() + kTrip + "/b.jpg.kiv",
              "title=\r\nformat=64*48\r\ncategory=\r\ncomment=\r\nlove=1\r\nauthor=\r\nfrom=\r\ndate= \r\n"
              "filetype=Photo\r\npersoninit=\r\nevent=\r\nplace=\r\nuserbadge=-1\r\n");
    const Run spaced = cli({"--json", "check"});
    QCOMPARE(spaced.code, 0);
    QCOMPARE(spaced.json().value("problems").toArray().size(), 0);
}

void TestCheck::everyKindFoundAndNothingChanged()
{
    // A kill between a property file and its row: the property file says "Lighthouse".
    writeFile(db() + kTrip + "/a.jpg.kiv", propertyFile("Lighthouse", 4));
    QFile::remove(m_pics + "/b.jpg");                                      // picture-missing
    writeFile(db() + kTrip + "/ghost.jpg", "thumbnail");                   // orphan-thumbnail
    writeFile(db() + kTrip + "/ghost.jpg.kiv", propertyFile("Ghost", 2));  // orphan-property-file
    QFile::remove(db() + kSnow + ".db");                                   // album-file-missing
    writeFile(db() + "Lost01.01.2005.00.00.00.000.db",                     // album-not-in-index
              "KivDir=Lost01.01.2005.00.00.00.000\r\nTitle=Lost\r\nDirty=False\r\nCreationDate=2005-01-01\r\nNumFile=0\r\n");
    writeFile(db() + kPics + ".dir", "garbage\r\n");                       // album-file-unreadable
    writeFile(m_install + "/DataBase/vellaro.lock", "4242\nvellaro\nhost\n");  // stale-lock
    QByteArray index = readAll(m_install + "/DataBase/library.db");
    index.replace("NUMLIB=3", "NUMLIB=4");
    index.append("LIBRARY=NONE,Photo,Evil,Playlist,..\r\n");               // album-outside-catalogue
    writeFile(m_install + "/DataBase/library.db", index);

    const auto before = everything(m_install);
    const Run run = cli({"--json", "check"});
    QCOMPARE(run.code, 1);
    const QSet<QString> expected{"picture-missing",      "row-disagrees",      "orphan-thumbnail",
                                 "orphan-property-file", "album-file-missing", "album-not-in-index",
                                 "album-file-unreadable", "stale-lock",        "album-outside-catalogue"};
    QCOMPARE(run.kinds(), expected);
    for (const QJsonValue &value : run.json().value("problems").toArray()) {
        const QJsonObject problem = value.toObject();
        QVERIFY(!problem.value("detail").toString().isEmpty());
        if (problem.value("kind") == "row-disagrees") {
            QCOMPARE(problem.value("album").toString(), QString(kTrip));
            QCOMPARE(problem.value("path").toString(), db() + kTrip + "/a.jpg.kiv");
        }
        if (problem.value("kind") == "picture-missing")
            QCOMPARE(problem.value("path").toString(), m_pics + "/b.jpg");
    }
    QCOMPARE(everything(m_install), before);  // a check writes nothing
    // The same in words, one line per problem, kind first.
    const Run text = cli({"check"});
    QCOMPARE(text.code, 1);
    QCOMPARE(text.out.count('\n'), run.json().value("problems").toArray().size());
    QVERIFY(text.out.startsWith("album-") || text.out.startsWith("stale-lock"));
    // Counted by kind on the error stream; the output keeps one line a problem.
    QMap<QString, int> byKind;
    for (const QJsonValue &value : run.json().value("problems").toArray())
        ++byKind[value.toObject().value("kind").toString()];
    const int all = int(run.json().value("problems").toArray().size());
    QVERIFY2(text.err.contains(QStringLiteral("%1 problems: ").arg(all)), qPrintable(text.err));
    for (auto kind = byKind.cbegin(); kind != byKind.cend(); ++kind)
        QVERIFY2(text.err.contains(QStringLiteral("%1 %2").arg(kind.value()).arg(kind.key())), qPrintable(text.err));
}

void TestCheck::repairMendsWhatIsSafe()
{
    writeFile(db() + kTrip + "/a.jpg.kiv", propertyFile("Lighthouse", 5));
    QFile::remove(m_pics + "/b.jpg");
    writeFile(db() + kTrip + "/ghost.jpg", "thumbnail");
    writeFile(db() + kTrip + "/ghost.jpg.kiv", propertyFile("Ghost", 2));
    writeFile(db() + "Lost01.01.2005.00.00.00.000.db",
              "KivDir=Lost01.01.2005.00.00.00.000\r\nTitle=Lost\r\nDirty=False\r\nCreationDate=2005-01-01\r\nNumFile=0\r\n");
    writeFile(m_install + "/DataBase/vellaro.lock", "4242\nvellaro\nhost\n");

    const Run run = cli({"--json", "check", "--repair"});
    // The missing picture and the orphan property file are left to the user: still a problem.
    QCOMPARE(run.code, 1);
    QVERIFY2(run.err.indexOf("Repairing:") < run.err.indexOf("done: "), qPrintable(run.err));  // the plan first
    // The plan names each safe repair once, and nothing left to the user.
    const QString plan = run.err.mid(run.err.indexOf("Repairing:"), run.err.indexOf("done: ") - run.err.indexOf("Repairing:"));
    QCOMPARE(plan.count("Delete the orphan thumbnail " + db() + kTrip + "/ghost.jpg"), 1);
    QCOMPARE(plan.count("Empty the stale lock file"), 1);
    QCOMPARE(plan.count("Take the row of a.jpg"), 1);
    QCOMPARE(plan.count("Lost01.01.2005.00.00.00.000.db"), 1);
    QCOMPARE(plan.count("Back up the catalogue first"), 1);
    QVERIFY2(!plan.contains("b.jpg") && !plan.contains("ghost.jpg.kiv"), qPrintable(plan));
    QVERIFY(run.json().value("repaired").toArray().size() >= 5);
    // The row takes the property file's values; the other row and its tags stay.
    const QByteArray trip = readAll(db() + kTrip + ".db");
    QVERIFY2(trip.contains("|a.jpg|Lighthouse|Art| |5|0|-1|"), trip.constData());
    QVERIFY(trip.contains("|b.jpg|"));
    QVERIFY(!QFile::exists(db() + kTrip + "/ghost.jpg"));
    QVERIFY(QFile::exists(db() + kTrip + "/ghost.jpg.kiv"));
    QVERIFY(QFile::exists(db() + kTrip + "/a.jpg"));  // a thumbnail of its own picture stays
    QVERIFY(readAll(m_install + "/DataBase/library.db").contains(",Lost,Playlist,Lost01.01.2005.00.00.00.000"));
    QCOMPARE(readAll(m_install + "/DataBase/vellaro.lock"), QByteArray());
    // A backup was taken before anything changed: it holds the row as it was.
    const QStringList backups = CatalogueBackup::snapshots(m_install);
    QCOMPARE(backups.size(), 1);
    // What is left is only what must be left.
    const Run after = cli({"--json", "check"});
    QCOMPARE(after.kinds(), (QSet<QString>{"picture-missing", "orphan-property-file"}));
}

void TestCheck::damagedIndexIsRebuilt()
{
    // Cut in the middle of its last row, as a full disk without atomic writes would.
    const QByteArray index = readAll(m_install + "/DataBase/library.db");
    writeFile(m_install + "/DataBase/library.db", index.left(index.lastIndexOf("Snow") + 6));
    const Run run = cli({"--json", "check"});
    QCOMPARE(run.code, 1);
    QVERIFY(run.kinds().contains("index-damaged"));

    const Run repair = cli({"check", "--repair"});
    QCOMPARE(repair.code, 0);
    // Every album file is listed once, the order of the readable rows kept; the tags are there.
    const QByteArray rebuilt = readAll(m_install + "/DataBase/library.db");
    QVERIFY2(rebuilt.startsWith("NUMLIB=3\r\nLIBRARY=NONE,Photo,Trip,Playlist," + kTrip + "\r\n"), rebuilt.constData());
    QCOMPARE(rebuilt.count("LIBRARY="), 3);
    QCOMPARE(rebuilt.count(kSnow), 1);
    QVERIFY(rebuilt.contains(",pics,DirectoryPlaylist," + kPics));
    const Run props = cli({"--json", "props", "Trip", "a.jpg"});
    QCOMPARE(props.code, 0);
    QCOMPARE(props.json().value("title").toString(), QStringLiteral("Harbour"));
    QCOMPARE(cli({"check"}).code, 0);
}

void TestCheck::unreadableCatalogue()
{
    const QString install = m_install;
    m_install = m_dir->filePath("nothing-here");
    QCOMPARE(cli({"check"}).code, 2);
    m_install = install;
    QFile::remove(m_install + "/DataBase/library.db");
    QDir().mkpath(m_install + "/DataBase/library.db");
    const Run run = cli({"--json", "check"});
    QCOMPARE(run.code, 2);
    QVERIFY(run.err.contains("library.db"));
}

void TestCheck::nothingIsRepairedUnderARunningProgram()
{
    writeFile(db() + kTrip + "/ghost.jpg", "thumbnail");
    CatalogueLock window(m_install + "/DataBase");
    QVERIFY(window.tryLock());
    const auto before = everything(m_install);
    const Run run = cli({"check", "--repair"});
    QCOMPARE(run.code, 1);
    QVERIFY2(run.err.contains("open in Vellaro"), qPrintable(run.err));
    QCOMPARE(everything(m_install), before);
    QVERIFY(!QDir(m_install + "/Backups").exists());
    // Restoring is refused too.
    const Run backup = cli({"backup", m_dir->filePath("b.tar.gz")});
    QCOMPARE(backup.code, 0);
    QCOMPARE(cli({"restore", m_dir->filePath("b.tar.gz")}).code, 1);
}

void TestCheck::backupAndRestore()
{
    const QString archive = m_dir->filePath("saved.tar.gz");
    const Run backup = cli({"--json", "backup", archive});
    QCOMPARE(backup.code, 0);
    QCOMPARE(backup.json().value("archive").toString(), archive);
    // What the archive holds: the catalogue's text files, no thumbnail, no lock.
    QProcess tar;
    tar.start("tar", {"tzf", archive});
    QVERIFY(tar.waitForFinished());
    QStringList listed = QString::fromUtf8(tar.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    listed.sort();
    QCOMPARE(listed, (QStringList{"DataBase/db/" + kPics + ".dir", "DataBase/db/" + kSnow + ".db",
                                  "DataBase/db/" + kTrip + ".db", "DataBase/db/" + kTrip + "/a.jpg.kiv",
                                  "DataBase/library.db"}));

    // Changes after the backup, then the restore: the tags are those of the backup.
    QCOMPARE(cli({"set", "Trip", "a.jpg", "title=Changed"}).code, 0);
    QCOMPARE(cli({"remove-album", "Snow"}).code, 0);
    const Run restore = cli({"restore", archive});
    QCOMPARE(restore.code, 0);
    QCOMPARE(cli({"--json", "props", "Trip", "a.jpg"}).json().value("title").toString(), QStringLiteral("Harbour"));
    QVERIFY(readAll(db() + kTrip + ".db").contains("|a.jpg|Harbour|"));
    QVERIFY(QFile::exists(db() + kSnow + ".db"));
    QVERIFY(!QFile::exists(db() + kTrip + "/a.jpg"));  // thumbnails are made again when shown
    QCOMPARE(cli({"check"}).code, 0);
    // The catalogue as it was before the restore was backed up first.
    const QStringList before = CatalogueBackup::snapshots(m_install);
    QCOMPARE(before.size(), 1);
    QCOMPARE(cli({"restore", before.first()}).code, 0);
    QCOMPARE(cli({"--json", "props", "Trip", "a.jpg"}).json().value("title").toString(), QStringLiteral("Changed"));
    QVERIFY(!QFile::exists(db() + kSnow + ".db"));
    QVERIFY(!QFileInfo::exists(m_install + "/DataBase.restoring"));
    QVERIFY(!QFileInfo::exists(m_install + "/DataBase.replaced"));
}

void TestCheck::hostileArchivesAreRefused()
{
    // Hand-made archives: a way out of the catalogue, a link, no index, not an archive.
    auto make = [&](const QString &name, const QList<QPair<QByteArray, int>> &entries) {
        const QString path = m_dir->filePath(name);
        archive *a = archive_write_new();
        archive_write_add_filter_gzip(a);
        archive_write_set_format_pax_restricted(a);
        archive_write_open_filename(a, QFile::encodeName(path).constData());
        for (const auto &[entryPath, type] : entries) {
            archive_entry *e = archive_entry_new();
            archive_entry_set_pathname(e, entryPath.constData());
            archive_entry_set_filetype(e, type);
            archive_entry_set_perm(e, 0644);
            if (type == AE_IFLNK)
                archive_entry_set_symlink(e, "/etc/passwd");
            archive_entry_set_size(e, type == AE_IFREG ? 4 : 0);
            archive_write_header(a, e);
            if (type == AE_IFREG)
                archive_write_data(a, "NUML", 4);
            archive_entry_free(e);
        }
        archive_write_close(a);
        archive_write_free(a);
        return path;
    };
    const QStringList hostile{
        make("escape.tar.gz", {{"DataBase/library.db", AE_IFREG}, {"DataBase/../../outside.txt", AE_IFREG}}),
        make("link.tar.gz", {{"DataBase/library.db", AE_IFREG}, {"DataBase/db/x.db", AE_IFLNK}}),
        make("noindex.tar.gz", {{"DataBase/db/x.db", AE_IFREG}}),
        make("elsewhere.tar.gz", {{"etc/library.db", AE_IFREG}}),
        // A Windows path separator would name a file of another folder once written.
        make("backslash.tar.gz", {{"DataBase/library.db", AE_IFREG}, {"DataBase/db\\..\\..\\outside.txt", AE_IFREG}}),
    };
    writeFile(m_dir->filePath("junk.tar.gz"), "not an archive at all");
    const auto before = everything(m_install);
    for (const QString &archive : hostile + QStringList{m_dir->filePath("junk.tar.gz")}) {
        const Run run = cli({"restore", archive});
        QCOMPARE(run.code, 1);
        QVERIFY2(run.err.contains("Nothing is changed"), qPrintable(run.err));
    }
    QCOMPARE(everything(m_install), before);
    QVERIFY(!QFileInfo::exists(m_dir->filePath("outside.txt")));
}

void TestCheck::snapshotsAreKeptTen()
{
    QVERIFY(CatalogueBackup::isDue(m_install));
    for (int i = 0; i < 12; ++i)
        QVERIFY(CatalogueBackup::write(m_install).error.isEmpty());
    QCOMPARE(CatalogueBackup::snapshots(m_install).size(), 10);
    QCOMPARE(QDir(m_install + "/Backups").entryList(QDir::Files).size(), 10);
    QVERIFY(!CatalogueBackup::isDue(m_install));
    QVERIFY(!CatalogueBackup::isDue(m_install, QDateTime::currentDateTime().addSecs(23 * 3600)));
    QVERIFY(CatalogueBackup::isDue(m_install, QDateTime::currentDateTime().addSecs(25 * 3600)));

    // Restoring the oldest of them: the backup taken first prunes nothing, so the
    // archive is still there to be read, and after.
    const QString oldest = CatalogueBackup::snapshots(m_install).last();
    QCOMPARE(cli({"set", "Trip", "a.jpg", "title=Later"}).code, 0);
    const Run restore = cli({"restore", oldest});
    QVERIFY2(restore.code == 0, qPrintable(restore.err));
    QVERIFY(QFile::exists(oldest));
    QVERIFY(readAll(db() + kTrip + ".db").contains("|a.jpg|Harbour|"));
}

void TestCheck::backupsNeverOverwriteAndRestoresNeedAnIndex()
{
    // A backup never goes over a file (a picture, an album file) nor into the catalogue.
    const QByteArray picture = readAll(m_pics + "/a.jpg");
    const QByteArray album = readAll(db() + kTrip + ".db");
    for (const QString &target : {m_pics + "/a.jpg", db() + kTrip + ".db", db() + "new.tar.gz"}) {
        const Run run = cli({"backup", target});
        QCOMPARE(run.code, 1);
        QVERIFY2(!run.err.isEmpty(), qPrintable(target));
    }
    QCOMPARE(readAll(m_pics + "/a.jpg"), picture);
    QCOMPARE(readAll(db() + kTrip + ".db"), album);
    QVERIFY(!QFile::exists(db() + "new.tar.gz"));
    QCOMPARE(cli({"check"}).code, 0);

    // An archive whose index is junk is refused; the catalogue stays.
    const QString junk = m_dir->filePath("junk.tar.gz");
    {
        QTemporaryDir staging;
        writeFile(staging.filePath("DataBase/library.db"), "this is junk");
        QCOMPARE(QProcess::execute("tar", {"czf", junk, "-C", staging.path(), "DataBase"}), 0);
    }
    CatalogueLock(m_install + "/DataBase").tryLock();  // the lock file every writer leaves
    const QMap<QString, QByteArray> before = everything(m_install + "/DataBase");
    const Run restore = cli({"restore", junk});
    QCOMPARE(restore.code, 1);
    QVERIFY2(restore.err.contains("damaged"), qPrintable(restore.err));
    QCOMPARE(everything(m_install + "/DataBase"), before);
}

void TestCheck::fullDiskBackupIsAFailure()
{
    const QString archive = m_dir->filePath("full.tar.gz");
    const Run run = cli({"backup", archive}, 64);
    QCOMPARE(run.code, 1);
    QVERIFY(!run.err.isEmpty());
    QVERIFY(!QFileInfo::exists(archive));
    QCOMPARE(QDir(m_dir->path()).entryList({"full.tar.gz*"}, QDir::Files), QStringList());
}

void TestCheck::unfinishedWritesAreToldAndSwept()
{
    // What a kill between naming a new version and renaming it over its file leaves.
    writeFile(m_install + "/DataBase/library.db.vellaro-new", "NUMLIB=0\r\n");
    writeFile(db() + kTrip + "/a.jpg.kiv.vellaro-new", propertyFile("Unused", 1));
    const Run run = cli({"--json", "check"});
    QCOMPARE(run.code, 1);
    QCOMPARE(run.kinds(), QSet<QString>{"unfinished-write"});
    QCOMPARE(run.json().value("problems").toArray().size(), 2);
    // The next writer removes them before it writes; the files they were to replace stand.
    QCOMPARE(cli({"set", "Trip", "b.jpg", "title=Next"}).code, 0);
    QVERIFY(!QFile::exists(m_install + "/DataBase/library.db.vellaro-new"));
    QVERIFY(!QFile::exists(db() + kTrip + "/a.jpg.kiv.vellaro-new"));
    QCOMPARE(readAll(db() + kTrip + "/a.jpg.kiv"), propertyFile("Harbour", 4));
    QCOMPARE(cli({"check"}).code, 0);

    // A change of several files killed among its renames: a.jpg's property file has its
    // new title already, the album file still waits under its new version's name. The
    // check tells the change once, neither its waiting file as unused nor the row that
    // differs until it is finished; the next writer finishes it.
    const QByteArray oldAlbum = readAll(db() + kTrip + ".db");
    QByteArray newAlbum = oldAlbum;
    newAlbum.replace("|a.jpg|Harbour|", "|a.jpg|Lighthouse|");
    writeFile(db() + kTrip + ".db.vellaro-new", newAlbum);
    writeFile(db() + kTrip + "/a.jpg.kiv", propertyFile("Lighthouse", 4));
    const QByteArray folder = QFile::encodeName(QDir(db()).absolutePath());
    writeFile(m_install + "/DataBase/unfinished-change.vellaro-journal",
              "VellaroJournal 1\n" + folder.toPercentEncoding() + " " + kTrip + ".db.vellaro-new " + kTrip + ".db\n"
                  + (folder + "/" + kTrip).toPercentEncoding() + " a.jpg.kiv.vellaro-new a.jpg.kiv\nEnd 2\n");
    const Run cut = cli({"--json", "check"});
    QCOMPARE(cut.code, 1);
    const QJsonArray told = cut.json().value("problems").toArray();
    QCOMPARE(told.size(), 1);
    QCOMPARE(told.at(0).toObject().value("kind").toString(), QStringLiteral("unfinished-write"));
    QVERIFY2(told.at(0).toObject().value("detail").toString().contains("1 of its 2 files wait"),
             qPrintable(told.at(0).toObject().value("detail").toString()));
    QCOMPARE(readAll(db() + kTrip + ".db"), oldAlbum);  // a check writes nothing
    QCOMPARE(cli({"set", "Trip", "b.jpg", "title=After"}).code, 0);
    QVERIFY(readAll(db() + kTrip + ".db").contains("|a.jpg|Lighthouse|"));
    QCOMPARE(cli({"check"}).code, 0);
}

void TestCheck::damageAroundTheCatalogue()
{
    // An album file gone: shown empty, and said.
    QVERIFY(QFile::remove(db() + kSnow + ".db"));
    const Run albums = cli({"albums"});
    QCOMPARE(albums.code, 0);
    QVERIFY2(albums.err.contains("warning:") && albums.err.contains("is missing"), qPrintable(albums.err));
    QCOMPARE(cli({"--json", "check"}).kinds(), QSet<QString>{"album-file-missing"});

    // A lock file that is a folder: nothing can change, and the check says so.
    QFile::remove(m_install + "/DataBase/vellaro.lock");
    QVERIFY(QDir().mkpath(m_install + "/DataBase/vellaro.lock"));
    QVERIFY(cli({"--json", "check"}).kinds().contains("lock-unusable"));
    QVERIFY(QDir(m_install + "/DataBase/vellaro.lock").removeRecursively());

    // What a restore cut short leaves beside the catalogue is told, and the repair
    // deletes it.
    writeFile(m_install + "/DataBase.restoring/library.db", "NUMLIB=0\r\n");
    writeFile(m_install + "/DataBase.replaced/library.db", "NUMLIB=0\r\n");
    const Run found = cli({"--json", "check"});
    QCOMPARE(found.kinds(), (QSet<QString>{"album-file-missing", "unfinished-write"}));
    QCOMPARE(cli({"check", "--repair"}).code, 1);  // the missing album file stays for the user
    QVERIFY(!QFileInfo::exists(m_install + "/DataBase.restoring"));
    QVERIFY(!QFileInfo::exists(m_install + "/DataBase.replaced"));

    // An index that is a folder: the check says what to do with it.
    QVERIFY(QFile::remove(m_install + "/DataBase/library.db"));
    QVERIFY(QDir().mkpath(m_install + "/DataBase/library.db"));
    const Run folder = cli({"check"});
    QCOMPARE(folder.code, 2);
    QVERIFY2(folder.err.contains("It is a folder"), qPrintable(folder.err));
}

void TestCheck::renameReachesEveryAlbumOrNothing()
{
    // c.jpg is in the folder album and in Snow, whose file is long enough that a small
    // file size limit lets the rename's first writes through and stops Snow's.
    QByteArray snow = "KivDir=" + kSnow + "\r\nTitle=Snow\r\nDirty=False\r\nCreationDate=2005-01-01\r\nNumFile=41\r\n"
                      "File=Photo|" + m_pics.toUtf8() + "|c.jpg|Cold|Art| |1|0|-1|64*48|Anna|\r\n";
    for (int i = 0; i < 40; ++i)
        snow += "File=Photo|/elsewhere|x" + QByteArray::number(i) + ".jpg|Padding padding padding| | |1|0|-1|64*48||\r\n";
    writeFile(db() + kSnow + ".db", snow);
    writeFile(db() + kSnow + "/c.jpg.kiv", propertyFile("Cold", 1));
    writeFile(db() + kSnow + "/c.jpg", "thumbnail");
    CatalogueLock(m_install + "/DataBase").tryLock();  // the lock file every writer leaves
    const QMap<QString, QByteArray> before = everything(m_dir->path());

    // Refusals change nothing: a name an album already holds, a name that is no file name,
    // a picture the album does not have.
    for (const QStringList &args : {QStringList{"rename", "Trip", "a.jpg", "b.jpg"},
                                    QStringList{"rename", "Trip", "a.jpg", "../a.jpg"},
                                    QStringList{"rename", "Trip", "a.jpg", "a|b.jpg"},
                                    QStringList{"rename", "Trip", "zz.jpg", "y.jpg"}}) {
        const Run run = cli(args);
        QCOMPARE(run.code, 1);
        QVERIFY2(!run.err.isEmpty(), qPrintable(args.join(' ')));
        QCOMPARE(everything(m_dir->path()), before);
    }
    QVERIFY(cli({"rename", "Trip", "a.jpg", "b.jpg"}).err.contains("already have this filename"));

    // A full disk stops it at Snow's file: the folder album written before it is put
    // back, and so are the picture, its property file and thumbnail.
    const Run full = cli({"rename", "pics", "c.jpg", "d.jpg"}, 3000);
    QCOMPARE(full.code, 1);
    QVERIFY2(full.err.contains(kSnow), qPrintable(full.err));
    QCOMPARE(everything(m_dir->path()), before);

    const Run run = cli({"rename", "pics", "c.jpg", "d.jpg"});
    QCOMPARE(run.code, 0);
    QVERIFY(!QFile::exists(m_pics + "/c.jpg"));
    QCOMPARE(readAll(m_pics + "/d.jpg"), before.value(m_pics + "/c.jpg"));
    // Each album's row follows with its own tags, and so do Snow's files.
    QVERIFY(readAll(db() + kSnow + ".db").contains("|d.jpg|Cold|Art|"));
    QVERIFY(!readAll(db() + kSnow + ".db").contains("|c.jpg|"));
    QVERIFY(readAll(db() + kPics + ".dir").contains("|d.jpg| |"));
    QCOMPARE(readAll(db() + kSnow + "/d.jpg.kiv"), propertyFile("Cold", 1));
    QCOMPARE(readAll(db() + kSnow + "/d.jpg"), QByteArray("thumbnail"));
    QVERIFY(!QFile::exists(db() + kSnow + "/c.jpg.kiv"));
    QVERIFY(!QFile::exists(m_install + "/DataBase/rename.journal"));
    QCOMPARE(cli({"--json", "check"}).kinds(), QSet<QString>{"picture-missing"});  // the padding rows
}

void TestCheck::cutShortRenameIsFinished_data()
{
    QTest::addColumn<QStringList>("next");
    QTest::newRow("by the next change") << QStringList{"set", "Trip", "b.jpg", "title=Next"};
    QTest::newRow("by the repair") << QStringList{"check", "--repair"};
}

void TestCheck::cutShortRenameIsFinished()
{
    QFETCH(QStringList, next);
    // Killed after the picture and Snow's thumbnail took the new name, before any album
    // file was written.
    writeFile(db() + kSnow + "/c.jpg", "thumbnail");
    writeFile(m_install + "/DataBase/rename.journal",
              "Folder=" + m_pics.toUtf8() + "\r\nFrom=c.jpg\r\nTo=d.jpg\r\nAlbum=" + kSnow + "\r\nAlbum=" + kPics + "\r\n");
    QVERIFY(QFile::rename(m_pics + "/c.jpg", m_pics + "/d.jpg"));
    QVERIFY(QFile::rename(db() + kSnow + "/c.jpg", db() + kSnow + "/d.jpg"));

    // Told once as the rename cut short, not as a missing picture and a stray file.
    const Run found = cli({"--json", "check"});
    QCOMPARE(found.code, 1);
    QCOMPARE(found.kinds(), QSet<QString>{"unfinished-write"});
    QCOMPARE(found.json().value("problems").toArray().size(), 1);

    const Run run = cli(next);
    QVERIFY2(run.code == 0, qPrintable(run.err));
    QVERIFY(readAll(db() + kSnow + ".db").contains("|d.jpg|Cold|"));
    QVERIFY(readAll(db() + kPics + ".dir").contains("|d.jpg|"));
    QVERIFY(!readAll(db() + kPics + ".dir").contains("|c.jpg|"));
    QCOMPARE(readAll(db() + kSnow + "/d.jpg"), QByteArray("thumbnail"));
    QVERIFY(!QFile::exists(m_install + "/DataBase/rename.journal"));
    QCOMPARE(cli({"check"}).code, 0);
}

QTEST_MAIN(TestCheck)
#include "tst_check.moc"
