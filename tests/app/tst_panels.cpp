// The statistics podium, the preferences dialog and the mini window, driven as a user
// drives them, checked on what they show and on the files they write.
#include "ambriomainwindow.h"
#include "cataloguelock.h"
#include "kivpixmapview.h"
#include "kivviewitem.h"
#include "libraryindex.h"
#include "librarylist.h"
#include "media.h"
#include "minime.h"
#include "organiserfixture.h"
#include "picturecommands.h"
#include "pixmaplookup.h"
#include "playlist.h"
#include "scriptedprompter.h"
#include "settingsstore.h"
#include "smartplaylist.h"
#include "statsview.h"
#include "testfiles.h"
#include "thumbsview.h"
#include "viewphoto.h"
#include "xdisplay.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QToolButton>
#include <QtTest>

class TestPanels : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void podiumFollowsTheViews();
    void longNameWrapsInItsBox();
    void onePictureInTwoAlbumsStandsOnce();
    void albumIconIsItsFirstPicture();
    void albumIconsInSightComeFirst();
    void preferencesCancelAndOk();
    void frameListKeepsTheStoredFrame();
    void miniWindowAlbumsDropsAndBack();
    void miniWindowReservesItsStrip();
    void miniWindowClosedOtherwise();

private:
    QString path(const QString &name) const { return m_dir->filePath(name); }
    // Album "Trip" (id Trip1) of pictures of one colour each, with their view counts;
    // the catalogue's index also names an album whose id is empty.
    void makeCatalogue(const QList<QPair<QString, int>> &pictures, bool ghost = false);
    QColor colourOf(int index) const { return QColor::fromHsv((index * 67) % 360, 200, 220); }
    // The view counts the album file holds, by file name.
    QMap<QString, int> storedViews() const;
    void openAlbum(AmbrioMainWindow *page, const QString &title);
    void viewByDoubleClick(AmbrioMainWindow *page, const QString &fileName);
    void selectStatistics(AmbrioMainWindow *page);

    std::unique_ptr<QTemporaryDir> m_dir;
    ScriptedPrompter m_prompter;
    OrganiserFixture m_fixture;
};

void TestPanels::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_prompter = ScriptedPrompter();
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, path("settings"));
    PixmapLookup::configure(path("install"), false);
}

void TestPanels::cleanup()
{
    m_fixture.reset();
    m_dir.reset();
}

void TestPanels::makeCatalogue(const QList<QPair<QString, int>> &pictures, bool ghost)
{
    QByteArray rows;
    for (int i = 0; i < pictures.size(); ++i) {
        QImage picture(120, 90, QImage::Format_RGB32);
        picture.fill(colourOf(i));
        QDir().mkpath(path("pics"));
        QVERIFY(picture.save(path("pics/") + pictures[i].first, "PNG"));
        rows += "File=Photo|" + path("pics").toUtf8() + "|" + pictures[i].first.toUtf8() + "| | | |1|"
                + QByteArray::number(pictures[i].second) + "|-1|120*90|\r\n";
    }
    writeFile(path("install/DataBase/library.db"),
              QByteArray(ghost ? "NUMLIB=2\r\n" : "NUMLIB=1\r\n") + "LIBRARY=NONE,Photo,Trip,Playlist,Trip1\r\n"
                  + (ghost ? "LIBRARY=NONE,Photo,Ghost,Playlist,\r\n" : ""));
    writeFile(path("install/DataBase/db/Trip1.db"), "KivDir=Trip1\r\nTitle=Trip\r\nDirty=False\r\nCreationDate=2003-12-31\r\n"
                                                    "NumFile=" + QByteArray::number(pictures.size()) + "\r\n" + rows);
}

QMap<QString, int> TestPanels::storedViews() const
{
    QMap<QString, int> views;
    for (const QByteArray &line : readAll(path("install/DataBase/db/Trip1.db")).split('\n')) {
        if (!line.startsWith("File="))
            continue;
        const QList<QByteArray> fields = line.trimmed().mid(5).split('|');
        views.insert(QString::fromUtf8(fields.value(2)), fields.value(7).toInt());
    }
    return views;
}

void TestPanels::openAlbum(AmbrioMainWindow *page, const QString &title)
{
    for (PlayList *album : page->albumList()->storedAlbums()) {
        if (album->title() == title) {
            QRect at = page->albumList()->visualItemRect(album);
            QTest::mouseClick(page->albumList()->viewport(), Qt::LeftButton, {}, at.center());
            QTRY_VERIFY(!page->pictures()->isLoading());
            return;
        }
    }
    QFAIL("no such album");
}

void TestPanels::viewByDoubleClick(AmbrioMainWindow *page, const QString &fileName)
{
    thumbsView *view = page->photoView();
    KivViewItem *item = view->itemByPath(path("pics/") + fileName);
    QVERIFY(item);
    const QPoint at = view->cellGeometry(item->row(), item->column()).center();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
    QVERIFY(page->viewer()->isVisible());
    QTest::keyClick(page->viewer()->findChild<KIVPixmapView *>(), Qt::Key_Escape);
    QVERIFY(!page->viewer()->isVisible());
}

void TestPanels::selectStatistics(AmbrioMainWindow *page)
{
    PlayList *stats = page->albumList()->statistics();
    QTest::mouseClick(page->albumList()->viewport(), Qt::LeftButton, {},
                      page->albumList()->visualItemRect(stats).center());
    QVERIFY(page->statsView()->isVisible());
}

namespace {

int distance(const QColor &a, const QColor &b)
{
    return qAbs(a.red() - b.red()) + qAbs(a.green() - b.green()) + qAbs(a.blue() - b.blue());
}

// The middle of place `n`'s thumbnail on the podium, and what the thumbnail file
// holds there.
QColor podiumMiddle(const QImage &podium, int n)
{
    return podium.pixelColor(StatsView::thumbnailAt(n) + QPoint(49, 36));
}

// Dark blue-dominant pixels: the names' ink.
bool isInk(const QColor &c)
{
    return c.blue() > c.red() + 60 && c.blue() > c.green() + 60 && c.red() < 120;
}

} // namespace

void TestPanels::podiumFollowsTheViews()
{
    makeCatalogue({{"a.png", 4}, {"b.png", 0}, {"c.png", 2}, {"d.png", 0}});
    AmbrioMainWindow *page = m_fixture.start(path("install"), &m_prompter);
    const QImage bare = kivPixmap("podium.png").toImage();
    QVERIFY(!bare.isNull());

    // Two viewed pictures: the podium as drawn, no thumbnail on it.
    selectStatistics(page);
    QVERIFY(!page->photoView()->isVisible() || page->statsView()->geometry() == page->photoView()->geometry());
    QImage podium = page->statsView()->podium().toImage();
    for (int n = 1; n <= 3; ++n) {
        QVERIFY(!page->statsView()->place(n));
        QCOMPARE(podiumMiddle(podium, n), bare.pixelColor(StatsView::thumbnailAt(n) + QPoint(49, 36)));
    }

    // A third picture viewed through the viewer: the places by their views, ties in
    // album order (a 4, c 2, d 1), each with its thumbnail and its name.
    openAlbum(page, "Trip");
    viewByDoubleClick(page, "d.png");
    QCOMPARE(storedViews().value("d.png"), 1);
    selectStatistics(page);
    podium = page->statsView()->podium().toImage();
    const QStringList expected{"a.png", "c.png", "d.png"};
    for (int n = 1; n <= 3; ++n) {
        QCOMPARE(page->statsView()->place(n)->fileName(), expected[n - 1]);
        // The thumbnail comes from the album's thumbnail files.
        const QImage thumbnail(path("install/DataBase/db/Trip1/") + expected[n - 1]);
        QVERIFY2(!thumbnail.isNull(), qPrintable(expected[n - 1]));
        QVERIFY2(distance(podiumMiddle(podium, n), thumbnail.pixelColor(49, 36)) < 30, qPrintable(expected[n - 1]));
        bool inked = false;
        const QRect box = StatsView::nameBox(n);
        for (int y = box.top(); y <= box.bottom() && !inked; ++y) {
            for (int x = box.left(); x <= box.right() && !inked; ++x)
                inked = isInk(podium.pixelColor(x, y));
        }
        QVERIFY2(inked, qPrintable(expected[n - 1]));
    }

    // d viewed four times more: first now; c and a follow.
    openAlbum(page, "Trip");
    for (int i = 0; i < 4; ++i)
        viewByDoubleClick(page, "d.png");
    QCOMPARE(storedViews(), (QMap<QString, int>{{"a.png", 4}, {"b.png", 0}, {"c.png", 2}, {"d.png", 5}}));
    selectStatistics(page);
    QCOMPARE(page->statsView()->place(1)->fileName(), QStringLiteral("d.png"));
    QCOMPARE(page->statsView()->place(2)->fileName(), QStringLiteral("a.png"));
    QCOMPARE(page->statsView()->place(3)->fileName(), QStringLiteral("c.png"));
    podium = page->statsView()->podium().toImage();
    QVERIFY(distance(podiumMiddle(podium, 1), colourOf(3)) < 40);
    QVERIFY(distance(podiumMiddle(podium, 2), colourOf(0)) < 40);

    // Over the thumbnail view at its size, as the window is resized.
    page->resize(1100, 760);
    QTRY_COMPARE(page->statsView()->geometry(), page->photoView()->geometry());
    QVERIFY(page->photoView()->width() > 600);

    // Another album hides the podium; the thumbnails come back.
    openAlbum(page, "Trip");
    QVERIFY(!page->statsView()->isVisible());
    QCOMPARE(page->photoView()->count(), 4);
}

void TestPanels::longNameWrapsInItsBox()
{
    const QString name = QStringLiteral("our long summer holiday by the sea with the whole family.png");
    makeCatalogue({{name, 9}, {"b.png", 3}, {"c.png", 2}});
    AmbrioMainWindow *page = m_fixture.start(path("install"), &m_prompter);
    selectStatistics(page);
    QCOMPARE(page->statsView()->place(1)->fileName(), name);
    const QImage podium = page->statsView()->podium().toImage();
    const QRect box = StatsView::nameBox(1);
    // Ink in the box's upper and lower halves (two lines), none beside it nor above it,
    // nor in the thumbnail's first rows below it.
    QList<int> inkRows;
    for (int y = box.top(); y <= box.bottom(); ++y) {
        for (int x = box.left(); x <= box.right(); ++x) {
            if (isInk(podium.pixelColor(x, y))) {
                inkRows << y;
                break;
            }
        }
    }
    QVERIFY(!inkRows.isEmpty());
    QVERIFY2(inkRows.first() < box.top() + box.height() / 2 && inkRows.last() > box.top() + box.height() / 2,
             qPrintable(QString::number(inkRows.first()) + " to " + QString::number(inkRows.last())));
    for (int y = box.top() - 5; y <= box.bottom() + 4; ++y) {
        for (int x = box.left() - 6; x <= box.right() + 6; ++x) {
            if (box.contains(x, y))
                continue;
            QVERIFY2(!isInk(podium.pixelColor(x, y)), qPrintable(QStringLiteral("%1,%2").arg(x).arg(y)));
        }
    }
    // Two lines of whole words; what does not fit ends the second with an ellipsis.
    const QStringList lines = StatsView::nameLines(name, QFontMetrics(QFont()), box);
    QCOMPARE(lines.size(), 2);
    QVERIFY(name.startsWith(lines[0] + " "));
    QVERIFY2(lines[1].endsWith(QChar(0x2026)), qPrintable(lines[1]));
    QCOMPARE(StatsView::nameLines("short.png", QFontMetrics(QFont()), box), QStringList{"short.png"});
    // Words share a line while they fit; the first line is full.
    QCOMPARE(StatsView::nameLines("my cat.png", QFontMetrics(QFont()), box), QStringList{"my cat.png"});
    const QString nextWord = name.mid(lines[0].size() + 1).section(' ', 0, 0);
    QVERIFY(QFontMetrics(QFont()).horizontalAdvance(lines[0] + " " + nextWord) > box.width());
}

void TestPanels::onePictureInTwoAlbumsStandsOnce()
{
    // a.png is in Trip (5 views) and in Other (4 views): 9 in all, first, once. c and d
    // have as many views: c, first in the album, stands before d.
    makeCatalogue({{"a.png", 5}, {"b.png", 6}, {"c.png", 2}, {"d.png", 2}});
    writeFile(path("install/DataBase/library.db"),
              "NUMLIB=2\r\nLIBRARY=NONE,Photo,Trip,Playlist,Trip1\r\nLIBRARY=NONE,Photo,Other,Playlist,Other1\r\n");
    writeFile(path("install/DataBase/db/Other1.db"), "KivDir=Other1\r\nTitle=Other\r\nDirty=False\r\nCreationDate=2003-12-31\r\n"
                                                     "NumFile=1\r\nFile=Photo|" + path("pics").toUtf8() + "|a.png| | | |1|4|-1|120*90|\r\n");
    AmbrioMainWindow *page = m_fixture.start(path("install"), &m_prompter);
    selectStatistics(page);
    QCOMPARE(page->statsView()->place(1)->fileName(), QStringLiteral("a.png"));
    QCOMPARE(page->statsView()->place(1)->viewCount(), 9);
    QCOMPARE(page->statsView()->place(2)->fileName(), QStringLiteral("b.png"));
    QCOMPARE(page->statsView()->place(3)->fileName(), QStringLiteral("c.png"));
}

void TestPanels::albumIconIsItsFirstPicture()
{
    makeCatalogue({{"a.png", 0}, {"b.png", 0}, {"c.png", 0}});
    // Thumbnail files of their own colours, newer than the pictures.
    const QList<QPair<QString, QColor>> thumbnails{{"a.png", Qt::magenta}, {"b.png", Qt::cyan}, {"c.png", Qt::yellow}};
    QDir().mkpath(path("install/DataBase/db/Trip1"));
    for (const auto &[name, colour] : thumbnails) {
        QImage thumbnail(99, 73, QImage::Format_RGB32);
        thumbnail.fill(colour);
        QVERIFY(thumbnail.save(path("install/DataBase/db/Trip1/") + name, "JPEG"));
    }
    AmbrioMainWindow *page = m_fixture.start(path("install"), &m_prompter);
    auto iconMiddle = [page] {
        PlayList *trip = page->albumList()->storedAlbums().first();
        const QImage icon = static_cast<QTreeWidgetItem *>(trip)->icon(0).pixmap(page->albumList()->iconSize()).toImage();
        return icon.pixelColor(icon.width() / 2, icon.height() / 2);
    };
    // The window shows before the thumbnail files are read: the album's own picture
    // first, its first picture soon after (before the album was ever opened), and after
    // it was opened (whichever thumbnail came first).
    QVERIFY(page->albumList()->iconsPending());
    QVERIFY2(distance(iconMiddle(), Qt::magenta) > 60, qPrintable(iconMiddle().name()));
    QTRY_VERIFY2(distance(iconMiddle(), Qt::magenta) < 60, qPrintable(iconMiddle().name()));
    openAlbum(page, "Trip");
    // The thumbnails reach the album's cache in the order they are ready: b's first.
    PlayList *trip = page->albumList()->storedAlbums().first();
    QPixmap early(99, 73);
    early.fill(Qt::cyan);
    trip->thumbCache().prepend({early, QStringLiteral("b.png"), QDateTime::currentDateTime()});
    page->albumList()->setPixmapPlaylist(trip);
    QVERIFY2(distance(iconMiddle(), Qt::magenta) < 60, qPrintable(iconMiddle().name()));

    // An album whose pictures are all gone keeps its own picture once opened, not the
    // blank of its missing first picture.
    cleanup();
    init();
    makeCatalogue({{"a.png", 0}, {"b.png", 0}});
    QVERIFY(QFile::remove(path("pics/a.png")) && QFile::remove(path("pics/b.png")));
    page = m_fixture.start(path("install"), &m_prompter);
    QVERIFY(page->pref()->albumCache());
    const QImage closed = static_cast<QTreeWidgetItem *>(page->albumList()->storedAlbums().first())
                              ->icon(0).pixmap(page->albumList()->iconSize()).toImage();
    QVERIFY(distance(closed.pixelColor(closed.width() / 2, closed.height() / 2), Qt::white) > 60);
    openAlbum(page, "Trip");
    trip = page->albumList()->storedAlbums().first();
    QTRY_COMPARE(trip->thumbCache().size(), 2);
    page->albumList()->setPixmapPlaylist(trip);
    QCOMPARE(static_cast<QTreeWidgetItem *>(trip)->icon(0).pixmap(page->albumList()->iconSize()).toImage(), closed);
}

void TestPanels::albumIconsInSightComeFirst()
{
    // 600 albums of one picture each, every first thumbnail file a magenta JPEG.
    constexpr int Count = 600;
    QImage thumbnail(99, 73, QImage::Format_RGB32);
    thumbnail.fill(Qt::magenta);
    QByteArray library = "NUMLIB=" + QByteArray::number(Count) + "\r\n";
    for (int i = 0; i < Count; ++i) {
        const QByteArray id = "Album" + QByteArray::number(i);
        library += "LIBRARY=NONE,Photo," + id + ",Playlist," + id + "\r\n";
        writeFile(path("install/DataBase/db/") + id + ".db",
                  "KivDir=" + id + "\r\nTitle=" + id + "\r\nDirty=False\r\nCreationDate=2003-12-31\r\nNumFile=1\r\n"
                  "File=Photo|" + path("pics").toUtf8() + "|a.png| | | |1|0|-1|120*90|\r\n");
        QDir().mkpath(path("install/DataBase/db/") + id);
        QVERIFY(thumbnail.save(path("install/DataBase/db/") + id + "/a.png", "PNG"));
    }
    writeFile(path("install/DataBase/library.db"), library);
    AmbrioMainWindow *page = m_fixture.start(path("install"), &m_prompter);
    libraryList *list = page->albumList();
    QCOMPARE(list->storedAlbums().size(), Count);
    auto isPicture = [list](PlayList *album) {
        const QImage icon = static_cast<QTreeWidgetItem *>(album)->icon(0).pixmap(list->iconSize()).toImage();
        return distance(icon.pixelColor(icon.width() / 2, icon.height() / 2), Qt::magenta) < 60;
    };
    // Scrolled to the end before any thumbnail file is read: the first slice of reading
    // fits the albums in sight at the end, while some above them still wait.
    QVERIFY(list->iconsPending());
    list->scrollToBottom();
    PlayList *last = list->storedAlbums().last();
    QVERIFY(!isPicture(last));
    // One round of events at a time, so that a busy machine's slow polling never lets the
    // reading finish before the count.
    QElapsedTimer waited;
    waited.start();
    while (!isPicture(last) && waited.elapsed() < 10000)
        QCoreApplication::processEvents();
    QVERIFY(isPicture(last));
    int waiting = 0;
    for (PlayList *album : list->storedAlbums())
        waiting += album->iconPending() ? 1 : 0;
    QVERIFY2(waiting > 0, "every icon was read before those in sight");
    // In the end every album shows its picture.
    QTRY_VERIFY(!list->iconsPending());
    for (PlayList *album : list->storedAlbums())
        QVERIFY(isPicture(album));
}

void TestPanels::preferencesCancelAndOk()
{
    makeCatalogue({{"a.png", 0}, {"b.png", 0}});
    auto pref = std::make_unique<prefImplementation>();
    pref->setInstallPath(path("install"));
    pref->setFirstStartup(false);
    pref->setMenuBar(true);
    media window(nullptr, QStringLiteral("ambrio"), {}, pref.get(), &m_prompter);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    AmbrioMainWindow *page = window.organiser();
    openAlbum(page, "Trip");
    auto *options = window.findChild<QPushButton *>("optionsButton");
    // A click on a check box, its page raised first by its button, as a user does.
    auto tick = [pref = pref.get()](const char *name) {
        const QMap<QString, const char *> pages{
            {"checkBoxmenubar", "ToolButtongeneral"},       {"checkBoxcachethumbs", "ToolButtondatabase"},
            {"checkBoxShowFirst", "ToolButtondatabase"},    {"checkBoxshowfilename", "ToolButtoniconview"},
            {"checkBoxFrameAround", "ToolButtoniconview"},  {"checkBoxshowlove", "ToolButtoniconview"},
            {"checkBoxFastThumbs", "ToolButtoniconview"}};
        QTest::mouseClick(pref->findChild<QToolButton *>(pages.value(name)), Qt::LeftButton);
        auto *box = pref->findChild<QCheckBox *>(name);
        QVERIFY(box->isVisible());
        const bool was = box->isChecked();
        // On its square: the box's row is wider than its square and words.
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
        QCOMPARE(box->isChecked(), !was);
    };
    auto frameList = [pref = pref.get()] { return pref->findChild<QComboBox *>("comboBoxFrameList"); };
    const QImage before = page->photoView()->viewport()->grab().toImage();

    // Everything changed, then Cancel: nothing is.
    m_prompter.onExec = [&](QDialog *dialog) {
        QCOMPARE(dialog, static_cast<QDialog *>(pref.get()));
        dialog->show();
        for (const char *name : {"checkBoxmenubar", "checkBoxcachethumbs", "checkBoxShowFirst", "checkBoxshowfilename",
                                 "checkBoxFrameAround", "checkBoxshowlove", "checkBoxFastThumbs"})
            tick(name);
        frameList()->setCurrentText("Film");
        dialog->hide();
    };
    m_prompter.dialogResults << QDialog::Rejected;
    QTest::mouseClick(options, Qt::LeftButton);
    QVERIFY(window.menuBar()->isVisible());
    QCOMPARE(pref->frame(), QStringLiteral("Photo (default)"));
    QCOMPARE(page->photoView()->frameName(), QStringLiteral("Photo (default)"));
    for (auto setting : {prefImplementation::AlbumCache, prefImplementation::AlbumIconType, prefImplementation::PaintFrame,
                         prefImplementation::FastThumbs})
        QCOMPARE(pref->value(setting), prefImplementation::defaultValue(setting));
    QVERIFY(!pref->viewFileName());
    QVERIFY(!pref->showAllFavorites());
    QCOMPARE(page->photoView()->viewport()->grab().toImage(), before);

    // Shown again, the dialog shows the values in force, not the cancelled ones.
    m_prompter.onExec = [&](QDialog *dialog) {
        QVERIFY(pref->findChild<QCheckBox *>("checkBoxmenubar")->isChecked());
        QCOMPARE(frameList()->currentText(), QStringLiteral("Photo (default)"));
        dialog->show();
        // The menu bar unticked (its picture goes), another frame, another editor.
        tick("checkBoxmenubar");
        QVERIFY(!pref->findChild<QWidget *>("pixmapMenuBar")->isVisible());
        frameList()->setCurrentText("Film");
        auto *editor = pref->findChild<QLineEdit *>("lineEditExternalEditor");
        editor->clear();
        QTest::keyClicks(editor, "krita");
        dialog->hide();
    };
    m_prompter.dialogResults << QDialog::Accepted;
    QTest::mouseClick(options, Qt::LeftButton);
    QVERIFY(window.menuBar()->isHidden());
    QCOMPARE(page->photoView()->frameName(), QStringLiteral("Film"));
    // Drawn with the new frame at once.
    QVERIFY(page->photoView()->viewport()->grab().toImage() != before);
    QCOMPARE(pref->externalEditor(), QStringLiteral("krita"));
    // Nothing reaches the settings file before the window closes.
    QVERIFY(!SettingsStore::open()->contains("//Vellaro//ThumbsBay//Frame"));

    // The frame around the thumbnails alone switched off: the thumbnails are drawn
    // again at once (the view asks for a paint), not when something else covers them.
    struct PaintCounter : QObject
    {
        int paints = 0;
        bool eventFilter(QObject *, QEvent *event) override
        {
            paints += event->type() == QEvent::Paint;
            return false;
        }
    } counter;
    m_prompter.onExec = [&](QDialog *dialog) {
        dialog->show();
        tick("checkBoxFrameAround");
        dialog->hide();
        QCoreApplication::processEvents();
        page->photoView()->viewport()->installEventFilter(&counter);
    };
    m_prompter.dialogResults << QDialog::Accepted;
    QTest::mouseClick(options, Qt::LeftButton);
    QVERIFY(!pref->paintFrame());
    QTRY_VERIFY(counter.paints > 0);
    page->photoView()->viewport()->removeEventFilter(&counter);

    // "&Help" shows the guide's words on the preferences.
    m_prompter.onExec = [&](QDialog *dialog) {
        dialog->show();
        QTest::mouseClick(pref->findChild<QPushButton *>("buttonHelp"), Qt::LeftButton);
        auto *help = pref->findChild<QDialog *>("preferences help");
        QVERIFY(help);
        QVERIFY(help->findChild<QTextBrowser *>()->toPlainText().contains("Display Menu Bar"));
        help->close();
        dialog->hide();
    };
    m_prompter.dialogResults << QDialog::Rejected;
    QTest::mouseClick(options, Qt::LeftButton);

    window.close();
    auto store = SettingsStore::open();
    QCOMPARE(store->value("//Vellaro//ThumbsBay//Frame").toString(), QStringLiteral("Film"));
    QCOMPARE(store->value("//Vellaro//MenuBar").toBool(), false);
    QCOMPARE(store->value("//Vellaro//ExternalEditor").toString(), QStringLiteral("krita"));
    QCOMPARE(store->value("//Vellaro//AlbumCache").toBool(), true);
}

void TestPanels::frameListKeepsTheStoredFrame()
{
    prefImplementation pref;
    pref.showValues();
    auto *list = pref.findChild<QComboBox *>("comboBoxFrameList");
    const QStringList offered{"Slide", "Photo (default)", "Film", "rectangle"};
    auto items = [list] {
        QStringList texts;
        for (int i = 0; i < list->count(); ++i)
            texts << list->itemText(i);
        return texts;
    };
    QCOMPARE(items(), offered);
    for (const QString &frame : offered) {
        pref.setFrame(frame);
        QCOMPARE(items(), offered);
        QCOMPARE(list->currentText(), frame);
    }
    // A frame of another theme stays offered and chosen: OK without touching it keeps it.
    pref.setFrame("Polaroid");
    QCOMPARE(items(), offered + QStringList{"Polaroid"});
    prefImplementation::DialogChanges changes = pref.takeDialogValues();
    QVERIFY(!changes.frame);
    QVERIFY(!changes.thumbnails);
    QCOMPARE(pref.frame(), QStringLiteral("Polaroid"));
    list->setCurrentText("Film");
    changes = pref.takeDialogValues();
    QVERIFY(changes.frame);
    QVERIFY(changes.thumbnails);
    QCOMPARE(pref.frame(), QStringLiteral("Film"));
}

void TestPanels::miniWindowAlbumsDropsAndBack()
{
    makeCatalogue({{"a.png", 0}, {"b.png", 0}, {"c.png", 0}});
    QImage elsewhere(50, 50, QImage::Format_RGB32);
    elsewhere.fill(Qt::darkGreen);
    QDir().mkpath(path("other"));
    QVERIFY(elsewhere.save(path("other/a.png")));
    QVERIFY(elsewhere.save(path("other/new.png")));
    auto pref = std::make_unique<prefImplementation>();
    pref->setInstallPath(path("install"));
    pref->setFirstStartup(false);
    media window(nullptr, QStringLiteral("ambrio"), {}, pref.get(), &m_prompter);
    window.show();
    window.move(200, 150);
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    openAlbum(window.organiser(), "Trip");
    // Index entries that name no album: without an id (a file holding one is refused
    // as damaged, so it is put in here), and one whose album is not loaded.
    LibraryIndex *index = window.organiser()->getDataBase();
    index->appendRow({"NONE", "Photo", "Ghost", "Playlist", ""});
    index->appendRow({"NONE", "Photo", "Gone", "Playlist", "Gone1"});
    index->setDirty(false);

    QTest::mouseClick(window.findChild<QPushButton *>("miniMeButton"), Qt::LeftButton);
    minime *mini = window.miniWindow();
    QVERIFY(mini);
    QVERIFY(mini->isVisible());
    QVERIFY(!window.isVisible());
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    QCOMPARE(mini->geometry(), QRect(screen.width() - 160, 0, 160, screen.height() - 31));
    QVERIFY(mini->windowFlags() & Qt::WindowStaysOnTopHint);
    QVERIFY(mini->windowFlags() & Qt::FramelessWindowHint);
    // The album the organiser shows, one column.
    QTRY_COMPARE(mini->view()->count(), 3);
    QCOMPARE(mini->view()->numCols(), 1);

    // The albums menu: the index's entries; the one without an id shows nothing.
    QList<QAction *> entries;
    for (QAction *action : mini->albumsMenu()->actions()) {
        if (!action->isSeparator())
            entries << action;
    }
    QCOMPARE(entries.size(), 3);
    QCOMPARE(entries[0]->text(), QStringLiteral("Trip"));
    QCOMPARE(entries[1]->text(), QStringLiteral("Ghost"));
    for (int i : {1, 2}) {
        entries[0]->trigger();
        QTRY_COMPARE(mini->view()->count(), 3);
        entries[i]->trigger();
        QCOMPARE(mini->view()->count(), 0);
        QVERIFY(!mini->shownAlbum());
    }
    entries[0]->trigger();
    QTRY_COMPARE(mini->view()->count(), 3);

    // A dropped file whose name the album has: the message, nothing added.
    const QByteArray stored = readAll(path("install/DataBase/db/Trip1.db"));
    auto drop = [mini](const QString &file) {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(file)});
        const QPoint at = mini->view()->viewport()->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(mini->view()->viewport(), &enter);
        QDropEvent event(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(mini->view()->viewport(), &event);
    };
    drop(path("other/a.png"));
    QCOMPARE(m_prompter.messages.size(), 1);
    QCOMPARE(m_prompter.messages[0].text, QStringLiteral("Unable to add this picture.\nA photo already have this filename."));
    QCOMPARE(readAll(path("install/DataBase/db/Trip1.db")), stored);
    QCOMPARE(mini->view()->count(), 3);
    // A new one joins the album, on disk and in the strip.
    drop(path("other/new.png"));
    QCOMPARE(m_prompter.messages.size(), 1);
    QTRY_COMPARE(mini->view()->count(), 4);
    QVERIFY(storedViews().contains("new.png"));

    // A double click opens the picture and counts the view.
    KivViewItem *b = mini->view()->itemByPath(path("pics/b.png"));
    QVERIFY(b);
    QTest::mouseDClick(mini->view()->viewport(), Qt::LeftButton, {}, mini->view()->cellGeometry(b->row(), b->column()).center());
    QVERIFY(mini->viewer()->isVisible());
    QCOMPARE(storedViews().value("b.png"), 1);
    // A picture gone: the designed message with its folder, no view counted.
    KivViewItem *c = mini->view()->itemByPath(path("pics/c.png"));
    QVERIFY(QFile::remove(path("pics/c.png")));
    QTest::mouseDClick(mini->view()->viewport(), Qt::LeftButton, {}, mini->view()->cellGeometry(c->row(), c->column()).center());
    QCOMPARE(m_prompter.messages.last().text, QStringLiteral("Your picture cannot be load\nPlease insert the media :\n") + path("pics"));
    QCOMPARE(storedViews().value("c.png"), 0);

    // Back: the main window at the top-left corner, showing the picture added.
    QTest::mouseClick(mini->findChild<QPushButton *>("pushButtonMinimeBacktoVellaro"), Qt::LeftButton);
    QTRY_VERIFY(!window.miniWindow());
    QVERIFY(window.isVisible());
    QCOMPARE(window.pos(), QPoint(0, 0));
    QTRY_COMPARE(window.organiser()->photoView()->count(), 4);
}

void TestPanels::miniWindowReservesItsStrip()
{
    // On a real display under a window manager: the strip is reserved while the mini
    // window is open, so the area other windows maximise into stops short of it.
    if (!XDisplay::underX("miniWindowReservesItsStrip"))
        return;
    QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
    QProcess openbox;
    openbox.start("openbox", {});
    QVERIFY2(openbox.waitForStarted(), "openbox is needed (scripts/deps.sh installs it)");
    auto workArea = [] {
        QProcess xprop;
        xprop.start("xprop", {"-root", "_NET_WORKAREA"});
        xprop.waitForFinished();
        // "_NET_WORKAREA(CARDINAL) = 0, 0, 1280, 1024, ..."
        const QList<QByteArray> numbers = xprop.readAll().split('=').value(1).split(',');
        return numbers.size() >= 4 ? QRect(numbers[0].trimmed().toInt(), numbers[1].trimmed().toInt(),
                                           numbers[2].trimmed().toInt(), numbers[3].trimmed().toInt())
                                   : QRect();
    };
    QTRY_COMPARE_WITH_TIMEOUT(workArea().width(), 1280, 10000);

    makeCatalogue({{"a.png", 0}});
    auto pref = std::make_unique<prefImplementation>();
    pref->setInstallPath(path("install"));
    pref->setFirstStartup(false);
    {
        media window(nullptr, QStringLiteral("ambrio"), {}, pref.get(), &m_prompter);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTest::mouseClick(window.findChild<QPushButton *>("miniMeButton"), Qt::LeftButton);
        minime *mini = window.miniWindow();
        QVERIFY(mini);
        QTRY_COMPARE_WITH_TIMEOUT(workArea().width(), 1280 - 160, 10000);
        QProcess xprop;
        xprop.start("xprop", {"-id", QString::number(mini->winId()), "_NET_WM_STRUT_PARTIAL"});
        xprop.waitForFinished();
        QCOMPARE(xprop.readAll().trimmed(),
                 QByteArray("_NET_WM_STRUT_PARTIAL(CARDINAL) = 0, 160, 0, 0, 0, 0, 0, 992, 0, 0, 0, 0"));
        QTest::mouseClick(mini->findChild<QPushButton *>("pushButtonMinimeBacktoVellaro"), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(workArea().width(), 1280, 10000);
        QTRY_VERIFY(!window.miniWindow());
    }
    openbox.terminate();
    openbox.waitForFinished();
}

void TestPanels::miniWindowClosedOtherwise()
{
    makeCatalogue({{"a.png", 0}, {"b.png", 0}});
    auto pref = std::make_unique<prefImplementation>();
    pref->setInstallPath(path("install"));
    pref->setFirstStartup(false);
    QImage dropped(40, 40, QImage::Format_RGB32);
    dropped.fill(Qt::blue);
    QDir().mkpath(path("other"));
    QVERIFY(dropped.save(path("other/moved.png")));
    {
        media window(nullptr, QStringLiteral("ambrio"), {}, pref.get(), &m_prompter);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        openAlbum(window.organiser(), "Trip");
        auto *miniMe = window.findChild<QPushButton *>("miniMeButton");
        QTest::mouseClick(miniMe, Qt::LeftButton);
        QPointer<minime> mini = window.miniWindow();
        QTRY_COMPARE(mini->view()->count(), 2);

        // A file manager moving a file here is told "copied": it keeps its original.
        // A drag that can only move is refused.
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(path("other/moved.png"))});
        const QPoint at = mini->view()->viewport()->rect().center();
        // As a drag goes: entering, moving, dropping.
        auto drag = [&](Qt::DropActions actions, Qt::KeyboardModifiers modifiers) {
            QDragEnterEvent enter(at, actions, &data, Qt::LeftButton, modifiers);
            QCoreApplication::sendEvent(mini->view()->viewport(), &enter);
            if (!enter.isAccepted())
                return Qt::IgnoreAction;
            QDropEvent drop(at, actions, &data, Qt::LeftButton, modifiers);
            QCoreApplication::sendEvent(mini->view()->viewport(), &drop);
            return drop.dropAction();
        };
        QCOMPARE(drag(Qt::MoveAction, Qt::NoModifier), Qt::IgnoreAction);
        QCOMPARE(mini->view()->count(), 2);
        // Shift: the source proposes a move.
        QCOMPARE(drag(Qt::MoveAction | Qt::CopyAction, Qt::ShiftModifier), Qt::CopyAction);
        QTRY_COMPARE(mini->view()->count(), 3);

        // Closed by the window manager: the main window is back, and Mini-Me opens a
        // new strip.
        mini->close();
        QTRY_VERIFY(!mini);
        QVERIFY(window.isVisible());
        QCOMPARE(window.pos(), QPoint(0, 0));
        QTest::mouseClick(miniMe, Qt::LeftButton);
        QVERIFY(window.miniWindow());
        QVERIFY(window.miniWindow()->isVisible());
        mini = window.miniWindow();

        // The hidden main window closed while the strip is open: the strip goes with it
        // and nothing writes the catalogue after the window has let it go.
        window.close();
        QVERIFY(!mini);
        CatalogueLock other(pref->catalogueRoot());
        QVERIFY(other.tryLock());
        other.unlock();
    }
    for (QWidget *top : QApplication::topLevelWidgets())
        QVERIFY2(top->objectName() != QLatin1String("minime"), "a mini window outlived its program");
}

QTEST_MAIN(TestPanels)
#include "tst_panels.moc"
