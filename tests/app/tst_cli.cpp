#include "cataloguelock.h"

#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QtTest>

#include "testfiles.h"

namespace {

struct Run
{
    int code = -1;
    QByteArray out;
    QString err;
    QJsonDocument json() const { return QJsonDocument::fromJson(out); }
};



} // namespace

// vellaro-cli run as a process, as scripts run it.
class TestCli : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void readsHandMadeCatalogue();
    void writesAndReadsBack();
    void exitCodes();
    void lockKeepsWritersOut();
    void searchesAndSmartAlbums();
    void effectsAndThumbnails();

private:
    Run cli(const QStringList &args);
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_install;
};

void TestCli::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_install = m_dir->filePath("install");
}

Run TestCli::cli(const QStringList &args)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", m_dir->path());
    env.insert("XDG_CONFIG_HOME", m_dir->filePath(".config"));
    // A writer finding the catalogue busy waits 10 s; the tests need less.
    env.insert("VELLARO_LOCK_WAIT_MS", "500");
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(VELLARO_CLI), QStringList{"--install-dir", m_install} + args);
    Run run;
    if (!process.waitForFinished(60000))
        return run;
    run.code = process.exitCode();
    run.out = process.readAllStandardOutput();
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

void TestCli::readsHandMadeCatalogue()
{
    writeFile(m_install + "/DataBase/library.db",
              "NUMLIB=2\r\nLIBRARY=NONE,Photo,Holidays,Playlist,Holidays05.01.2003.14.22.10.123\r\n"
              "LIBRARY=NONE,media,Holidays,Playlist,Holidays06.01.2003.09.00.00.000\r\n");
    writeFile(m_install + "/DataBase/db/Holidays05.01.2003.14.22.10.123.db",
              "KivDir=Holidays05.01.2003.14.22.10.123\r\nTitle=Summer\r\nDirty=True\r\nCreationDate=2003-01-05\r\n"
              "NumFile=2\r\nFile=Photo|/pics|a.jpg|Sunset| | |5|7|2|800*600|Anna,Bob\r\n"
              "File=Photo|/pics|b.jpg| |n| |1|0|-1| |\r\n");
    writeFile(m_install + "/DataBase/db/Holidays05.01.2003.14.22.10.123/a.kiv",
              "title=Sunset at the bay\r\nformat=800*600\r\ncategory=holidays\r\ncomment=warm\r\nlove=5\r\n"
              "author=Me\r\nfrom=Camera\r\ndate=2003-01-05T14:22:10\r\nfiletype=Photo\r\npersoninit=Anna,Bob\r\n"
              "event=Trip\r\nplace=Nice\r\nuserbadge=2\r\n");

    Run albums = cli({"--json", "albums"});
    QCOMPARE(albums.code, 0);
    const QJsonArray list = albums.json().array();
    QCOMPARE(list.size(), 2);
    const QJsonObject first = list.at(0).toObject();
    QCOMPARE(first.value("id").toString(), QStringLiteral("Holidays05.01.2003.14.22.10.123"));
    QCOMPARE(first.value("class").toString(), QStringLiteral("Playlist"));
    QCOMPARE(first.value("name").toString(), QStringLiteral("Holidays"));
    QCOMPARE(first.value("title").toString(), QStringLiteral("Summer"));
    QCOMPARE(first.value("group").toString(), QStringLiteral("NONE"));
    QCOMPARE(first.value("kind").toString(), QStringLiteral("Photo"));
    QVERIFY(first.value("rows").isDouble());
    QCOMPARE(first.value("rows").toInt(), 2);
    QCOMPARE(first.value("valid").toBool(), true);
    QCOMPARE(list.at(1).toObject().value("rows").toInt(), 0);  // its file is missing

    // Two albums are named Holidays: a name must designate one album.
    Run ambiguous = cli({"rows", "Holidays"});
    QCOMPARE(ambiguous.code, 1);
    QVERIFY(!ambiguous.err.isEmpty());

    Run rows = cli({"--json", "rows", "Holidays05.01.2003.14.22.10.123"});
    QCOMPARE(rows.code, 0);
    const QJsonArray table = rows.json().array();
    QCOMPARE(table.size(), 2);
    const QJsonObject a = table.at(0).toObject();
    QCOMPARE(a.value("love").toInt(), 5);
    QVERIFY(a.value("views").isDouble());
    QCOMPARE(a.value("views").toInt(), 7);
    QCOMPARE(a.value("badge").toInt(), 2);
    QCOMPARE(a.value("persons").toString(), QStringLiteral("Anna,Bob"));
    QCOMPARE(a.value("comment").toString(), QStringLiteral(" "));  // a stored " " stays " "
    QCOMPARE(table.at(1).toObject().value("category").toString(), QStringLiteral("n"));  // "n" is a text

    Run props = cli({"--json", "props", "Holidays05.01.2003.14.22.10.123", "a.jpg"});
    QCOMPARE(props.code, 0);
    const QJsonObject p = props.json().object();
    QCOMPARE(p.value("title").toString(), QStringLiteral("Sunset at the bay"));
    QCOMPARE(p.value("place").toString(), QStringLiteral("Nice"));
    QCOMPARE(p.value("badge").toInt(), 2);
    QCOMPARE(p.value("views").toInt(), 7);
    QCOMPARE(p.value("caption").toString(), QStringLiteral("a.jpg"));
    QCOMPARE(p.keys().size(), 15);
}

void TestCli::writesAndReadsBack()
{
    const QString pics = m_dir->filePath("pics");
    QDir().mkpath(pics);
    for (const char *name : {"Dune.jpg", "Wood.jpg"}) {
        QImage image(30, 20, QImage::Format_RGB32);
        image.fill(Qt::darkGreen);
        QVERIFY(image.save(pics + "/" + name, "JPEG"));
    }
    Run made = cli({"--json", "new-album", "Trip"});
    QCOMPARE(made.code, 0);
    const QString id = made.json().object().value("id").toString();
    QVERIFY(id.startsWith("Trip"));
    QCOMPARE(id.size(), QStringLiteral("Trip05.01.2003.14.22.10.123").size());

    QCOMPARE(cli({"add", "Trip", pics + "/Dune.jpg", pics + "/Wood.jpg"}).code, 0);
    Run set = cli({"set", "Trip", "Dune.jpg", "title=Dune at dusk", "love=4", "persons=Anna", "badge=1"});
    QCOMPARE(set.code, 0);
    Run rows = cli({"--json", "rows", "Trip"});
    const QJsonObject dune = rows.json().array().at(0).toObject();
    QCOMPARE(dune.value("title").toString(), QStringLiteral("Dune at dusk"));
    QCOMPARE(dune.value("love").toInt(), 4);
    QCOMPARE(dune.value("badge").toInt(), 1);
    QCOMPARE(dune.value("format").toString(), QStringLiteral("30*20"));
    Run props = cli({"--json", "props", "Trip", "Dune.jpg"});
    QCOMPARE(props.json().object().value("persons").toString(), QStringLiteral("Anna"));

    Run dynamic = cli({"--json", "new-dynamic-album", pics});
    QCOMPARE(dynamic.code, 0);
    QCOMPARE(dynamic.json().object().value("rows").toInt(), 2);
    QCOMPARE(cli({"new-dynamic-album", pics}).code, 1);  // already in the catalogue
    const QString dynamicId = dynamic.json().object().value("id").toString();
    QCOMPARE(cli({"remove-album", dynamicId}).code, 0);
    QVERIFY(readAll(m_install + "/DataBase/hidedir.list").contains(pics.toUtf8()));
    QVERIFY(QFile::exists(pics + "/Dune.jpg"));  // removing an album never touches the pictures
    Run albums = cli({"--json", "albums"});
    QCOMPARE(albums.json().array().size(), 1);
}

void TestCli::exitCodes()
{
    QCOMPARE(cli({}).code, 2);
    QCOMPARE(cli({"frobnicate"}).code, 2);
    QCOMPARE(cli({"albums"}).code, 2);  // no catalogue yet
    QCOMPARE(cli({"new-album", "Paris, France"}).code, 1);
    QCOMPARE(cli({"new-album", "Paris"}).code, 0);
    Run refused = cli({"set", "Paris", "nothing.jpg", "title=x"});
    QCOMPARE(refused.code, 1);
    QCOMPARE(cli({"set", "Paris"}).code, 2);
    Run bad = cli({"add", "Paris", m_dir->filePath("none.jpg")});
    QCOMPARE(bad.code, 1);
    QVERIFY(bad.err.contains("Could not open this file."));
}

void TestCli::lockKeepsWritersOut()
{
    QCOMPARE(cli({"new-album", "First"}).code, 0);
    {
        CatalogueLock held(m_install + "/DataBase");
        QVERIFY(held.tryLock());
        Run refused = cli({"new-album", "Second"});
        QCOMPARE(refused.code, 1);
        QVERIFY(refused.err.contains("open in Vellaro"));
        QCOMPARE(cli({"albums"}).code, 0);  // reading always works
    }
    // A lock left by a process that died is taken over.
    writeFile(m_install + "/DataBase/" + CatalogueLock::fileName(),
              "999999999\nvellaro\n" + QSysInfo::machineHostName().toUtf8() + "\n");
    QCOMPARE(cli({"new-album", "Third"}).code, 0);
}

void TestCli::searchesAndSmartAlbums()
{
    writeFile(m_install + "/DataBase/library.db",
              "NUMLIB=2\r\nLIBRARY=NONE,Photo,A,Playlist,A1\r\nLIBRARY=NONE,Photo,B,Playlist,B1\r\n");
    const QByteArray head = "Title=t\r\nDirty=True\r\nCreationDate=2003-01-05\r\nNumFile=2\r\n";
    writeFile(m_install + "/DataBase/db/A1.db",
              "KivDir=A1\r\n" + head + "File=Photo|/sun/pics|1.jpg|Sunset| | |5|3|0|1*1|Anna\r\n"
                                       "File=Photo|/sun/pics|2.jpg|Road| | |3|9|-1|1*1|Bob\r\n");
    writeFile(m_install + "/DataBase/db/B1.db",
              "KivDir=B1\r\n" + head + "File=Photo|/b|1.jpg|Dune|Family|SUNNY|4|1|-1|1*1|\r\n"
                                       "File=Photo|/b|3.jpg|Hill| | |2|0|-1|1*1|\r\n");
    Run text = cli({"--json", "search", "sun"});
    QCOMPARE(text.code, 0);
    const QJsonArray found = text.json().array();
    QCOMPARE(found.size(), 2);
    QCOMPARE(found.at(0).toObject().value("album").toString(), QStringLiteral("A1"));
    QCOMPARE(found.at(1).toObject().value("file").toString(), QStringLiteral("1.jpg"));
    QCOMPARE(found.at(1).toObject().value("album").toString(), QStringLiteral("B1"));
    QVERIFY(found.at(0).toObject().value("badge").isDouble());

    Run love = cli({"--json", "search", "3", "--attribute", "Love", "--condition", "More Than"});
    QCOMPARE(love.json().array().size(), 3);  // 5, 3 and 4
    Run all = cli({"--json", "smart", "AllPhoto"});
    QCOMPARE(all.json().array().size(), 4);
    // The podium's album: the three most viewed, most viewed first, the unviewed left out.
    Run stats = cli({"--json", "smart", "Stats"});
    const QJsonArray podium = stats.json().array();
    QCOMPARE(podium.size(), 3);
    const QList<QPair<QString, int>> ranked{{"2.jpg", 9}, {"1.jpg", 3}, {"1.jpg", 1}};
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(podium.at(i).toObject().value("file").toString(), ranked[i].first);
        QCOMPARE(podium.at(i).toObject().value("views").toInt(), ranked[i].second);
    }
    QCOMPARE(podium.at(2).toObject().value("album").toString(), QStringLiteral("B1"));
    Run subject = cli({"--json", "smart", "BySubject", "bob"});
    QCOMPARE(subject.json().array().size(), 1);
    Run favourites = cli({"--json", "smart", "Favorites"});
    QCOMPARE(favourites.json().array().size(), 1);

    // A dynamic album without a bound folder is invalid and blocks every smart album.
    writeFile(m_install + "/DataBase/library.db",
              "NUMLIB=3\r\nLIBRARY=NONE,Photo,A,Playlist,A1\r\nLIBRARY=NONE,Photo,B,Playlist,B1\r\n"
              "LIBRARY=NONE,Photo,D,DirectoryPlaylist,D1\r\n");
    Run blocked = cli({"smart", "AllPhoto"});
    QCOMPARE(blocked.code, 1);
    QVERIFY(blocked.err.contains("DataBase Query error : Please remove corrupted album."));
}

void TestCli::effectsAndThumbnails()
{
    QImage picture(800, 400, QImage::Format_RGB32);
    picture.fill(qRgb(255, 255, 255));
    const QString input = m_dir->filePath("white.png");
    QVERIFY(picture.save(input));
    // To blue then resize to 320: white becomes (204, 204, 255), 800 x 400 becomes 320 x 160.
    Run fx = cli({"fx", input, m_dir->filePath("out.png"), "to-blue", "resize320"});
    QCOMPARE(fx.code, 0);
    const QImage out(m_dir->filePath("out.png"));
    QCOMPARE(out.size(), QSize(320, 160));
    QCOMPARE(out.pixel(10, 10), qRgb(204, 204, 255));
    QCOMPARE(cli({"fx", input, m_dir->filePath("g.gif"), "intensity=-0.5"}).code, 0);
    QCOMPARE(QImage(m_dir->filePath("g.gif")).pixel(0, 0), qRgb(128, 128, 128));  // 255 - 127
    QCOMPARE(cli({"fx", input, m_dir->filePath("x.png"), "sharpen"}).code, 2);
    QCOMPARE(cli({"fx", input, m_dir->filePath("x.tiff"), "grey"}).code, 1);
    QCOMPARE(cli({"fx", m_dir->filePath("none.png"), m_dir->filePath("x.png"), "grey"}).code, 1);
    Run thumb = cli({"thumb", input, m_dir->filePath("t.jpg")});
    QCOMPARE(thumb.code, 0);
    QCOMPARE(QImage(m_dir->filePath("t.jpg")).size(), QSize(99, 73));
}

QTEST_MAIN(TestCli)
#include "tst_cli.moc"
