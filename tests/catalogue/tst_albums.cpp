#include "albumadd.h"
#include "catalogueloader.h"
#include "cataloguecontext.h"
#include "cataloguetext.h"
#include "directoryplaylist.h"
#include "libraryindex.h"
#include "namelist.h"
#include "playlistgroup.h"
#include "scriptedprompter.h"
#include "searchengine.h"
#include "smartplaylist.h"

#include <QTemporaryDir>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QtTest>

#include "testfiles.h"

namespace {



QStringList row(const QString &file, const QString &title, const QString &love, const QString &comment = {},
                const QString &folder = QStringLiteral("/pics"))
{
    return {"Photo", folder, file, title, "Family", comment, love, "0", "-1", "640*480", ""};
}

// A picture record as the view would hold it.
std::unique_ptr<PhotoItem> record(const QString &file, const QString &folder = QStringLiteral("/pics"))
{
    auto item = std::make_unique<PhotoItem>(file);
    item->setFileName(file);
    item->setSourceFolder(folder);
    item->setFileType(QStringLiteral("Photo"));
    return item;
}

QStringList files(const AlbumRows &rows)
{
    QStringList names;
    for (int i = 0; i < rows.count(); ++i)
        names << rows.fieldText(i, AlbumRows::FileName);
    return names;
}

void makePicture(const QString &path, const QColor &colour = Qt::red)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(colour);
    QVERIFY(image.save(path, "JPEG"));
}

} // namespace

class TestAlbums : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void idAndPlainAlbumFile();
    void albumsMadeInOneMillisecondKeepTheirOrder();
    void cleanAlbumSavesNothing();
    void readingHandMadeFiles();
    void dirtyLineIsInverted();
    void tableGrowsByHundred();
    void rowOperations();
    void contentKind_data();
    void contentKind();
    void headerAloneReadsAsTheWholeFile_data();
    void headerAloneReadsAsTheWholeFile();
    void dynamicRescan();
    void dynamicAddNeverOverwrites();
    void dynamicRemoveAndClearDeleteFiles();
    void removeFilesLeavesTiffThumbnail();
    void smartAndGroupFiles();
    void libraryIndexFile();
    void libraryIndexOrder();
    void libraryIndexGrowsPast256();
    void loaderFiltersAndMarks();
    void dynamicAlbumsStandUnderTheGroupTheyName();
    void albumFileCutInItsLastRowIsDamaged();
    void nameLists();
    void matchers();
    void smartAlbumsOverTheList();
    void addingFiles();
    void validation();
    void indexOfFileFollowsEveryChange();
    void thumbCacheFollowsRowOrder();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    CatalogueContext m_context;
    LibraryIndex m_library;
};

void TestAlbums::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_context = CatalogueContext::forInstallation(m_dir->path());
    QDir().mkpath(m_context.folder);
    m_library = LibraryIndex();
    m_library.setRoot(m_context.root);
    m_context.library = &m_library;
}

void TestAlbums::albumsMadeInOneMillisecondKeepTheirOrder()
{
    // The list orders the albums of a day by their ids' times: made in one millisecond,
    // "Winter" and then "Back" must not read as made together (ties fall to the names).
    const QDateTime now = QDateTime::currentDateTime();
    PlayList first, second, third;
    first.setName(QStringLiteral("Winter"));
    second.setName(QStringLiteral("Back"));
    third.setName(QStringLiteral("Winter"));
    for (PlayList *album : {&first, &second, &third}) {
        album->setContext(&m_context);
        album->setFreshId(now);
    }
    const QString a = first.id().right(12), b = second.id().right(12), c = third.id().right(12);
    QVERIFY2(a < b && b < c, qPrintable(a + " " + b + " " + c));
    QVERIFY(first.id().startsWith("Winter") && second.id().startsWith("Back"));
}

void TestAlbums::idAndPlainAlbumFile()
{
    PlayList album;
    album.setContext(&m_context);
    album.setName(QStringLiteral("Holidays"));
    album.setId(QDateTime(QDate(2003, 1, 5), QTime(14, 22, 10, 123)));
    QCOMPARE(album.id(), QStringLiteral("Holidays05.01.2003.14.22.10.123"));
    album.setKivDir(album.id());
    album.setTitle(QStringLiteral("Holidays"));
    album.setCreationDate(QDate(2003, 1, 5));
    QCOMPARE(album.group(), QStringLiteral("NONE"));
    QCOMPARE(album.storedContentKind(), QStringLiteral("UNKNOW"));

    auto a = record(QStringLiteral("a.jpg"));
    a->setLove(3);
    a->setFormat(QStringLiteral("640*480"));
    a->setPersonInit(QStringLiteral("Anna,Bob"));
    auto b = record(QStringLiteral("b.jpg"));  // empty title, category, comment and format
    auto c = record(QStringLiteral("été.jpg"), QStringLiteral("/pics/京都"));
    c->setTitle(QStringLiteral("Fête à Kyōto"));
    c->setCategory(QStringLiteral("Voyages"));
    c->setComment(QStringLiteral("très chaud"));
    c->setFormat(QStringLiteral("1*1"));
    QVERIFY(album.addRecord(a.get()));
    QVERIFY(album.addRecord(b.get()));
    QVERIFY(album.addRecord(c.get()));
    album.setTitle(QStringLiteral("Holidays à Noël"));
    QVERIFY(album.isDirty());
    QVERIFY(album.save(album.kivDir()));
    QVERIFY(!album.isDirty());

    const QByteArray expected = "KivDir=Holidays05.01.2003.14.22.10.123\r\n"
                                "Title=Holidays \xc3\xa0 No\xc3\xabl\r\n"
                                "Dirty=True\r\n"
                                "CreationDate=2003-01-05\r\n"
                                "NumFile=3\r\n"
                                "File=Photo|/pics|a.jpg| | | |3|0|-1|640*480|Anna,Bob\r\n"
                                "File=Photo|/pics|b.jpg| | | |1|0|-1| |\r\n"
                                "File=Photo|/pics/\xe4\xba\xac\xe9\x83\xbd|\xc3\xa9t\xc3\xa9.jpg|F\xc3\xaate \xc3\xa0 "
                                "Ky\xc5\x8dto|Voyages|tr\xc3\xa8s chaud|1|0|-1|1*1|\r\n";
    QCOMPARE(readAll(m_context.folder + "/Holidays05.01.2003.14.22.10.123.db"), expected);
    // Text held that is not UTF-8 is written as its conversion reads it (the bytes that
    // cannot be read become U+FFFD), never as the bytes were.
    AlbumRows rows;
    rows.appendUtf8("Photo|/p|x\xff.jpg|t|c|m|1|0|-1|1*1|");
    rows.appendUtf8("Photo|/p|y.jpg||c||1|0|-1|1*1|");
    rows.appendUtf8("|/p|z.jpg|t|c|m|1|0|-1|1*1|Anna");
    QByteArray written;
    for (int i = 0; i < rows.count(); ++i)
        rows.appendFileText(i, written += '\n');
    QCOMPARE(written, QByteArray("\nPhoto|/p|x\xef\xbf\xbd.jpg|t|c|m|1|0|-1|1*1|\nPhoto|/p|y.jpg| |c| |1|0|-1|1*1|"
                                 "\n |/p|z.jpg|t|c|m|1|0|-1|1*1|Anna"));
    QVERIFY(QFileInfo(m_context.folder + "/Holidays05.01.2003.14.22.10.123").isDir());
    QVERIFY(!album.save(QString()));
}

void TestAlbums::cleanAlbumSavesNothing()
{
    PlayList album;
    album.setContext(&m_context);
    album.setKivDir(QStringLiteral("Clean01.01.2004.00.00.00.000"));
    QVERIFY(album.save(album.kivDir()));
    QVERIFY(!QFile::exists(m_context.folder + "/Clean01.01.2004.00.00.00.000.db"));
}

void TestAlbums::readingHandMadeFiles()
{
    const QByteArray plain = "KivDir=Trip01.02.2003.10.00.00.000\r\n"
                             "Title= \r\n"
                             "Dirty=True\r\n"
                             "CreationDate=2003-02-01\r\n"
                             "NumFile=3\r\n"
                             "File=Photo|/pics|a.jpg| |Family|SUNNY day|5|2|1|800*600|Anna\r\n"
                             "File=Photo|/pics|b.jpg|n|n| |3|0|-1| |n\r\n"
                             "File=Photo|/pics|c.jpg|Sunset||x|1|0|-1|10*10|\r\n";
    writeFile(m_context.folder + "/Trip01.02.2003.10.00.00.000.db", plain);
    PlayList album;
    album.setContext(&m_context);
    QVERIFY(album.load(m_context.folder + "/Trip01.02.2003.10.00.00.000.db"));
    QCOMPARE(album.kivDir(), QStringLiteral("Trip01.02.2003.10.00.00.000"));
    QCOMPARE(album.title(), QStringLiteral(" "));
    QCOMPARE(album.creationDate(), QDate(2003, 2, 1));
    QCOMPARE(album.rowCount(), 3);
    QCOMPARE(album.rowTable().row(0),
             (QStringList{"Photo", "/pics", "a.jpg", " ", "Family", "SUNNY day", "5", "2", "1", "800*600", "Anna"}));
    // A title or category "n" is the text "n": empty texts are stored as " ".
    QCOMPARE(album.rowTable().row(1),
             (QStringList{"Photo", "/pics", "b.jpg", "n", "n", " ", "3", "0", "-1", " ", "n"}));
    QCOMPARE(album.rowTable().fieldText(2, AlbumRows::Category), QString());

    // Written back, the empty texts become " " and "n" stays "n".
    album.setDirty(true);
    QVERIFY(album.save(album.kivDir()));
    QByteArray back = plain;
    back.replace("Sunset||x", "Sunset| |x");
    QCOMPARE(readAll(m_context.folder + "/Trip01.02.2003.10.00.00.000.db"), back);

    // A dynamic album file: From= second, adjacent bars read as empty texts.
    writeFile(m_context.folder + "/pics01.02.2003.10.00.00.000.dir",
              "KivDir=pics01.02.2003.10.00.00.000\r\nFrom=/home/me/pics\r\nTitle=pics\r\nDirty=True\r\n"
              "CreationDate=2003-02-01\r\nNumFile=1\r\nFile=|/home/me/pics|x.jpg||Undefined||1|0|-1||\r\n");
    DirectoryPlaylist dynamic;
    dynamic.setContext(&m_context);
    QVERIFY(dynamic.load(m_context.folder + "/pics01.02.2003.10.00.00.000.dir"));
    QCOMPARE(dynamic.from(), QStringLiteral("/home/me/pics"));
    QCOMPARE(dynamic.title(), QStringLiteral("pics"));
    QCOMPARE(dynamic.rowTable().row(0),
             (QStringList{"", "/home/me/pics", "x.jpg", "", "Undefined", "", "1", "0", "-1", "", ""}));
    QVERIFY(!dynamic.load(m_context.folder + "/missing.dir"));
}

void TestAlbums::dirtyLineIsInverted()
{
    const QString path = m_context.folder + "/d.db";
    writeFile(path, "KivDir=d\r\nTitle=d\r\nDirty=False\r\nCreationDate=2003-01-01\r\nNumFile=0\r\n");
    PlayList album;
    album.setContext(&m_context);
    QVERIFY(album.load(path));
    QVERIFY(album.isDirty());
    writeFile(path, "KivDir=d\r\nTitle=d\r\nDirty=True\r\nCreationDate=2003-01-01\r\nNumFile=0\r\n");
    QVERIFY(album.load(path));
    QVERIFY(!album.isDirty());
}

void TestAlbums::tableGrowsByHundred()
{
    PlayList album;
    QCOMPARE(album.rowTable().capacity(), 100);
    for (int i = 0; i < 100; ++i) {
        auto r = record(QStringLiteral("p%1.jpg").arg(i));
        album.addRecord(r.get());
    }
    QCOMPARE(album.rowTable().capacity(), 100);
    auto extra = record(QStringLiteral("p100.jpg"));
    album.addRecord(extra.get());
    QCOMPARE(album.rowCount(), 101);
    QCOMPARE(album.rowTable().capacity(), 200);
    album.resetRows();
    QCOMPARE(album.rowTable().capacity(), 100);
}

void TestAlbums::rowOperations()
{
    PlayList album;
    auto a = record("a.jpg"), b = record("b.jpg"), c = record("c.jpg"), missing = record("zzz.jpg");
    album.addRecord(a.get());
    album.addRecord(b.get());
    album.addRecord(c.get());
    album.setDirty(false);
    QVERIFY(!album.removeRecord(missing.get()));
    QVERIFY(!album.isDirty());
    QVERIFY(album.moveRow(c.get(), a.get()));
    QCOMPARE(files(album.rowTable()), (QStringList{"c.jpg", "a.jpg", "b.jpg"}));
    QVERIFY(album.swapRows(c.get(), b.get()));
    QCOMPARE(files(album.rowTable()), (QStringList{"b.jpg", "a.jpg", "c.jpg"}));
    QVERIFY(!album.swapRows(c.get(), missing.get()));

    album.setDirty(false);
    a->setTitle(QStringLiteral("renamed title"));
    QVERIFY(album.updateRow(a.get()));
    QVERIFY(album.isDirty());  // a changed row must reach the file
    QCOMPARE(album.rowTable().fieldText(1, AlbumRows::Title), QStringLiteral("renamed title"));
    a->setFileName(QStringLiteral("new.jpg"));
    QVERIFY(!album.updateRow(a.get()));
    QVERIFY(album.replaceRow(QStringLiteral("a.jpg"), a.get()));
    QCOMPARE(album.indexOfFile(QStringLiteral("new.jpg")), 1);
    QCOMPARE(album.indexOfPath(QStringLiteral("/pics/new.jpg")), 1);
    QCOMPARE(album.indexOfPath(QStringLiteral("/other/new.jpg")), -1);
    QCOMPARE(album.typeOfFile(QStringLiteral("new.jpg")), QStringLiteral("Photo"));
    QVERIFY(album.removeRecord(b.get()));
    QCOMPARE(files(album.rowTable()), (QStringList{"new.jpg", "c.jpg"}));
}

void TestAlbums::contentKind_data()
{
    QTest::addColumn<QStringList>("types");
    QTest::addColumn<QString>("kind");
    QTest::newRow("no rows") << QStringList() << "UNKNOW";
    QTest::newRow("photos") << QStringList{"Photo", "Photo"} << "Photo";
    QTest::newRow("undefined first") << QStringList{"Undefined", "Music"} << "Music";
    QTest::newRow("only undefined") << QStringList{"Undefined", "Undefined"} << "media";
    QTest::newRow("mixed") << QStringList{"Photo", "Undefined", "Music"} << "media";
    QTest::newRow("empty first") << QStringList{"", "Photo"} << "Photo";
}

void TestAlbums::contentKind()
{
    QFETCH(QStringList, types);
    QFETCH(QString, kind);
    PlayList album;
    for (int i = 0; i < types.size(); ++i) {
        auto r = record(QStringLiteral("f%1").arg(i));
        r->setFileType(types.at(i));
        album.addRecord(r.get());
    }
    QCOMPARE(album.contentKind(), kind);
}

void TestAlbums::dynamicRescan()
{
    const QString folder = m_dir->filePath("pics");
    makePicture(folder + "/b.jpg");
    makePicture(folder + "/A.jpg");
    writeFile(folder + "/A.kiv", "title=x\r\n");
    DirectoryPlaylist album;
    album.setContext(&m_context);
    album.setFrom(folder);
    // Three files, no rows: rescan, names sorted ignoring case, property files skipped.
    QCOMPARE(files(album.rows()), (QStringList{"A.jpg", "b.jpg"}));
    QVERIFY(album.isDirty());
    QCOMPARE(album.rowTable().row(0), (QStringList{"", folder, "A.jpg", "", "Undefined", "", "1", "0", "-1", "", ""}));

    // Three rows for three files: the stored rows stand, titles and all.
    auto a = record("A.jpg", folder);
    a->setTitle(QStringLiteral("kept"));
    album.resetRows();
    album.addRecord(a.get());
    auto b = record("b.jpg", folder), k = record("A.kiv", folder);
    album.addRecord(b.get());
    album.addRecord(k.get());
    QFile::remove(folder + "/b.jpg");
    makePicture(folder + "/c.jpg");  // one file replaced by another: same count
    QCOMPARE(album.rows().fieldText(0, AlbumRows::Title), QStringLiteral("kept"));
    // The rows follow the folder's files: b.jpg's row goes, c.jpg and d.jpg come last,
    // and the row of A.jpg keeps its title.
    makePicture(folder + "/d.jpg");
    QCOMPARE(files(album.rows()), (QStringList{"A.jpg", "c.jpg", "d.jpg"}));
    QCOMPARE(album.rowTable().fieldText(0, AlbumRows::Title), QStringLiteral("kept"));
    QVERIFY(!album.folderGone());
    album.setFrom(m_dir->filePath("gone"));
    QVERIFY(album.folderGone());
}

void TestAlbums::dynamicAddNeverOverwrites()
{
    const QString folder = m_dir->filePath("bound");
    const QString elsewhere = m_dir->filePath("elsewhere");
    makePicture(folder + "/same.jpg", Qt::red);
    makePicture(elsewhere + "/same.jpg", Qt::blue);
    makePicture(elsewhere + "/new.jpg", Qt::green);
    const QByteArray kept = readAll(folder + "/same.jpg");
    DirectoryPlaylist album;
    album.setContext(&m_context);
    album.setFrom(folder);
    auto clash = record("same.jpg", elsewhere);
    QVERIFY(!album.addRecord(clash.get()));
    QCOMPARE(readAll(folder + "/same.jpg"), kept);
    QCOMPARE(album.rowCount(), 0);

    auto fresh = record("new.jpg", elsewhere);
    QVERIFY(album.addRecord(fresh.get()));
    QCOMPARE(readAll(folder + "/new.jpg"), readAll(elsewhere + "/new.jpg"));
    // The row names the copy, so the album's commands never touch the original.
    QCOMPARE(album.rowTable().fieldText(0, AlbumRows::Folder), folder);
}

void TestAlbums::dynamicRemoveAndClearDeleteFiles()
{
    const QString folder = m_dir->filePath("bound");
    makePicture(folder + "/a.jpg");
    makePicture(folder + "/b.jpg");
    DirectoryPlaylist dynamic;
    dynamic.setContext(&m_context);
    dynamic.setKivDir(QStringLiteral("bound01.01.2005.00.00.00.000"));
    dynamic.setFrom(folder);
    dynamic.rows();
    auto a = record("a.jpg", folder);
    QVERIFY(dynamic.removeRecord(a.get()));
    QVERIFY(!QFile::exists(folder + "/a.jpg"));
    QCOMPARE(files(dynamic.rowTable()), QStringList{"b.jpg"});
    QVERIFY(dynamic.clear());
    QVERIFY(!QFile::exists(folder + "/b.jpg"));
    QVERIFY(QFile::exists(m_context.folder + "/bound01.01.2005.00.00.00.000.dir"));

    // A plain album forgets its pictures and leaves the files alone.
    const QString other = m_dir->filePath("other");
    makePicture(other + "/c.jpg");
    PlayList plain;
    plain.setContext(&m_context);
    plain.setKivDir(QStringLiteral("plain01.01.2005.00.00.00.000"));
    auto c = record("c.jpg", other);
    plain.addRecord(c.get());
    QVERIFY(plain.removeRecord(c.get()));
    plain.addRecord(c.get());
    QVERIFY(plain.clear());
    QVERIFY(QFile::exists(other + "/c.jpg"));
    QCOMPARE(plain.rowCount(), 0);
    QVERIFY(!plain.isDirty());
}

void TestAlbums::removeFilesLeavesTiffThumbnail()
{
    PlayList album;
    album.setContext(&m_context);
    album.setKivDir(QStringLiteral("Scans01.01.2004.00.00.00.000"));
    album.setDirty(true);
    QVERIFY(album.save(album.kivDir()));
    const QString folder = album.albumFolder();
    writeFile(folder + "/scan.tif", "thumbnail of a TIFF picture");
    writeFile(folder + "/scan.kiv", "title=\r\n");
    writeFile(folder + "/IMG_1.JPG", "thumbnail");
    QVERIFY(album.removeFiles());
    QVERIFY(!QFile::exists(m_context.folder + "/Scans01.01.2004.00.00.00.000.db"));
    QVERIFY(!QFile::exists(folder + "/scan.kiv"));
    QVERIFY(!QFile::exists(folder + "/IMG_1.JPG"));
    QVERIFY(QFile::exists(folder + "/scan.tif"));
    QVERIFY(QFileInfo(folder).isDir());
}

void TestAlbums::smartAndGroupFiles()
{
    Search last;
    last.setContext(&m_context);
    last.setTitle(QStringLiteral("Last Search : sun"));
    last.setKeyword(QStringLiteral("sun"));
    QVERIFY(last.save(QStringLiteral("LastSearch")));  // clean: nothing written
    QVERIFY(!QFile::exists(m_context.folder + "/LastSearch.smart"));
    last.setDirty(true);
    QVERIFY(last.save(QStringLiteral("LastSearch")));
    QVERIFY(last.isDirty());
    QCOMPARE(readAll(m_context.folder + "/LastSearch.smart"),
             QByteArray("KivDir=LastSearch\r\nTitle=Last Search : sun\r\nDirty=True\r\nSearch=sun\r\n"));
    BySubject anna;
    anna.setContext(&m_context);
    anna.setKeyword(QStringLiteral("Anna"));
    anna.setDirty(true);
    QVERIFY(anna.save(QStringLiteral("Anna")));
    QCOMPARE(readAll(m_context.folder + "/Anna.smart"),
             QByteArray("KivDir=Anna\r\nTitle=\r\nDirty=True\r\nSearchKeyword=Anna\r\n"));
    Search back;
    QVERIFY(back.load(m_context.folder + "/LastSearch.smart"));
    QCOMPARE(back.keyword(), QStringLiteral("sun"));
    QCOMPARE(back.title(), QStringLiteral("Last Search : sun"));
    QVERIFY(!back.isDirty());
    QVERIFY(back.isSmart());
    QCOMPARE(back.className(), QStringLiteral("SmartPlaylist"));
    QCOMPARE(back.kind(), QStringLiteral("Search"));

    PlayListGroup group;
    group.setContext(&m_context);
    group.setTitle(QStringLiteral("Family"));
    QVERIFY(group.save(QStringLiteral("Family01.01.2004.00.00.00.000")));  // written although clean
    QCOMPARE(readAll(m_context.folder + "/Family01.01.2004.00.00.00.000.group"), QByteArray("Title=Family\r\n"));
    GroupYear year;
    QVERIFY(year.save(QStringLiteral("2004")));
    QCOMPARE(year.className(), QStringLiteral("GroupYear"));
    QVERIFY(!(year.flags() & Qt::ItemIsSelectable));
}

void TestAlbums::libraryIndexFile()
{
    QVERIFY(!m_library.load());  // no file
    writeFile(m_library.filePath(), "NUMLIB=0\r\n");
    QVERIFY(!m_library.load());
    QCOMPARE(m_library.rowCount(), 0);
    QCOMPARE(m_library.state(), LibraryIndex::State::Empty);
    // A count of 0 over a row is a damaged index: the row is kept to be shown, and the
    // file is never written over.
    writeFile(m_library.filePath(), "NUMLIB=0\r\nLIBRARY=NONE,Photo,A,Playlist,A01.01.2003.00.00.00.000\r\n");
    QVERIFY(!m_library.load());
    QVERIFY(m_library.isDamaged());
    QCOMPARE(m_library.rowCount(), 1);
    const QByteArray handMade = "NUMLIB=3\r\n"
                                "LIBRARY=NONE,Photo,Holidays,Playlist,Holidays05.01.2003.14.22.10.123\r\n"
                                "LIBRARY=NONE,UNKNOW,Family,PlayListGroup,Family05.01.2003.14.22.11.000\r\n"
                                "LIBRARY=Family,media,pics,DirectoryPlaylist,pics05.01.2003.14.22.12.000\r\n";
    writeFile(m_library.filePath(), handMade);
    QVERIFY(m_library.load());
    QCOMPARE(m_library.rowCount(), 3);
    QCOMPARE(m_library.row(2),
             (QStringList{"Family", "media", "pics", "DirectoryPlaylist", "pics05.01.2003.14.22.12.000"}));
    QVERIFY(m_library.contains(QStringLiteral("Family")));
    QVERIFY(!m_library.contains(QStringLiteral("family")));
    QVERIFY(m_library.save());  // clean: nothing written
    m_library.setDirty(true);
    QVERIFY(m_library.save());
    QCOMPARE(readAll(m_library.filePath()), handMade);
}

void TestAlbums::libraryIndexOrder()
{
    PlayList a, b, c;
    for (auto [album, id] : {std::pair{&a, "A"}, std::pair{&b, "B"}, std::pair{&c, "C"}}) {
        album->setName(QLatin1String(id));
        album->setKivDir(QLatin1String(id) + QStringLiteral("01.01.2003.00.00.00.000"));
    }
    m_library.insertAlbum(&a, nullptr);
    m_library.insertAlbum(&b, nullptr);
    m_library.insertAlbum(&c, &a);  // before the current album
    auto names = [this] {
        QStringList n;
        for (int i = 0; i < m_library.rowCount(); ++i)
            n << m_library.row(i).at(2);
        return n;
    };
    QCOMPARE(names(), (QStringList{"C", "A", "B"}));
    m_library.setDirty(false);
    m_library.moveUp(&c);  // already first: nothing changes
    QCOMPARE(names(), (QStringList{"C", "A", "B"}));
    QVERIFY(!m_library.isDirty());
    m_library.moveDown(&b);
    QCOMPARE(names(), (QStringList{"C", "A", "B"}));
    m_library.moveUp(&b);
    QCOMPARE(names(), (QStringList{"C", "B", "A"}));
    m_library.removeAlbum(&c);
    QCOMPARE(names(), (QStringList{"B", "A"}));
    QVERIFY(m_library.save());
    QCOMPARE(readAll(m_library.filePath()),
             QByteArray("NUMLIB=2\r\nLIBRARY=NONE,UNKNOW,B,Playlist,B01.01.2003.00.00.00.000\r\n"
                        "LIBRARY=NONE,UNKNOW,A,Playlist,A01.01.2003.00.00.00.000\r\n"));
}

void TestAlbums::libraryIndexGrowsPast256()
{
    std::vector<std::unique_ptr<PlayList>> albums;
    for (int i = 0; i < 300; ++i) {
        albums.push_back(std::make_unique<PlayList>());
        albums.back()->setName(QStringLiteral("album %1").arg(i));
        albums.back()->setKivDir(QStringLiteral("album %1.01.01.2003").arg(i));
        m_library.insertAlbum(albums.back().get(), nullptr);
    }
    QVERIFY(m_library.save());
    LibraryIndex again;
    again.setRoot(m_context.root);
    QVERIFY(again.load());
    QCOMPARE(again.rowCount(), 300);
    QCOMPARE(again.row(299).at(2), QStringLiteral("album 299"));
}

void TestAlbums::loaderFiltersAndMarks()
{
    const QString album = "KivDir=%1\r\nTitle=%2\r\nDirty=True\r\nCreationDate=2003-01-01\r\nNumFile=0\r\n";
    writeFile(m_context.folder + "/Music1.db", album.arg("Music1", "Songs").toUtf8());
    writeFile(m_context.folder + "/Mixed1.db", album.arg("Mixed1", " ").toUtf8());
    writeFile(m_context.folder + "/Photo1.db", album.arg("Photo1", "Photos").toUtf8());
    writeFile(m_context.folder + "/Grp1.group", "Title=Group title\r\n");
    writeFile(m_context.folder + "/Dyn1.dir",
              "KivDir=Dyn1\r\nFrom=\r\nTitle=Dyn\r\nDirty=False\r\nCreationDate=2003-01-01\r\nNumFile=0\r\n");
    writeFile(m_context.folder + "/Dyn2.dir", "KivDir=Dyn2\r\nFrom=" + m_dir->filePath("nowhere").toUtf8()
                                                  + "\r\nTitle=Dyn2\r\nDirty=True\r\nCreationDate=2003-01-01\r\n"
                                                    "NumFile=0\r\n");
    writeFile(m_library.filePath(), "NUMLIB=7\r\n"
                                    "LIBRARY=NONE,Music,Music,Playlist,Music1\r\n"
                                    "LIBRARY=NONE,media,Mixed,Playlist,Mixed1\r\n"
                                    "LIBRARY=NONE,Photo,Photo,Playlist,Photo1\r\n"
                                    "LIBRARY=NONE,UNKNOW,Grp,PlayListGroup,Grp1\r\n"
                                    "LIBRARY=Grp,Photo,Dyn,DirectoryPlaylist,Dyn1\r\n"
                                    "LIBRARY=NONE,Photo,Gone,Playlist,Gone1\r\n"
                                    "LIBRARY=NONE,Photo,Dyn2,DirectoryPlaylist,Dyn2\r\n");
    QVERIFY(m_library.load());
    QTreeWidget list;
    list.setColumnCount(3);

    QList<PlayList *> loaded = CatalogueLoader::load(&list, m_library, m_context, QStringLiteral("Photo"));
    QStringList names;
    for (PlayList *p : loaded)
        names << p->name();
    // The dynamic album passes although its group does not: it stands at the top level.
    QCOMPARE(names, (QStringList{"Mixed", "Photo", "Dyn", "Gone", "Dyn2"}));
    QVERIFY(!loaded.at(2)->QTreeWidgetItem::parent());

    loaded = CatalogueLoader::load(&list, m_library, m_context, QStringLiteral("media"));
    QCOMPARE(loaded.size(), 7);
    QCOMPARE(loaded.at(1)->text(1), QStringLiteral("Mixed"));   // title " ": listed under its name
    QCOMPARE(loaded.at(2)->text(1), QStringLiteral("Photos"));
    QCOMPARE(loaded.at(3)->text(1), QStringLiteral("Grp"));     // a group shows its name
    PlayList *dyn = loaded.at(4);
    QCOMPARE(dyn->QTreeWidgetItem::parent(), loaded.at(3));    // under its group
    QVERIFY(!dyn->isValid());                                  // no bound folder
    QCOMPARE(dyn->kivDir(), QStringLiteral("Dyn1"));
    PlayList *gone = loaded.at(5);                             // its file is missing
    QVERIFY(gone->isValid());
    QCOMPARE(gone->rowCount(), 0);
    QCOMPARE(gone->kivDir(), QStringLiteral("Gone1"));
    auto *dyn2 = dynamic_cast<DirectoryPlaylist *>(loaded.at(6));
    QVERIFY(dyn2->isFolderMissing());
    for (PlayList *p : loaded)
        QVERIFY(!p->isDirty());

    ScriptedPrompter prompter;
    QVERIFY(CatalogueLoader::refuseInvalidAlbum(dyn, prompter));
    QCOMPARE(prompter.messages.last().caption, QStringLiteral("Album non valid"));
    QCOMPARE(prompter.messages.last().text,
             QStringLiteral("Your album is invalid.Do refresh thumbs or remove for resolve the issue."));
    QVERIFY(!CatalogueLoader::refuseInvalidAlbum(gone, prompter));
    QVERIFY(!CatalogueLoader::refuseSmartAlbum(CatalogueLoader::topLevelAlbums(&list), prompter));
    QVERIFY(CatalogueLoader::refuseSmartAlbum({gone, dyn}, prompter));
    QCOMPARE(prompter.messages.last().caption, QStringLiteral("DataBase error"));
    QCOMPARE(prompter.messages.last().text, QStringLiteral("DataBase Query error : Please remove corrupted album."));

    QVERIFY(CatalogueLoader::load(&list, m_library, m_context, QString(), &prompter).isEmpty());
    QCOMPARE(prompter.messages.last().text, QStringLiteral("Could not open the Database.\n\n\n"));
    QCOMPARE(prompter.messages.last().buttons, (QStringList{"Retry", "Quit"}));
}

void TestAlbums::dynamicAlbumsStandUnderTheGroupTheyName()
{
    // A plain album and a dynamic one titled as the group, both listed before it: the
    // dynamic album of the group goes under the group all the same. One whose group is
    // listed after it stands at the top level.
    const QString album = "KivDir=%1\r\nTitle=%2\r\nDirty=False\r\nCreationDate=2003-01-01\r\nNumFile=0\r\n";
    const QString dynamic = "KivDir=%1\r\nFrom=%3\r\nTitle=%2\r\nDirty=False\r\nCreationDate=2003-01-01\r\n"
                            "NumFile=0\r\n";
    QDir().mkpath(m_dir->filePath("sea"));
    writeFile(m_context.folder + "/Trips1.db", album.arg("Trips1", "Trips").toUtf8());
    writeFile(m_context.folder + "/TripsD1.dir", dynamic.arg("TripsD1", "Trips", m_dir->filePath("sea")).toUtf8());
    writeFile(m_context.folder + "/Sea1.dir", dynamic.arg("Sea1", "Sea", m_dir->filePath("sea")).toUtf8());
    writeFile(m_context.folder + "/Hills1.dir", dynamic.arg("Hills1", "Hills", m_dir->filePath("sea")).toUtf8());
    writeFile(m_library.filePath(), "NUMLIB=6\r\n"
                                    "LIBRARY=NONE,Photo,Trips,Playlist,Trips1\r\n"
                                    "LIBRARY=NONE,Photo,TripsD,DirectoryPlaylist,TripsD1\r\n"
                                    "LIBRARY=NONE,UNKNOW,Trips,PlayListGroup,TripsG\r\n"
                                    "LIBRARY=Trips,Photo,Sea,DirectoryPlaylist,Sea1\r\n"
                                    "LIBRARY=Later,Photo,Hills,DirectoryPlaylist,Hills1\r\n"
                                    "LIBRARY=NONE,UNKNOW,Later,PlayListGroup,LaterG\r\n");
    QVERIFY(m_library.load());
    QTreeWidget list;
    list.setColumnCount(3);
    const QList<PlayList *> loaded = CatalogueLoader::load(&list, m_library, m_context, QStringLiteral("media"));
    QCOMPARE(loaded.size(), 6);
    QStringList top;
    for (int i = 0; i < list.topLevelItemCount(); ++i)
        top << list.topLevelItem(i)->text(1);
    QCOMPARE(top, (QStringList{"Trips", "Trips", "Trips", "Hills", "Later"}));
    QCOMPARE(list.topLevelItem(2), static_cast<QTreeWidgetItem *>(loaded.at(2)));
    QCOMPARE(loaded.at(2)->className(), QStringLiteral("PlayListGroup"));
    QCOMPARE(loaded.at(3)->name(), QStringLiteral("Sea"));
    QCOMPARE(loaded.at(3)->QTreeWidgetItem::parent(), static_cast<QTreeWidgetItem *>(loaded.at(2)));
    QCOMPARE(loaded.at(0)->childCount(), 0);
    QCOMPARE(loaded.at(1)->childCount(), 0);
    QVERIFY(!loaded.at(4)->QTreeWidgetItem::parent());
    QCOMPARE(loaded.at(5)->childCount(), 0);
    // Each album is in the list once, and each is the list's own.
    int items = 0;
    for (QTreeWidgetItemIterator it(&list); *it; ++it)
        ++items;
    QCOMPARE(items, 6);
    for (PlayList *p : loaded)
        QCOMPARE(p->treeWidget(), &list);
}

void TestAlbums::albumFileCutInItsLastRowIsDamaged()
{
    // Cut anywhere in its last row (a copy stopped half way), a file whose rows are all
    // counted is damaged: the row would read wrong (a comment cut, the love and badge
    // missing) and be written back so. Whole, it reads.
    for (const QByteArray &end : {QByteArray("\r\n"), QByteArray("\n")}) {
        QByteArray text = "KivDir=A1" + end + "Title=Trip" + end + "Dirty=False" + end + "CreationDate=2003-07-01" + end
                          + "NumFile=3" + end;
        for (int i = 0; i < 3; ++i)
            text += "File=Photo|/pics|IMG_" + QByteArray::number(i) + ".jpg|title|Family|a long comment|2|0|-1|640*480|"
                    + "Anna,Bob" + end;
        const QString path = m_dir->filePath("A1.db");
        writeFile(path, text);
        PlayList::AlbumFile whole = PlayList::readFile(path, ".db", false);
        QVERIFY2(whole.state == PlayList::FileState::Loaded, qPrintable(whole.damage + " " + end.toHex()));
        QCOMPARE(whole.rows.count(), 3);
        const qsizetype lastRow = text.lastIndexOf("File=");
        for (qsizetype cut = lastRow + 1; cut < text.size() - end.size(); ++cut) {
            writeFile(path, text.first(cut));
            const PlayList::AlbumFile read = PlayList::readFile(path, ".db", false);
            QVERIFY2(read.state == PlayList::FileState::Damaged, qPrintable(QString::number(cut)));
            QCOMPARE(read.damage, QStringLiteral("it is cut short in the middle of a row"));
        }
    }
}

void TestAlbums::nameLists()
{
    const QString path = NameList::subjectsPath(m_context.root);
    QStringList subjects{"kept"};
    QVERIFY(!NameList::load(path, subjects));
    QCOMPARE(subjects, QStringList{"kept"});
    QVERIFY(NameList::save(path, {"Undefined", "Anna", "anna"}));
    QCOMPARE(readAll(path), QByteArray("NUMSUB=3\r\nUndefined\r\nAnna\r\nanna\r\n"));
    QVERIFY(NameList::load(path, subjects));
    QCOMPARE(subjects, (QStringList{"Undefined", "Anna", "anna"}));
    writeFile(path, "NUMSUB=0\r\nAnna\r\n");
    QVERIFY(!NameList::load(path, subjects));
    QVERIFY(subjects.isEmpty());
    // Cut short before its first name, a list holds none, and says so: the window then
    // offers its default persons instead of an empty list.
    writeFile(path, "NUMSUB=2\r\n");
    subjects = QStringList{"kept"};
    QVERIFY(!NameList::load(path, subjects));
    QVERIFY(subjects.isEmpty());
    QCOMPARE(NameList::persons(QStringLiteral("Anna,,Bob")), (QStringList{"Anna", "Bob"}));
}

void TestAlbums::matchers()
{
    AlbumRows rows;
    rows.append(row("1.jpg", "Sunset", "5"));
    rows.append(row("2.jpg", "Beach", "3", "SUNNY"));
    rows.append(row("3.jpg", "Dune", "1", {}, "/home/sun/pics"));  // only its folder says sun
    rows.append(row("4.jpg", "Road", "4"));
    rows.append(row("5.jpg", "Hill", "2"));
    auto names = [](const AlbumRows &r) { return files(r); };
    auto run = [&](auto matcher) {
        AlbumRows out;
        matcher(out);
        return names(out);
    };
    using SearchEngine::find, SearchEngine::findText, SearchEngine::query;
    const QString id = QStringLiteral("Album1");
    QCOMPARE(run([&](AlbumRows &o) { findText(rows, id, "sun", o); }), (QStringList{"1.jpg", "2.jpg"}));
    QCOMPARE(run([&](AlbumRows &o) { query(rows, id, 5, "5Equal", o); }), QStringList{"1.jpg"});
    QCOMPARE(run([&](AlbumRows &o) { query(rows, id, 5, "5More", o); }), QStringList{"1.jpg"});
    QCOMPARE(run([&](AlbumRows &o) { query(rows, id, 5, "3More", o); }), (QStringList{"1.jpg", "2.jpg", "4.jpg"}));
    QCOMPARE(run([&](AlbumRows &o) { query(rows, id, 5, "3Less", o); }), (QStringList{"2.jpg", "3.jpg", "5.jpg"}));
    QCOMPARE(run([&](AlbumRows &o) { find(rows, id, "3", "Love", "More Than", o); }),
             (QStringList{"1.jpg", "2.jpg", "4.jpg"}));
    QCOMPARE(run([&](AlbumRows &o) { find(rows, id, "3", "Love", "Less Than", o); }),
             (QStringList{"2.jpg", "3.jpg", "5.jpg"}));
    QCOMPARE(run([&](AlbumRows &o) { find(rows, id, "du", "Nonsense", "", o); }), QStringList{"3.jpg"});
    QCOMPARE(run([&](AlbumRows &o) { query(rows, id, 2, "", o); }), QStringList());
    QCOMPARE(run([&](AlbumRows &o) { query(rows, id, 1, "", o); }).size(), 5);

    AlbumRows out;
    query(rows, id, 7, QString(), out);
    QCOMPARE(out.row(0), (QStringList{"Photo", "/pics", "1.jpg", "Album1", "0", "-1"}));
    AlbumRows plainOut;
    findText(rows, id, "beach", plainOut);
    QCOMPARE(plainOut.row(0), (QStringList{"Photo", "/pics", "2.jpg", "Album1", "-1"}));
}

void TestAlbums::smartAlbumsOverTheList()
{
    QTreeWidget list;
    auto *first = new PlayList(&list);
    first->setKivDir(QStringLiteral("First"));
    auto *second = new PlayList(&list);
    second->setKivDir(QStringLiteral("Second"));
    auto *empty = new PlayList(&list);
    empty->setKivDir(QStringLiteral("Empty"));
    auto *favourites = new Favorites(&list);
    auto shared = record("same.jpg");
    shared->setLove(5);
    first->addRecord(shared.get());
    second->addRecord(shared.get());
    auto other = record("other.jpg");
    second->addRecord(other.get());

    AllPhoto all;
    QVERIFY(SearchEngine::fill(&all, CatalogueLoader::topLevelAlbums(&list)));
    // The first album of the list is searched too, and the same picture comes once per album.
    QCOMPARE(files(all.rowTable()), (QStringList{"same.jpg", "same.jpg", "other.jpg"}));
    QCOMPARE(all.rowTable().fieldText(0, 3), QStringLiteral("First"));
    QVERIFY(SearchEngine::fill(favourites, CatalogueLoader::topLevelAlbums(&list)));
    QCOMPARE(files(favourites->rowTable()), (QStringList{"same.jpg", "same.jpg"}));

    BySubject nobody;  // no keyword: no rows
    QVERIFY(SearchEngine::fill(&nobody, CatalogueLoader::topLevelAlbums(&list)));
    QCOMPARE(nobody.rowCount(), 0);

    second->setValid(false);
    all.setRowTable(AlbumRows());
    QVERIFY(!SearchEngine::fill(&all, CatalogueLoader::topLevelAlbums(&list)));
    QCOMPARE(all.rowCount(), 0);
}

void TestAlbums::addingFiles()
{
    const QString one = m_dir->filePath("one"), two = m_dir->filePath("two");
    makePicture(one + "/IMG_1.jpg");
    makePicture(two + "/IMG_1.jpg", Qt::blue);
    PlayList album;
    album.setContext(&m_context);
    album.setName(QStringLiteral("Trip"));
    album.setKivDir(QStringLiteral("Trip01.01.2005.00.00.00.000"));
    m_library.insertAlbum(&album, nullptr);

    ScriptedPrompter prompter;
    prompter.answers << 1;  // Quit: go on without it
    AlbumAdd::Result result = AlbumAdd::addFiles(
        &album, {one + "/IMG_1.jpg", m_dir->filePath("missing.jpg"), two + "/IMG_1.jpg"}, false, prompter);
    QCOMPARE(int(result.added.size()), 1);
    QCOMPARE(result.refused, 2);
    QCOMPARE(prompter.messages.size(), 2);
    QCOMPARE(prompter.messages.at(0).text, QStringLiteral("Could not open this file.\nThis file cannot be added to "
                                                          "the database\n\n")
                                               + m_dir->filePath("missing.jpg"));
    QCOMPARE(prompter.messages.at(0).buttons, (QStringList{"Retry", "Quit"}));
    QCOMPARE(prompter.messages.at(1).text,
             QStringLiteral("Unable to add this picture.\nA photo already have this filename."));
    QCOMPARE(album.rowTable().row(0),
             (QStringList{"Photo", one, "IMG_1.jpg", "", "", "", "1", "0", "-1", "40*30", ""}));
    QVERIFY(QFile::exists(m_context.folder + "/Trip01.01.2005.00.00.00.000.db"));
    QVERIFY(QFile::exists(album.albumFolder() + "/IMG_1.jpg"));  // not fast: the thumbnail is written
    QVERIFY(QFile::exists(m_library.filePath()));
    QCOMPARE(m_library.row(0).at(1), QStringLiteral("Photo"));

    // The same name into another album is accepted.
    PlayList other;
    other.setContext(&m_context);
    other.setKivDir(QStringLiteral("Other01.01.2005.00.00.00.000"));
    result = AlbumAdd::addFiles(&other, {two + "/IMG_1.jpg"}, true, prompter);
    QCOMPARE(int(result.added.size()), 1);
    QVERIFY(!QFile::exists(other.albumFolder() + "/IMG_1.jpg"));  // fast: no thumbnail file

    // Retry tries the file again: asked twice while it is missing, added once it is there.
    prompter.messages.clear();
    prompter.answers << 0 << 0;
    const QString late = m_dir->filePath("late/IMG_9.jpg");
    prompter.onMessage = [&](const Prompter::Message &) {
        if (prompter.messages.size() == 2)
            makePicture(late);
    };
    result = AlbumAdd::addFiles(&other, {late}, true, prompter);
    prompter.onMessage = nullptr;
    QCOMPARE(prompter.messages.size(), 2);
    QCOMPARE(int(result.added.size()), 1);
    QCOMPARE(result.refused, 0);

    // A thumbnail already in the album folder may be another picture's: it is made again.
    PlayList third;
    third.setContext(&m_context);
    third.setKivDir(QStringLiteral("Third01.01.2005.00.00.00.000"));
    QImage stored(99, 73, QImage::Format_RGB32);
    stored.fill(Qt::blue);
    QDir().mkpath(third.albumFolder());
    QVERIFY(stored.save(third.albumFolder() + "/IMG_1.jpg", "JPEG"));
    const QByteArray kept = readAll(third.albumFolder() + "/IMG_1.jpg");
    result = AlbumAdd::addFiles(&third, {one + "/IMG_1.jpg"}, false, prompter);
    QCOMPARE(result.added.front()->format(), QStringLiteral("40*30"));
    QVERIFY(result.added.front()->fileTime().isValid());
    QVERIFY(readAll(third.albumFolder() + "/IMG_1.jpg") != kept);
}

void TestAlbums::validation()
{
    QVERIFY(CatalogueText::albumNameRefusal(QStringLiteral("Holidays 2004")).isEmpty());
    QVERIFY(!CatalogueText::albumNameRefusal(QStringLiteral("Paris, France")).isEmpty());
    QVERIFY(!CatalogueText::albumNameRefusal(QStringLiteral("  ")).isEmpty());
    QVERIFY(!CatalogueText::albumNameRefusal(QStringLiteral("a\nb")).isEmpty());
    QVERIFY(CatalogueText::propertyRefusal(QStringLiteral("Anna, Bob; 5 €")).isEmpty());
    QVERIFY(!CatalogueText::propertyRefusal(QStringLiteral("a|b")).isEmpty());
    QVERIFY(!CatalogueText::propertyRefusal(QStringLiteral("a\r\nb")).isEmpty());
}

// The first row of each name, looked up after random sequences of every change a row
// table knows, against a plain list of the names changed the same way. Names repeat
// (hand-made album files may hold a name twice), a short row has no file name, and
// look-ups come between changes at random so that the table is looked up both freshly
// and long after its last look-up.
void TestAlbums::indexOfFileFollowsEveryChange()
{
    QRandomGenerator rng(20240611);
    for (int sequence = 0; sequence < 300; ++sequence) {
        // Few names: many repeats; many names: mostly one row per name.
        const int pool = QList<int>{2, 5, 1000}.at(sequence % 3);
        auto someName = [&] { return QStringLiteral("IMG_%1.jpg").arg(rng.bounded(pool)); };
        AlbumRows rows;
        QStringList names;  // the file name of each row, in order
        auto check = [&](const AlbumRows &table, const QStringList &expected, int step) {
            QStringList asked = expected;
            asked << QStringLiteral("IMG_0.JPG") << QStringLiteral("img_1.jpg") << QStringLiteral("nothing.jpg")
                  << QString() << someName();
            for (const QString &name : std::as_const(asked)) {
                int first = -1;
                for (int i = 0; i < expected.size() && first < 0; ++i) {
                    if (expected.at(i) == name)
                        first = i;
                }
                const int found = table.indexOfFile(name);
                const QString where = QStringLiteral("sequence %1, step %2: \"%3\" found at %4, first at %5 in %6")
                                          .arg(sequence)
                                          .arg(step)
                                          .arg(name)
                                          .arg(found)
                                          .arg(first)
                                          .arg(expected.join(QLatin1Char(',')));
                QVERIFY2(found == first, qPrintable(where));
            }
        };
        const int steps = 10 + rng.bounded(40);
        for (int step = 0; step < steps; ++step) {
            const int n = int(names.size());
            const int op = rng.bounded(n == 0 ? 4 : 11);
            const QString name = someName();
            switch (op) {
            case 0:
                rows.append(row(name, "t", "1"));
                names << name;
                break;
            case 1:
                rows.appendLine("Photo|/pics|" + name + "|title|||3|0|-1|640*480|");
                names << name;
                break;
            case 2:
                rows.appendFromFile("Photo|/pics|" + name + "| | | |0|0|-1| |Anna");
                names << name;
                break;
            case 3:
                if (rng.bounded(4) == 0) {
                    rows.appendLine(QStringLiteral("Photo|/pics"));  // no file name at all
                    names << QString();
                } else {
                    const int at = rng.bounded(n + 1);
                    rows.insert(at, row(name, "t", "2"));
                    names.insert(at, name);
                }
                break;
            case 4: {
                const int at = rng.bounded(n);
                // Half the time the row keeps its name, as a changed title does.
                const QString kept = rng.bounded(2) ? names.at(at) : name;
                rows.replace(at, row(kept, "changed", "4"));
                names[at] = kept;
                break;
            }
            case 5:
            case 6: {
                const int at = rng.bounded(n);
                rows.removeAt(at);
                names.removeAt(at);
                break;
            }
            case 7: {
                const int from = rng.bounded(n), to = rng.bounded(n);
                rows.move(from, to);
                names.move(from, to);
                break;
            }
            case 8: {
                const int a = rng.bounded(n), b = rng.bounded(n);
                rows.swap(a, b);
                names.swapItemsAt(a, b);
                break;
            }
            case 9:
                if (rng.bounded(8) == 0) {
                    rows.reset();
                    names.clear();
                }
                break;
            case 10: {
                // A copy goes its own way: changing it leaves the original's answers.
                AlbumRows copy = rows;
                QStringList copied = names;
                copy.removeAt(0);
                copied.removeAt(0);
                copy.append(row(name, "t", "1"));
                copied << name;
                check(copy, copied, step);
                break;
            }
            }
            QCOMPARE(rows.count(), int(names.size()));
            if (rng.bounded(3) == 0)
                check(rows, names, step);
            if (QTest::currentTestFailed())
                return;
        }
        check(rows, names, steps);
        if (QTest::currentTestFailed())
            return;
        for (int i = 0; i < names.size(); ++i)
            QCOMPARE(rows.fieldText(i, AlbumRows::FileName), names.at(i));
    }
}

// Saving a row puts the album's cached thumbnails in the order of its rows: one entry
// per row, the first entry of that name, entries of names no row holds dropped.
void TestAlbums::thumbCacheFollowsRowOrder()
{
    PlayList album;
    auto a = record("a.jpg"), b = record("b.jpg"), c = record("c.jpg");
    album.addRecord(c.get());
    album.addRecord(a.get());
    album.addRecord(b.get());
    album.addRecord(a.get());  // a hand-made album may hold a name twice
    const QDateTime day(QDate(2005, 6, 1), QTime(12, 0));
    // Each entry told apart by its time: minute 1 to 5.
    album.thumbCache() = {{QPixmap(), "b.jpg", day.addSecs(60)},
                          {QPixmap(), "gone.jpg", day.addSecs(120)},
                          {QPixmap(), "a.jpg", day.addSecs(180)},
                          {QPixmap(), "b.jpg", day.addSecs(240)},
                          {QPixmap(), "c.jpg", day.addSecs(300)}};
    QVERIFY(album.syncRow(b.get()));
    QStringList order;
    QList<int> minutes;
    for (const PlayList::ThumbCacheEntry &entry : album.thumbCache()) {
        order << entry.fileName;
        minutes << int(day.secsTo(entry.time) / 60);
    }
    QCOMPARE(order, (QStringList{"c.jpg", "a.jpg", "b.jpg", "a.jpg"}));
    QCOMPARE(minutes, (QList<int>{5, 3, 1, 3}));

    // A row without a cached thumbnail gets no entry; the second "a.jpg" row takes
    // the first "a.jpg" entry again.
    auto d = record("d.jpg");
    album.addRecord(d.get());
    album.thumbCache().removeLast();
    QVERIFY(album.syncRow(d.get()));
    order.clear();
    for (const PlayList::ThumbCacheEntry &entry : album.thumbCache())
        order << entry.fileName;
    QCOMPARE(order, (QStringList{"c.jpg", "a.jpg", "b.jpg", "a.jpg"}));
}

void TestAlbums::headerAloneReadsAsTheWholeFile_data()
{
    QTest::addColumn<QByteArray>("header");
    QTest::addColumn<int>("rows");
    QTest::addColumn<QByteArray>("tail");
    QTest::addColumn<bool>("headerAlone");
    const QByteArray plain = "KivDir=A1\r\nTitle=Trip\r\nDirty=True\r\nCreationDate=2003-07-01\r\nNumFile=";
    QTest::newRow("small file") << plain << 3 << QByteArray() << false;
    QTest::newRow("large file") << plain << 400 << QByteArray() << true;
    QTest::newRow("LF only") << QByteArray(plain).replace("\r\n", "\n") << 400 << QByteArray() << true;
    // Read whole: the header's text could be read otherwise once the whole file is seen.
    QTest::newRow("accented title") << QByteArray(plain).replace("Trip", "\xc3\xa9t\xc3\xa9") << 400 << QByteArray()
                                    << false;
    QTest::newRow("Windows-1252 row") << plain << 400 << QByteArray("File=Photo|/p|\xe9.jpg|x| | |0|0|-1||\r\n")
                                      << true;
    QTest::newRow("CR only") << QByteArray(plain).replace("\r\n", "\r") << 400 << QByteArray() << false;
    // What is wrong is found by reading it whole, and said the same.
    QTest::newRow("not an album file") << QByteArray("Title=Trip\r\nDirty=True\r\nCreationDate=2003-07-01\r\nNumFile=")
                                       << 400 << QByteArray() << false;
    QTest::newRow("no count") << QByteArray(plain).replace("NumFile=", "NumFile=x") << 400 << QByteArray() << false;
    QTest::newRow("count of none") << plain << -400 << QByteArray() << false;
    QTest::newRow("cut short") << plain << 400 << QByteArray("File=Photo|/p|cut") << true;
}

void TestAlbums::headerAloneReadsAsTheWholeFile()
{
    // Reading the header first and the rest later gives what reading the whole file does.
    QFETCH(QByteArray, header);
    QFETCH(int, rows);
    QFETCH(QByteArray, tail);
    QFETCH(bool, headerAlone);
    const bool lf = !header.contains("\r\n") && header.contains('\n');
    const QByteArray end = header.contains("\r\n") ? "\r\n" : lf ? "\n" : "\r";
    QByteArray text = header + QByteArray::number(qAbs(rows) + (tail.startsWith("File=") ? 1 : 0)) + end;
    for (int i = 0; i < qAbs(rows); ++i)
        text += "File=Photo|/pics|IMG_" + QByteArray::number(i) + ".jpg|title " + QByteArray::number(i)
                + "|Family| |3|0|-1|640*480|" + end;
    if (rows < 0)
        text.replace("NumFile=" + QByteArray::number(-rows), "NumFile=0");
    text += tail;
    const QString path = m_dir->filePath("A1.db");
    writeFile(path, text);
    const PlayList::AlbumFile whole = PlayList::readFile(path, ".db", false);
    PlayList::AlbumFile first = PlayList::readHeader(path, ".db", false);
    QCOMPARE(first.headerOnly, headerAlone);
    QCOMPARE(first.state, headerAlone ? PlayList::FileState::Loaded : whole.state);
    QCOMPARE(first.damage, headerAlone ? QString() : whole.damage);
    // What is wrong is said in a few words, whatever the file holds (CR-only line ends
    // make the whole file its first line).
    QVERIFY2(whole.damage.size() < 200, qPrintable(whole.damage.left(300)));
    QCOMPARE(first.title, whole.title);
    QCOMPARE(first.created, whole.created);
    QCOMPARE(first.dirty, whole.dirty);
    QCOMPARE(first.kivDir, whole.kivDir);
    if (headerAlone) {
        QCOMPARE(first.rows.count(), 0);
        QCOMPARE(first.promised, qAbs(rows) + (tail.startsWith("File=") ? 1 : 0));
    } else {
        QCOMPARE(first.rows.count(), whole.rows.count());
    }

    // The album list's albums: the large file's rows come when first used, as read whole.
    QTreeWidget list;
    LibraryIndex index;
    index.setRoot(m_dir->path());
    const CatalogueContext context{m_dir->path(), m_dir->path()};
    writeFile(m_dir->filePath("library.db"), "NUMLIB=1\r\nLIBRARY=NONE,Photo,Trip,Playlist,A1\r\n");
    index.load();
    CatalogueLoader::LateRows late;
    QStringList problems;
    const QList<PlayList *> albums = CatalogueLoader::load(&list, index, context, "media", nullptr, &problems, &late);
    QCOMPARE(albums.size(), 1);
    PlayList *album = albums.first();
    QCOMPARE(album->rowsPending(), headerAlone);
    QCOMPARE(late.pending(), headerAlone);
    QCOMPARE(album->rowTable().count(), whole.state == PlayList::FileState::Loaded ? whole.rows.count() : 0);
    for (int i = 0; i < album->rowTable().count(); ++i)
        QCOMPARE(album->rowTable().row(i), whole.rows.row(i));
    QCOMPARE(album->fileState(), whole.state);
    QCOMPARE(album->isValid(), whole.state == PlayList::FileState::Loaded);
    QStringList told;
    late.start(&list, [&told](const QStringList &found) { told = found; });
    QTRY_VERIFY(!late.pending());
    QCOMPARE(told.size() + problems.size(), whole.state == PlayList::FileState::Loaded ? 0 : 1);
}

QTEST_MAIN(TestAlbums)
#include "tst_albums.moc"
