#include "lazylibrary.h"
#include "pixmaplookup.h"
#include "prompter.h"
#include "scriptedprompter.h"

#include <QDir>
#include <QImage>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdlib>

namespace {
void writeSolid(const QString &path, const QColor &colour)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(colour);
    QVERIFY(image.save(path, "PNG"));
}
} // namespace

class TestUi : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void installationFoldersInOrder();
    void earlierFolderHidesLater();
    void grayThemeWinsOnlyWithTheFlag();
    void shippedThemeIsSearchedLast();
    void missingNameIsNull();
    void preloadedPicturesAreTheFoldersOwn();
    void confirmationsOfferCancelFirst();
    void lazyLibrarySaysWhatIsMissing();
};

void TestUi::installationFoldersInOrder()
{
    const QStringList blueOnly = PixmapLookup::installationFolders(QStringLiteral("/opt/v"), false);
    QCOMPARE(blueOnly, (QStringList{"/opt/v/Pref/", "/opt/v/Theme/blue/Pixmap/", "/opt/v/Theme/blue/Frame/",
                                    "/opt/v/Theme/blue/UserBadge/"}));
    const QStringList withGray = PixmapLookup::installationFolders(QStringLiteral("/opt/v"), true);
    QCOMPARE(withGray.size(), 7);
    QCOMPARE(withGray.at(1), QStringLiteral("/opt/v/Theme/gray/Pixmap/"));
    QCOMPARE(withGray.at(3), QStringLiteral("/opt/v/Theme/gray/UserBadge/"));
    QCOMPARE(withGray.at(4), QStringLiteral("/opt/v/Theme/blue/Pixmap/"));
}

void TestUi::earlierFolderHidesLater()
{
    QTemporaryDir dir;
    writeSolid(dir.filePath("Pref/playlist.png"), Qt::red);
    writeSolid(dir.filePath("Theme/blue/Pixmap/playlist.png"), Qt::blue);
    writeSolid(dir.filePath("Theme/blue/Frame/Film.png"), Qt::green);
    PixmapLookup lookup;
    lookup.setSearchPaths(PixmapLookup::installationFolders(dir.path(), false));
    QCOMPARE(lookup.image("playlist.png").pixelColor(0, 0), QColor(Qt::red));
    QCOMPARE(lookup.image("Film.png").pixelColor(0, 0), QColor(Qt::green));
    QCOMPARE(lookup.filePath("Film.png"), dir.filePath("Theme/blue/Frame/Film.png"));
}

void TestUi::grayThemeWinsOnlyWithTheFlag()
{
    QTemporaryDir dir;
    writeSolid(dir.filePath("Theme/gray/UserBadge/badge-ok.png"), Qt::gray);
    writeSolid(dir.filePath("Theme/blue/UserBadge/badge-ok.png"), Qt::blue);
    PixmapLookup lookup;
    lookup.setSearchPaths(PixmapLookup::installationFolders(dir.path(), true));
    QCOMPARE(lookup.image("badge-ok.png").pixelColor(0, 0), QColor(Qt::gray));
    lookup.setSearchPaths(PixmapLookup::installationFolders(dir.path(), false));
    QCOMPARE(lookup.image("badge-ok.png").pixelColor(0, 0), QColor(Qt::blue));
}

void TestUi::shippedThemeIsSearchedLast()
{
    const QStringList shipped = PixmapLookup::shippedThemeFolders();
    QCOMPARE(shipped.size(), 3);
    QVERIFY(shipped.first().endsWith("share/vellaro/Theme/blue/Pixmap/"));
    PixmapLookup::configure(QStringLiteral("/nowhere"), false);
    const QStringList all = PixmapLookup::instance().searchPaths();
    QCOMPARE(all.mid(all.size() - 3), shipped);
    QCOMPARE(all.first(), QStringLiteral("/nowhere/Pref/"));
}

void TestUi::missingNameIsNull()
{
    PixmapLookup lookup;
    lookup.setSearchPaths({QStringLiteral("/nowhere/")});
    QVERIFY(lookup.pixmap("nothing-here.png").isNull());
    QVERIFY(lookup.filePath(QString()).isEmpty());
}

void TestUi::preloadedPicturesAreTheFoldersOwn()
{
    QTemporaryDir dir;
    writeSolid(dir.filePath("Pref/playlist.png"), Qt::red);
    writeSolid(dir.filePath("Theme/blue/Pixmap/playlist.png"), Qt::blue);
    writeSolid(dir.filePath("Theme/blue/Pixmap/find.png"), Qt::green);
    writeSolid(dir.filePath("Theme/gray/Pixmap/find.png"), Qt::gray);
    PixmapLookup lookup;
    lookup.setSearchPaths(PixmapLookup::installationFolders(dir.path(), false));
    lookup.preload({"playlist.png", "find.png", "gone.png", "find.png"});
    // The earlier folder's picture, as without a preload; a missing one is null.
    QCOMPARE(lookup.pixmap("playlist.png").toImage().pixelColor(0, 0), QColor(Qt::red));
    QVERIFY(lookup.pixmap("gone.png").isNull());
    QCOMPARE(lookup.pixmap("playlist.png").toImage().pixelColor(0, 0), QColor(Qt::red));
    // Asked for though not listed: read all the same, and named at the end.
    writeSolid(dir.filePath("Theme/blue/Pixmap/help.png"), Qt::yellow);
    QCOMPARE(lookup.pixmap("help.png").toImage().pixelColor(0, 0), QColor(Qt::yellow));
    QStringList unused;
    QCOMPARE(lookup.endPreload(&unused), QStringList{"help.png"});
    QCOMPARE(unused, QStringList{"find.png"});
    // Ended, the dropped picture is read as usual.
    QCOMPARE(lookup.pixmap("find.png").toImage().pixelColor(0, 0), QColor(Qt::green));

    // Other folders set while a preload runs: their pictures, never the old folders'.
    lookup.clearCache();
    lookup.preload({"find.png", "playlist.png"});
    lookup.setSearchPaths(PixmapLookup::installationFolders(dir.path(), true));
    QCOMPARE(lookup.pixmap("find.png").toImage().pixelColor(0, 0), QColor(Qt::gray));
    // A name already cached is not read again.
    lookup.preload({"find.png", "playlist.png"});
    QCOMPARE(lookup.pixmap("playlist.png").toImage().pixelColor(0, 0), QColor(Qt::red));
    QCOMPARE(lookup.endPreload(&unused), QStringList());
    QCOMPARE(unused, QStringList());
    QCOMPARE(lookup.endPreload(), QStringList());
}

void TestUi::confirmationsOfferCancelFirst()
{
    ScriptedPrompter prompter;
    prompter.answers << 1 << 0;
    QVERIFY(prompter.confirm(nullptr, Prompter::Icon::Warning, "Remove?"));
    QVERIFY(!prompter.confirm(nullptr, Prompter::Icon::Warning, "Remove?"));
    QCOMPARE(prompter.messages.at(0).buttons, (QStringList{"Cancel", "OK"}));
    QCOMPARE(prompter.messages.at(0).caption, QStringLiteral("Vellaro"));
    // Dismissing a confirmation is a Cancel.
    QVERIFY(!prompter.confirm(nullptr, Prompter::Icon::Warning, "Remove?"));
}

namespace {
#define VELLARO_TEST_LIBC_FUNCTIONS(F) F(labs) F(strlen)
VELLARO_LAZY_TABLE(LibcTable, VELLARO_TEST_LIBC_FUNCTIONS)
} // namespace

void TestUi::lazyLibrarySaysWhatIsMissing()
{
    // A library found, its function called through the table.
    LazyLibrary libc("libc.so.6");
    decltype(&::labs) absolute = nullptr;
    libc.look("labs", &absolute);
    QVERIFY(libc.usable());
    QCOMPARE(absolute(-7L), 7L);
    // A function the library lacks spoils it, and is named.
    decltype(&::labs) lacking = absolute;
    libc.look("vellaro_no_such_function", &lacking);
    QVERIFY(!libc.usable());
    QVERIFY(lacking == nullptr);
    QVERIFY2(libc.error().contains("vellaro_no_such_function"), qPrintable(libc.error()));
    // A library missing: every function null, the library named.
    LazyLibrary missing("libvellaro-missing.so.9");
    decltype(&::labs) none = absolute;
    missing.look("labs", &none);
    QVERIFY(!missing.usable());
    QVERIFY(none == nullptr);
    QVERIFY2(missing.error().contains("libvellaro-missing.so.9"), qPrintable(missing.error()));
    // A whole table: every function found and called, or the reason none can be.
    const LibcTable table = LibcTable::open("libc.so.6");
    QVERIFY2(table.error.isEmpty(), qPrintable(table.error));
    QCOMPARE(table.labs(-3L), 3L);
    QCOMPARE(table.strlen("four"), std::size_t(4));
    const LibcTable absent = LibcTable::open("libvellaro-missing.so.9");
    QVERIFY(absent.error.contains("libvellaro-missing.so.9"));
    QVERIFY(!absent.labs && !absent.strlen);
}

QTEST_MAIN(TestUi)
#include "tst_ui.moc"
