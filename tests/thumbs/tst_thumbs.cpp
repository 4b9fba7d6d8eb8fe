#include "hello.h"
#include "photoitem.h"
#include "pixmaplookup.h"
#include "thumbnailloader.h"
#include "thumbspreferences.h"
#include "thumbsview.h"
#include "updatethumbsdialog.h"

#include <QMimeData>
#include <QTemporaryDir>
#include <QDrag>
#include <QtTest>

namespace {

struct Prefs : ThumbsPreferences
{
    bool names = false, all = false, frameOn = true;
    bool viewFileName() const override { return names; }
    bool showAllFavorites() const override { return all; }
    bool paintFrame() const override { return frameOn; }
    QString frame() const override { return QStringLiteral("Photo (default)"); }
};

// A view of `count` records named p0.jpg, p1.jpg, ... in a viewport `columns` cells wide.
struct Grid
{
    Prefs prefs;
    thumbsView view;
    std::vector<std::unique_ptr<PhotoItem>> records;

    Grid(int count, int columns)
    {
        view.setPreferences(&prefs);
        view.loadFrameFromPreferences();
        view.resize(columns * 133 + 3 + view.frameWidth() * 2 + 20, 600);
        view.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        view.show();  // the viewport has its size once shown
        QCoreApplication::processEvents();
        for (int i = 0; i < count; ++i)
            add(QStringLiteral("p%1.jpg").arg(i));
        view.arrange(false, nullptr);
    }
    PhotoItem *add(const QString &name)
    {
        records.push_back(std::make_unique<PhotoItem>(name));
        records.back()->setFileName(name);
        records.back()->setSourceFolder(QStringLiteral("/pics"));
        view.appendItem(records.back().get());
        return records.back().get();
    }
    PhotoItem *at(int i) { return records.at(i).get(); }
    QPoint centre(int i)
    {
        const KivViewItem *r = records.at(i).get();
        return view.cellGeometry(r->row(), r->column()).center() - QPoint(view.contentsX(), view.contentsY());
    }
    QStringList selected() const
    {
        QStringList names;
        for (const KivViewItem *item : view.selectedItems())
            names << item->fileName();
        return names;
    }
};

} // namespace

class TestThumbs : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void arrange();
    void loveRule_data();
    void loveRule();
    void badgePositions();
    void clicksAndRanges();
    void emptyingKeepsTheMultipleSelection();
    void keys();
    void sameNameTwice();
    void lookUps();
    void drops();
    void paintsSingleCells();
    void longNamesStayOnOneLine();
    void loaderMakesMissingThumbnails();
    void updateDialog();
};

void TestThumbs::initTestCase()
{
    PixmapLookup::configure(QStringLiteral("/nonexistent"), false);
    qRegisterMetaType<KivViewItem *>();  // signal spies keep the records the signals name
}

void TestThumbs::arrange()
{
    Grid narrow(3, 0);
    narrow.view.resize(120, 300);
    QCoreApplication::processEvents();
    narrow.view.arrange(false, nullptr);
    QCOMPARE(narrow.view.numCols(), 0);  // narrower than one cell

    Grid one(3, 1);
    QCOMPARE(one.view.numCols(), 1);
    QCOMPARE(one.view.numRows(), 3);
    QCOMPARE(QPoint(one.at(2)->column(), one.at(2)->row()), QPoint(0, 2));

    Grid many(7, 3);
    QCOMPARE(many.view.numCols(), 3);
    QCOMPARE(many.view.numRows(), 3);
    QCOMPARE(QPoint(many.at(4)->column(), many.at(4)->row()), QPoint(1, 1));
    QCOMPARE(QPoint(many.at(6)->column(), many.at(6)->row()), QPoint(0, 2));
    QCOMPARE(many.view.itemAt(2, 0), many.at(6));
    QCOMPARE(many.view.itemAt(2, 1), nullptr);
    // The cell geometry: 133 x 140 after the 3-pixel margins.
    QCOMPARE(many.view.cellGeometry(1, 2), QRect(3 + 266, 3 + 140, 133, 140));
    // A wider window, then a narrower one: the pictures flow again to fill the rows.
    const auto widthFor = [&](int columns) { return columns * 133 + 3 + many.view.frameWidth() * 2 + 20; };
    many.view.resize(widthFor(5), 600);
    QCOMPARE(many.view.numCols(), 5);
    QCOMPARE(many.view.numRows(), 2);
    QCOMPARE(QPoint(many.at(4)->column(), many.at(4)->row()), QPoint(4, 0));
    QCOMPARE(many.view.itemAt(1, 1), many.at(6));
    many.view.resize(widthFor(2), 600);
    QCOMPARE(many.view.numRows(), 4);
    QCOMPARE(QPoint(many.at(6)->column(), many.at(6)->row()), QPoint(0, 3));

    // Search results hold one picture name once per album: every record still gets
    // a cell of its own, in list order.
    Grid twice(0, 3);
    for (const char *name : {"dune.jpg", "storm.jpg", "wood.jpg", "dune.jpg", "storm.jpg", "wood.jpg"})
        twice.add(QLatin1String(name));
    twice.view.arrange(false, nullptr);
    QSet<QPair<int, int>> cells;
    for (int i = 0; i < 6; ++i)
        cells.insert({twice.at(i)->row(), twice.at(i)->column()});
    QCOMPARE(cells.size(), 6);
    QCOMPARE(QPoint(twice.at(4)->column(), twice.at(4)->row()), QPoint(1, 1));

    QSignalSpy reload(&many.view, &thumbsView::librarySelected);
    many.view.arrange(true, nullptr);
    QCOMPARE(reload.count(), 1);
    QCOMPARE(many.view.count(), 0);
}

void TestThumbs::loveRule_data()
{
    QTest::addColumn<bool>("showAll");
    QTest::addColumn<int>("love");
    QTest::addColumn<int>("hearts");
    QTest::newRow("off, 1") << false << 1 << 0;
    QTest::newRow("off, 4") << false << 4 << 0;
    QTest::newRow("off, 5") << false << 5 << 1;
    QTest::newRow("on, 1") << true << 1 << 0;
    QTest::newRow("on, 2") << true << 2 << 2;
    QTest::newRow("on, 5") << true << 5 << 5;
}

void TestThumbs::loveRule()
{
    QFETCH(bool, showAll);
    QFETCH(int, love);
    QFETCH(int, hearts);
    Grid grid(1, 2);
    grid.prefs.all = showAll;
    grid.at(0)->setLove(love);
    QList<int> xs;
    for (const thumbsView::Badge &badge : grid.view.badgesFor(grid.at(0))) {
        if (badge.picture == QLatin1String("favorites.png")) {
            xs << badge.position.x();
            QCOMPARE(badge.position.y(), 98);
        }
    }
    QCOMPARE(int(xs.size()), hearts);
    for (int i = 1; i < xs.size(); ++i)
        QCOMPARE(xs.at(i) - xs.at(i - 1), 15);
    if (!xs.isEmpty())
        QCOMPARE(xs.first(), 5);  // no property file: the hearts start the row
}

void TestThumbs::badgePositions()
{
    QTemporaryDir dir;
    Grid grid(1, 2);
    PhotoItem *item = grid.at(0);
    item->setAlbumFolder(dir.path());
    item->writeProperties();  // it now has a property file: the info badge leads
    item->setLove(5);
    item->setCopied(true);
    item->setUserBadge(6);
    const QList<thumbsView::Badge> badges = grid.view.badgesFor(item);
    QCOMPARE(badges.size(), 4);
    QCOMPARE(badges.at(0).picture, QStringLiteral("badge-info.png"));
    QCOMPARE(badges.at(0).position, QPoint(5, 96));
    const int infoWidth = kivPixmap("badge-info.png").width();
    QCOMPARE(badges.at(1).position, QPoint(5 + infoWidth + 1, 98));
    QCOMPARE(badges.at(2).position, QPoint(97, 100));
    QCOMPARE(badges.at(3).picture, QStringLiteral("userbadge-toemail.png"));
    QCOMPARE(badges.at(3).position, QPoint(98, 0));
    item->setUserBadge(2);
    QCOMPARE(grid.view.badgesFor(item).last().position, QPoint(107, 0));
    item->setUserBadge(9);
    QCOMPARE(grid.view.badgesFor(item).last().picture, QStringLiteral("badge-clip.png"));
}

void TestThumbs::emptyingKeepsTheMultipleSelection()
{
    // Emptying the view (another album is opened) keeps the multiple selection: the
    // next plain click there ends it and empties the tray.
    Grid grid(9, 3);
    grid.view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid.view));
    QWidget *vp = grid.view.viewport();
    QTest::mouseClick(vp, Qt::LeftButton, Qt::ControlModifier, grid.centre(3));
    QTest::mouseClick(vp, Qt::LeftButton, Qt::ControlModifier, grid.centre(4));
    QVERIFY(grid.view.isMultipleSelection());
    grid.view.clear();
    QVERIFY(grid.view.isMultipleSelection());
    grid.add(QStringLiteral("other.jpg"));
    grid.view.arrange(false, nullptr);
    QSignalSpy emptied(&grid.view, &thumbsView::cleartray);
    QTest::mouseClick(vp, Qt::LeftButton, {}, grid.centre(9));
    QCOMPARE(emptied.count(), 1);
    QVERIFY(!grid.view.isMultipleSelection());
}

void TestThumbs::clicksAndRanges()
{
    Grid grid(9, 3);
    grid.view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid.view));
    QWidget *vp = grid.view.viewport();
    QSignalSpy current(&grid.view, &thumbsView::currentChanged);
    QTest::mouseClick(vp, Qt::LeftButton, {}, grid.centre(4));
    QCOMPARE(grid.selected(), QStringList{"p4.jpg"});
    QCOMPARE(current.last().first().value<KivViewItem *>(), grid.at(4));
    QTest::mouseClick(vp, Qt::LeftButton, {}, grid.centre(5));
    QCOMPARE(grid.selected(), QStringList{"p5.jpg"});

    // Shift alone turns on both states; a click then extends a range from the anchor.
    QSignalSpy multi(&grid.view, &thumbsView::multiSelection);
    QTest::keyPress(&grid.view, Qt::Key_Shift);
    QVERIFY(grid.view.ctrlHeld());
    QCOMPARE(multi.count(), 1);
    // The anchor p5 stands at column 2, row 1 and p7 at column 1, row 2: not to the
    // right, so columns 1 to 2 of rows 1 to 2 are selected.
    QTest::mouseClick(vp, Qt::LeftButton, Qt::ShiftModifier, grid.centre(7));
    QCOMPARE(grid.selected(), (QStringList{"p4.jpg", "p5.jpg", "p7.jpg", "p8.jpg"}));
    QTest::keyRelease(&grid.view, Qt::Key_Shift);
    QVERIFY(!grid.view.ctrlHeld());

    // A plain click ends the multiple selection and empties the tray.
    QSignalSpy tray(&grid.view, &thumbsView::cleartray);
    QTest::mouseClick(vp, Qt::LeftButton, {}, grid.centre(0));
    QCOMPARE(tray.count(), 1);
    QVERIFY(grid.selected().size() <= 1);

    // Shift-click on a row above the anchor selects only the record clicked.
    QTest::mouseClick(vp, Qt::LeftButton, {}, grid.centre(7));
    QTest::keyPress(&grid.view, Qt::Key_Shift);
    QTest::mouseClick(vp, Qt::LeftButton, Qt::ShiftModifier, grid.centre(1));
    QCOMPARE(grid.selected(), (QStringList{"p1.jpg", "p7.jpg"}));
    QTest::keyRelease(&grid.view, Qt::Key_Shift);

    // Ctrl-clicks collect records.
    QTest::mouseClick(vp, Qt::LeftButton, {}, grid.centre(0));
    QTest::mouseClick(vp, Qt::LeftButton, {}, grid.centre(0));
    QTest::keyPress(&grid.view, Qt::Key_Control);
    QTest::mouseClick(vp, Qt::LeftButton, Qt::ControlModifier, grid.centre(8));
    QTest::keyRelease(&grid.view, Qt::Key_Control);
    QVERIFY(grid.selected().contains("p8.jpg"));
    QVERIFY(grid.view.isMultipleSelection());
    // The click's own keys decide, whatever key presses the view saw: a Ctrl-click
    // with the focus elsewhere adds, a plain click after a Ctrl press replaces.
    QSignalSpy announced(&grid.view, &thumbsView::multiSelection);
    QTest::mouseClick(vp, Qt::LeftButton, Qt::ControlModifier, grid.centre(6));
    QVERIFY(grid.selected().contains("p6.jpg") && grid.selected().contains("p8.jpg"));
    QCOMPARE(announced.count(), 1);
    QTest::keyPress(&grid.view, Qt::Key_Control);
    QTest::mouseClick(vp, Qt::LeftButton, {}, grid.centre(2));
    QCOMPARE(grid.selected(), QStringList{"p2.jpg"});
    QTest::keyRelease(&grid.view, Qt::Key_Control);


    // A press on an empty cell reports no record; the right button asks for the menu.
    QSignalSpy menu(&grid.view, &thumbsView::contextMenuRequested);
    QTest::mouseClick(vp, Qt::RightButton, {}, grid.centre(8));
    QCOMPARE(menu.count(), 1);
    QCOMPARE(menu.first().first().value<KivViewItem *>(), grid.at(8));
}

void TestThumbs::keys()
{
    Grid grid(8, 3);  // the last row holds p6 and p7 only
    grid.view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid.view));
    QTest::keyClick(&grid.view, Qt::Key_Home);
    QCOMPARE(grid.view.currentItem(), grid.at(0));
    QTest::keyClick(&grid.view, Qt::Key_End);
    QCOMPARE(grid.view.currentItem(), grid.at(7));  // End on a partial last row
    QTest::keyClick(&grid.view, Qt::Key_Down);      // on the last row: nothing
    QCOMPARE(grid.view.currentItem(), grid.at(7));
    QTest::keyClick(&grid.view, Qt::Key_Right);     // no record to the right
    QCOMPARE(grid.view.currentItem(), grid.at(7));
    QTest::keyClick(&grid.view, Qt::Key_Up);
    QCOMPARE(grid.view.currentItem(), grid.at(4));
    QTest::keyClick(&grid.view, Qt::Key_Left);
    QCOMPARE(grid.view.currentItem(), grid.at(3));
    QCOMPARE(grid.selected(), QStringList{"p3.jpg"});
    QSignalSpy open(&grid.view, &thumbsView::doubleClicked);
    QSignalSpy remove(&grid.view, &thumbsView::removePhoto);
    QTest::keyClick(&grid.view, Qt::Key_Return);
    QCOMPARE(open.first().first().value<KivViewItem *>(), grid.at(3));
    QTest::keyClick(&grid.view, Qt::Key_Delete);
    QTest::keyClick(&grid.view, Qt::Key_Backspace);
    QCOMPARE(remove.count(), 2);
}

void TestThumbs::sameNameTwice()
{
    Grid grid(0, 3);
    PhotoItem *a = grid.add("a.jpg");
    PhotoItem *first = grid.add("same.jpg");
    PhotoItem *b = grid.add("b.jpg");
    PhotoItem *second = grid.add("same.jpg");
    PhotoItem *c = grid.add("c.jpg");
    grid.view.arrange(false, nullptr);
    first->setThumbnail(QPixmap(10, 10));
    first->setFileTime(QDateTime(QDate(2003, 1, 5), QTime(10, 0)));
    second->setFileTime(QDateTime(QDate(2004, 1, 5), QTime(10, 0)));
    // Stepping goes from the record itself: from the second, never back to the first's
    // neighbours (which would step between the two for ever).
    QCOMPARE(grid.view.previousItem(second), b);
    QCOMPARE(grid.view.nextItem(second), c);
    QCOMPARE(grid.view.nextItem(first), b);
    // Look-ups by name act on the first of the two.
    QCOMPARE(grid.view.thumbnailOf("same.jpg").size(), QSize(10, 10));
    QCOMPARE(grid.view.dateOf("same.jpg"), QDateTime(QDate(2003, 1, 5), QTime(10, 0)));
    QCOMPARE(grid.view.previousItem(a), nullptr);
    QCOMPARE(grid.view.nextItem(c), nullptr);
    QCOMPARE(grid.view.thumbnailOf(QString()).isNull(), true);
}

void TestThumbs::lookUps()
{
    Grid grid(4, 2);
    grid.at(2)->setSourceFolder(QStringLiteral("C:\\pics\\trip"));
    QCOMPARE(grid.view.itemByPath("C:/pics/trip/p2.jpg"), grid.at(2));
    QCOMPARE(grid.view.itemByPath("/pics/p3.jpg"), grid.at(3));
    QCOMPARE(grid.view.itemByCellText("cell|1,1"), grid.at(3));
    QCOMPARE(grid.view.itemByCellText("no bar"), nullptr);
    // Moving p3 before p2: cells and places exchange.
    grid.view.moveUp(grid.at(3), grid.at(2));
    QCOMPARE(grid.view.items().at(2), grid.at(3));
    QCOMPARE(QPoint(grid.at(3)->column(), grid.at(3)->row()), QPoint(0, 1));
    PhotoItem copy(QStringLiteral("temp"));
    grid.at(0)->setTitle(QStringLiteral("Dune"));
    grid.at(0)->setPersonInit(QStringLiteral("Anna"));
    grid.at(0)->setEvent(QStringLiteral("not copied"));
    thumbsView::copyProperties(grid.at(0), &copy);
    QCOMPARE(copy.title(), QStringLiteral("Dune"));
    QCOMPARE(copy.personInit(), QStringLiteral("Anna"));
    QCOMPARE(copy.event(), QString());
    QCOMPARE(copy.fileName(), QStringLiteral("p0.jpg"));

    // Replacing: the fresh record takes the place and cell of the one with its name,
    // and the old record's thumbnail.
    PhotoItem newer(QStringLiteral("p1.jpg"));
    newer.setFileName(QStringLiteral("p1.jpg"));
    newer.setTitle(QStringLiteral("new title"));
    grid.at(0)->setThumbnail(QPixmap(7, 7));
    const std::unique_ptr<KivViewItem> fresh = grid.view.replaceItem(grid.at(0), &newer);
    QVERIFY(fresh);
    QCOMPARE(fresh->caption(), QStringLiteral("temp"));
    QCOMPARE(grid.view.items().at(1), fresh.get());
    QCOMPARE(QPoint(fresh->column(), fresh->row()), QPoint(1, 0));
    QCOMPARE(fresh->title(), QStringLiteral("new title"));
    QCOMPARE(fresh->thumbnail().size(), QSize(7, 7));
    PhotoItem nobody(QStringLiteral("none.jpg"));
    nobody.setFileName(QStringLiteral("none.jpg"));
    QVERIFY(!grid.view.replaceItem(grid.at(0), &nobody));
    grid.view.removeItem(fresh.get());
}

void TestThumbs::drops()
{
    Grid grid(2, 3);
    grid.view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid.view));
    QSignalSpy files(&grid.view, &thumbsView::addFile);
    QSignalSpy texts(&grid.view, &thumbsView::itemDroped);
    auto drop = [&](QMimeData *data, const QPoint &at) {
        QDragEnterEvent enter(at, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        enter.setAccepted(false);
        QCoreApplication::sendEvent(grid.view.viewport(), &enter);
        QDropEvent event(at, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(grid.view.viewport(), &event);
        return enter.isAccepted();
    };
    QMimeData uris;
    uris.setUrls({QUrl::fromLocalFile("/elsewhere/x.jpg")});
    const QPoint empty = grid.view.cellGeometry(0, 2).center();
    QVERIFY(drop(&uris, empty));
    QCOMPARE(files.count(), 1);
    QCOMPARE(files.first().at(0).toStringList(), QStringList{"/elsewhere/x.jpg"});
    QCOMPARE(files.first().at(1).value<KivViewItem *>(), nullptr);  // an empty cell: no record
    QVERIFY(drop(&uris, grid.centre(1)));
    QCOMPARE(files.last().at(1).value<KivViewItem *>(), grid.at(1));
    QMimeData text;
    text.setText(QStringLiteral("hello"));
    drop(&text, empty);  // a text on an empty cell is ignored
    QCOMPARE(texts.count(), 0);
    drop(&text, grid.centre(0));
    QCOMPARE(texts.count(), 1);
    QMimeData nothing;
    nothing.setData("application/x-unknown", "x");
    QVERIFY(!drop(&nothing, empty));

    // A quick drag out of a cell carries the picture pressed on, though the pointer has
    // left its cell by the time the drag starts.
    QString carried;
    QTimer::singleShot(0, this, [&] {
        if (const auto *drag = grid.view.findChild<QDrag *>(QStringLiteral("dragitem")))
            carried = drag->mimeData()->urls().value(0).fileName();
        QDrag::cancel();
    });
    QTest::mousePress(grid.view.viewport(), Qt::LeftButton, {}, grid.centre(1));
    QTest::mouseMove(grid.view.viewport(), empty);
    QTest::mouseRelease(grid.view.viewport(), Qt::LeftButton, {}, empty);
    QTRY_COMPARE(carried, QStringLiteral("p1.jpg"));
}

void TestThumbs::paintsSingleCells()
{
    Grid grid(12, 3);
    grid.view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid.view));
    QCoreApplication::processEvents();
    QWidget *vp = grid.view.viewport();
    grid.view.resetPaintedCells();
    QTest::mouseMove(vp, grid.centre(4));
    QTRY_VERIFY(grid.view.paintedCells() >= 1);
    QCoreApplication::processEvents();
    QVERIFY2(grid.view.paintedCells() <= 2, qPrintable(QString::number(grid.view.paintedCells())));
    grid.view.resetPaintedCells();
    QTest::mouseMove(vp, grid.centre(5));  // the old cell back, the new one enlarged
    QCoreApplication::processEvents();
    QTRY_VERIFY(grid.view.paintedCells() >= 2);
    QVERIFY(grid.view.paintedCells() <= 3);
    grid.view.resetPaintedCells();
    QTest::mouseClick(vp, Qt::LeftButton, {}, grid.centre(7));
    QCoreApplication::processEvents();
    QTRY_VERIFY(grid.view.paintedCells() >= 1);
    QVERIFY(grid.view.paintedCells() <= 3);
}

void TestThumbs::longNamesStayOnOneLine()
{
    // Names of 21 characters are shown whole; with a hyphen or a space in them they
    // are wider than a cell. They are drawn as one run of letters inside the cell, plain
    // and chosen (bold), never as a first line spread across the cell.
    Grid grid(0, 3);
    grid.prefs.names = true;
    const QStringList names{"focal-ubuntukylin.png", "Summer holiday 2019.j", "p.jpg", "Summer holiday 2019 by the lake.jpg"};
    for (const QString &name : names)
        grid.add(name);
    grid.view.arrange(false, nullptr);
    QVERIFY(QTest::qWaitForWindowExposed(&grid.view));
    auto inkColumns = [&](int i) {
        const QImage shot = grid.view.viewport()->grab().toImage();
        const QRect cell = grid.view.cellGeometry(grid.at(i)->row(), grid.at(i)->column())
                               .translated(-grid.view.contentsX(), -grid.view.contentsY());
        QList<int> columns;
        for (int x = cell.left() - 4; x < cell.left() + 133; ++x) {
            for (int y = cell.top() + 125; y < cell.top() + 145; ++y) {
                if (x >= 0 && qGray(shot.pixel(x, y)) < 110) {
                    columns << x - cell.left();
                    break;
                }
            }
        }
        return columns;
    };
    auto check = [&](int i) {
        const QList<int> ink = inkColumns(i);
        QVERIFY2(ink.size() > 40, qPrintable(names[i]));
        QVERIFY2(ink.first() >= 0 && ink.last() < 125, qPrintable(names[i]));
        int widestGap = 0;
        for (int k = 1; k < ink.size(); ++k)
            widestGap = qMax(widestGap, ink[k] - ink[k - 1]);
        QVERIFY2(widestGap <= 12, qPrintable(names[i] + " gap " + QString::number(widestGap)));
    };
    check(0);
    check(1);
    check(3);
    QCOMPARE(grid.at(2)->caption(), QStringLiteral("p.jpg"));
    // What is drawn: a whole name keeps its start and extension; a caption cut short
    // keeps one ellipsis at its end, also when the rest fits.
    const QFontMetrics metrics(grid.view.font());
    const QString focal = thumbsView::shownName("focal-ubuntukylin.png", metrics, 60);
    QVERIFY2(focal.startsWith("foc") && focal.endsWith("png") && focal.contains(QChar(0x2026)), qPrintable(focal));
    const QString caption = KivViewItem::captionFor("a-very-long-name-with-hyphens.jpg");
    QCOMPARE(caption, QStringLiteral("a-very-long-name-w..."));
    const int captionWidth = metrics.horizontalAdvance(caption);
    QCOMPARE(thumbsView::shownName(caption, metrics, captionWidth), caption);
    const QString near = thumbsView::shownName(caption, metrics, captionWidth - 1);
    QVERIFY2(near.startsWith("a-very-long-name") && near.endsWith(QChar(0x2026)), qPrintable(near));
    const QString narrow = thumbsView::shownName(caption, metrics, captionWidth / 2);
    QVERIFY2(narrow.startsWith("a-ve") && narrow.endsWith(QChar(0x2026)) && !narrow.contains("..."), qPrintable(narrow));
    QCOMPARE(thumbsView::shownName("p.jpg", metrics, 125), QStringLiteral("p.jpg"));
    QTest::mouseClick(grid.view.viewport(), Qt::LeftButton, {}, grid.centre(0));
    QTest::mouseClick(grid.view.viewport(), Qt::LeftButton, Qt::ControlModifier, grid.centre(1));
    QTRY_COMPARE(grid.selected().size(), 2);
    check(0);
    check(1);
}

void TestThumbs::loaderMakesMissingThumbnails()
{
    QTemporaryDir dir;
    QImage picture(200, 100, QImage::Format_RGB32);
    picture.fill(Qt::red);
    QVERIFY(picture.save(dir.filePath("a.jpg")));
    QVERIFY(picture.save(dir.filePath("b.jpg")));
    QImage stored(99, 73, QImage::Format_RGB32);
    stored.fill(Qt::blue);
    QVERIFY(stored.save(dir.filePath("album-b.jpg"), "JPEG"));
    ThumbnailLoader loader;
    QSignalSpy ready(&loader, &ThumbnailLoader::ready);
    QSignalSpy finished(&loader, &ThumbnailLoader::finished);
    loader.start({{dir.filePath("album-a.jpg"), dir.filePath("a.jpg")},
                  {dir.filePath("album-b.jpg"), dir.filePath("b.jpg")},
                  {dir.filePath("album-c.jpg"), dir.filePath("missing.jpg")}});
    QVERIFY(finished.wait(20000));
    QCOMPARE(ready.count(), 3);
    QMap<int, QList<QVariant>> byIndex;
    for (const QList<QVariant> &r : ready)
        byIndex.insert(r.at(0).toInt(), r);
    // a: no thumbnail file yet: made from the picture and written for the next start.
    QVERIFY(byIndex[0].at(4).toBool());
    QCOMPARE(byIndex[0].at(2).toSize(), QSize(200, 100));
    QVERIFY(QFile::exists(dir.filePath("album-a.jpg")));
    // b: its thumbnail file is read as it is.
    QVERIFY(!byIndex[1].at(4).toBool());
    QVERIFY(qBlue(byIndex[1].at(1).value<QImage>().pixel(50, 36)) > 200);
    // c: nothing to read or make: a blank thumbnail, nothing written.
    QVERIFY(!byIndex[2].at(4).toBool());
    QVERIFY(!QFile::exists(dir.filePath("album-c.jpg")));
}

void TestThumbs::updateDialog()
{
    updateThumbsDialog dialog;
    QCOMPARE(dialog.text(), QStringLiteral("<b>Updating photo(s) :</b><br>Please wait during loading."));
    dialog.setTotalSteps(2);
    dialog.show();
    dialog.addPhoto(QStringLiteral("/pics"), QStringLiteral("a.jpg"));
    QCOMPARE(dialog.text(), QStringLiteral("/pics/a.jpg"));
    QVERIFY(dialog.isVisible());
    PhotoItem item(QStringLiteral("b.jpg"));
    item.setSourceFolder(QStringLiteral("/pics/b"));
    dialog.addPhoto(&item);
    QCOMPARE(dialog.text(), QStringLiteral("/pics/b"));
    QVERIFY(!dialog.isVisible());  // done: it hides itself
}

QTEST_MAIN(TestThumbs)
#include "tst_thumbs.moc"
