// Large albums in the window: their thumbnails come as the user scrolls to them and
// only so many are held, missing pictures share one blank thumbnail, and choosing
// every picture of a search gathers each picture once.
#include "ambriomainwindow.h"
#include "composemail.h"
#include "favoriteswidget.h"
#include "importtraybar.h"
#include "kivviewitem.h"
#include "librarylist.h"
#include "media.h"
#include "picturecommands.h"
#include "pixmaplookup.h"
#include "playlist.h"
#include "prefimplementation.h"
#include "smartplaylist.h"
#include "thumbsview.h"
#include "traybarphoto.h"

#include <QLineEdit>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QScrollBar>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include "scriptedprompter.h"
#include "testfiles.h"
#include "widgetactions.h"

namespace {

constexpr int BigCount = 6000;

QString nameOf(int i)
{
    return QStringLiteral("IMG_%1.jpg").arg(i, 4, 10, QLatin1Char('0'));
}

} // namespace

class TestLargeAlbum : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void largeAlbumOpensABatchAtATime();
    void thumbnailsComeAsTheAlbumIsScrolled();
    void missingPicturesShareOneBlank();
    void choosingEveryPictureOfASearchTakesEveryRow();
    void choosingEveryPictureWhileTheAlbumFillsTakesTheWholeAlbum();
    void picturesChosenFarFromSightAreMailedWithTheirThumbnails();
    void picturesInTheTrayOutliveTheRestOfTheirAlbum();
    void allPhotosLetsItsRowsGoOnceClosedAndComesBackWhole();
    void tagsOfThousandsOfPicturesAreSavedTogetherOrNotAtAll();
    void rowsReadAfterTheWindowShowsAreWholeWhereverUsedFirst();
    void albumFoundDamagedAfterTheWindowShowsIsToldAndRefused();

private:
    void showWithoutWaiting();
    void start();
    void open(const QString &name);
    PlayList *album(const QString &name) const;
    int held() const;
    QStringList mailedNames();

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_install;
    QString m_db;
    QString m_pics;
    prefImplementation m_pref;
    ScriptedPrompter m_prompter;
    std::unique_ptr<media> m_window;
    AmbrioMainWindow *m_page = nullptr;
};

void TestLargeAlbum::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_dir->filePath("settings"));
    m_install = m_dir->filePath("install");
    PixmapLookup::configure(m_install, false);
    m_db = m_install + "/DataBase/db";
    m_pics = m_dir->filePath("pics");
    writeFile(m_install + "/DataBase/library.db",
              "NUMLIB=2\r\nLIBRARY=NONE,Photo,Big,Playlist,Big1\r\nLIBRARY=NONE,Photo,Other,Playlist,Other1\r\n");
    // The big album's pictures are away (an unplugged drive), their thumbnails kept.
    const QByteArray folder = m_pics.toUtf8();
    QByteArray big = "KivDir=Big1\r\nTitle=Big\r\nDirty=True\r\nCreationDate=2004-01-01\r\nNumFile="
                     + QByteArray::number(BigCount) + "\r\n";
    QImage thumbnail(99, 73, QImage::Format_RGB32);
    thumbnail.fill(Qt::darkGreen);
    QVERIFY(QDir().mkpath(m_db + "/Big1"));
    QVERIFY(thumbnail.save(m_db + "/Big1/" + nameOf(0), "JPEG"));
    const QByteArray thumbnailBytes = readAll(m_db + "/Big1/" + nameOf(0));
    for (int i = 0; i < BigCount; ++i) {
        const QByteArray title = i < 2 ? "shared" : "plain";
        big += "File=Photo|" + folder + "|" + nameOf(i).toUtf8() + "|" + title + "| | |1|0|-1|4000*3000|\r\n";
        writeFile(m_db + "/Big1/" + nameOf(i), thumbnailBytes);
    }
    writeFile(m_db + "/Big1.db", big);
    // Two of the same pictures in another album, and one of its own; none has a
    // thumbnail file, and none is on disk.
    writeFile(m_db + "/Other1.db", "KivDir=Other1\r\nTitle=Other\r\nDirty=True\r\nCreationDate=2004-01-02\r\nNumFile=3\r\n"
                                   "File=Photo|" + folder + "|IMG_0000.jpg|shared| | |1|0|-1|4000*3000|\r\n"
                                   "File=Photo|" + folder + "|IMG_0001.jpg|shared| | |1|0|-1|4000*3000|\r\n"
                                   "File=Photo|" + folder + "|own.jpg|shared| | |1|0|-1|4000*3000|\r\n");
    m_pref.setInstallPath(m_install);
    m_pref.setFirstStartup(false);
    m_prompter = ScriptedPrompter();
}

void TestLargeAlbum::cleanup()
{
    m_window.reset();
    m_page = nullptr;
}

void TestLargeAlbum::start()
{
    m_window = std::make_unique<media>(nullptr, QStringLiteral("ambrio"), Qt::WindowFlags(), &m_pref, &m_prompter);
    m_window->resize(1000, 700);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    m_page = m_window->organiser();
}

void TestLargeAlbum::showWithoutWaiting()
{
    // Shown, but no event handled yet: the list has not been painted, so the big album's
    // rows are still to come.
    m_window = std::make_unique<media>(nullptr, QStringLiteral("ambrio"), Qt::WindowFlags(), &m_pref, &m_prompter);
    m_window->resize(1000, 700);
    m_window->show();
    m_page = m_window->organiser();
}

PlayList *TestLargeAlbum::album(const QString &name) const
{
    for (PlayList *album : m_page->albumList()->storedAlbums()) {
        if (album->name() == name)
            return album;
    }
    return nullptr;
}

void TestLargeAlbum::open(const QString &name)
{
    PlayList *found = album(name);
    QVERIFY(found);
    m_page->slot_selectLibrary(found);
    QTRY_VERIFY(!m_page->pictures()->isLoading());
}

QStringList TestLargeAlbum::mailedNames()
{
    // The pictures "Email this photo" would attach, the mail window closed unsent.
    QStringList mailed;
    m_prompter.onExec = [&mailed](QDialog *dialog) {
        auto *strip = qobject_cast<Composemail *>(dialog)->findChild<ImportTrayBar *>("importTrayBarMail");
        for (const KivViewItem *record : strip->records())
            mailed << record->fileName();
    };
    m_prompter.dialogResults << QDialog::Rejected;
    m_page->slot_sendItem();
    m_prompter.onExec = nullptr;
    return mailed;
}

int TestLargeAlbum::held() const
{
    int count = 0;
    for (const KivViewItem *item : m_page->photoView()->items())
        count += !item->thumbnail().isNull();
    return count;
}

void TestLargeAlbum::largeAlbumOpensABatchAtATime()
{
    start();
    auto *progress = m_window->findChild<QProgressBar *>();
    QVERIFY(progress);
    PlayList *big = album("Big");
    // The click returns with the first records shown and the progress up; the rest
    // come while the window answers.
    m_page->slot_selectLibrary(big);
    thumbsView *view = m_page->photoView();
    QVERIFY(view->count() >= PictureCommands::FirstBatch && view->count() <= PictureCommands::OpenBatch);
    QVERIFY(m_page->pictures()->isLoading());
    QVERIFY(progress->isVisible());
    QCOMPARE(progress->value(), view->count());
    QCOMPARE(progress->maximum(), BigCount);
    QTRY_COMPARE(view->count(), BigCount);
    QTRY_VERIFY(!progress->isVisible());
    // Every row once, in the album's order, each in the cell after the one before.
    const QList<KivViewItem *> items = view->items();
    for (int i = 0; i < BigCount; ++i) {
        QCOMPARE(items.at(i)->fileName(), nameOf(i));
        QCOMPARE(items.at(i)->row() * view->numCols() + items.at(i)->column(), i);
    }
    QCOMPARE(view->numRows(), (BigCount + view->numCols() - 1) / view->numCols());

    // Another album clicked before the first is all there: the rest never comes.
    m_page->slot_selectLibrary(big);
    QVERIFY(m_page->pictures()->isLoading());
    open("Other");
    QCOMPARE(view->count(), 3);
    QVERIFY(!progress->isVisible());
    QTest::qWait(50);
    QCOMPARE(view->count(), 3);

    // A search typed while the big album fills: the field is not under the progress, and
    // its results take the album's place.
    m_page->slot_selectLibrary(big);
    QVERIFY(progress->isVisible());
    auto *line = m_window->findChild<QLineEdit *>("searchLine");
    for (const QPoint &at : {line->rect().topLeft(), line->rect().center(), line->rect().bottomRight()})
        QCOMPARE(m_window->childAt(line->mapTo(m_window.get(), at)), line);
    QVERIFY(m_window->childAt(progress->geometry().center()) == progress);
    QTest::mouseClick(line, Qt::LeftButton, {}, line->rect().center());
    QTest::keyClicks(line, "SHARED");
    QTest::keyClick(line, Qt::Key_Return);
    QTRY_VERIFY(!m_page->pictures()->isLoading());
    QCOMPARE(view->count(), 5);
    QVERIFY(!progress->isVisible());
}

void TestLargeAlbum::thumbnailsComeAsTheAlbumIsScrolled()
{
    start();
    open("Big");
    thumbsView *view = m_page->photoView();
    const QList<KivViewItem *> items = view->items();
    QCOMPARE(int(items.size()), BigCount);
    QVERIFY(!m_page->pictures()->isLoading());
    const int inSight = view->cellsInSight();
    QVERIFY(inSight > 0 && inSight < 200);
    // Those in sight and a good way below have their thumbnails; the end has none yet.
    for (int i = 0; i < inSight + PictureCommands::LoadAround; ++i)
        QVERIFY2(!items.at(i)->thumbnail().isNull(), qPrintable(nameOf(i)));
    QVERIFY(items.last()->thumbnail().isNull());
    QCOMPARE(held(), inSight + PictureCommands::LoadAround);
    QCOMPARE(items.at(5)->thumbnail().toImage().pixelColor(50, 36).green() > 80, true);

    // The first picture chosen stays with its thumbnail, however far the user scrolls.
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->cellGeometry(0, 0).center());
    QCOMPARE(view->currentItem(), items.first());
    // Scrolled down a screen at a time to the end: each screen's thumbnails come, and
    // those scrolled past are let go beyond the number held.
    QScrollBar *bar = view->verticalScrollBar();
    int most = 0;
    for (int y = 0; y < bar->maximum(); y += view->viewport()->height()) {
        bar->setValue(y);
        const int first = view->firstIndexInSight();
        QTRY_VERIFY2(!items.at(first)->thumbnail().isNull(), qPrintable(nameOf(first)));
        most = qMax(most, held());
    }
    bar->setValue(bar->maximum());
    QTRY_VERIFY(!items.last()->thumbnail().isNull());
    QTRY_VERIFY(!m_page->pictures()->isLoading());
    most = qMax(most, held());
    QVERIFY2(most <= PictureCommands::MaxHeld + 2 * PictureCommands::LoadAround + 2 * inSight,
             qPrintable(QString::number(most)));
    QVERIFY(items.at(1)->thumbnail().isNull());
    QVERIFY(!items.first()->thumbnail().isNull());  // the current picture's
    // Back at the top, the first ones come again.
    bar->setValue(0);
    QTRY_VERIFY(!items.at(1)->thumbnail().isNull());
    QTRY_VERIFY(!items.at(inSight)->thumbnail().isNull());
}

void TestLargeAlbum::missingPicturesShareOneBlank()
{
    start();
    open("Other");
    const QList<KivViewItem *> items = m_page->photoView()->items();
    QCOMPARE(items.size(), 3);
    QTRY_VERIFY(!items.last()->thumbnail().isNull());
    // Neither picture nor thumbnail: a white canvas, one for all three.
    QCOMPARE(items.at(0)->thumbnail().size(), QSize(99, 73));
    QCOMPARE(items.at(0)->thumbnail().toImage().pixelColor(50, 36), QColor(Qt::white));
    QCOMPARE(items.at(0)->thumbnail().cacheKey(), items.at(1)->thumbnail().cacheKey());
    QCOMPARE(items.at(0)->thumbnail().cacheKey(), items.at(2)->thumbnail().cacheKey());
}

void TestLargeAlbum::choosingEveryPictureWhileTheAlbumFillsTakesTheWholeAlbum()
{
    start();
    m_page->slot_selectLibrary(album("Big"));
    thumbsView *view = m_page->photoView();
    QVERIFY(view->count() >= PictureCommands::FirstBatch && view->count() < BigCount);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->cellGeometry(0, 0).center());
    QCOMPARE(m_page->tray()->count(), 1);

    // Many still to come: a window shows their progress. Cancelled, no picture is
    // chosen beyond the one that was, and the rest of the album still comes.
    const int delay = PictureCommands::ProgressDelay, from = PictureCommands::RestProgressFrom;
    PictureCommands::ProgressDelay = 0;
    PictureCommands::RestProgressFrom = 1000;
    QTimer cancel;
    bool shown = false;
    connect(&cancel, &QTimer::timeout, this, [&] {
        auto *bar = m_window->findChild<QProgressDialog *>("choose progress");
        if (shown || !bar || !bar->isVisible())
            return;
        shown = true;
        QTest::mouseClick(bar->findChild<QPushButton *>(), Qt::LeftButton);
    });
    cancel.start(0);
    QTest::keyClick(view, Qt::Key_A, Qt::ControlModifier);
    cancel.stop();
    QVERIFY(shown);
    QVERIFY(!m_window->findChild<QProgressDialog *>("choose progress"));
    QCOMPARE(m_page->tray()->count(), 1);
    QCOMPARE(view->selectedItems().size(), 1);
    QVERIFY(view->count() < BigCount);

    // Ctrl+A before the rest came: every picture of the album is chosen, and a tag
    // typed then would reach them all.
    QTest::keyClick(view, Qt::Key_A, Qt::ControlModifier);
    PictureCommands::ProgressDelay = delay;
    PictureCommands::RestProgressFrom = from;
    QCOMPARE(view->count(), BigCount);
    QCOMPARE(view->selectedItems().size(), BigCount);
    QCOMPARE(m_page->tray()->count(), BigCount);
    QCOMPARE(view->items().last()->fileName(), nameOf(BigCount - 1));
    QVERIFY(!m_window->findChild<QProgressBar *>()->isVisible());
    // Nothing comes twice afterwards.
    QTest::qWait(50);
    QCOMPARE(view->count(), BigCount);
}

void TestLargeAlbum::choosingEveryPictureOfASearchTakesEveryRow()
{
    start();
    auto *line = m_window->findChild<QLineEdit *>("searchLine");
    line->setText(QStringLiteral("SHARED"));
    QTest::keyClick(line, Qt::Key_Return);
    QTRY_VERIFY(!m_page->pictures()->isLoading());
    thumbsView *view = m_page->photoView();
    // Two pictures of both albums, and the other album's own.
    QCOMPARE(view->count(), 5);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->cellGeometry(0, 0).center());
    QTest::keyClick(view, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(view->selectedItems().size(), 5);
    // The tray holds every row chosen, in the order they stand, the first held alone:
    // a tag typed now reaches both albums' copies of the shared pictures.
    auto namesOf = [](const QList<KivViewItem *> &records) {
        QStringList names;
        for (const KivViewItem *record : records)
            names << record->fileName() + '@' + QFileInfo(record->albumFolder()).fileName();
        return names;
    };
    const QStringList rows = namesOf(view->items());
    QCOMPARE(namesOf(m_page->tray()->records()), rows);
    QCOMPARE(QSet<QString>(rows.cbegin(), rows.cend()),
             (QSet<QString>{"IMG_0000.jpg@Big1", "IMG_0001.jpg@Big1", "IMG_0000.jpg@Other1", "IMG_0001.jpg@Other1",
                            "own.jpg@Other1"}));
    QCOMPARE(m_page->tray()->currentRow(), 4);
    QCOMPARE(m_page->tray()->numRows(), 5);
    // Shown, printed or mailed, each picture comes once, where it first stands.
    const std::unique_ptr<PlayList> shown = m_page->tray()->makeSlideshowAlbum();
    QStringList firsts;
    for (const KivViewItem *record : view->items()) {
        if (!firsts.contains(record->fileName()))
            firsts << record->fileName();
    }
    QCOMPARE(shown->rowCount(), 3);
    for (int i = 0; i < 3; ++i)
        QCOMPARE(shown->rowTable().field(i, AlbumRows::FileName), firsts.at(i));
}

void TestLargeAlbum::allPhotosLetsItsRowsGoOnceClosedAndComesBackWhole()
{
    // All Photos holds a row of every picture, and its records had each album look up
    // its names; once another album opens, all of that goes (made again when needed),
    // and nothing that needs it is the worse for it.
    start();
    PlayList *all = m_page->albumList()->allPhotos();
    QVERIFY(all);
    m_page->slot_selectLibrary(all);
    QTRY_VERIFY(!m_page->pictures()->isLoading());
    thumbsView *view = m_page->photoView();
    QCOMPARE(view->count(), BigCount + 3);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->cellGeometry(0, 0).center());
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::ControlModifier, view->cellGeometry(1, 1).center());
    QCOMPARE(m_page->tray()->count(), 2);
    const QString second = m_page->tray()->records().last()->fileName();

    // The podium next, which shows no records of its own; then a plain album.
    QTreeWidgetItem *podium = nullptr;
    for (int i = 0; i < m_page->albumList()->topLevelItemCount(); ++i) {
        if (m_page->albumList()->topLevelItem(i)->text(1) == QLatin1String("Statistics"))
            podium = m_page->albumList()->topLevelItem(i);
    }
    QVERIFY(podium);
    m_page->slot_selectLibrary(podium);
    QTRY_COMPARE(m_page->pictures()->recordsFreeing(), 0);
    QCOMPARE(all->rowTable().count(), 0);
    open("Other");
    // The tray's pictures, made in All Photos, still name their pictures whole.
    QCOMPARE(mailedNames(), QStringList({nameOf(0), second}));
    m_page->tray()->clear();

    // A heart more, in the open album and in the big one opened after: each album finds
    // its picture's row again and writes it.
    auto *plus = m_page->findChild<QAbstractButton *>("pushButtonFavPlus");
    QVERIFY(plus);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->cellGeometry(0, 0).center());
    QTest::mouseClick(plus, Qt::LeftButton);
    QTRY_VERIFY(readAll(m_db + "/Other1.db").contains("|" + nameOf(0).toUtf8() + "|shared| | |2|"));
    open("Big");
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->cellGeometry(0, 0).center());
    QCOMPARE(m_page->tray()->records().last()->fileName(), nameOf(0));
    QTest::mouseClick(plus, Qt::LeftButton);
    QTRY_VERIFY(readAll(m_db + "/Big1.db").contains("|" + nameOf(0).toUtf8() + "|shared| | |2|"));
    QVERIFY(readAll(m_db + "/Big1/" + nameOf(0) + ".kiv").contains("love=2\r\n"));

    // Opened again, All Photos is whole, with the new hearts.
    m_page->slot_selectLibrary(all);
    QTRY_VERIFY(!m_page->pictures()->isLoading());
    QCOMPARE(view->count(), BigCount + 3);
    QCOMPARE(all->rowTable().count(), BigCount + 3);
    int loved = 0;
    for (const KivViewItem *record : view->items())
        loved += record->love() == 2;
    QCOMPARE(loved, 2);
}

void TestLargeAlbum::tagsOfThousandsOfPicturesAreSavedTogetherOrNotAtAll()
{
    start();
    open("Big");
    thumbsView *view = m_page->photoView();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->cellGeometry(0, 0).center());
    QTest::keyClick(view, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(m_page->tray()->count(), BigCount);
    const QByteArray rows = readAll(m_db + "/Big1.db");
    const QDir folder(m_db + "/Big1");
    auto files = [&folder](const char *pattern) { return folder.entryList({pattern}, QDir::Files | QDir::System).size(); };
    auto *comment = m_page->findChild<propertyTextLabel *>("propertyTextLabelComment");

    // Cancelled while the pictures are prepared (the window shows from the start), then
    // while their files are staged: no picture is changed, on disk or on screen (the
    // field shows the stored comment again), nothing is left behind.
    const int delay = PictureCommands::ProgressDelay;
    PictureCommands::ProgressDelay = 0;
    for (const int from : {0, BigCount, 2 * BigCount}) {
        bool pressed = false;
        int atEnd = 0;  // times the window answered with every property file staged
        QStringList afterCancel;
        // How far the window said the undoing was, over all it had to undo: the files
        // prepared for the change, then the pictures shown as they were again.
        int undoneShown = -1, undoing = 0;
        QTimer cancel;
        connect(&cancel, &QTimer::timeout, this, [&] {
            auto *bar = m_window->findChild<QProgressDialog *>("tag progress");
            if (pressed && bar && bar->isVisible() && !afterCancel.contains(bar->labelText()))
                afterCancel << bar->labelText();
            if (pressed && bar && bar->isVisible() && bar->maximum() > BigCount) {
                undoneShown = qMax(undoneShown, bar->value());
                undoing = bar->maximum();
            }
            if (pressed || !bar || !bar->isVisible())
                return;
            // Pressed at the very end, while the albums and the index are being staged: the
            // bar stands full and still says it saves.
            if (from == 2 * BigCount) {
                if (bar->value() != from || !bar->labelText().startsWith("Saving") || ++atEnd < 3)
                    return;
            } else if (bar->value() <= from) {
                return;
            }
            QCOMPARE(bar->maximum(), 2 * BigCount);
            pressed = true;
            QTest::mouseClick(bar->findChild<QPushButton *>(), Qt::LeftButton);
        });
        cancel.start(0);
        typeInto(m_page, "propertyTextLabelComment", "Harbour");
        cancel.stop();
        QVERIFY(pressed);
        // Cancelled once files were staged, the window says it is removing them (nothing
        // was staged before: nothing to say).
        QCOMPARE(afterCancel, from == 0 ? QStringList() : QStringList{"Undoing the change of 6,000 pictures..."});
        // The bar runs on while the pictures are shown as they were again, on one range.
        if (from > 0)
            QVERIFY2(undoneShown > undoing - BigCount / 2, qPrintable(QStringLiteral("%1 of %2").arg(undoneShown).arg(undoing)));
        QVERIFY(!m_window->findChild<QProgressDialog *>("tag progress"));
        QCOMPARE(files("*.kiv"), 0);
        QCOMPARE(files("*.vellaro-new"), 0);
        QCOMPARE(readAll(m_db + "/Big1.db"), rows);
        QCOMPARE(view->items().at(0)->comment().trimmed(), QString());
        QCOMPARE(view->items().at(BigCount - 1)->comment().trimmed(), QString());
        QVERIFY(m_prompter.messages.isEmpty());
        QCOMPARE(comment->text().trimmed(), QString());
        // A love typed on the keyboard, cancelled alike: the hearts show the stored
        // love again (one, for several pictures), not the love that was not kept.
        pressed = false;
        atEnd = 0;
        cancel.start(0);
        QTest::keyClick(view, Qt::Key_5);
        cancel.stop();
        QVERIFY(pressed);
        QCOMPARE(readAll(m_db + "/Big1.db"), rows);
        QCOMPARE(files("*.kiv"), 0);
        QCOMPARE(view->items().at(0)->love(), 1);
        QCOMPARE(view->items().at(BigCount - 1)->love(), 1);
        QCOMPARE(m_page->hearts()->value(), 1);
    }
    PictureCommands::ProgressDelay = delay;

    // One property file half way cannot be written (a link stands in its place): the
    // user is told once and none of the others is changed either.
    const QString outside = m_dir->filePath("outside.kiv");
    writeFile(outside, "kept\r\n");
    QVERIFY(QFile::link(outside, m_db + "/Big1/" + nameOf(BigCount / 2) + ".kiv"));
    // The message is modal: while it waits for its OK, longer than the progress window
    // waits before it shows, that window (modal too) must not come up over it.
    PictureCommands::ProgressDelay = 1500;
    bool progressOverMessage = false;
    m_prompter.onMessage = [&](const auto &) {
        QTest::qWait(PictureCommands::ProgressDelay + 300);
        auto *bar = m_window->findChild<QProgressDialog *>("tag progress");
        progressOverMessage = bar && bar->isVisible();
    };
    typeInto(m_page, "propertyTextLabelComment", "Lighthouse");
    m_prompter.onMessage = nullptr;
    PictureCommands::ProgressDelay = delay;
    QVERIFY(!progressOverMessage);
    QCOMPARE(m_prompter.messages.size(), 1);
    QCOMPARE(files("*.kiv"), 1);
    QCOMPARE(files("*.vellaro-new"), 0);
    QCOMPARE(readAll(outside), QByteArray("kept\r\n"));
    QCOMPARE(readAll(m_db + "/Big1.db"), rows);
    QCOMPARE(view->items().at(0)->comment().trimmed(), QString());
    QCOMPARE(comment->text().trimmed(), QString());

    // Writable again: every picture gets the comment, in its file and its row. Once
    // every file is staged the window says they are being written and offers no Cancel
    // any more.
    QVERIFY(QFile::remove(m_db + "/Big1/" + nameOf(BigCount / 2) + ".kiv"));
    PictureCommands::ProgressDelay = 0;
    QStringList labels;
    bool cancelOffered = false;
    int mostWritten = 0;
    QTimer watch;
    connect(&watch, &QTimer::timeout, this, [&] {
        auto *bar = m_window->findChild<QProgressDialog *>("tag progress");
        if (!bar || !bar->isVisible())
            return;
        if (labels.isEmpty() || labels.last() != bar->labelText())
            labels << bar->labelText();
        auto *button = bar->findChild<QPushButton *>();
        cancelOffered = button && button->isVisible();
        if (bar->labelText().startsWith("Writing") && bar->maximum() > 0)
            mostWritten = qMax(mostWritten, bar->value() == bar->maximum() ? bar->maximum() : 0);
    });
    watch.start(0);
    typeInto(m_page, "propertyTextLabelComment", "Harbour");
    watch.stop();
    PictureCommands::ProgressDelay = delay;
    QCOMPARE(labels, (QStringList{"Saving the tags of 6,000 pictures...",
                                  "Writing the tags of 6,000 pictures to the disk..."}));
    QVERIFY(!cancelOffered);
    // The bar ends counting every file written: each picture's, the album's, the index's.
    QCOMPARE(mostWritten, BigCount + 2);
    QCOMPARE(m_prompter.messages.size(), 1);
    QCOMPARE(files("*.kiv"), BigCount);
    QCOMPARE(files("*.vellaro-new"), 0);
    for (int i : {0, 1, BigCount / 2, BigCount - 1}) {
        const QByteArray stored = readAll(m_db + "/Big1/" + nameOf(i) + ".kiv");
        QVERIFY2(stored.contains("comment=Harbour\r\n"), qPrintable(nameOf(i)));
    }
    QCOMPARE(readAll(m_db + "/Big1.db").count("|Harbour|"), BigCount);
    QCOMPARE(view->items().at(BigCount - 1)->comment(), QStringLiteral("Harbour"));
}

QTEST_MAIN(TestLargeAlbum)
void TestLargeAlbum::picturesChosenFarFromSightAreMailedWithTheirThumbnails()
{
    start();
    open("Big");
    thumbsView *view = m_page->photoView();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->cellGeometry(0, 0).center());
    QTest::keyClick(view->viewport(), Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(m_page->tray()->count(), BigCount);
    // The last pictures were never in sight: the album holds no thumbnail for them.
    QVERIFY(view->items().last()->thumbnail().isNull());
    int mailed = 0, withThumbnail = 0;
    QColor last;
    m_prompter.onExec = [&](QDialog *dialog) {
        auto *strip = qobject_cast<Composemail *>(dialog)->findChild<ImportTrayBar *>("importTrayBarMail");
        mailed = strip->count();
        for (const KivViewItem *record : strip->records())
            withThumbnail += !record->thumbnail().isNull();
        last = strip->records().last()->thumbnail().toImage().pixelColor(50, 36);
    };
    m_prompter.dialogResults << QDialog::Rejected;
    m_page->slot_sendItem();
    QCOMPARE(mailed, BigCount);
    QCOMPARE(withThumbnail, BigCount);
    QVERIFY2(last.green() > 80 && last.red() < 60, qPrintable(last.name()));

    // Another album opened with every picture still chosen: the tray keeps them, alive
    // and whole, until it lets them go.
    open("Other");
    QCOMPARE(m_page->tray()->count(), BigCount);
    QCOMPARE(m_page->tray()->records().last()->fileName(), nameOf(BigCount - 1));
    m_page->tray()->clear();
    QCOMPARE(m_page->tray()->count(), 0);
    open("Big");
    QCOMPARE(view->items().last()->fileName(), nameOf(BigCount - 1));
}

void TestLargeAlbum::picturesInTheTrayOutliveTheRestOfTheirAlbum()
{
    start();
    open("Big");
    thumbsView *view = m_page->photoView();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->cellGeometry(0, 0).center());
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::ControlModifier, view->cellGeometry(1, 1).center());
    QCOMPARE(m_page->tray()->count(), 2);
    const QString second = m_page->tray()->records().last()->fileName();
    QVERIFY(second != nameOf(0));

    // Another album opened: the records of the big one are let go over the next passes
    // of the event loop, the window answering meanwhile; the two chosen stay.
    m_page->slot_selectLibrary(album("Other"));
    QCOMPARE(m_page->pictures()->recordsFreeing(), BigCount - 2);
    QTRY_COMPARE(m_page->pictures()->recordsFreeing(), 0);
    QTRY_VERIFY(!m_page->pictures()->isLoading());
    QCOMPARE(mailedNames(), QStringList({nameOf(0), second}));
    // Opened again, the album is whole.
    open("Big");
    QCOMPARE(view->count(), BigCount);
    QCOMPARE(view->items().last()->fileName(), nameOf(BigCount - 1));
}

#include "tst_largealbum.moc"

void TestLargeAlbum::rowsReadAfterTheWindowShowsAreWholeWhereverUsedFirst()
{
    const QByteArray bigBefore = readAll(m_db + "/Big1.db");
    showWithoutWaiting();
    // The list is whole at once: both albums, with their titles and dates.
    QCOMPARE(m_page->albumList()->storedAlbums().size(), 2);
    QVERIFY(album("Big")->rowsPending());
    QCOMPARE(static_cast<QTreeWidgetItem *>(album("Big"))->text(1), QStringLiteral("Big"));
    QCOMPARE(static_cast<QTreeWidgetItem *>(album("Big"))->text(2), QStringLiteral("2004-01-01"));
    // The small album was read whole.
    QVERIFY(!album("Other")->rowsPending());
    QVERIFY(!m_page->startupBackupStarted());
    // Renamed in the list before its rows came: the file is written with every row.
    static_cast<QTreeWidgetItem *>(album("Big"))->setText(1, QStringLiteral("Renamed"));
    const QByteArray bigAfter = readAll(m_db + "/Big1.db");
    QVERIFY(bigAfter.startsWith("KivDir=Big1\r\nTitle=Renamed\r\n"));
    QCOMPARE(bigAfter.mid(bigAfter.indexOf("NumFile=")), bigBefore.mid(bigBefore.indexOf("NumFile=")));
    QCOMPARE(album("Big")->rowCount(), BigCount);

    // Again, searched before any row came: every picture of both albums is found.
    cleanup();
    showWithoutWaiting();
    QVERIFY(album("Big")->rowsPending());
    auto *search = m_window->findChild<QLineEdit *>("searchLine");
    QVERIFY(search);
    search->setText(QStringLiteral("shared"));
    QTest::keyClick(search, Qt::Key_Return);
    QTRY_VERIFY(!m_page->pictures()->isLoading());
    QCOMPARE(m_page->photoView()->count(), 2 + 3);
    // Once shown, the rest is read and taken in: the catalogue loaded cleanly, and so its
    // daily copy is made, of the whole of it.
    QTRY_VERIFY(!album("Big")->rowsPending());
    QTRY_VERIFY(m_page->startupBackupStarted());
    QCOMPARE(m_page->waitForStartupBackup(), QString());
    QVERIFY(m_prompter.messages.isEmpty());
    QCOMPARE(readAll(m_db + "/Big1.db"), bigAfter);
}

void TestLargeAlbum::albumFoundDamagedAfterTheWindowShowsIsToldAndRefused()
{
    // A big album file cut in the middle of its last row, past its first kilobytes.
    QByteArray cut = readAll(m_db + "/Big1.db");
    cut.chop(cut.size() - cut.lastIndexOf("\r\nFile=") + 20);
    writeFile(m_db + "/Big1.db", cut);
    showWithoutWaiting();
    QVERIFY(album("Big")->rowsPending());
    QVERIFY(m_prompter.messages.isEmpty());
    // Said once the rest of the file is read, and the album refuses every write.
    QTRY_COMPARE(m_prompter.messages.size(), 1);
    const QString text = m_prompter.messages.first().text;
    QVERIFY2(text.contains("\"Big\"") && text.contains("cut short in the middle of a row"), qPrintable(text));
    QVERIFY(text.contains("vellaro-cli check --repair"));
    QVERIFY(!album("Big")->isValid());
    QCOMPARE(static_cast<QTreeWidgetItem *>(album("Big"))->foreground(1).color(), QColor(160, 0, 0));
    static_cast<QTreeWidgetItem *>(album("Big"))->setText(1, QStringLiteral("Renamed"));
    QCOMPARE(readAll(m_db + "/Big1.db"), cut);
    // No copy is made of a catalogue that did not load cleanly.
    QVERIFY(!m_page->startupBackupStarted());

    // Used before its rows came, the damage is found there and then: the rename is refused.
    cleanup();
    m_prompter = ScriptedPrompter();
    showWithoutWaiting();
    QVERIFY(album("Big")->rowsPending());
    static_cast<QTreeWidgetItem *>(album("Big"))->setText(1, QStringLiteral("Renamed"));
    QCOMPARE(readAll(m_db + "/Big1.db"), cut);
    QVERIFY(!album("Big")->isValid());
    QTRY_COMPARE(m_prompter.messages.size(), 1);
}
