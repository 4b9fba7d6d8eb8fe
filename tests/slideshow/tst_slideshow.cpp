// The slideshow through its real widgets: the bar's buttons clicked, keys and the
// wheel sent to the show, and shows opened from the organiser page as a user does.
#include "ambriomainwindow.h"
#include "hello.h"
#include "librarylist.h"
#include "picturecommands.h"
#include "kivpixmapview.h"
#include "organiserfixture.h"
#include "photoitem.h"
#include "pixmaplookup.h"
#include "playlist.h"
#include "scriptedprompter.h"
#include "slidepictures.h"
#include "slideshow.h"
#include "slideshowbar.h"
#include "smartplaylist.h"
#include "testfiles.h"
#include "thumbsview.h"
#include "traybarphoto.h"
#include "viewphoto.h"

#include <QLabel>
#include <algorithm>
#include <QMenu>
#include <QPushButton>
#include <QPointer>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

namespace {

const QColor kColours[] = {Qt::red, Qt::green, Qt::blue, Qt::yellow, Qt::cyan};

void picture(const QString &path, const QColor &colour, QSize size = QSize(64, 48))
{
    QDir().mkpath(QFileInfo(path).path());
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    QVERIFY(image.save(path, "JPEG"));
}

// The colour in the middle of a button's icon.
QColor iconColour(const QToolButton *button)
{
    const QImage image = button->icon().pixmap(button->iconSize()).toImage();
    return image.isNull() ? QColor() : image.pixelColor(image.width() / 2, image.height() / 2);
}

bool near(const QColor &a, const QColor &b)
{
    return qAbs(a.red() - b.red()) < 40 && qAbs(a.green() - b.green()) < 40 && qAbs(a.blue() - b.blue()) < 40
           && a.alpha() == 255;
}

QPixmap solid(const QColor &colour)
{
    QPixmap pixmap(99, 73);
    pixmap.fill(colour);
    return pixmap;
}

} // namespace

class TestSlideshow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void secondsAndPlay();
    void steppingSkipsAndEnds();
    void keysAndWheel();
    void emptyAlbumClosesAfterFade();
    void captionAndNeighbours();
    void barShownThenHiddenAndToggled();
    void unreadablePictureShowsBlack();
    void largePhotographDecodedAtScreenSize();
    void openedFromTheOrganiser();

private:
    // An album of `names` in the pictures folder, titled as given; thumbnails of the
    // colours of kColours in its cache.
    std::unique_ptr<PlayList> album(const QStringList &names, const QStringList &titles = {});
    // A show of `album` from `start`, its fade over.
    slideshow *startShow(PlayList *album, const QString &start = QString());
    QString pics(const QString &name) const { return m_dir->filePath("pics/" + name); }

    std::unique_ptr<QTemporaryDir> m_dir;
    QPointer<slideshow> m_show;
};

void TestSlideshow::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_dir->filePath("settings"));
    PixmapLookup::configure(m_dir->filePath("install"), false);
    for (int i = 0; i < 5; ++i)
        picture(pics(QStringLiteral("p%1.jpg").arg(i)), kColours[i]);
}

void TestSlideshow::cleanup()
{
    delete m_show;
    m_dir.reset();
}

std::unique_ptr<PlayList> TestSlideshow::album(const QStringList &names, const QStringList &titles)
{
    auto made = std::make_unique<PlayList>();
    for (int i = 0; i < names.size(); ++i) {
        PhotoItem record(names.at(i));
        record.setFileName(names.at(i));
        record.setSourceFolder(m_dir->filePath("pics"));
        record.setTitle(titles.value(i));
        record.setFileType(KivViewItem::kindOfFile(names.at(i)));
        made->addRecord(&record);
        made->thumbCache().append({solid(kColours[i % 5]), names.at(i), QDateTime()});
    }
    return made;
}

slideshow *TestSlideshow::startShow(PlayList *album, const QString &start)
{
    m_show = new slideshow(QGuiApplication::primaryScreen());
    m_show->setAlbum(album);
    m_show->setStartPicture(start);
    m_show->show();
    // The fade takes ten steps of 10 ms; then the first picture comes from its worker.
    [&] { QTRY_VERIFY(!m_show || !m_show->isFading()); }();
    return m_show;
}

void TestSlideshow::secondsAndPlay()
{
    auto pictures = album({"p0.jpg", "p1.jpg", "p2.jpg"});
    slideshow *show = startShow(pictures.get());
    slideshowbar *bar = show->bar();
    QCOMPARE(bar->timeLabel()->text(), QStringLiteral("5 seconds by picture"));
    QTest::mouseClick(bar->plusButton(), Qt::LeftButton);
    QTest::mouseClick(bar->plusButton(), Qt::LeftButton);
    QCOMPARE(bar->timeLabel()->text(), QStringLiteral("7 seconds by picture"));
    for (int i = 0; i < 7; ++i)
        QTest::mouseClick(bar->minusButton(), Qt::LeftButton);
    QCOMPARE(bar->timeLabel()->text(), QStringLiteral("0 seconds by picture"));
    QTest::mouseClick(bar->minusButton(), Qt::LeftButton);
    QCOMPARE(bar->timeLabel()->text(), QStringLiteral("0 seconds by picture"));
    QCOMPARE(show->interval(), 0);
    for (int i = 0; i < 30; ++i)
        QTest::mouseClick(bar->plusButton(), Qt::LeftButton);
    QCOMPARE(bar->timeLabel()->text(), QStringLiteral("30 seconds by picture"));  // no upper limit short of it

    // Play steps at once and runs the timer with the pause icon; the same button then
    // pauses, and plays again.
    const QImage playIcon = kivPixmap("play-slideshow.png").toImage();
    const QImage pauseIcon = kivPixmap("play-slideshow-pause.png").toImage();
    auto iconOf = [bar] {
        return bar->playButton()->icon().pixmap(kivPixmap("play-slideshow.png").size()).toImage().convertToFormat(
            QImage::Format_ARGB32);
    };
    QTRY_COMPARE(show->shownFile(), pics("p0.jpg"));
    QTest::mouseClick(bar->playButton(), Qt::LeftButton);
    QVERIFY(show->isPlaying());
    QCOMPARE(show->index(), 1);
    QCOMPARE(iconOf(), pauseIcon.convertToFormat(QImage::Format_ARGB32));
    QTest::mouseClick(bar->playButton(), Qt::LeftButton);
    QVERIFY(!show->isPlaying());
    QCOMPARE(show->index(), 1);
    QCOMPARE(iconOf(), playIcon.convertToFormat(QImage::Format_ARGB32));
    QTest::mouseClick(bar->playButton(), Qt::LeftButton);
    QVERIFY(show->isPlaying());
    QCOMPARE(show->index(), 2);

    // Playing at one second a picture, the show goes on by itself and ends after the last.
    for (int i = 0; i < 29; ++i)
        QTest::mouseClick(bar->minusButton(), Qt::LeftButton);
    QCOMPARE(show->interval(), 1000);
    QTRY_VERIFY_WITH_TIMEOUT(!m_show, 5000);
}

void TestSlideshow::steppingSkipsAndEnds()
{
    // A text file between the pictures, and two at the end.
    writeFile(pics("notes.txt"), "not a picture");
    writeFile(pics("song.mp3"), "not a picture");
    auto pictures = album({"p0.jpg", "notes.txt", "p1.jpg", "p2.jpg", "p3.jpg", "song.mp3", "notes.txt"});
    slideshow *show = startShow(pictures.get());
    slideshowbar *bar = show->bar();
    QTRY_COMPARE(show->shownFile(), pics("p0.jpg"));
    QVERIFY(!bar->previousButton()->isEnabled());
    QTest::mouseClick(bar->nextButton(), Qt::LeftButton);
    QTRY_COMPARE(show->shownFile(), pics("p1.jpg"));  // notes.txt skipped
    QVERIFY(bar->previousButton()->isEnabled());
    QTest::mouseClick(bar->previousButton(), Qt::LeftButton);
    QTRY_COMPARE(show->shownFile(), pics("p0.jpg"));  // and skipped backwards too
    QVERIFY(!bar->previousButton()->isEnabled());
    // Two on: the thumbnail button right of the middle. Entries that are not pictures
    // are not counted, as the thumbnails show none of them.
    show->nextnext();
    QTRY_COMPARE(show->shownFile(), pics("p2.jpg"));
    show->previousprevious();
    QTRY_COMPARE(show->shownFile(), pics("p0.jpg"));
    show->next();
    QTRY_COMPARE(show->shownFile(), pics("p1.jpg"));
    // From the second picture, two back is the first.
    show->previousprevious();
    QTRY_COMPARE(show->shownFile(), pics("p0.jpg"));
    show->previousprevious();  // nothing before the first
    QCOMPARE(show->index(), 0);
    for (const char *file : {"p1.jpg", "p2.jpg", "p3.jpg"}) {
        QTest::mouseClick(bar->nextButton(), Qt::LeftButton);
        QTRY_COMPARE(show->shownFile(), pics(file));
    }
    // At the last picture the neighbours are the pictures before it (rows 2 and 3); the
    // entries after it are no pictures, so nothing shows on.
    QVERIFY(near(bar->thumbnail(0).toImage().pixelColor(10, 10), kColours[2]));
    QVERIFY(near(bar->thumbnail(1).toImage().pixelColor(10, 10), kColours[3]));
    QVERIFY(bar->thumbnail(2).isNull());
    QVERIFY(bar->thumbnail(3).isNull());
    // Past the last picture only entries that are not pictures: Next ends the show.
    QTest::mouseClick(bar->nextButton(), Qt::LeftButton);
    QTRY_VERIFY(!m_show);
}

void TestSlideshow::keysAndWheel()
{
    auto pictures = album({"p0.jpg", "p1.jpg", "p2.jpg"});
    slideshow *show = startShow(pictures.get());
    QTRY_COMPARE(show->shownFile(), pics("p0.jpg"));
    QTest::keyClick(show, Qt::Key_Space);
    QTRY_COMPARE(show->shownFile(), pics("p1.jpg"));
    QTest::keyClick(show, Qt::Key_Right);  // other keys change nothing
    QTest::keyClick(show, Qt::Key_A);
    QCOMPARE(show->index(), 1);
    auto wheel = [show](int delta) {
        const QPoint at(show->width() / 2, show->height() / 2);
        QWheelEvent event(at, show->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        // Turned over the picture: the picture window passes it on to the show.
        QApplication::sendEvent(show->pictureWindow()->view(), &event);
    };
    wheel(120);
    QTRY_COMPARE(show->shownFile(), pics("p2.jpg"));
    wheel(-120);
    QTRY_COMPARE(show->shownFile(), pics("p1.jpg"));
    QTest::keyClick(show, Qt::Key_Escape);
    QTRY_VERIFY(!m_show);
}

void TestSlideshow::emptyAlbumClosesAfterFade()
{
    auto empty = album({});
    m_show = new slideshow(QGuiApplication::primaryScreen());
    m_show->setAlbum(empty.get());
    m_show->show();
    QVERIFY(m_show->isFading());
    QTRY_VERIFY(!m_show);
    // Nothing but entries that are not pictures: the same.
    writeFile(pics("notes.txt"), "not a picture");
    auto none = album({"notes.txt", "notes.txt"});
    m_show = new slideshow(QGuiApplication::primaryScreen());
    m_show->setAlbum(none.get());
    m_show->show();
    QTRY_VERIFY(!m_show);
}

void TestSlideshow::captionAndNeighbours()
{
    auto pictures = album({"p0.jpg", "p1.jpg", "p2.jpg", "p3.jpg"}, {"Harbour", " ", "", "Snow"});
    slideshow *show = startShow(pictures.get());
    slideshowbar *bar = show->bar();
    QTRY_COMPARE(show->shownFile(), pics("p0.jpg"));
    QCOMPARE(bar->caption()->text(), QStringLiteral("Harbour"));
    // At the first picture nothing lies back; one on and two on are p1 and p2.
    QVERIFY(bar->thumbnail(0).isNull() && bar->thumbnail(1).isNull());
    QVERIFY(near(iconColour(bar->thumbButton(3)), kColours[1]));
    QVERIFY(near(iconColour(bar->thumbButton(2)), kColours[2]));
    show->next();
    QCOMPARE(bar->caption()->text(), QStringLiteral("p1.jpg"));  // a title of one blank
    show->next();
    QCOMPARE(bar->caption()->text(), QStringLiteral("p2.jpg"));
    show->next();
    QCOMPARE(bar->caption()->text(), QStringLiteral("Snow"));
    // At the last picture nothing lies on.
    QVERIFY(bar->thumbnail(2).isNull() && bar->thumbnail(3).isNull());
    QVERIFY(near(iconColour(bar->thumbButton(1)), kColours[2]));
    QVERIFY(near(iconColour(bar->thumbButton(0)), kColours[1]));
    // Clicking a thumbnail steps to it.
    QTest::mouseClick(bar->thumbButton(0), Qt::LeftButton);
    QTRY_COMPARE(show->shownFile(), pics("p1.jpg"));
    delete m_show;

    // A cache out of row order (the album's pictures moved since it was made): each
    // thumbnail is found by its file name.
    std::reverse(pictures->thumbCache().begin(), pictures->thumbCache().end());
    show = startShow(pictures.get(), QStringLiteral("p1.jpg"));
    QTRY_COMPARE(show->shownFile(), pics("p1.jpg"));
    bar = show->bar();
    QVERIFY(near(iconColour(bar->thumbButton(1)), kColours[0]));
    QVERIFY(near(iconColour(bar->thumbButton(3)), kColours[2]));
    QVERIFY(near(iconColour(bar->thumbButton(2)), kColours[3]));
    delete m_show;

    // A search's rows hold no title: the caption is the file name, and there are no
    // thumbnail buttons.
    Search search;
    PhotoItem record(QStringLiteral("p2.jpg"));
    record.setFileName(QStringLiteral("p2.jpg"));
    record.setSourceFolder(m_dir->filePath("pics"));
    record.setTitle(QStringLiteral("Not shown"));
    search.addRecord(&record);
    show = startShow(&search);
    QTRY_COMPARE(show->shownFile(), pics("p2.jpg"));
    QCOMPARE(show->bar()->caption()->text(), QStringLiteral("p2.jpg"));
    for (int i = 0; i < 4; ++i)
        QVERIFY(show->bar()->thumbButton(i)->isHidden());
    delete m_show;

    // All Photos shows its pictures' titles; one too long for the caption ends in "…",
    // and the whole title is the caption's tooltip.
    AllPhoto all;
    const QString longTitle = QStringLiteral("The harbour at dawn with the fishing boats coming home, seen from the hill");
    record.setTitle(longTitle);
    all.addRecord(&record);
    show = startShow(&all);
    QTRY_COMPARE(show->shownFile(), pics("p2.jpg"));
    const QString caption = show->bar()->caption()->text();
    QVERIFY2(caption.endsWith(QChar(0x2026)) && longTitle.startsWith(caption.chopped(1)), qPrintable(caption));
    QCOMPARE(show->bar()->caption()->toolTip(), longTitle);
}

void TestSlideshow::barShownThenHiddenAndToggled()
{
    auto pictures = album({"p0.jpg", "p1.jpg"});
    m_show = new slideshow(QGuiApplication::primaryScreen());
    m_show->setAlbum(pictures.get());
    m_show->show();
    slideshowbar *bar = m_show->bar();
    QVERIFY(bar->isHidden());  // during the fade
    QTRY_VERIFY(!bar->isHidden());
    const int shownAt = m_show->height() - slideshowbar::Height;
    QCOMPARE(bar->y(), shownAt);
    QVERIFY(bar->isBarVisible());
    // Three seconds later it moves out of sight.
    QTRY_VERIFY_WITH_TIMEOUT(!bar->isBarVisible(), 4000);
    QCOMPARE(bar->y(), m_show->height());
    // Every press on the picture brings it back, or sends it away.
    QTest::mousePress(m_show->pictureWindow()->view(), Qt::LeftButton, {}, QPoint(100, 100));
    QVERIFY(bar->isBarVisible());
    QCOMPARE(bar->y(), shownAt);
    QTest::mousePress(m_show->pictureWindow()->view(), Qt::LeftButton, {}, QPoint(100, 100));
    QVERIFY(!bar->isBarVisible());
    QCOMPARE(bar->y(), m_show->height());
    delete m_show;

    // Sent away and brought back by the user soon after the fade, the bar stays: the
    // start's three seconds no longer hide it.
    m_show = new slideshow(QGuiApplication::primaryScreen());
    m_show->setAlbum(pictures.get());
    m_show->show();
    bar = m_show->bar();
    QTRY_VERIFY(!bar->isHidden());
    QTest::mousePress(m_show->pictureWindow()->view(), Qt::LeftButton, {}, QPoint(100, 100));
    QTest::mousePress(m_show->pictureWindow()->view(), Qt::LeftButton, {}, QPoint(100, 100));
    QVERIFY(bar->isBarVisible());
    QTest::qWait(slideshow::BarShownMs + 500);
    QVERIFY(bar->isBarVisible());
}

void TestSlideshow::unreadablePictureShowsBlack()
{
    writeFile(pics("broken.jpg"), "not a JPEG at all");
    auto pictures = album({"p0.jpg", "broken.jpg", "p1.jpg"});
    slideshow *show = startShow(pictures.get());
    QTRY_COMPARE(show->shownFile(), pics("p0.jpg"));
    QVERIFY(!show->pictureWindow()->view()->currentImage().isNull());
    show->next();
    QTRY_VERIFY(show->pictureWindow()->view()->currentImage().isNull());
    QCOMPARE(show->shownFile(), QString());
    QCOMPARE(show->index(), 1);
    show->next();  // the show goes on
    QTRY_COMPARE(show->shownFile(), pics("p1.jpg"));
}

void TestSlideshow::largePhotographDecodedAtScreenSize()
{
    // 6000 x 4000 (24 megapixels), and one standing on its side by its orientation.
    picture(pics("large.jpg"), Qt::darkGreen, QSize(6000, 4000));
    const QSize screen(800, 600);
    const QImage fitted = SlidePictures::decode(pics("large.jpg"), screen);
    QCOMPARE(fitted.size(), QSize(800, 533));
    QVERIFY(near(fitted.pixelColor(400, 266), Qt::darkGreen));
    QVERIFY(SlidePictures::decode(pics("missing.jpg"), screen).isNull());

    auto pictures = album({"large.jpg", "p0.jpg"});
    slideshow *show = startShow(pictures.get());
    QTRY_COMPARE(show->shownFile(), pics("large.jpg"));
    const QSize shown = show->pictureWindow()->view()->currentImage().size();
    QVERIFY(shown.width() <= show->width() && shown.height() <= show->height());
    QCOMPARE(shown.width(), show->width());
    delete m_show;

    // Two on, to a photograph not prepared yet: the picture before stays on the screen
    // until the new one is decoded, with no black between them.
    picture(pics("large2.jpg"), Qt::darkRed, QSize(6000, 4000));
    pictures = album({"p0.jpg", "p1.jpg", "large2.jpg"});
    show = startShow(pictures.get());
    QTRY_COMPARE(show->shownFile(), pics("p0.jpg"));
    show->nextnext();
    QCOMPARE(show->shownFile(), pics("p0.jpg"));
    QVERIFY(!show->pictureWindow()->view()->currentImage().isNull());
    QTRY_COMPARE(show->shownFile(), pics("large2.jpg"));
}

void TestSlideshow::openedFromTheOrganiser()
{
    ScriptedPrompter prompter;
    const QString install = m_dir->filePath("install");
    const QByteArray folder = m_dir->filePath("pics").toUtf8();
    writeFile(install + "/DataBase/library.db", "NUMLIB=2\r\nLIBRARY=NONE,Photo,Trip,Playlist,Trip1\r\n"
                                                "LIBRARY=NONE,Photo,Sea,Playlist,Sea1\r\n");
    writeFile(install + "/DataBase/db/Sea1.db",
              "KivDir=Sea1\r\nTitle=Sea\r\nDirty=False\r\nCreationDate=2004-01-02\r\nNumFile=2\r\n"
              "File=Photo|" + folder + "|p4.jpg| | | |1|0|-1|64*48|\r\nFile=Photo|" + folder
                  + "|p3.jpg| | | |1|0|-1|64*48|\r\n");
    writeFile(install + "/DataBase/db/Trip1.db",
              "KivDir=Trip1\r\nTitle=Trip\r\nDirty=False\r\nCreationDate=2003-12-31\r\nNumFile=3\r\n"
              "File=Photo|" + folder + "|p0.jpg| | | |1|0|-1|64*48|\r\nFile=Photo|" + folder
                  + "|p1.jpg| | | |1|0|-1|64*48|\r\nFile=Photo|" + folder + "|p2.jpg| | | |1|0|-1|64*48|\r\n");
    OrganiserFixture fixture;
    AmbrioMainWindow *page = fixture.start(install, &prompter);
    QVERIFY(QTest::qWaitForWindowExposed(page));
    // No album open: the user is told to choose one.
    page->viewSlideShow();
    QVERIFY(!page->runningSlideshow());
    QCOMPARE(prompter.messages.size(), 1);

    PlayList *trip = nullptr;
    for (PlayList *p : page->albumList()->storedAlbums())
        trip = p->name() == QLatin1String("Trip") ? p : trip;
    page->slot_selectLibrary(trip);
    QTRY_VERIFY(!page->pictures()->isLoading());
    auto record = [page](const QString &file) -> KivViewItem * {
        for (KivViewItem *item : page->photoView()->items())
            if (item->fileName() == file)
                return item;
        return nullptr;
    };
    auto click = [page](KivViewItem *item, Qt::KeyboardModifiers modifiers) {
        thumbsView *view = page->photoView();
        const QRect cell = view->cellGeometry(item->row(), item->column());
        QTest::mouseClick(view->viewport(), Qt::LeftButton, modifiers,
                          cell.center() - QPoint(view->contentsX(), view->contentsY()));
    };

    // The current thumbnail is where the show starts; the album's Slideshow button.
    click(record("p1.jpg"), {});
    QTest::mouseClick(page->findChild<QPushButton *>("pushButtonSlideshowAlbum"), Qt::LeftButton);
    m_show = page->runningSlideshow();
    QVERIFY(m_show);
    QCOMPARE(m_show->album(), trip);
    QTRY_COMPARE(m_show->shownFile(), pics("p1.jpg"));
    QCOMPARE(m_show->screen(), page->screen());
    QTest::keyClick(m_show, Qt::Key_Escape);
    QTRY_VERIFY(!page->runningSlideshow());

    // Two pictures in the tray: they play, from the first in the tray.
    click(record("p2.jpg"), Qt::ControlModifier);
    click(record("p0.jpg"), Qt::ControlModifier);
    QCOMPARE(page->tray()->count(), 3);
    page->viewSlideShow();
    m_show = page->runningSlideshow();
    QVERIFY(m_show && m_show->album() != trip);
    QCOMPARE(m_show->album()->rowTable().count(), 3);
    QTRY_COMPARE(m_show->shownFile(), pics("p1.jpg"));
    m_show->next();
    QTRY_COMPARE(m_show->shownFile(), pics("p2.jpg"));
    // The tray's thumbnails are the neighbours.
    QVERIFY(!m_show->bar()->thumbnail(1).isNull());
    m_show->next();
    QTRY_COMPARE(m_show->shownFile(), pics("p0.jpg"));
    m_show->next();
    QTRY_VERIFY(!page->runningSlideshow());

    // An album that is not the open one, right-clicked: its "Slideshow" shows it, from
    // its first picture, whatever the tray holds.
    PlayList *other = nullptr;
    for (PlayList *p : page->albumList()->storedAlbums())
        other = p->name() == QLatin1String("Sea") ? p : other;
    QVERIFY(other);
    QVERIFY(page->tray()->count() >= 2);
    page->contextmenuLibrary(other, page->mapToGlobal(QPoint(20, 20)), 0);
    QAction *slideshowAction = nullptr;
    for (QAction *action : page->menus().album->actions())
        slideshowAction = action->text() == QLatin1String("Slideshow") ? action : slideshowAction;
    QVERIFY(slideshowAction);
    slideshowAction->trigger();
    page->menus().album->hide();
    m_show = page->runningSlideshow();
    QVERIFY(m_show);
    QCOMPARE(m_show->album(), other);
    QTRY_COMPARE(m_show->shownFile(), pics("p4.jpg"));

    // The album goes while its show runs (removed from the list): the show goes on
    // with the pictures it had, and ends past them.
    prompter.answers << 1;  // OK
    page->contextmenuLibrary(other, page->mapToGlobal(QPoint(20, 20)), 0);
    page->RemoveRollLibrary();
    QVERIFY(!page->albumList()->storedAlbums().contains(other));
    QVERIFY(m_show);
    m_show->next();
    QTRY_COMPARE(m_show->shownFile(), pics("p3.jpg"));
    m_show->showMiniThumbs();
    m_show->next();
    QTRY_VERIFY(!page->runningSlideshow());

    // A browse branch has nothing to show, whatever the tray holds.
    click(record("p2.jpg"), Qt::ControlModifier);
    click(record("p0.jpg"), Qt::ControlModifier);
    QVERIFY(page->tray()->count() >= 2);
    QTreeWidgetItem *browse = nullptr;
    for (int i = 0; i < page->albumList()->topLevelItemCount(); ++i) {
        if (dynamic_cast<ByCategory *>(page->albumList()->topLevelItem(i)))
            browse = page->albumList()->topLevelItem(i);
    }
    QVERIFY(browse);
    page->slot_selectLibrary(browse);
    page->viewSlideShow();
    QVERIFY(!page->runningSlideshow());
    fixture.reset();
}

QTEST_MAIN(TestSlideshow)
#include "tst_slideshow.moc"
