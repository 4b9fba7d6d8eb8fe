// Tags carried between the catalogue and the pictures' own metadata, as the user meets
// it: the preference, tagging in the window, new pictures of a dynamic album, the
// export and import commands, and a kill while a picture is written. exiftool reads
// and writes the metadata independently.

#include "kivroundbutton.h"
#include "librarylist.h"
#include "metadataqueue.h"
#include "metadatawriter.h"
#include "photoitem.h"
#include "picturecommands.h"
#include "pixmaplookup.h"
#include "playlist.h"
#include "prefimplementation.h"
#include "thumbsview.h"

#include "clirun.h"
#include "exiftool.h"
#include "organiserfixture.h"
#include "scriptedprompter.h"
#include "testfiles.h"
#include "widgetactions.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

namespace {

void makePhoto(const QString &path, int width = 320, int height = 240, int seed = 1)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QImage image(width, height, QImage::Format_RGB32);
    QRandomGenerator random(seed);
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<quint32 *>(image.scanLine(y));
        for (int x = 0; x < width; ++x)
            line[x] = (width > 1000 ? random.generate() : quint32(qRgb(x % 256, y % 256, (x + y) % 256))) | 0xff000000u;
    }
    QVERIFY(image.save(path, "JPEG", 92));
}

void clickCell(thumbsView *view, const KivViewItem *item)
{
    const QRect cell = view->cellGeometry(item->row(), item->column());
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cell.center() - QPoint(view->contentsX(), view->contentsY()));
}

} // namespace

class TestTagSync : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void preferencesAskWhereTagsGo();
    void taggingInTheWindowWritesThePicturesMetadata();
    void tagsLeftUnwrittenAreWrittenAtStart();
    void dynamicAlbumAndDropBringThePicturesTags();
    void exportAndImportAnAlbum();
    void killWhileWritingLeavesTheTagNoted();

private:
    QString path(const QString &relative) const { return m_dir->filePath(relative); }
    CliOutput cli(const QStringList &args) { return runCli(m_dir->path(), path("install"), args); }
    // A catalogue with the album "Trip" holding the JPEGs of pics/.
    void makeTrip(const QStringList &files);
    void openAlbum(AmbrioMainWindow *page, const QString &title);
    KivViewItem *record(AmbrioMainWindow *page, const QString &file) const;
    void writeSettings(const QByteArray &values);

    std::unique_ptr<QTemporaryDir> m_dir;
    ScriptedPrompter m_prompter;
    OrganiserFixture m_fixture;
};

void TestTagSync::initTestCase()
{
    QVERIFY2(!QStandardPaths::findExecutable("exiftool").isEmpty(),
             "exiftool (Debian libimage-exiftool-perl) is needed: scripts/deps.sh installs it");
}

void TestTagSync::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_prompter = ScriptedPrompter();
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, path("settings"));
    PixmapLookup::configure(path("install"), false);
}

void TestTagSync::cleanup()
{
    m_fixture.reset();
    m_dir.reset();
}

void TestTagSync::makeTrip(const QStringList &files)
{
    QCOMPARE(cli({"new-album", "Trip"}).code, 0);
    QStringList paths;
    for (const QString &file : files) {
        if (!QFileInfo::exists(path("pics/" + file)))
            makePhoto(path("pics/" + file));
        paths << path("pics/" + file);
    }
    const CliOutput added = cli(QStringList{"add", "Trip"} + paths);
    QVERIFY2(added.code == 0, qPrintable(added.err));
}

void TestTagSync::openAlbum(AmbrioMainWindow *page, const QString &title)
{
    for (PlayList *album : page->albumList()->storedAlbums()) {
        if (album->title() == title) {
            QTest::mouseClick(page->albumList()->viewport(), Qt::LeftButton, {},
                              page->albumList()->visualItemRect(album).center());
            QTRY_VERIFY(!page->pictures()->isLoading());
            return;
        }
    }
    QFAIL("no such album");
}

KivViewItem *TestTagSync::record(AmbrioMainWindow *page, const QString &file) const
{
    for (KivViewItem *item : page->photoView()->items())
        if (item->fileName() == file)
            return item;
    return nullptr;
}

void TestTagSync::writeSettings(const QByteArray &values)
{
    writeFile(path(".config/Halvarin/Vellaro.conf"), "[Vellaro]\n" + values);
}

void TestTagSync::preferencesAskWhereTagsGo()
{
    prefImplementation pref;
    pref.show();
    auto *read = pref.findChild<QCheckBox *>("checkBoxReadMetadata");
    auto *write = pref.findChild<QCheckBox *>("checkBoxWriteMetadata");
    auto *sidecar = pref.findChild<QRadioButton *>("radioButtonSidecar");
    auto *inside = pref.findChild<QRadioButton *>("radioButtonEmbedded");
    QVERIFY(read && write && sidecar && inside);
    // Reading is on and writing off until the user asks; sidecars are the choice offered.
    QVERIFY(read->isChecked());
    QVERIFY(!write->isChecked());
    QVERIFY(sidecar->isChecked());
    QVERIFY(!sidecar->isEnabled() && !inside->isEnabled());

    QTest::mouseClick(pref.findChild<QAbstractButton *>("ToolButtondatabase"), Qt::LeftButton);
    QTRY_VERIFY(write->isVisible());
    QTest::mouseClick(write, Qt::LeftButton);
    QVERIFY(sidecar->isEnabled() && inside->isEnabled());
    QTest::mouseClick(inside, Qt::LeftButton);
    QTest::mouseClick(read, Qt::LeftButton);
    pref.takeDialogValues();
    QVERIFY(pref.writeMetadata());
    QVERIFY(pref.embedMetadata());
    QVERIFY(!pref.readMetadata());

    // The choice outlives the program, under keys the tool reads too.
    QSettings store(path("prefs.ini"), QSettings::IniFormat);
    pref.writeSettings(store);
    store.sync();
    const QByteArray ini = readAll(path("prefs.ini"));
    QVERIFY2(ini.contains("WriteMetadata=true") && ini.contains("MetadataTarget=embedded")
                 && ini.contains("ReadMetadata=false"),
             ini.constData());
    prefImplementation again;
    QSettings reread(path("prefs.ini"), QSettings::IniFormat);
    again.readSettings(reread);
    QVERIFY(again.writeMetadata() && again.embedMetadata() && !again.readMetadata());
}

void TestTagSync::taggingInTheWindowWritesThePicturesMetadata()
{
    makeTrip({"harbour.jpg", "quay.jpg"});
    const QByteArray harbour = readAll(path("pics/harbour.jpg"));
    AmbrioMainWindow *page = m_fixture.start(path("install"), &m_prompter);
    openAlbum(page, "Trip");

    // Off by default: the catalogue alone takes the tag.
    clickCell(page->photoView(), record(page, "quay.jpg"));
    typeInto(page, "propertyTextLabelTitle", "Old quay");
    QTest::qWait(200);
    QTRY_VERIFY(!page->metadataWriter()->isBusy());
    QVERIFY(!QFileInfo::exists(path("pics/quay.jpg.xmp")));

    m_fixture.pref->setWriteMetadata(true);
    clickCell(page->photoView(), record(page, "harbour.jpg"));
    QCOMPARE(page->currentItem()->fileName(), QStringLiteral("harbour.jpg"));
    typeInto(page, "propertyTextLabelTitle", "Harbour at dusk");
    typeInto(page, "propertyTextLabelPlace", "Porto");
    QTRY_COMPARE_WITH_TIMEOUT(exifRead(path("pics/harbour.jpg.xmp")).value("XMP-dc:Title").toString(),
                              QStringLiteral("Harbour at dusk"), 15000);
    QTRY_COMPARE_WITH_TIMEOUT(exifRead(path("pics/harbour.jpg.xmp")).value("XMP-photoshop:City").toString(),
                              QStringLiteral("Porto"), 15000);
    QCOMPARE(readAll(path("pics/harbour.jpg")), harbour);
    QTRY_VERIFY(!QFileInfo::exists(path("install/DataBase/metadata.pending")));

    // Inside the picture: its metadata takes the comment, its image data stays.
    m_fixture.pref->setEmbedMetadata(true);
    typeInto(page, "propertyTextLabelComment", "windy");
    QTRY_COMPARE_WITH_TIMEOUT(exifRead(path("pics/harbour.jpg")).value("XMP-dc:Description").toString(),
                              QStringLiteral("windy"), 15000);
    const QJsonObject inside = exifRead(path("pics/harbour.jpg"));
    QCOMPARE(inside.value("IFD0:ImageDescription").toString(), QStringLiteral("windy"));
    QCOMPARE(inside.value("XMP-dc:Title").toString(), QStringLiteral("Harbour at dusk"));
    QCOMPARE(scanData(readAll(path("pics/harbour.jpg"))), scanData(harbour));
    QVERIFY(m_prompter.messages.isEmpty());
}

void TestTagSync::tagsLeftUnwrittenAreWrittenAtStart()
{
    makeTrip({"a.jpg", "b.jpg"});
    TagMetadata::Tags tags;
    tags.title = QStringLiteral("Left by a crash");
    tags.love = 5;
    // b's sidecar cannot be written: a folder stands where it goes.
    QVERIFY(QDir().mkpath(path("pics/b.jpg.xmp")));
    {
        MetadataQueue queue(path("install/DataBase"));
        QCOMPARE(queue.add({{path("pics/a.jpg"), TagMetadata::Target::Sidecar, tags},
                            {path("pics/b.jpg"), TagMetadata::Target::Sidecar, tags}}),
                 QString());
    }
    AmbrioMainWindow *page = m_fixture.start(path("install"), &m_prompter);
    QTRY_COMPARE_WITH_TIMEOUT(exifRead(path("pics/a.jpg.xmp")).value("XMP-dc:Title").toString(),
                              QStringLiteral("Left by a crash"), 15000);
    QCOMPARE(exifRead(path("pics/a.jpg.xmp")).value("XMP-xmp:Rating").toInt(), 5);
    // The failure is told, and b stays noted for the next start.
    QTRY_COMPARE(m_prompter.messages.size(), 1);
    const QString told = m_prompter.messages.first().text;
    QVERIFY2(told.contains("could not be written into their metadata") && told.contains("b.jpg.xmp"), qPrintable(told));
    QTRY_VERIFY(!page->metadataWriter()->isBusy());
    const QList<MetadataQueue::Entry> left = MetadataQueue(path("install/DataBase")).pending();
    QCOMPARE(left.size(), 1);
    QCOMPARE(left.first().picture, path("pics/b.jpg"));
}

void TestTagSync::dynamicAlbumAndDropBringThePicturesTags()
{
    makePhoto(path("shoot/tagged.jpg"));
    makePhoto(path("shoot/plain.jpg"));
    QVERIFY(exiftool({"-q", "-overwrite_original", "-XMP-xmp:Rating=5", "-XMP-dc:Title=Cliffs",
                      "-EXIF:DateTimeOriginal=2016:08:20 18:45:00", "-XMP-iptcExt:PersonInImage=Anna",
                      path("shoot/tagged.jpg")}));
    // Another program's sidecar beside a picture: it is read, and is no picture itself.
    writeFile(path("shoot/plain.jpg.xmp"),
              "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">"
              "<rdf:Description rdf:about=\"\" xmlns:iptcExt=\"http://iptc.org/std/Iptc4xmpExt/2008-02-29/\">"
              "<iptcExt:Event><rdf:Alt><rdf:li xml:lang=\"x-default\">Summer fair</rdf:li></rdf:Alt></iptcExt:Event>"
              "</rdf:Description></rdf:RDF></x:xmpmeta>");
    QCOMPARE(cli({"new-dynamic-album", path("shoot")}).code, 0);
    // The tool read the pictures as it made the album.
    QVERIFY(cli({"props", "shoot", "tagged.jpg"}).out.contains("title=Cliffs\n"));
    // A picture the folder gains afterwards is read when the window shows the album.
    makePhoto(path("shoot/later.jpg"));
    QVERIFY(exiftool({"-q", "-overwrite_original", "-XMP-xmp:Rating=5", "-XMP-dc:Title=Sea stacks",
                      "-EXIF:DateTimeOriginal=2016:08:20 18:45:00", "-XMP-iptcExt:PersonInImage=Bruno",
                      path("shoot/later.jpg")}));
    makeTrip({"x.jpg"});
    makePhoto(path("drop/dropped.jpg"));
    QVERIFY(exiftool({"-q", "-overwrite_original", "-XMP-dc:Title=Dropped with a title", "-XMP-xmp:Rating=3",
                      path("drop/dropped.jpg")}));

    AmbrioMainWindow *page = m_fixture.start(path("install"), &m_prompter);
    openAlbum(page, "shoot");
    QCOMPARE(record(page, "tagged.jpg")->title(), QStringLiteral("Cliffs"));
    KivViewItem *tagged = record(page, "later.jpg");
    QVERIFY(tagged);
    QCOMPARE(tagged->title(), QStringLiteral("Sea stacks"));
    QCOMPARE(tagged->love(), 5);
    QCOMPARE(record(page, "plain.jpg")->title().trimmed(), QString());
    QCOMPARE(static_cast<PhotoItem *>(record(page, "plain.jpg"))->event(), QStringLiteral("Summer fair"));
    QCOMPARE(page->photoView()->count(), 3);
    // Shown in the panel, and stored: the date in the property file, the rest in the row.
    clickCell(page->photoView(), tagged);
    QCOMPARE(page->findChild<KivDateButton *>("itemDate")->date(), QDate(2016, 8, 20));
    const CliOutput props = cli({"--json", "props", "shoot", "later.jpg"});
    const QJsonObject stored = QJsonDocument::fromJson(props.out).object();
    QCOMPARE(stored.value("title").toString(), QStringLiteral("Sea stacks"));
    QCOMPARE(stored.value("love").toInt(), 5);
    QCOMPARE(stored.value("persons").toString(), QStringLiteral("Bruno"));
    QCOMPARE(stored.value("date").toString(), QStringLiteral("2016-08-20T18:45:00"));
    // The persons read (by the tool, by the window) join the list the People dialog offers.
    QVERIFY(readAll(path("install/DataBase/subjects.list")).contains("Anna"));
    QVERIFY(readAll(path("install/DataBase/subjects.list")).contains("Bruno"));

    // A picture dropped from the file manager onto an album that is not the open one.
    PlayList *trip = nullptr;
    for (PlayList *album : page->albumList()->storedAlbums())
        if (album->title() == "Trip")
            trip = album;
    QVERIFY(trip);
    QVERIFY(dropFilesOn(page->albumList(), trip, {path("drop/dropped.jpg")}));
    QTRY_VERIFY(!page->pictures()->isLoading());
    const QJsonObject dropped =
        QJsonDocument::fromJson(cli({"--json", "props", "Trip", "dropped.jpg"}).out).object();
    QCOMPARE(dropped.value("title").toString(), QStringLiteral("Dropped with a title"));
    QCOMPARE(dropped.value("love").toInt(), 3);
    QVERIFY(m_prompter.messages.isEmpty());
}

void TestTagSync::exportAndImportAnAlbum()
{
    makePhoto(path("pics/a.jpg"));
    QVERIFY(exiftool({"-q", "-overwrite_original", "-XMP-dc:Title=From the camera", "-XMP-xmp:Rating=5",
                      path("pics/a.jpg")}));
    makeTrip({"a.jpg", "b.jpg"});
    QCOMPARE(cli({"props", "Trip", "a.jpg"}).out.contains("title=From the camera"), true);
    QCOMPARE(cli({"set", "Trip", "b.jpg", "title=Harbour", "love=3", "persons=Anna,Bob", "place=Porto"}).code, 0);
    const QByteArray a = readAll(path("pics/a.jpg"));

    // A dry run says what would change and changes nothing.
    CliOutput run = cli({"export-metadata", "Trip", "--dry-run"});
    QCOMPARE(run.code, 0);
    QVERIFY2(run.out.contains("b.jpg: love \"3\" (was \"\"); title \"Harbour\" (was \"\")"), run.out.constData());
    QVERIFY(run.out.contains("dry run"));
    QVERIFY(!QFileInfo::exists(path("pics/b.jpg.xmp")));

    run = cli({"--json", "export-metadata", "Trip"});
    QCOMPARE(run.code, 0);
    const QJsonObject report = QJsonDocument::fromJson(run.out).object();
    QCOMPARE(report.value("target").toString(), QStringLiteral("sidecar"));
    QCOMPARE(report.value("pictures").toArray().size(), 2);
    QJsonObject b = exifRead(path("pics/b.jpg.xmp"));
    QCOMPARE(b.value("XMP-dc:Title").toString(), QStringLiteral("Harbour"));
    QCOMPARE(b.value("XMP-xmp:Rating").toInt(), 3);
    QCOMPARE(b.value("XMP-photoshop:City").toString(), QStringLiteral("Porto"));
    QCOMPARE(b.value("XMP-iptcExt:PersonInImage").toArray(), (QJsonArray{"Anna", "Bob"}));
    QCOMPARE(exifRead(path("pics/a.jpg.xmp")).value("XMP-dc:Title").toString(), QStringLiteral("From the camera"));
    QCOMPARE(readAll(path("pics/a.jpg")), a);
    // Nothing left to change the second time.
    run = cli({"export-metadata", "Trip"});
    QVERIFY2(run.out.contains("a.jpg: unchanged") && run.out.contains("b.jpg: unchanged"), run.out.constData());

    run = cli({"export-metadata", "Trip", "--embed"});
    QCOMPARE(run.code, 0);
    QCOMPARE(exifRead(path("pics/b.jpg")).value("IPTC:ObjectName").toString(), QStringLiteral("Harbour"));

    // Another program changes the sidecar: import fills only empty fields unless told.
    QVERIFY(exiftool({"-q", "-overwrite_original", "-XMP-dc:Title=Renamed elsewhere",
                      "-XMP-dc:Description=A windy day", path("pics/b.jpg.xmp")}));
    const QString trip = QJsonDocument::fromJson(cli({"--json", "albums"}).out).array().first().toObject().value("id").toString();
    const QByteArray albumFile = readAll(path("install/DataBase/db/" + trip + ".db"));
    run = cli({"import-metadata", "Trip", "--overwrite", "--dry-run"});
    QVERIFY2(run.out.contains("title \"Renamed elsewhere\" (was \"Harbour\")"), run.out.constData());
    QCOMPARE(readAll(path("install/DataBase/db/" + trip + ".db")), albumFile);
    run = cli({"import-metadata", "Trip"});
    QCOMPARE(run.code, 0);
    QVERIFY2(run.out.contains("b.jpg: comment \"A windy day\" (was \"\")"), run.out.constData());
    QVERIFY(cli({"props", "Trip", "b.jpg"}).out.contains("title=Harbour\n"));
    QVERIFY(cli({"props", "Trip", "b.jpg"}).out.contains("comment=A windy day\n"));
    QCOMPARE(cli({"import-metadata", "Trip", "--overwrite"}).code, 0);
    QVERIFY(cli({"props", "Trip", "b.jpg"}).out.contains("title=Renamed elsewhere\n"));

    // A picture renamed in the catalogue takes its sidecar along.
    QCOMPARE(cli({"rename", "Trip", "b.jpg", "harbour.jpg"}).code, 0);
    QVERIFY(!QFileInfo::exists(path("pics/b.jpg.xmp")));
    QCOMPARE(exifRead(path("pics/harbour.jpg.xmp")).value("XMP-dc:Title").toString(), QStringLiteral("Renamed elsewhere"));

    // A dry run foretells what the real run would refuse: a damaged sidecar.
    writeFile(path("pics/a.jpg.xmp"), "<x:xmpmeta junk");
    QCOMPARE(cli({"set", "Trip", "a.jpg", "comment=Still here"}).code, 0);
    run = cli({"export-metadata", "Trip", "--dry-run"});
    QCOMPARE(run.code, 1);
    QVERIFY2(run.err.contains("a.jpg.xmp is damaged"), qPrintable(run.err));
    QCOMPARE(readAll(path("pics/a.jpg.xmp")), QByteArray("<x:xmpmeta junk"));

    // Wrong uses are usage errors; a picture that is gone is told and counted.
    const CliOutput misspelt = cli({"export-metadata", "Trip", "--dryrun"});
    QCOMPARE(misspelt.code, 2);
    QVERIFY2(misspelt.err.contains("unknown option: --dryrun"), qPrintable(misspelt.err));
    QCOMPARE(cli({"export-metadata", "Trip", "--overwrite"}).code, 2);
    QCOMPARE(cli({"import-metadata", "Trip", "--embed"}).code, 2);
    QCOMPARE(cli({"export-metadata"}).code, 2);
    QCOMPARE(cli({"export-metadata", "Nowhere"}).code, 1);
    QVERIFY(QFile::remove(path("pics/a.jpg")));
    run = cli({"export-metadata", "Trip"});
    QCOMPARE(run.code, 1);
    QVERIFY2(run.err.contains("a.jpg: the picture is not there"), qPrintable(run.err));
}

void TestTagSync::killWhileWritingLeavesTheTagNoted()
{
    // A camera-sized picture takes long enough to rewrite for kills to land inside.
    makePhoto(path("pics/big.jpg"), 4000, 3000, 7);
    makeTrip({"big.jpg", "small.jpg"});
    writeSettings("WriteMetadata=true\nMetadataTarget=embedded\n");
    const QByteArray original = readAll(path("pics/big.jpg"));
    const QByteArray scan = scanData(original);
    QVERIFY(scan.size() > 4000000);

    // The moments a kill can come: from about when a run without the picture's write
    // would end, to when the run with it ends.
    QElapsedTimer whole;
    whole.start();
    QCOMPARE(cli({"set", "Trip", "small.jpg", "title=S0"}).code, 0);
    const qint64 withoutWrite = whole.restart();
    CliOutput first = cli({"set", "Trip", "big.jpg", "title=T0"});
    QCOMPARE(first.code, 0);
    const qint64 withWrite = whole.elapsed();
    QCOMPARE(exifRead(path("pics/big.jpg")).value("XMP-dc:Title").toString(), QStringLiteral("T0"));
    const qint64 from = withoutWrite * 3 / 4;
    const qint64 span = qMax<qint64>(1, withWrite - from);

    QRandomGenerator random(20261208);
    int landed = 0;
    int caughtMidWrite = 0;
    // Until six kills have landed, at most 30 tries (a loaded machine runs slower).
    for (int kill = 1; kill <= 30 && landed < 6; ++kill) {
        const QString title = "T" + QString::number(kill);
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", m_dir->path());
        env.insert("XDG_CONFIG_HOME", path(".config"));
        process.setProcessEnvironment(env);
        process.start(VELLARO_CLI, {"--install-dir", path("install"), "set", "Trip", "big.jpg", "title=" + title});
        QVERIFY(process.waitForStarted());
        QTest::qWait(int(from + random.bounded(span)));
        process.kill();  // SIGKILL, when it is still running
        process.waitForFinished();
        if (process.exitStatus() == QProcess::CrashExit)
            ++landed;

        // The picture is whole, old or new: the same image data, readable metadata.
        const QByteArray now = readAll(path("pics/big.jpg"));
        QCOMPARE(scanData(now), scan);
        const QString inPicture = exifRead(path("pics/big.jpg")).value("XMP-dc:Title").toString();
        const bool stored = cli({"props", "Trip", "big.jpg"}).out.contains(("title=" + title + "\n").toUtf8());
        bool noted = false;
        for (const MetadataQueue::Entry &entry : MetadataQueue(path("install/DataBase")).pending())
            noted = noted || (entry.picture == path("pics/big.jpg") && entry.tags.title == title);
        // A title the catalogue holds is in the picture, or noted to be written.
        if (stored)
            QVERIFY2(inPicture == title || noted, qPrintable(title + " / " + inPicture));
        if (noted && inPicture != title)
            ++caughtMidWrite;

        // The next writer writes what was left noted.
        QCOMPARE(cli({"set", "Trip", "small.jpg", "title=S" + QString::number(kill)}).code, 0);
        if (stored || noted)
            QCOMPARE(exifRead(path("pics/big.jpg")).value("XMP-dc:Title").toString(), title);
        QVERIFY(!QFileInfo::exists(path("install/DataBase/metadata.pending")));
        QCOMPARE(QDir(path("pics")).entryList({".*vellaro*"}, QDir::Files | QDir::Hidden), QStringList());
    }
    // Tags noted for a picture on a drive that is not plugged in do not make the next
    // change fail: they wait, with a warning.
    {
        MetadataQueue queue(path("install/DataBase"));
        TagMetadata::Tags waiting;
        waiting.title = QStringLiteral("Waits");
        QCOMPARE(queue.add({{path("unplugged/p.jpg"), TagMetadata::Target::Sidecar, waiting}}), QString());
    }
    const CliOutput after = cli({"set", "Trip", "small.jpg", "title=Last"});
    QCOMPARE(after.code, 0);
    QVERIFY2(after.err.contains("warning: tags noted earlier could not be written"), qPrintable(after.err));
    QCOMPARE(MetadataQueue(path("install/DataBase")).count(), 1);

    // Its own picture failing is the command's failure: the catalogue keeps the tag.
    writeSettings("WriteMetadata=true\nMetadataTarget=sidecar\n");
    QVERIFY(QDir().mkpath(path("pics/small.jpg.xmp")));
    const CliOutput own = cli({"set", "Trip", "small.jpg", "title=Blocked"});
    QCOMPARE(own.code, 1);
    QVERIFY2(own.err.contains("could not be written into the picture's metadata"), qPrintable(own.err));
    QVERIFY(cli({"props", "Trip", "small.jpg"}).out.contains("title=Blocked\n"));

    qInfo() << landed << "kills landed," << caughtMidWrite << "with the tag noted and not yet in the picture";
    QVERIFY2(landed >= 3, qPrintable(QString::number(landed)));
}

QTEST_MAIN(TestTagSync)
#include "tst_tagsync.moc"
