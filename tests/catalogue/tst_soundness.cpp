// Damaged, hostile and full-disk cases of the catalogue: nothing a file holds and no
// failed write may lose or corrupt a picture or a tag.
#include "albumadd.h"
#include "catalogueloader.h"
#include "cataloguecontext.h"
#include "cataloguebatch.h"
#include "cataloguefile.h"
#include "cataloguesave.h"
#include "cataloguetext.h"
#include "directoryplaylist.h"
#include "libraryindex.h"
#include "photoitem.h"
#include "playlistgroup.h"
#include "scriptedprompter.h"
#include "searchengine.h"
#include "smartplaylist.h"
#include "thumbnailmaker.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QImageReader>
#include <QTreeWidget>
#include <QtTest>

#include <sys/resource.h>
#include <sys/stat.h>

#include "fulldisk.h"
#include "testfiles.h"

namespace {

void makePicture(const QString &path, const QColor &colour = Qt::red, const QSize &size = QSize(40, 30))
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    QVERIFY(image.save(path));
}

QByteArray albumFile(const QString &kivDir, const QByteArray &title, const QList<QByteArray> &rows,
                     const QByteArray &count = {})
{
    QByteArray bytes = "KivDir=" + kivDir.toUtf8() + "\r\nTitle=" + title + "\r\nDirty=True\r\nCreationDate=2003-01-05\r\n"
                       + "NumFile=" + (count.isEmpty() ? QByteArray::number(rows.size()) : count) + "\r\n";
    for (const QByteArray &row : rows)
        bytes += "File=" + row + "\r\n";
    return bytes;
}

QStringList names(const AlbumRows &rows)
{
    QStringList list;
    for (int i = 0; i < rows.count(); ++i)
        list << rows.fieldText(i, AlbumRows::FileName);
    return list;
}

// An album refused: invalid, and no save, clear or removal goes through it; the user's
// pictures in `victim` stay as they were.
void refusesEveryWrite(PlayList *album, const QString &victim)
{
    QVERIFY2(!album->isValid(), qPrintable(album->name()));
    album->setDirty(true);
    QVERIFY(!album->save(album->kivDir()));
    QVERIFY(!album->clear());
    QVERIFY(!album->removeFiles());
    QVERIFY(QFile::exists(victim + "/precious.jpg"));
    QCOMPARE(readAll(victim + "/precious.kiv"), QByteArray("title=keep\r\n"));
}

} // namespace

class TestSoundness : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void largePicturesArePictures();
    void olderPropertyFilesKeepTheirTags();
    void rescanKeepsTags();
    void clearTrashesOnlyTheAlbumsPictures();
    void thumbnailsShowThePicture();
    void addRefusesWhatCannotBeStored();
    void picturesThatCannotBeDecodedAreRefused();
    void barsInPropertyFilesKeepRowsWhole();
    void failedWritesAreUndone();
    void batchesChangeEveryFileOrNone();
    void batchOfTagsFailingOrCancelledChangesNothing();
    void journalOfABatchIsRemovedOrKeptWithItsFiles();
    void sweepOfLeftOversNeverHoldsUpNorTakesAWrite();
    void fullDiskAddIsNotAdded();
    void damagedAlbumFiles_data();
    void damagedAlbumFiles();
    void damagedLibraryIndex_data();
    void damagedLibraryIndex();
    void nothingOutsideTheCatalogue();
    void aLargeAlbumsLinkedFolderIsRefusedToo_data();
    void aLargeAlbumsLinkedFolderIsRefusedToo();
    void groupsAndQueriesStayInside();
    void albumFileNamingAnotherAlbum();
    void numbersAreBounded();
    void windowsTextSurvives();
    void longNamesAndCommas();
    void groupsAreSearched();
    void manyAlbumsAreReadOnThreads();

private:
    QList<PlayList *> loadAll();

    std::unique_ptr<QTemporaryDir> m_dir;
    CatalogueContext m_context;
    LibraryIndex m_library;
    QTreeWidget m_list;
};

void TestSoundness::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_context = CatalogueContext::forInstallation(m_dir->path() + "/install");
    QDir().mkpath(m_context.folder);
    m_library = LibraryIndex();
    m_library.setRoot(m_context.root);
    m_context.library = &m_library;
    m_list.clear();
    // The desktop trash of this test run.
    qputenv("XDG_DATA_HOME", (m_dir->path() + "/data").toUtf8());
}

void TestSoundness::cleanup()
{
    m_list.clear();
}

QList<PlayList *> TestSoundness::loadAll()
{
    m_library.load();
    return CatalogueLoader::load(&m_list, m_library, m_context, QStringLiteral("media"));
}

void TestSoundness::largePicturesArePictures()
{
    // A camera-sized JPEG of noise is well over 3000 KiB.
    QImage noise(2400, 1800, QImage::Format_RGB32);
    auto *random = QRandomGenerator::global();
    for (int y = 0; y < noise.height(); ++y) {
        auto *line = reinterpret_cast<quint32 *>(noise.scanLine(y));
        for (int x = 0; x < noise.width(); ++x)
            line[x] = random->generate() | 0xff000000u;
    }
    const QString path = m_dir->path() + "/big/IMG_9000.JPG";
    QDir().mkpath(QFileInfo(path).path());
    QVERIFY(noise.save(path, "JPEG", 100));
    QVERIFY(QFileInfo(path).size() / 1024 > 3000);
    QCOMPARE(KivViewItem::kindOfFile(path), QStringLiteral("Photo"));

    PlayList album;
    album.setContext(&m_context);
    album.setKivDir(QStringLiteral("Big05.01.2003.14.22.10.123"));
    ScriptedPrompter prompter;
    const AlbumAdd::Result added = AlbumAdd::addFiles(&album, {path}, true, prompter);
    QCOMPARE(int(added.added.size()), 1);
    QCOMPARE(album.rowTable().fieldText(0, AlbumRows::FileType), QStringLiteral("Photo"));
    QCOMPARE(album.rowTable().fieldText(0, AlbumRows::Format), QStringLiteral("2400*1800"));
}

void TestSoundness::olderPropertyFilesKeepTheirTags()
{
    // An older catalogue: IMG_0001.JPG and IMG_0001.TIF share IMG_0001.kiv; a.b.jpg has a.kiv.
    PlayList album;
    album.setContext(&m_context);
    album.setKivDir(QStringLiteral("Old01.01.2003.00.00.00.000"));
    const QString folder = album.albumFolder();
    const QByteArray shared = "title=Old\r\nformat=\r\ncategory=Family\r\ncomment=\r\nlove=4\r\nauthor=\r\nfrom=\r\n"
                              "date=\r\nfiletype=Photo\r\npersoninit=Anna\r\nevent=\r\nplace=Oslo\r\nuserbadge=2\r\n";
    writeFile(folder + "/IMG_0001.kiv", shared);
    writeFile(folder + "/a.kiv", shared);
    auto add = [&](const QString &name) {
        auto p = std::make_unique<PhotoItem>(name);
        p->setFileName(name);
        p->setSourceFolder(m_dir->path() + "/pics");
        p->setAlbumFolder(folder);
        p->setOwnerAlbum(&album);
        album.addRecord(p.get());
        return p;
    };
    auto jpeg = add(QStringLiteral("IMG_0001.JPG"));
    auto tiff = add(QStringLiteral("IMG_0001.TIF"));
    auto ab = add(QStringLiteral("a.b.jpg"));
    for (PhotoItem *p : {jpeg.get(), tiff.get(), ab.get()}) {
        p->readProperties();
        QCOMPARE(p->title(), QStringLiteral("Old"));
        QCOMPARE(p->love(), 4);
        QCOMPARE(p->place(), QStringLiteral("Oslo"));
    }
    // A write goes to the picture's own file; the shared one stays for the other.
    jpeg->setTitle(QStringLiteral("New"));
    QVERIFY(jpeg->writeProperties());
    QCOMPARE(readAll(folder + "/IMG_0001.kiv"), shared);
    tiff->readProperties();
    QCOMPARE(tiff->title(), QStringLiteral("Old"));
    jpeg->readProperties();
    QCOMPARE(jpeg->title(), QStringLiteral("New"));

    // Removing the TIF's properties keeps the shared file: the JPEG of the album maps to it.
    tiff->removeProperties();
    QVERIFY(QFile::exists(folder + "/IMG_0001.kiv"));
    // a.b.jpg alone reads a.kiv: removing its properties removes it.
    ab->removeProperties();
    QVERIFY(!QFile::exists(folder + "/a.kiv"));

    // Renaming a picture whose tags are in the shared file gives it a copy of its own.
    QDir().mkpath(m_dir->path() + "/pics");
    makePicture(m_dir->path() + "/pics/IMG_0001.TIF");
    QCOMPARE(tiff->rename(QStringLiteral("Harbour.TIF")), KivViewItem::RenameResult::Renamed);
    QVERIFY(QFile::exists(folder + "/Harbour.TIF.kiv"));
    QVERIFY(QFile::exists(folder + "/IMG_0001.kiv"));  // IMG_0001.JPG is still in the album
    tiff->readProperties();
    QCOMPARE(tiff->title(), QStringLiteral("Old"));
    QCOMPARE(tiff->personInit(), QStringLiteral("Anna"));
}

void TestSoundness::rescanKeepsTags()
{
    const QString pics = m_dir->path() + "/Trip";
    for (const char *name : {"a.jpg", "b.jpg", "c.jpg"})
        makePicture(pics + "/" + name);
    DirectoryPlaylist album;
    album.setContext(&m_context);
    album.setName(QStringLiteral("Trip"));
    album.setKivDir(QStringLiteral("Trip05.01.2003.14.22.10.123"));
    album.setFrom(pics);
    QCOMPARE(names(album.rows()), (QStringList{"a.jpg", "b.jpg", "c.jpg"}));

    // Two pictures tagged, as a stored album file holds them.
    writeFile(m_context.folder + "/Trip05.01.2003.14.22.10.123.dir",
              "KivDir=Trip05.01.2003.14.22.10.123\r\nFrom=" + pics.toUtf8()
                  + "\r\nTitle=Trip\r\nDirty=True\r\nCreationDate=2003-01-05\r\nNumFile=3\r\n"
                    "File=Photo|" + pics.toUtf8() + "|a.jpg|Sunset|Family|warm|5|3|2|40*30|Anna\r\n"
                    "File=Photo|" + pics.toUtf8() + "|b.jpg|Boat|holidays| |4|0|-1|40*30|\r\n"
                    "File=Photo|" + pics.toUtf8() + "|c.jpg| |Undefined| |1|0|-1|40*30|\r\n");
    QVERIFY(album.load(m_context.folder + "/Trip05.01.2003.14.22.10.123.dir"));

    // c.jpg goes, d.jpg (with a property file from an earlier time) and e.jpg come, and
    // a file whose name would break a row is skipped.
    QFile::remove(pics + "/c.jpg");
    makePicture(pics + "/e.jpg");
    makePicture(pics + "/d.jpg");
    makePicture(pics + "/bad|name.jpg");
    writeFile(album.albumFolder() + "/d.jpg.kiv",
              "title=Found\r\nformat=40*30\r\ncategory=Friends\r\ncomment=\r\nlove=3\r\nauthor=\r\nfrom=\r\ndate=\r\n"
              "filetype=Photo\r\npersoninit=Bob\r\nevent=\r\nplace=\r\nuserbadge=1\r\n");
    const AlbumRows &rows = album.rows();
    QCOMPARE(names(rows), (QStringList{"a.jpg", "b.jpg", "d.jpg", "e.jpg"}));
    QCOMPARE(rows.row(0), (QStringList{"Photo", pics, "a.jpg", "Sunset", "Family", "warm", "5", "3", "2", "40*30", "Anna"}));
    QCOMPARE(rows.fieldText(1, AlbumRows::Love), QStringLiteral("4"));
    QCOMPARE(rows.fieldText(2, AlbumRows::Title), QStringLiteral("Found"));
    QCOMPARE(rows.fieldText(2, AlbumRows::Persons), QStringLiteral("Bob"));
    QCOMPARE(rows.fieldText(3, AlbumRows::Love), QStringLiteral("1"));
    QCOMPARE(rows.fieldText(3, AlbumRows::Category), QStringLiteral("Undefined"));
    QCOMPARE(album.skippedFiles(), QStringList{"bad|name.jpg"});
    QVERIFY(album.isDirty());

    // Written and read back after a restart: the tags are in the rows, so Favorites sees them.
    QVERIFY(album.save(album.kivDir()));
    DirectoryPlaylist again;
    again.setContext(&m_context);
    QVERIFY(again.load(m_context.folder + "/Trip05.01.2003.14.22.10.123.dir"));
    QCOMPARE(again.rows().fieldText(0, AlbumRows::Title), QStringLiteral("Sunset"));
    Favorites favorites;
    favorites.setSource(&again);
    QCOMPARE(names(favorites.rows()), QStringList{"a.jpg"});

    // A folder unchanged is not rescanned.
    album.setDirty(false);
    album.rows();
    QVERIFY(!album.isDirty());

    // No bound folder: the stored rows stand (the current folder is never scanned).
    DirectoryPlaylist unbound;
    unbound.setContext(&m_context);
    unbound.setFrom(QString());
    QVERIFY(QDir::current().exists());
    QCOMPARE(unbound.rows().count(), 0);
    QVERIFY(!unbound.isDirty());
}

void TestSoundness::clearTrashesOnlyTheAlbumsPictures()
{
    const QString pics = m_dir->path() + "/Party";
    makePicture(pics + "/a.jpg");
    makePicture(pics + "/b.png", Qt::blue);
    writeFile(pics + "/letter.txt", "keep me");
    DirectoryPlaylist album;
    album.setContext(&m_context);
    album.setName(QStringLiteral("Party"));
    album.setKivDir(QStringLiteral("Party05.01.2003.14.22.10.123"));
    album.setFrom(pics);
    album.rows();
    QVERIFY(album.save(album.kivDir()));
    // A picture that came after the last rescan is not the album's to delete.
    makePicture(pics + "/later.jpg");
    const QByteArray aBytes = readAll(pics + "/a.jpg");

    QVERIFY(album.clear());
    QCOMPARE(album.clearSummary(), QStringLiteral("2 picture(s) moved to the trash"));
    QCOMPARE(album.rowCount(), 0);
    QVERIFY(!QFile::exists(pics + "/a.jpg"));
    QVERIFY(!QFile::exists(pics + "/b.png"));
    QCOMPARE(readAll(pics + "/letter.txt"), QByteArray("keep me"));
    QVERIFY(QFile::exists(pics + "/later.jpg"));
    const QString trash = m_dir->path() + "/data/Trash/files";
    QCOMPARE(readAll(trash + "/a.jpg"), aBytes);
    QVERIFY(QFile::exists(trash + "/b.png"));
    QVERIFY(readAll(m_context.folder + "/Party05.01.2003.14.22.10.123.dir").contains("NumFile=0"));

    // Removing one picture of a dynamic album also goes through the trash.
    album.rows();
    PhotoItem later(QStringLiteral("later.jpg"));
    later.setFileName(QStringLiteral("later.jpg"));
    later.setSourceFolder(pics);
    QVERIFY(album.removeRecord(&later));
    QVERIFY(QFile::exists(trash + "/later.jpg"));
}

void TestSoundness::thumbnailsShowThePicture()
{
    PlayList album;
    album.setContext(&m_context);
    album.setKivDir(QStringLiteral("T05.01.2003.14.22.10.123"));
    // A thumbnail left from a blue picture that once had the name.
    QDir().mkpath(album.albumFolder());
    QImage old(99, 73, QImage::Format_RGB32);
    old.fill(Qt::blue);
    QVERIFY(old.save(album.albumFolder() + "/same.jpg", "JPEG"));
    makePicture(m_dir->path() + "/p/same.jpg", Qt::red, QSize(99, 73));
    ScriptedPrompter prompter;
    AlbumAdd::Result added = AlbumAdd::addFiles(&album, {m_dir->path() + "/p/same.jpg"}, false, prompter);
    QCOMPARE(int(added.added.size()), 1);
    const QColor shown = added.added.front()->thumbnail().toImage().pixelColor(49, 36);
    QVERIFY2(shown.red() > 200 && shown.blue() < 60, qPrintable(shown.name()));
    const QColor stored = QImage(album.albumFolder() + "/same.jpg").pixelColor(49, 36);
    QVERIFY2(stored.red() > 200 && stored.blue() < 60, qPrintable(stored.name()));

    // A transparent picture is drawn on white.
    QImage clear(60, 40, QImage::Format_ARGB32);
    clear.fill(Qt::transparent);
    QVERIFY(clear.save(m_dir->path() + "/p/clear.png"));
    for (bool fast : {false, true}) {
        const ThumbnailMaker::Result made = ThumbnailMaker::make(m_dir->path() + "/p/clear.png", fast);
        QVERIFY(made.loaded);
        QCOMPARE(made.image.pixelColor(49, 36), QColor(Qt::white));
    }
}

void TestSoundness::addRefusesWhatCannotBeStored()
{
    PlayList album;
    album.setContext(&m_context);
    album.setKivDir(QStringLiteral("R05.01.2003.14.22.10.123"));
    const QString p = m_dir->path() + "/p";
    makePicture(p + "/bar|name.jpg");
    makePicture(p + "/line\nend.jpg");
    writeFile(p + "/empty.jpg", "");
    writeFile(p + "/text.jpg", "this is no picture\n");
    makePicture(p + "/fine.jpg");
    makePicture(m_dir->path() + "/we|ird/folder.jpg");
    ScriptedPrompter prompter;
    const AlbumAdd::Result result =
        AlbumAdd::addFiles(&album, {p + "/bar|name.jpg", p + "/line\nend.jpg", p + "/empty.jpg", p + "/text.jpg",
                                    p + "/fine.jpg", m_dir->path() + "/we|ird/folder.jpg"},
                           true, prompter);
    QCOMPARE(result.refused, 5);
    QCOMPARE(names(album.rowTable()), QStringList{"fine.jpg"});
    QCOMPARE(prompter.messages.size(), 5);
    QVERIFY(prompter.messages.at(4).text.contains("\"|\""));
    QVERIFY(prompter.messages.at(0).text.contains("\"|\""));
    QVERIFY(prompter.messages.at(1).text.contains("\"|\""));
    QVERIFY(prompter.messages.at(2).text.startsWith("Could not open this file."));
    QVERIFY(prompter.messages.at(3).text.startsWith("Could not open this file."));
    // The album file reads back with its one picture intact.
    PlayList back;
    back.setContext(&m_context);
    QVERIFY(back.load(m_context.folder + "/R05.01.2003.14.22.10.123.db"));
    QCOMPARE(names(back.rowTable()), QStringList{"fine.jpg"});

    // A dynamic album without its folder copies nothing anywhere.
    DirectoryPlaylist lost;
    lost.setContext(&m_context);
    lost.setKivDir(QStringLiteral("L05.01.2003.14.22.10.123"));
    lost.setFrom(QString());
    lost.setValid(false);
    prompter.messages.clear();
    QCOMPARE(AlbumAdd::addFiles(&lost, {p + "/fine.jpg"}, true, prompter).refused, 1);
    QCOMPARE(prompter.messages.first().caption, QStringLiteral("Album non valid"));
    QVERIFY(!QFile::exists("/fine.jpg"));
    DirectoryPlaylist gone;
    gone.setContext(&m_context);
    gone.setKivDir(QStringLiteral("G05.01.2003.14.22.10.123"));
    gone.setFrom(m_dir->path() + "/nowhere");
    QCOMPARE(AlbumAdd::addFiles(&gone, {p + "/fine.jpg"}, true, prompter).refused, 1);
    QVERIFY(!QFileInfo::exists(m_dir->path() + "/nowhere"));
    // The album itself refuses too, whoever asks it.
    PhotoItem fine(QStringLiteral("fine.jpg"));
    fine.setFileName(QStringLiteral("fine.jpg"));
    fine.setSourceFolder(p);
    QVERIFY(!gone.addRecord(&fine));
    QCOMPARE(gone.rowCount(), 0);
    QVERIFY(!QFileInfo::exists(m_dir->path() + "/nowhere"));
}

void TestSoundness::picturesThatCannotBeDecodedAreRefused()
{
    PlayList album;
    album.setContext(&m_context);
    album.setName(QStringLiteral("Big"));
    album.setKivDir(QStringLiteral("Big05.01.2003.14.22.10.123"));
    m_library.insertAlbum(&album, nullptr);
    const QString p = m_dir->path() + "/p";
    // 69 bytes of PNG whose header claims 60,000 x 60,000 pixels (10.8 GB as RGB): its
    // IHDR, an IDAT of 64 zero bytes and IEND, each with its CRC.
    writeFile(p + "/huge.png", QByteArray::fromHex("89504e470d0a1a0a0000000d494844520000ea600000ea6008020000000fb0e2150000"
                                                   "000c49444154789c6360a00c000000400001b7347cef0000000049454e44ae426082"));
    // A WBMP header of no width and 36 rows.
    writeFile(p + "/flat.wbmp", QByteArray("\0\0\0\x24", 4));
    makePicture(p + "/fine.png");

    struct rusage before, after;
    getrusage(RUSAGE_SELF, &before);
    ScriptedPrompter prompter;
    const AlbumAdd::Result result =
        AlbumAdd::addFiles(&album, {p + "/huge.png", p + "/flat.wbmp", p + "/fine.png"}, false, prompter);
    getrusage(RUSAGE_SELF, &after);
    // Nothing near the 10.8 GB the pixels would need was taken (ru_maxrss is in KiB).
    QVERIFY2(after.ru_maxrss - before.ru_maxrss < 256 * 1024,
             qPrintable(QStringLiteral("peak grew by %1 MiB").arg((after.ru_maxrss - before.ru_maxrss) / 1024)));

    QCOMPARE(result.refused, 2);
    QCOMPARE(int(result.added.size()), 1);
    QCOMPARE(prompter.messages.size(), 2);
    QCOMPARE(prompter.messages.at(0).text, QStringLiteral("Unable to add this picture.\nIt is too large to be shown "
                                                          "(60000 x 60000 pixels):\n")
                                               + p + "/huge.png");
    QVERIFY(prompter.messages.at(1).text.startsWith("Could not open this file."));
    QVERIFY(prompter.messages.at(1).text.endsWith(p + "/flat.wbmp"));
    // Only the picture that could be shown is in the album, its file and its folder.
    QCOMPARE(names(album.rowTable()), QStringList{"fine.png"});
    PlayList back;
    back.setContext(&m_context);
    QVERIFY(back.load(album.storedFilePath()));
    QCOMPARE(names(back.rowTable()), QStringList{"fine.png"});
    QCOMPARE(back.rowTable().fieldText(0, AlbumRows::Format), QStringLiteral("40*30"));
    QCOMPARE(QDir(album.albumFolder()).entryList(QDir::Files), QStringList{"fine.png"});

    // With Qt's allocation limit switched off nothing is too large: a small picture whose
    // pixels are damaged (its IDAT is junk) is told as damaged.
    const int limit = QImageReader::allocationLimit();
    QImageReader::setAllocationLimit(0);
    writeFile(p + "/damaged.png", QByteArray::fromHex("89504e470d0a1a0a0000000d49484452000000280000001e08020000"
                                                      "00d1bfcb8a0000000c49444154deadbeefdeadbeefdeadbeef00000000"
                                                      "0000000049454e44ae426082"));
    ScriptedPrompter unlimited;
    const AlbumAdd::Result damaged = AlbumAdd::addFiles(&album, {p + "/damaged.png"}, false, unlimited);
    QImageReader::setAllocationLimit(limit);
    QCOMPARE(damaged.refused, 1);
    QCOMPARE(unlimited.messages.size(), 1);
    QVERIFY2(unlimited.messages.first().text.contains("cannot be read"), qPrintable(unlimited.messages.first().text));
}

void TestSoundness::barsInPropertyFilesKeepRowsWhole()
{
    // A property file written by hand, whose title and comment hold "|" (which nobody
    // can type), for a picture that a rescan of its folder finds.
    const QString pics = m_dir->path() + "/Family";
    makePicture(pics + "/a.jpg");
    DirectoryPlaylist album;
    album.setContext(&m_context);
    album.setName(QStringLiteral("Family"));
    album.setKivDir(QStringLiteral("Family05.01.2003.14.22.10.123"));
    album.setFrom(pics);
    const QByteArray properties = "title=Dad | Mum\r\nformat=40*30\r\ncategory=Family\r\ncomment=a|b\r\nlove=4\r\n"
                                  "author=\r\nfrom=\r\ndate=\r\nfiletype=Photo\r\npersoninit=Anna,Bob\r\nevent=\r\n"
                                  "place=\r\nuserbadge=2\r\n";
    writeFile(album.albumFolder() + "/a.jpg.kiv", properties);
    QCOMPARE(names(album.rows()), QStringList{"a.jpg"});
    m_library.insertAlbum(&album, nullptr);
    QVERIFY(CatalogueSave::albumAndIndex(&album, &m_library).isEmpty());

    // After a restart each text is in its own place: the love, the badge and the persons
    // were not pushed out of theirs. In the row a "|" stands as a broken bar.
    const QList<PlayList *> albums = loadAll();
    QCOMPARE(albums.size(), 1);
    PlayList *back = albums.first();
    QVERIFY(back->isValid());
    QCOMPARE(back->rowTable().row(0), (QStringList{"Photo", pics, "a.jpg", QStringLiteral("Dad \u00a6 Mum"), "Family",
                                                   QStringLiteral("a\u00a6b"), "4", "0", "2", "40*30", "Anna,Bob"}));
    BySubject bob;
    bob.setKeyword(QStringLiteral("Bob"));
    bob.setSource(back);
    QCOMPARE(names(bob.rows()), QStringList{"a.jpg"});
    // The property file is left as it was, and the picture is shown with its own title.
    QCOMPARE(readAll(back->albumFolder() + "/a.jpg.kiv"), properties);
    QCOMPARE(back->recordAt(0)->title(), QStringLiteral("Dad | Mum"));
}

void TestSoundness::batchesChangeEveryFileOrNone()
{
    const QString folder = m_context.folder;
    const QStringList names{"a.kiv", "b.kiv", "c.kiv"};
    auto put = [&](const QByteArray &text) {
        for (const QString &name : names)
            writeFile(folder + '/' + name, text + ' ' + name.toUtf8());
    };
    auto contents = [&] {
        QList<QByteArray> all;
        for (const QString &name : names)
            all << readAll(folder + '/' + name);
        return all;
    };
    auto leftOvers = [&] { return QDir(folder).entryList({"*.vellaro-new"}, QDir::Files | QDir::Hidden).size(); };
    put("old");
    const QList<QByteArray> old = contents();

    // Dropped before its commit: every file stays as it was, nothing staged is left.
    {
        CatalogueFile::Batch batch;
        for (const QString &name : names)
            QVERIFY(CatalogueFile::writeBytes(folder + '/' + name, "new"));
        QCOMPARE(batch.size(), 3);
        QCOMPARE(contents(), old);
    }
    QCOMPARE(contents(), old);
    QCOMPARE(leftOvers(), 0);

    // A file written twice in one batch keeps its second version; after the commit,
    // writes are written at once again.
    {
        CatalogueFile::Batch batch;
        QVERIFY(CatalogueFile::writeBytes(folder + "/a.kiv", "first"));
        QVERIFY(CatalogueFile::writeBytes(folder + "/a.kiv", "second"));
        QVERIFY(CatalogueFile::writeLines(folder + "/b.kiv", {"line"}));
        QCOMPARE(batch.size(), 2);
        QVERIFY(batch.commit());
        QCOMPARE(readAll(folder + "/a.kiv"), QByteArray("second"));
        QCOMPARE(readAll(folder + "/b.kiv"), QByteArray("line\r\n"));
        QCOMPARE(leftOvers(), 0);
        QVERIFY(CatalogueFile::writeBytes(folder + "/c.kiv", "direct"));
        QCOMPARE(readAll(folder + "/c.kiv"), QByteArray("direct"));
    }

    // Told how far it is, a batch does the disk's work beside its caller: the files take
    // their names while the caller is being told (the window repaints meanwhile), and
    // the count told never goes back.
    put("old");
    {
        CatalogueFile::Batch batch;
        for (const QString &name : names)
            QVERIFY(CatalogueFile::writeBytes(folder + '/' + name, "told " + name.toUtf8()));
        bool renamedWhileTold = false;
        qsizetype lastTold = 0, told = 0;
        bool ordered = true;
        QVERIFY(batch.commit([&](qsizetype renamed, qsizetype total) {
            QCOMPARE(total, 3);
            ordered = ordered && renamed >= lastTold;
            lastTold = renamed;
            ++told;
            QElapsedTimer waited;
            waited.start();
            while (!renamedWhileTold && waited.elapsed() < 10000) {
                renamedWhileTold = readAll(folder + "/c.kiv") == "told c.kiv";
                QThread::msleep(1);
            }
        }));
        QVERIFY(renamedWhileTold);
        QVERIFY(ordered);
        QVERIFY(told >= 1);
        QCOMPARE(contents(), (QList<QByteArray>{"told a.kiv", "told b.kiv", "told c.kiv"}));
        QCOMPARE(leftOvers(), 0);
    }

    // Dropped while its caller is told: the staged files go meanwhile, every file stays
    // as it was, and a later commit has nothing to do.
    put("old");
    {
        CatalogueFile::Batch batch;
        for (const QString &name : names)
            QVERIFY(CatalogueFile::writeBytes(folder + '/' + name, "dropped"));
        QCOMPARE(leftOvers(), 3);
        bool goneWhileTold = false;
        qsizetype lastRemoved = -1;
        batch.drop([&](qsizetype removed, qsizetype total) {
            QCOMPARE(total, 3);
            lastRemoved = removed;
            QElapsedTimer waited;
            waited.start();
            while (!goneWhileTold && waited.elapsed() < 10000) {
                goneWhileTold = leftOvers() == 0;
                QThread::msleep(1);
            }
        });
        QVERIFY(goneWhileTold);
        QCOMPARE(lastRemoved, 3);
        QCOMPARE(contents(), old);
        QVERIFY(CatalogueFile::writeBytes(folder + "/a.kiv", "after"));  // not staged any more
        QCOMPARE(readAll(folder + "/a.kiv"), QByteArray("after"));
        QCOMPARE(batch.size(), 0);
    }
    QCOMPARE(leftOvers(), 0);

    // The disk fills while staging: the caller drops the batch, no file has changed.
    put("old");
    {
        CatalogueFile::Batch batch;
        QVERIFY(CatalogueFile::writeBytes(folder + "/a.kiv", "new"));
        FullDisk full(4);
        QVERIFY(!CatalogueFile::writeBytes(folder + "/b.kiv", "longer than four bytes"));
        QVERIFY(!CatalogueFile::lastWriteError().isEmpty());
    }
    QCOMPARE(contents(), old);
    QCOMPARE(leftOvers(), 0);

    // A rename fails at the commit (a folder took a file's place meanwhile): the
    // commit says so, on the caller's thread too when the work ran beside it, each file
    // is whole, and nothing staged is left.
    for (const bool told : {false, true}) {
        put("old");
        {
            CatalogueFile::Batch batch;
            for (const QString &name : names)
                QVERIFY(CatalogueFile::writeBytes(folder + '/' + name, "new " + name.toUtf8()));
            QVERIFY(QFile::remove(folder + "/b.kiv"));
            QVERIFY(QDir().mkpath(folder + "/b.kiv/inside"));
            QVERIFY(!(told ? batch.commit([](qsizetype, qsizetype) {}) : batch.commit()));
            QVERIFY(!CatalogueFile::lastWriteError().isEmpty());
            QCOMPARE(batch.renamed(), QStringList{folder + "/a.kiv"});
        }
        QCOMPARE(readAll(folder + "/a.kiv"), QByteArray("new a.kiv"));
        QVERIFY(QFileInfo(folder + "/b.kiv/inside").isDir());
        QCOMPARE(readAll(folder + "/c.kiv"), old.at(2));
        QCOMPARE(leftOvers(), 0);
        QVERIFY(QDir(folder + "/b.kiv").removeRecursively());
    }
}

void TestSoundness::batchOfTagsFailingOrCancelledChangesNothing()
{
    const QString folder = m_context.folder + "/Batch";
    QVERIFY(QDir().mkpath(folder));
    std::vector<std::unique_ptr<PhotoItem>> photos;
    QList<const KivViewItem *> records;
    for (const char *name : {"a.jpg", "b.jpg", "c.jpg"}) {
        auto photo = std::make_unique<PhotoItem>(QString::fromLatin1(name));
        photo->setFileName(QString::fromLatin1(name));
        photo->setSourceFolder(QStringLiteral("/pics"));
        photo->setAlbumFolder(folder);
        photo->setTitle(QStringLiteral("Old"));
        QVERIFY(photo->writeProperties());
        records << photo.get();
        photos.push_back(std::move(photo));
    }
    auto stored = [&] {
        QList<QByteArray> all;
        for (const auto &photo : photos)
            all << readAll(photo->propertyFilePath());
        return all;
    };
    auto leftOvers = [&] { return QDir(folder).entryList({"*.vellaro-new"}, QDir::Files | QDir::Hidden).size(); };
    const QList<QByteArray> old = stored();
    for (const auto &photo : photos)
        photo->setTitle(QStringLiteral("New"));

    // Cancelled after the first file: nothing changes; what was written meanwhile (the
    // window answering between two files) is written at once, not staged and dropped.
    bool cancelled = false;
    bool runningMeanwhile = false;
    // The file it staged goes again, the caller told of it to the last.
    QList<std::pair<qsizetype, qsizetype>> dropped;
    QString error = CatalogueSave::propertiesAndAlbums(records, {}, nullptr, [&](CatalogueSave::Stage stage,
                                                                                  qsizetype done, qsizetype total) {
        if (stage == CatalogueSave::Stage::Dropping) {
            dropped << std::pair{done, total};
            return true;
        }
        runningMeanwhile = CatalogueSave::changeRunning();
        CatalogueFile::writeBytes(folder + "/other.kiv", "meanwhile");
        return done < 1 && total == 3;
    }, &cancelled);
    QVERIFY(!dropped.isEmpty());
    QCOMPARE(dropped.last(), (std::pair<qsizetype, qsizetype>{1, 1}));
    QVERIFY(error.isEmpty());
    QVERIFY(cancelled);
    QVERIFY(runningMeanwhile);
    QVERIFY(!CatalogueSave::changeRunning());
    QCOMPARE(stored(), old);
    QCOMPARE(readAll(folder + "/other.kiv"), QByteArray("meanwhile"));
    QCOMPARE(leftOvers(), 0);

    // The third file's place is taken by a folder once all are staged: the renames stop
    // there, and the two renamed before are put back.
    const QString third = photos.back()->propertyFilePath();
    error = CatalogueSave::propertiesAndAlbums(records, {}, nullptr, [&](CatalogueSave::Stage stage, qsizetype done,
                                                                          qsizetype total) {
        if (stage == CatalogueSave::Stage::Staging && done == total) {
            QFile::remove(third);
            QDir().mkpath(third + "/inside");
        }
        return true;
    }, &cancelled);
    QVERIFY(error.startsWith("Your change could not be saved."));
    // Only what changed is put back: the third file was never touched.
    QVERIFY2(!error.contains("could not be put back"), qPrintable(error));
    QVERIFY(!cancelled);
    QCOMPARE(readAll(photos[0]->propertyFilePath()), old.at(0));
    QCOMPARE(readAll(photos[1]->propertyFilePath()), old.at(1));
    QVERIFY(QFileInfo(third + "/inside").isDir());
    QCOMPARE(leftOvers(), 0);
}

void TestSoundness::sweepOfLeftOversNeverHoldsUpNorTakesAWrite()
{
    // Left-overs of a large change killed while its files were staged.
    const QString folder = m_context.folder + "/Swept";
    QVERIFY(QDir().mkpath(folder));
    constexpr int LeftOvers = 300;
    for (int i = 0; i < LeftOvers; ++i)
        writeFile(folder + QStringLiteral("/old%1.kiv.vellaro-new").arg(i), "old");
    auto leftOvers = [&folder] {
        return QDir(folder).entryList({"old*.vellaro-new"}, QDir::Files | QDir::Hidden).size();
    };
    {
        // A change of several files opens before the sweep begins: its writes are not held
        // up, and the sweep takes nothing while the change holds its staged files.
        CatalogueFile::Batch batch;
        CatalogueFile::startSweepUnfinished(m_context.root);
        QVERIFY(CatalogueFile::writeBytes(folder + "/a.kiv", "new a"));
        QVERIFY(CatalogueFile::writeBytes(folder + "/b.kiv", "new b"));
        QTest::qWait(200);
        QCOMPARE(leftOvers(), LeftOvers);
        QVERIFY(QFileInfo::exists(folder + "/a.kiv.vellaro-new"));
        QVERIFY(batch.commit());
    }
    QCOMPARE(CatalogueFile::waitForSweep(), LeftOvers);
    QCOMPARE(leftOvers(), 0);
    QCOMPARE(readAll(folder + "/a.kiv"), QByteArray("new a"));
    QCOMPARE(readAll(folder + "/b.kiv"), QByteArray("new b"));

    // A sweep stopped (the window closing) ends at once, even while a change holds it
    // back; what it did not reach waits for the next start.
    for (int i = 0; i < LeftOvers; ++i)
        writeFile(folder + QStringLiteral("/old%1.kiv.vellaro-new").arg(i), "old");
    {
        CatalogueFile::Batch batch;
        CatalogueFile::startSweepUnfinished(m_context.root);
        QVERIFY(CatalogueFile::writeBytes(folder + "/a.kiv", "newer a"));
        QCOMPARE(CatalogueFile::stopSweep(), 0);
        QVERIFY(batch.commit());
    }
    QCOMPARE(leftOvers(), LeftOvers);
    QCOMPARE(readAll(folder + "/a.kiv"), QByteArray("newer a"));
    // Counted apart: the new versions of the catalogue's own files (a change never kept),
    // not those of a thumbnail.
    writeFile(folder + "/thumb.jpg.vellaro-new", "t");
    writeFile(m_context.root + "/library.db.vellaro-new", "NUMLIB=0\r\n");
    int changeFiles = -1;
    QCOMPARE(CatalogueFile::sweepUnfinished(m_context.root, &changeFiles), LeftOvers + 2);
    QCOMPARE(changeFiles, LeftOvers + 1);
}

void TestSoundness::journalOfABatchIsRemovedOrKeptWithItsFiles()
{
    const QString folder = m_context.folder + "/Journal";
    QVERIFY(QDir().mkpath(folder));
    const QString journal = CatalogueFile::batchJournalPath(m_context.root);
    QCOMPARE(CatalogueFile::finishInterruptedBatch(m_context.root), 0);  // nothing to finish

    // A whole batch leaves no journal behind.
    {
        CatalogueFile::Batch batch;
        QVERIFY(CatalogueFile::writeBytes(folder + "/a.kiv", "a"));
        QVERIFY(CatalogueFile::writeBytes(folder + "/b.kiv", "b"));
        QVERIFY(batch.commit());
    }
    QVERIFY(!QFileInfo::exists(journal));

    // The journal cannot be written (a folder stands in its place): the batch fails
    // before its first rename, every file as it was, nothing it staged left.
    QVERIFY(QDir().mkpath(journal));
    {
        CatalogueFile::Batch batch;
        QVERIFY(CatalogueFile::writeBytes(folder + "/a.kiv", "new a"));
        QVERIFY(CatalogueFile::writeBytes(folder + "/b.kiv", "new b"));
        QVERIFY(!batch.commit());
        QVERIFY(!CatalogueFile::lastWriteError().isEmpty());
    }
    QCOMPARE(readAll(folder + "/a.kiv"), QByteArray("a"));
    QCOMPARE(readAll(folder + "/b.kiv"), QByteArray("b"));
    QCOMPARE(QDir(folder).entryList({"*.vellaro-new"}, QDir::Files | QDir::Hidden), QStringList());
    QVERIFY(QDir().rmdir(journal));

    // A rename fails among them (a folder took b.kiv's place): the caller puts back
    // what was renamed, so no journal is left for the next start to finish.
    {
        CatalogueFile::Batch batch;
        QVERIFY(CatalogueFile::writeBytes(folder + "/a.kiv", "new a"));
        QVERIFY(CatalogueFile::writeBytes(folder + "/b.kiv", "new b"));
        QVERIFY(QFile::remove(folder + "/b.kiv"));
        QVERIFY(QDir().mkpath(folder + "/b.kiv/inside"));
        QVERIFY(!batch.commit([](qsizetype, qsizetype) {}));
    }
    QVERIFY(!QFileInfo::exists(journal));
    QVERIFY(QDir(folder + "/b.kiv").removeRecursively());
    writeFile(folder + "/a.kiv", "a");

    // A journal damaged by something else finishes nothing, says so, and keeps the
    // staged files it may name from the sweep, for a later try.
    writeFile(folder + "/a.kiv.vellaro-new", "new a");
    writeFile(journal, "VellaroJournal 1\nnot an entry\nEnd 1\n");
    QCOMPARE(CatalogueFile::finishInterruptedBatch(m_context.root), -1);
    QVERIFY2(CatalogueFile::lastWriteError().contains("damaged"), qPrintable(CatalogueFile::lastWriteError()));
    QCOMPARE(CatalogueFile::sweepUnfinished(m_context.root), 0);
    QCOMPARE(readAll(folder + "/a.kiv.vellaro-new"), QByteArray("new a"));
    QCOMPARE(readAll(folder + "/a.kiv"), QByteArray("a"));
    // So is one with well-formed entries under a head this program never writes (a
    // journal of another version, or a first line damaged).
    const QByteArray entry =
        QFile::encodeName(folder).toPercentEncoding() + " a.kiv.vellaro-new a.kiv\nEnd 1\n";
    writeFile(journal, "VellaroJournal 9\n" + entry);
    QCOMPARE(CatalogueFile::finishInterruptedBatch(m_context.root), -1);
    QCOMPARE(readAll(folder + "/a.kiv"), QByteArray("a"));
    // One that would lead out of its folder is refused the same way.
    writeFile(journal, "VellaroJournal 1\n" + QFile::encodeName(folder).toPercentEncoding()
                           + " a.kiv.vellaro-new ..%2F..%2Fescaped\nEnd 1\n");
    QCOMPARE(CatalogueFile::finishInterruptedBatch(m_context.root), -1);
    QCOMPARE(readAll(folder + "/a.kiv"), QByteArray("a"));
    QFile::remove(journal);
    QCOMPARE(CatalogueFile::sweepUnfinished(m_context.root), 1);
    // This catalogue goes with the test: later batches write down nothing.
    QCOMPARE(CatalogueFile::finishInterruptedBatch(QString()), 0);
}

void TestSoundness::failedWritesAreUndone()
{
    // Album file written, library index not: the album file is put back.
    PlayList album;
    album.setContext(&m_context);
    album.setName(QStringLiteral("U"));
    album.setKivDir(QStringLiteral("U05.01.2003.14.22.10.123"));
    auto p = std::make_unique<PhotoItem>(QStringLiteral("a.jpg"));
    p->setFileName(QStringLiteral("a.jpg"));
    p->setSourceFolder(QStringLiteral("/pics"));
    p->setAlbumFolder(album.albumFolder());
    p->setOwnerAlbum(&album);
    album.addRecord(p.get());
    m_library.insertAlbum(&album, nullptr);
    QVERIFY(CatalogueSave::albumAndIndex(&album, &m_library).isEmpty());
    const QByteArray albumBefore = readAll(album.storedFilePath());
    const QByteArray indexBefore = readAll(m_library.filePath());

    // The index cannot be replaced: a folder stands where its temporary file would go.
    QFile::remove(m_library.filePath());
    QDir().mkpath(m_library.filePath());
    p->setTitle(QStringLiteral("Changed"));
    album.updateRow(p.get());
    const QString error = CatalogueSave::albumAndIndex(&album, &m_library);
    QVERIFY(error.startsWith("Your change could not be saved."));
    QVERIFY(error.contains("library.db"));
    QCOMPARE(readAll(album.storedFilePath()), albumBefore);
    QVERIFY(album.isDirty());
    QDir().rmdir(m_library.filePath());
    writeFile(m_library.filePath(), indexBefore);

    // Property file written, album file not: the property file is put back.
    p->setTitle(QStringLiteral("First"));
    QVERIFY(p->writeProperties());
    const QByteArray propsBefore = readAll(p->propertyFilePath());
    const QString albumPath = album.storedFilePath();
    QFile::remove(albumPath);
    QDir().mkpath(albumPath);
    p->setTitle(QStringLiteral("Second"));
    album.updateRow(p.get());
    QVERIFY(!CatalogueSave::propertiesAndAlbums({p.get()}, {&album}, &m_library).isEmpty());
    QCOMPARE(readAll(p->propertyFilePath()), propsBefore);
    QDir().rmdir(albumPath);

    // Property file and album written, the library index not: both are put back, and
    // the album stays dirty so the next save writes it.
    const QByteArray albumNow = readAll(albumPath);
    const QByteArray index = readAll(m_library.filePath());
    QFile::remove(m_library.filePath());
    QDir().mkpath(m_library.filePath());
    QVERIFY(!CatalogueSave::propertiesAndAlbums({p.get()}, {&album}, &m_library).isEmpty());
    QCOMPARE(readAll(p->propertyFilePath()), propsBefore);
    QCOMPARE(readAll(albumPath), albumNow);
    QVERIFY(album.isDirty());
    QDir().rmdir(m_library.filePath());
    writeFile(m_library.filePath(), index);

    // The change is kept in memory: the next save writes it.
    QVERIFY(CatalogueSave::propertiesAndAlbums({p.get()}, {&album}, &m_library).isEmpty());
    QVERIFY(readAll(albumPath).contains("|Second|"));
}

void TestSoundness::fullDiskAddIsNotAdded()
{
    PlayList album;
    album.setContext(&m_context);
    album.setName(QStringLiteral("F"));
    album.setKivDir(QStringLiteral("F05.01.2003.14.22.10.123"));
    album.setDirty(true);
    m_library.insertAlbum(&album, nullptr);
    QVERIFY(CatalogueSave::albumAndIndex(&album, &m_library).isEmpty());
    const QByteArray albumBefore = readAll(album.storedFilePath());
    const QByteArray indexBefore = readAll(m_library.filePath());
    makePicture(m_dir->path() + "/p/a.jpg");
    ScriptedPrompter prompter;
    AlbumAdd::Result result;
    {
        const FullDisk full(albumBefore.size() + 10);
        result = AlbumAdd::addFiles(&album, {m_dir->path() + "/p/a.jpg"}, true, prompter);
    }
    QVERIFY(!result.saveError.isEmpty());
    QVERIFY(result.added.empty());
    QCOMPARE(result.refused, 1);
    QCOMPARE(album.rowCount(), 0);
    QCOMPARE(readAll(album.storedFilePath()), albumBefore);
    QCOMPARE(readAll(m_library.filePath()), indexBefore);

    // A dynamic album takes back the copy it made in its folder.
    DirectoryPlaylist dynamic;
    dynamic.setContext(&m_context);
    dynamic.setName(QStringLiteral("D"));
    dynamic.setKivDir(QStringLiteral("D05.01.2003.14.22.10.123"));
    dynamic.setFrom(m_dir->path() + "/bound");
    QDir().mkpath(dynamic.from());
    dynamic.setDirty(true);
    m_library.insertAlbum(&dynamic, nullptr);
    QVERIFY(CatalogueSave::albumAndIndex(&dynamic, &m_library).isEmpty());
    const QByteArray dynamicBefore = readAll(dynamic.storedFilePath());
    // The library index cannot be replaced: a folder stands where its temporary file goes.
    const QByteArray index = readAll(m_library.filePath());
    QFile::remove(m_library.filePath());
    QDir().mkpath(m_library.filePath());
    result = AlbumAdd::addFiles(&dynamic, {m_dir->path() + "/p/a.jpg"}, true, prompter);
    QDir().rmdir(m_library.filePath());
    writeFile(m_library.filePath(), index);
    QVERIFY(!result.saveError.isEmpty());
    QCOMPARE(dynamic.rowCount(), 0);
    QCOMPARE(readAll(dynamic.storedFilePath()), dynamicBefore);
    QVERIFY(!QFile::exists(dynamic.from() + "/a.jpg"));
    QVERIFY(QFile::exists(m_dir->path() + "/p/a.jpg"));

    // A copy the full disk cuts short is told as that, not as a name taken.
    prompter.messages.clear();
    {
        const FullDisk full(100);
        result = AlbumAdd::addFiles(&dynamic, {m_dir->path() + "/p/a.jpg"}, true, prompter);
    }
    QCOMPARE(result.refused, 1);
    QVERIFY(prompter.messages.last().text.contains("could not be copied"));
    QVERIFY(!QFile::exists(dynamic.from() + "/a.jpg"));
}

void TestSoundness::damagedAlbumFiles_data()
{
    QTest::addColumn<QByteArray>("content");  // "" for special files made by the test
    QTest::addColumn<QString>("special");
    QTest::newRow("binary junk") << QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16) << QString();
    QTest::newRow("no KivDir line") << QByteArray("Title=x\r\nDirty=True\r\n") << QString();
    QTest::newRow("count not a number") << QByteArray("KivDir=A05.01.2003.14.22.10.123\r\nTitle=A\r\nDirty=True\r\n"
                                                      "CreationDate=2003-01-05\r\n"
                                                      "NumFile=lots\r\n")
                                        << QString();
    QTest::newRow("fifo") << QByteArray() << QStringLiteral("fifo");
    QTest::newRow("link to a device") << QByteArray() << QStringLiteral("device");
    QTest::newRow("folder") << QByteArray() << QStringLiteral("folder");
    QTest::newRow("cut in a row") << QByteArray("KivDir=A05.01.2003.14.22.10.123\r\nTitle=A\r\nDirty=True\r\n"
                                                "CreationDate=2003-01-05\r\n"
                                                "NumFile=3\r\nFile=Photo|/p|a.jpg|Sunset| | |5|0|-1|4000*3000|Anna\r\n"
                                                "File=Photo|/p|b.jpg|Boat| | |4|0|-1|40")
                                  << QString();
    QTest::newRow("naming another album") << albumFile(QStringLiteral("B05.01.2003.14.22.10.123"), "B", {}) << QString();
}

void TestSoundness::damagedAlbumFiles()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, special);
    const QString id = QStringLiteral("A05.01.2003.14.22.10.123");
    const QString path = m_context.folder + "/" + id + ".db";
    if (special == "fifo")
        QCOMPARE(mkfifo(QFile::encodeName(path).constData(), 0644), 0);
    else if (special == "device")
        QVERIFY(QFile::link("/dev/zero", path));
    else if (special == "folder")
        QVERIFY(QDir().mkpath(path));
    else
        writeFile(path, content);
    writeFile(m_library.filePath(), "NUMLIB=1\r\nLIBRARY=NONE,Photo,A,Playlist," + id.toUtf8() + "\r\n");
    const QList<PlayList *> albums = loadAll();
    QCOMPARE(albums.size(), 1);
    PlayList *album = albums.first();
    QCOMPARE(album->fileState(), PlayList::FileState::Damaged);
    QVERIFY(!album->isValid());
    QVERIFY(!album->writeRefusal().isEmpty());
    // Nothing replaces it: neither a save, nor a clear, nor removing its files.
    album->setDirty(true);
    QVERIFY(!album->save(album->kivDir()));
    QVERIFY(!album->clear());
    QVERIFY(!album->removeFiles());
    if (special.isEmpty())
        QCOMPARE(readAll(path), content);
    else
        QVERIFY(QFileInfo::exists(path) || QFileInfo(path).isSymLink());
    // A smart album refuses to read a catalogue holding it.
    ScriptedPrompter prompter;
    QVERIFY(CatalogueLoader::refuseSmartAlbum(CatalogueLoader::storedAlbums(&m_list), prompter));

    // A missing album file is no damage: an empty album, as before.
    QFile::remove(path);
    QDir().rmdir(path);
    const QList<PlayList *> again = loadAll();
    QCOMPARE(again.first()->fileState(), PlayList::FileState::Missing);
    QVERIFY(again.first()->isValid());
}

void TestSoundness::damagedLibraryIndex_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("rowsRead");
    const QByteArray a = "LIBRARY=NONE,Photo,A,Playlist,A05.01.2003.14.22.10.123\r\n";
    const QByteArray b = "LIBRARY=NONE,Photo,B,Playlist,B05.01.2003.14.22.10.123\r\n";
    QTest::newRow("junk") << QByteArray("\x7f" "ELF\x02\x01\x01\0\0\0", 10) << 0;
    QTest::newRow("empty file") << QByteArray() << 0;
    QTest::newRow("count too high") << "NUMLIB=3\r\n" + a + b << 2;
    QTest::newRow("count too low") << "NUMLIB=1\r\n" + a + b << 2;
    QTest::newRow("count zero with rows") << "NUMLIB=0\r\n" + a << 1;
    QTest::newRow("count not a number") << "NUMLIB=two\r\n" + a + b << 0;
    QTest::newRow("broken row") << "NUMLIB=2\r\n" + a + "LIBRARY=NONE,Photo\r\n" << 1;
    QTest::newRow("not a row") << "NUMLIB=2\r\n" + a + "hello\r\n" << 1;
    QTest::newRow("missing over album files") << QByteArray() << -1;
}

void TestSoundness::damagedLibraryIndex()
{
    QFETCH(QByteArray, content);
    QFETCH(int, rowsRead);
    if (rowsRead < 0) {
        // No index, but album files that it lost.
        writeFile(m_context.folder + "/A05.01.2003.14.22.10.123.db", albumFile("A05.01.2003.14.22.10.123", "A", {}));
        QVERIFY(!m_library.load());
        QVERIFY(m_library.isDamaged());
        QVERIFY(m_library.damage().contains("missing"));
        m_library.setDirty(true);
        QVERIFY(!m_library.save());
        QVERIFY(!QFile::exists(m_library.filePath()));
        return;
    }
    writeFile(m_library.filePath(), content);
    QVERIFY(!m_library.load());
    QVERIFY(m_library.isDamaged());
    QVERIFY(m_library.damage().contains("library.db"));
    QCOMPARE(m_library.rowCount(), rowsRead);
    // No write replaces it, whatever changed.
    PlayList album;
    album.setName(QStringLiteral("C"));
    album.setKivDir(QStringLiteral("C05.01.2003.14.22.10.123"));
    m_library.insertAlbum(&album, nullptr);
    QVERIFY(!m_library.save());
    QCOMPARE(readAll(m_library.filePath()), content);
    // Nor is an album stored through it: the user is told, and neither the album's file
    // nor its folder appears.
    album.setContext(&m_context);
    album.setDirty(true);
    QVERIFY(CatalogueSave::albumAndIndex(&album, &m_library).contains("damaged"));
    QVERIFY(!QFileInfo::exists(album.storedFilePath()));
    QVERIFY(!QFileInfo::exists(album.albumFolder()));
    QVERIFY(album.isDirty());
}

void TestSoundness::nothingOutsideTheCatalogue()
{
    // The user's pictures, outside the catalogue.
    const QString victim = m_dir->path() + "/victim";
    makePicture(victim + "/precious.jpg");
    writeFile(victim + "/precious.kiv", "title=keep\r\n");

    // An id that climbs out of the catalogue folder, one read from KivDir=, and an album
    // folder that is a link to the pictures.
    const QString up = QStringLiteral("../../victim");
    writeFile(m_context.folder + "/K05.01.2003.14.22.10.123.db",
              albumFile(QStringLiteral("../../victim"), "K", {}));
    QVERIFY(QFile::link(victim, m_context.folder + "/L05.01.2003.14.22.10.123"));
    writeFile(m_context.folder + "/L05.01.2003.14.22.10.123.db", albumFile("L05.01.2003.14.22.10.123", "L", {}));
    writeFile(m_library.filePath(), "NUMLIB=3\r\nLIBRARY=NONE,Photo,Up,Playlist," + up.toUtf8()
                                        + "\r\nLIBRARY=NONE,Photo,K,Playlist,K05.01.2003.14.22.10.123\r\n"
                                          "LIBRARY=NONE,Photo,L,Playlist,L05.01.2003.14.22.10.123\r\n");
    const QList<PlayList *> albums = loadAll();
    QCOMPARE(albums.size(), 3);
    for (PlayList *album : albums) {
        QVERIFY(!album->writeRefusal().isEmpty());
        refusesEveryWrite(album, victim);
    }
    QVERIFY(!QFile::exists(victim + ".db"));

    // A property file that is a link is not written through.
    const QString folder = m_context.albumFolder(QStringLiteral("M"));
    QDir().mkpath(folder);
    QVERIFY(QFile::link(victim + "/precious.kiv", folder + "/x.jpg.kiv"));
    PhotoItem x(QStringLiteral("x.jpg"));
    x.setFileName(QStringLiteral("x.jpg"));
    x.setAlbumFolder(folder);
    x.setTitle(QStringLiteral("overwritten"));
    QVERIFY(!x.writeProperties());
    QCOMPARE(readAll(victim + "/precious.kiv"), QByteArray("title=keep\r\n"));

    // Readers never open what is not a regular file (a FIFO would hang here).
    QCOMPARE(mkfifo(QFile::encodeName(folder + "/y.jpg.kiv").constData(), 0644), 0);
    PhotoItem y(QStringLiteral("y.jpg"));
    y.setFileName(QStringLiteral("y.jpg"));
    y.setAlbumFolder(folder);
    y.readProperties();
    QCOMPARE(y.title(), QString());
    // ... nor write over it.
    y.setTitle(QStringLiteral("new"));
    QVERIFY(!y.writeProperties());
    QVERIFY(!QFileInfo(folder + "/y.jpg.kiv").isFile());
    QVERIFY(QFileInfo::exists(folder + "/y.jpg.kiv"));
}

void TestSoundness::aLargeAlbumsLinkedFolderIsRefusedToo_data()
{
    QTest::addColumn<bool>("askedFirst");
    QTest::newRow("rows read after the window shows") << false;
    QTest::newRow("used before its rows came") << true;
}

void TestSoundness::aLargeAlbumsLinkedFolderIsRefusedToo()
{
    // An album large enough that its header alone is read at start, whose folder is a
    // link to the user's pictures: refused all the same, whenever it is first used.
    QFETCH(bool, askedFirst);
    const QString victim = m_dir->path() + "/victim";
    makePicture(victim + "/precious.jpg");
    writeFile(victim + "/precious.kiv", "title=keep\r\n");
    const QString id = QStringLiteral("L05.01.2003.14.22.10.123");
    QList<QByteArray> rows;
    for (int i = 0; i < 200; ++i)
        rows << "Photo|" + victim.toUtf8() + "|p" + QByteArray::number(i) + ".jpg|t| |3|0|-1|640*480|";
    const QByteArray file = albumFile(id, "L", rows);
    QVERIFY(file.size() > 3 * 4096);
    writeFile(m_context.folder + "/" + id + ".db", file);
    QVERIFY(QFile::link(victim, m_context.folder + "/" + id));
    writeFile(m_library.filePath(), "NUMLIB=1\r\nLIBRARY=NONE,Photo,L,Playlist," + id.toUtf8() + "\r\n");
    m_library.load();
    CatalogueLoader::LateRows late;
    QStringList problems;
    const QList<PlayList *> albums =
        CatalogueLoader::load(&m_list, m_library, m_context, QStringLiteral("media"), nullptr, &problems, &late);
    QCOMPARE(albums.size(), 1);
    PlayList *album = albums.first();
    QVERIFY(late.pending());
    QStringList told;
    bool finished = false;
    if (askedFirst) {
        QVERIFY(!album->isValid());
        QVERIFY(album->writeRefusal().contains("leads outside the catalogue"));
    }
    late.start(&m_list, [&](const QStringList &found) {
        told = found;
        finished = true;
    });
    QTRY_VERIFY(finished);
    // Said once, at start or when the rows came, and shown refused in the list.
    const QStringList said = problems + told;
    QCOMPARE(said.size(), 1);
    QVERIFY2(said.first().contains("leads outside the catalogue"), qPrintable(said.first()));
    QCOMPARE(album->foreground(1).color(), QColor(160, 0, 0));
    QCOMPARE(album->rowTable().count(), 200);
    refusesEveryWrite(album, victim);
    QCOMPARE(readAll(m_context.folder + "/" + id + ".db"), file);
}

void TestSoundness::groupsAndQueriesStayInside()
{
    // Files outside the catalogue folder where an id "../../victim" would lead a group
    // or a query album.
    const QString group = QDir::cleanPath(m_context.folder + "/../../victim.group");
    const QString query = QDir::cleanPath(m_context.folder + "/../../victim.smart");
    writeFile(group, "Title=keep\r\n");
    writeFile(m_library.filePath(), "NUMLIB=1\r\nLIBRARY=NONE,media,Up,PlayListGroup,../../victim\r\n");
    QStringList problems;
    m_library.load();
    const QList<PlayList *> albums = CatalogueLoader::load(&m_list, m_library, m_context, QStringLiteral("media"),
                                                           nullptr, &problems);
    QCOMPARE(albums.size(), 1);
    PlayList *up = albums.first();
    QVERIFY(!up->isValid());
    QCOMPARE(problems.size(), 1);
    QVERIFY(problems.first().contains("outside the catalogue"));
    up->setTitle(QStringLiteral("changed"));
    QVERIFY(!up->save(up->kivDir()));
    QVERIFY(!up->removeFiles());
    QCOMPARE(readAll(group), QByteArray("Title=keep\r\n"));

    // A query album whose file names such a place writes nothing there either.
    writeFile(m_context.folder + "/Q1.smart", "KivDir=../../victim\r\nTitle=Q\r\nDirty=True\r\nSearch=sun\r\n");
    Search search;
    search.setContext(&m_context);
    QVERIFY(search.load(m_context.folder + "/Q1.smart"));
    search.setDirty(true);
    QVERIFY(!search.commit());
    QVERIFY(!search.lastError().isEmpty());
    QVERIFY(!QFileInfo::exists(query));
}

void TestSoundness::albumFileNamingAnotherAlbum()
{
    // A's file names B (a copy made by hand): a change to A would be written over B's
    // file, and A would come back without it at the next start.
    const QString a = QStringLiteral("A05.01.2003.14.22.10.123"), b = QStringLiteral("B05.01.2003.14.22.10.123");
    const QByteArray bFile = albumFile(b, "B", {"Photo|/p|b.jpg|Boat| | |4|0|-1|40*30|"});
    writeFile(m_context.folder + "/" + a + ".db", albumFile(b, "A", {"Photo|/p|a.jpg|Sunset| | |5|0|-1|40*30|"}));
    writeFile(m_context.folder + "/" + b + ".db", bFile);
    writeFile(m_library.filePath(), "NUMLIB=2\r\nLIBRARY=NONE,Photo,A,Playlist," + a.toUtf8()
                                        + "\r\nLIBRARY=NONE,Photo,B,Playlist," + b.toUtf8() + "\r\n");
    QStringList problems;
    m_library.load();
    const QList<PlayList *> albums = CatalogueLoader::load(&m_list, m_library, m_context, QStringLiteral("media"),
                                                           nullptr, &problems);
    QCOMPARE(albums.size(), 2);
    // A is listed, told and left alone; B is as it was.
    QVERIFY(!albums.at(0)->isValid());
    QCOMPARE(problems.size(), 1);
    QVERIFY2(problems.first().contains("names another album file"), qPrintable(problems.first()));
    QVERIFY(albums.at(1)->isValid());
    QCOMPARE(names(albums.at(1)->rowTable()), QStringList{"b.jpg"});
    makePicture(m_dir->path() + "/p/new.jpg");
    ScriptedPrompter prompter;
    QCOMPARE(AlbumAdd::addFiles(albums.at(0), {m_dir->path() + "/p/new.jpg"}, true, prompter).refused, 1);
    QCOMPARE(prompter.messages.first().caption, QStringLiteral("Album non valid"));
    QCOMPARE(readAll(m_context.folder + "/" + b + ".db"), bFile);
}

void TestSoundness::numbersAreBounded()
{
    const QString id = QStringLiteral("N05.01.2003.14.22.10.123");
    writeFile(m_context.folder + "/" + id + ".db",
              albumFile(id, "N", {"Photo|/p|a.jpg|t| | |2000000000|-7|99| |"}, "2147483647"));
    PlayList album;
    album.setContext(&m_context);
    QVERIFY(album.load(m_context.folder + "/" + id + ".db"));
    QCOMPARE(album.rowCount(), 1);
    // The row itself is brought within range, so searches and Favorites see love 5.
    QCOMPARE(album.rowTable().row(0), (QStringList{"Photo", "/p", "a.jpg", "t", " ", " ", "5", "0", "-1", " ", ""}));
    Favorites favorites;
    favorites.setSource(&album);
    QCOMPARE(favorites.rows().count(), 1);
    writeFile(m_context.folder + "/" + id + ".db",
              albumFile(id, "N", {"Photo|/p|b.jpg|t| | |3|99999999999|77| |", "Photo|/p|c.jpg|t| | |-4|12|5| |"}));
    QVERIFY(album.load(m_context.folder + "/" + id + ".db"));
    QCOMPARE(album.rowTable().fieldText(0, AlbumRows::Views), QStringLiteral("2147483647"));
    QCOMPARE(album.rowTable().fieldText(0, AlbumRows::Badge), QStringLiteral("-1"));
    QCOMPARE(album.rowTable().fieldText(1, AlbumRows::Love), QStringLiteral("0"));
    QCOMPARE(album.rowTable().line(1), QStringLiteral("Photo|/p|c.jpg|t| | |0|12|5| |"));
    PhotoItem a(QStringLiteral("a.jpg"));
    a.loadFromRow({"Photo", "/p", "a.jpg", "t", " ", " ", "2000000000", "-7", "99", " ", ""});
    QCOMPARE(a.love(), 5);
    QCOMPARE(a.viewCount(), 0);
    QCOMPARE(a.userBadge(), -1);
    a.setLove(-3);
    QCOMPARE(a.love(), 1);  // 0 shows as 1
    a.setUserBadge(6);
    QCOMPARE(a.userBadge(), 6);
    a.setUserBadge(7);
    QCOMPARE(a.userBadge(), -1);
}

void TestSoundness::windowsTextSurvives()
{
    // Written on Windows: "Café" with 0xE9, "€" with 0x80, "Zoë" with 0xEB.
    const QString id = QStringLiteral("W05.01.2003.14.22.10.123");
    const QByteArray cp1252 = albumFile(id, "Caf\xe9 \x80", {"Photo|/p|a.jpg|Zo\xeb| | |3|0|-1| |"});
    writeFile(m_context.folder + "/" + id + ".db", cp1252);
    writeFile(m_context.albumFolder(id) + "/a.jpg.kiv",
              "title=Zo\xeb\r\nformat=\r\ncategory=\r\ncomment=na\xefve\r\nlove=1\r\nauthor=\r\nfrom=\r\ndate=\r\n"
              "filetype=Photo\r\npersoninit=\r\nevent=\r\nplace=K\xf8" "benhavn\r\nuserbadge=-1\r\n");
    PlayList album;
    album.setContext(&m_context);
    QVERIFY(album.load(m_context.folder + "/" + id + ".db"));
    QCOMPARE(album.title(), QStringLiteral("Café €"));
    QCOMPARE(album.rowTable().fieldText(0, AlbumRows::Title), QStringLiteral("Zoë"));
    album.setDirty(true);
    QVERIFY(album.save(album.kivDir()));
    const QByteArray utf8 = readAll(m_context.folder + "/" + id + ".db");
    QVERIFY(utf8.contains("Title=Caf\xc3\xa9 \xe2\x82\xac\r\n"));
    QVERIFY(utf8.contains("|Zo\xc3\xab|"));
    PhotoItem a(QStringLiteral("a.jpg"));
    a.setFileName(QStringLiteral("a.jpg"));
    a.setAlbumFolder(m_context.albumFolder(id));
    a.readProperties();
    QCOMPARE(a.comment(), QStringLiteral("naïve"));
    QCOMPARE(a.place(), QStringLiteral("København"));
    // A UTF-8 file stays UTF-8.
    QCOMPARE(CatalogueFile::decode("Zo\xc3\xab", CatalogueFile::isUtf8("Zo\xc3\xab")), QStringLiteral("Zoë"));
}

void TestSoundness::longNamesAndCommas()
{
    QVERIFY(!CatalogueText::albumNameRefusal(QString(230, u'x')).isEmpty());
    QVERIFY(CatalogueText::albumNameRefusal(QString(200, u'x')).isEmpty());
    // Two-byte letters count twice against the file name's 255 bytes.
    QVERIFY(!CatalogueText::albumNameRefusal(QString(120, u'é')).isEmpty());

    // The longest name accepted is stored, as an album and as a group (".group" is the
    // longest ending), and reads back.
    QString longest(200, u'x');
    while (CatalogueText::albumNameRefusal(longest + u'x').isEmpty())
        longest += u'x';
    PlayList longAlbum;
    PlayListGroup longGroup;
    for (PlayList *named : {static_cast<PlayList *>(&longAlbum), static_cast<PlayList *>(&longGroup)}) {
        named->setContext(&m_context);
        named->setName(longest);
        named->setId(QDateTime(QDate(2003, 1, 5), QTime(14, 22, 10, 123)));
        named->setKivDir(named->id());
        named->setDirty(true);
        m_library.insertAlbum(named, nullptr);
        QCOMPARE(CatalogueSave::albumAndIndex(named, &m_library), QString());
    }
    QCOMPARE(loadAll().size(), 2);
    for (PlayList *named : CatalogueLoader::topLevelAlbums(&m_list)) {
        QCOMPARE(named->name(), longest);
        QVERIFY(named->isValid());
    }
    m_list.clear();
    QVERIFY(longAlbum.removeFiles());
    QVERIFY(longGroup.removeFiles());
    QFile::remove(m_library.filePath());
    m_library = LibraryIndex();
    m_library.setRoot(m_context.root);

    // A name the file system refuses leaves no empty folder behind.
    PlayList album;
    album.setContext(&m_context);
    const QString kivDir = QString(300, u'y');
    album.setKivDir(kivDir);
    album.setDirty(true);
    QVERIFY(!album.save(kivDir));
    QVERIFY(!QFileInfo::exists(m_context.albumFolder(kivDir)));
    QCOMPARE(QDir(m_context.folder).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());

    // A folder name with commas is allowed and its library row reads back whole.
    QVERIFY(CatalogueText::folderNameRefusal(QStringLiteral("Rome, Florence, Pisa")).isEmpty());
    QVERIFY(!CatalogueText::folderNameRefusal(QStringLiteral("a|b")).isEmpty());
    QVERIFY(!DirectoryPlaylist::folderRefusal(QStringLiteral("/x|y/z")).isEmpty());
    DirectoryPlaylist trip;
    trip.setContext(&m_context);
    trip.setName(QStringLiteral("Rome, Florence, Pisa"));
    trip.setId(QDateTime(QDate(2003, 1, 5), QTime(14, 22, 10, 123)));
    trip.setKivDir(trip.id());
    trip.setFrom(m_dir->path() + "/Rome, Florence, Pisa");
    QDir().mkpath(trip.from());
    trip.setDirty(true);
    m_library.insertAlbum(&trip, nullptr);
    QVERIFY(CatalogueSave::albumAndIndex(&trip, &m_library).isEmpty());
    const QList<PlayList *> albums = loadAll();
    QCOMPARE(m_library.state(), LibraryIndex::State::Read);
    QCOMPARE(albums.size(), 1);
    QCOMPARE(albums.first()->name(), QStringLiteral("Rome, Florence, Pisa"));
    QCOMPARE(albums.first()->kivDir(), QStringLiteral("Rome, Florence, Pisa05.01.2003.14.22.10.123"));
    QVERIFY(albums.first()->isValid());
    QCOMPARE(static_cast<DirectoryPlaylist *>(albums.first())->from(), trip.from());
    // A name that holds a class name between commas is still told apart by its id.
    QCOMPARE(LibraryIndex::parseRow(QStringLiteral("NONE,Photo,a,Playlist,a,DirectoryPlaylist,a,Playlist,a"
                                                   "05.01.2003.14.22.10.123")),
             (QStringList{"NONE", "Photo", "a,Playlist,a", "DirectoryPlaylist", "a,Playlist,a05.01.2003.14.22.10.123"}));
}

void TestSoundness::groupsAreSearched()
{
    // A group holding a dynamic album with a loved picture, and a plain album beside it.
    const QString pics = m_dir->path() + "/G";
    makePicture(pics + "/g.jpg");
    writeFile(m_context.folder + "/Grp05.01.2003.14.22.10.123.group", "Title=Grp\r\n");
    writeFile(m_context.folder + "/In05.01.2003.14.22.10.123.dir",
              "KivDir=In05.01.2003.14.22.10.123\r\nFrom=" + pics.toUtf8()
                  + "\r\nTitle=In\r\nDirty=True\r\nCreationDate=2003-01-05\r\nNumFile=1\r\nFile=Photo|" + pics.toUtf8()
                  + "|g.jpg|Loved|Family| |5|0|-1|40*30|\r\n");
    writeFile(m_context.folder + "/Top05.01.2003.14.22.10.123.db",
              albumFile("Top05.01.2003.14.22.10.123", "Top", {"Photo|/p|t.jpg|Top| | |5|0|-1| |"}));
    writeFile(m_library.filePath(), "NUMLIB=3\r\nLIBRARY=NONE,UNKNOW,Grp,PlayListGroup,Grp05.01.2003.14.22.10.123\r\n"
                                    "LIBRARY=Grp,Photo,In,DirectoryPlaylist,In05.01.2003.14.22.10.123\r\n"
                                    "LIBRARY=NONE,Photo,Top,Playlist,Top05.01.2003.14.22.10.123\r\n");
    loadAll();
    QCOMPARE(m_list.topLevelItemCount(), 2);  // the group holds the dynamic album
    const QList<PlayList *> stored = CatalogueLoader::storedAlbums(&m_list);
    QCOMPARE(stored.size(), 2);
    Favorites favorites;
    QVERIFY(SearchEngine::fill(&favorites, stored));
    QCOMPARE(names(favorites.rowTable()), (QStringList{"g.jpg", "t.jpg"}));
    Search search;
    search.setKeyword(QStringLiteral("loved"));
    QVERIFY(SearchEngine::fill(&search, stored));
    QCOMPARE(names(search.rowTable()), QStringList{"g.jpg"});
}

QTEST_MAIN(TestSoundness)
void TestSoundness::manyAlbumsAreReadOnThreads()
{
    // Enough albums for the files to be read on threads: plain ones with their own rows,
    // dynamic ones, and among them every way a file can be missing or damaged. Each
    // album must get its own file's rows and state, in index order.
    const QString pictures = m_dir->path() + "/pictures";
    QDir().mkpath(pictures);
    QByteArray index;
    int listed = 0;
    struct Expected
    {
        QString title;
        QStringList rows;
        PlayList::FileState state;
        QString from;
    };
    QList<Expected> expected;
    auto list = [&](const QByteArray &className, const QString &id, const QByteArray &name) {
        index += "LIBRARY=NONE,Photo," + name + "," + className + "," + id.toUtf8() + "\r\n";
        ++listed;
    };
    for (int i = 0; i < 60; ++i) {
        const QByteArray name = "Album " + QByteArray::number(i);
        const QString id = QString::fromUtf8(name) + "05.01.2003.14.22.10.123";
        const QString db = m_context.folder + "/" + id + ".db";
        switch (i % 10) {
        case 3:
            // Missing: shown empty.
            list("Playlist", id, name);
            expected.append({QString(), {}, PlayList::FileState::Missing, {}});
            break;
        case 5:
            writeFile(db, albumFile(id, name, {"Photo|/p|a.jpg|x| | |1|0|-1|1*1|", "Photo|/p|b.jpg|y| | |1|0|-1|1*1|"}, "9")
                              .chopped(2));
            list("Playlist", id, name);
            expected.append({QString(), {}, PlayList::FileState::Damaged, {}});
            break;
        case 7:
            QCOMPARE(mkfifo(QFile::encodeName(db).constData(), 0644), 0);
            list("Playlist", id, name);
            expected.append({QString(), {}, PlayList::FileState::Damaged, {}});
            break;
        case 8: {
            const QString folder = pictures + "/" + QString::number(i);
            QDir().mkpath(folder);
            writeFile(m_context.folder + "/" + id + ".dir",
                      "KivDir=" + id.toUtf8() + "\r\nFrom=" + folder.toUtf8() + "\r\nTitle=" + name
                          + "\r\nDirty=True\r\nCreationDate=2003-01-05\r\nNumFile=1\r\nFile=Photo|" + folder.toUtf8()
                          + "|d" + QByteArray::number(i) + ".jpg||||0|0|-1||\r\n");
            list("DirectoryPlaylist", id, name);
            expected.append({QString::fromUtf8(name), {"d" + QString::number(i) + ".jpg"}, PlayList::FileState::Loaded,
                             folder});
            break;
        }
        default: {
            QList<QByteArray> rows;
            QStringList files;
            for (int r = 0; r <= i; ++r) {
                const QByteArray file = "p" + QByteArray::number(i) + "-" + QByteArray::number(r) + ".jpg";
                rows << "Photo|/pictures/" + name + "|" + file + "|Title " + QByteArray::number(r) + "| | |3|0|-1|4*3|";
                files << QString::fromUtf8(file);
            }
            writeFile(db, albumFile(id, name + " title", rows));
            list("Playlist", id, name);
            expected.append({QString::fromUtf8(name) + " title", files, PlayList::FileState::Loaded, {}});
        }
        }
    }
    writeFile(m_library.filePath(), "NUMLIB=" + QByteArray::number(listed) + "\r\n" + index);
    const QList<PlayList *> albums = loadAll();
    QCOMPARE(albums.size(), 60);
    for (int i = 0; i < 60; ++i) {
        const PlayList *album = albums.at(i);
        const Expected &want = expected.at(i);
        const QByteArray where = "album " + QByteArray::number(i);
        QVERIFY2(album->name() == "Album " + QString::number(i), where);
        QVERIFY2(album->fileState() == want.state, where);
        QVERIFY2(names(album->rowTable()) == want.rows, where);
        if (want.state == PlayList::FileState::Loaded) {
            QVERIFY2(album->title() == want.title, where);
            QVERIFY2(album->creationDate() == QDate(2003, 1, 5), where);
            QVERIFY2(album->isValid(), where);
        }
        QVERIFY2(album->isValid() == (want.state != PlayList::FileState::Damaged), where);
        if (const auto *dynamic = dynamic_cast<const DirectoryPlaylist *>(album))
            QVERIFY2(dynamic->from() == want.from, where);
        if (want.state == PlayList::FileState::Loaded && i % 10 != 8)
            QVERIFY2(album->rowTable().fieldText(i, AlbumRows::Title) == "Title " + QString::number(i), where);
    }
}

#include "tst_soundness.moc"
