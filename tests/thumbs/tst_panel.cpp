#include "favoriteswidget.h"
#include "photoitem.h"
#include "pixmaplookup.h"
#include "playlist.h"
#include "propertytextlabel.h"
#include "traybarphoto.h"

#include <QComboBox>
#include <QLineEdit>
#include <QtTest>

// The property panel's fields and the pictures tray, on their own.
class TestPanel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void shownValue();
    void editingAField();
    void categoryList();
    void reportingVariants();
    void loveBounds();
    void traySingleAndMultiple();
    void trayRemovalsAndAlbum();
    void trayDrawing();
};

namespace {

std::unique_ptr<PhotoItem> picture(const QString &name, const QColor &colour = Qt::red)
{
    auto record = std::make_unique<PhotoItem>(name);
    record->setFileName(name);
    record->setSourceFolder(QStringLiteral("/pics"));
    QPixmap thumb(99, 73);
    thumb.fill(colour);
    record->setThumbnail(thumb);
    return record;
}

} // namespace

void TestPanel::initTestCase()
{
    PixmapLookup::configure(QStringLiteral("/nonexistent"), false);
}

void TestPanel::shownValue()
{
    const QFontMetrics metrics(QApplication::font());
    const QString value = QStringLiteral("Holidays in Brittany");
    const int width = metrics.horizontalAdvance(value);
    Qt::Alignment alignment;
    // Exactly as wide as the field counts as too wide.
    QCOMPARE(propertyTextLabel::displayText(value, metrics, width, &alignment), QStringLiteral("...idays in Brittany"));
    QVERIFY(alignment & Qt::AlignRight);
    QCOMPARE(propertyTextLabel::displayText(value, metrics, width + 1, &alignment),
             value + QStringLiteral("............................................"));
    QVERIFY(alignment & Qt::AlignLeft);

    propertyTextLabel field;
    field.resize(40, 20);
    field.show();
    field.setText(value);
    QCOMPARE(field.text(), value);
    QCOMPARE(field.QLabel::text(), QStringLiteral("...idays in Brittany"));
    field.resize(metrics.horizontalAdvance(value) + 50, 20);
    QVERIFY(field.QLabel::text().startsWith(value + QStringLiteral("....")));
}

void TestPanel::editingAField()
{
    propertyTextLabel field;
    field.resize(200, 22);
    field.setMaxLength(30);
    field.setText(QStringLiteral("Old"));
    field.show();
    QVERIFY(QTest::qWaitForWindowExposed(&field));
    QSignalSpy save(&field, &propertyTextLabel::SaveNewProperty);

    QTest::mouseClick(&field, Qt::LeftButton);
    QLineEdit *editor = field.lineEditor();
    QVERIFY(editor->isVisible());
    QCOMPARE(editor->text(), QStringLiteral("Old"));
    QCOMPARE(editor->maxLength(), 30);
    QCOMPARE(editor->geometry(), QRect(0, 0, 200, 22));
    editor->selectAll();
    QTest::keyClicks(editor, QStringLiteral("Sunset"));
    QTest::keyClick(editor, Qt::Key_Return);
    QCOMPARE(save.count(), 1);
    QCOMPARE(field.text(), QStringLiteral("Sunset"));
    QVERIFY(field.isModified());
    QVERIFY(!editor->isVisible());
    QVERIFY(editor->text().isEmpty());

    // A single blank is shown but not saved.
    field.setModified(false);
    QTest::mouseClick(&field, Qt::LeftButton);
    editor->selectAll();
    QTest::keyClicks(editor, QStringLiteral(" "));
    QTest::keyClick(editor, Qt::Key_Return);
    QCOMPARE(save.count(), 1);
    QCOMPARE(field.text(), QStringLiteral(" "));
    QVERIFY(field.isModified());

    // Escape drops what was typed; Return with nothing changed saves nothing.
    field.setText(QStringLiteral("Kept"));
    field.setModified(false);
    QTest::mouseClick(&field, Qt::LeftButton);
    QTest::keyClicks(editor, QStringLiteral("xyz"));
    QTest::keyClick(editor, Qt::Key_Escape);
    QVERIFY(!editor->isVisible());
    QTest::mouseClick(&field, Qt::LeftButton);
    QTest::keyClick(editor, Qt::Key_Return);
    QCOMPARE(field.text(), QStringLiteral("Kept"));
    QVERIFY(!field.isModified());
    QCOMPARE(save.count(), 1);

    // From the keyboard: F2 opens the editor, Return in it saves.
    field.setFocus();
    QTest::keyClick(&field, Qt::Key_F2);
    QVERIFY(editor->isVisible());
    QTest::keyClicks(editor, QStringLiteral("!"));
    QTest::keyClick(editor, Qt::Key_Return);
    QCOMPARE(field.text(), QStringLiteral("Kept!"));
    QCOMPARE(save.count(), 2);

    // A field holding the empty marker " " opens empty: the typed text is the value.
    field.setText(QStringLiteral(" "));
    QTest::mouseClick(&field, Qt::LeftButton);
    QCOMPARE(editor->text(), QString());
    QTest::keyClicks(editor, QStringLiteral("Green meadow"));
    QTest::keyClick(editor, Qt::Key_Return);
    QCOMPARE(field.text(), QStringLiteral("Green meadow"));

    // A field that is not editable ignores clicks and keys.
    field.setEditable(false);
    QTest::mouseClick(&field, Qt::LeftButton);
    field.setFocus();
    QTest::keyClick(&field, Qt::Key_Return);
    QVERIFY(!editor->isVisible());
}

void TestPanel::categoryList()
{
    propertyTextLabel field;
    field.setKind(1);
    field.resize(150, 22);
    field.setText(QStringLiteral("Family"));
    field.show();
    QVERIFY(QTest::qWaitForWindowExposed(&field));
    QSignalSpy save(&field, &propertyTextLabel::SaveNewProperty);
    QTest::mouseClick(&field, Qt::LeftButton);
    QComboBox *combo = field.comboBox();
    QVERIFY(combo->isVisible());
    QVERIFY(!field.lineEditor()->isVisible());
    QStringList offered;
    for (int i = 0; i < combo->count(); ++i)
        offered << combo->itemText(i);
    QCOMPARE(offered, QStringList({"Undefined", "Family", "Friends", "Sexy", "Art", "WallPaper", "holidays", "People",
                                   "Others"}));
    QCOMPARE(combo->currentText(), QStringLiteral("Family"));
    combo->hidePopup();
    Q_EMIT combo->textActivated(QStringLiteral("Art"));
    QCOMPARE(save.count(), 1);
    QCOMPARE(field.text(), QStringLiteral("Art"));
    QVERIFY(field.isModified());
    QVERIFY(!combo->isVisible());

    // A stored category outside the list is shown as it is.
    field.setText(QStringLiteral("Birds"));
    QVERIFY(field.QLabel::text().startsWith(QStringLiteral("Birds")));
}

void TestPanel::reportingVariants()
{
    propertyTextLabelDate persons;
    propertyTextLabelFilename file;
    for (propertyTextLabel *field : {static_cast<propertyTextLabel *>(&persons), static_cast<propertyTextLabel *>(&file)}) {
        field->resize(100, 22);
        field->show();
    }
    QSignalSpy date(&persons, &propertyTextLabelDate::pressEventDate);
    QSignalSpy name(&file, &propertyTextLabelFilename::pressEventFilename);
    QTest::mouseClick(&persons, Qt::LeftButton);
    QTest::mouseClick(&file, Qt::LeftButton);
    QCOMPARE(date.count(), 1);
    QCOMPARE(name.count(), 1);
    QVERIFY(!persons.lineEditor()->isVisible());
    QVERIFY(!file.lineEditor()->isVisible());
    file.setEditable(false);
    QTest::mouseClick(&file, Qt::LeftButton);
    QCOMPARE(name.count(), 1);
}

void TestPanel::loveBounds()
{
    FavoritesWidget love;
    love.show();
    QSignalSpy plus(&love, &FavoritesWidget::favPlus);
    QSignalSpy minus(&love, &FavoritesWidget::favMoins);
    QSignalSpy changed(&love, &FavoritesWidget::changed);
    love.setValue(4);
    love.setChanged(false);
    QTest::mouseClick(&love, Qt::LeftButton);
    QTest::mouseClick(&love, Qt::LeftButton);
    QCOMPARE(love.value(), 5);
    QCOMPARE(plus.count(), 1);
    QVERIFY(love.isChanged());
    for (int i = 0; i < 6; ++i)
        QTest::mouseClick(&love, Qt::RightButton);
    QCOMPARE(love.value(), 0);
    QCOMPARE(minus.count(), 5);
    QTest::mouseClick(&love, Qt::MiddleButton);
    QCOMPARE(love.value(), 0);

    // Leaving reports a value that differs from the one last set from outside.
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(&love, &leave);
    QCOMPARE(changed.count(), 1);
    love.setValue(2);
    QCoreApplication::sendEvent(&love, &leave);
    QCOMPARE(changed.count(), 1);
}

void TestPanel::traySingleAndMultiple()
{
    auto a = picture("a.jpg"), b = picture("b.jpg"), c = picture("c.jpg");
    trayBarPhoto tray;
    QSignalSpy multiple(&tray, &trayBarPhoto::multiSelection);

    tray.add(a.get(), false);
    tray.add(a.get(), false);
    QCOMPARE(tray.count(), 1);

    // Plain clicks: each picture replaces the one before.
    tray.add(b.get(), false);
    tray.add(c.get(), false);
    QCOMPARE(tray.count(), 1);
    QCOMPARE(tray.record(0), c.get());
    tray.clear();
    QCOMPARE(tray.count(), 0);
    QCOMPARE(tray.numRows(), 1);

    // Ctrl clicks pile up; the held mark comes with Hold.
    for (PhotoItem *p : {a.get(), b.get(), c.get()})
        tray.add(p, true);
    QCOMPARE(tray.count(), 3);
    QCOMPARE(tray.records(), QList<KivViewItem *>({a.get(), b.get(), c.get()}));
    QVERIFY(!a->isHeld() && !b->isHeld() && !c->isHeld());
    QCOMPARE(multiple.count(), 0);
    tray.hold();
    QVERIFY(a->isHeld() && b->isHeld() && c->isHeld());
    QCOMPARE(multiple.count(), 1);
    tray.clear();

    // After Hold a plain click adds one unheld picture, which the next plain click replaces.
    tray.add(a.get(), false);
    tray.hold();
    tray.add(b.get(), false);
    tray.add(c.get(), false);
    QCOMPARE(tray.records(), QList<KivViewItem *>({a.get(), c.get()}));
    QVERIFY(!c->isHeld());
    tray.clearUnHold();
    QCOMPARE(tray.records(), QList<KivViewItem *>({a.get()}));

    // A record of the same picture file (its album opened again) is the same picture.
    auto again = picture("a.jpg");
    tray.add(again.get(), true);
    QCOMPARE(tray.count(), 1);

    // One picture is one path as the folder and the name join, whichever way they divide
    // it; Ctrl+A (addAll) and Ctrl-clicks (add) agree with the joined paths.
    const QList<QPair<QString, QString>> places{
        {"/pics", "a.jpg"},   {"/pics/", "a.jpg"},  {"/pics\\", "a.jpg"}, {"/pics", "b.jpg"},
        {"/", "pics/a.jpg"},  {"", "/pics/a.jpg"},  {"/pics", "a.JPG"},    {"/pics/a", "jpg"},
        {"/pics\\", "b.jpg"}, {"/pic", "s/a.jpg"}, {"/pics", "a.jpg"},
        {"/pics/a", "b"},     {"/pics", "a/b"}};
    std::vector<std::unique_ptr<PhotoItem>> records;
    QList<KivViewItem *> all;
    QStringList distinct;
    for (const auto &[folder, name] : places) {
        records.push_back(picture(name));
        records.back()->setSourceFolder(folder);
        all << records.back().get();
        if (!distinct.contains(records.back()->picturePath()))
            distinct << records.back()->picturePath();
    }
    // /pics/a.jpg, /pics\\a.jpg, /pics/b.jpg, //pics/a.jpg, /pics/a.JPG, /pics/a/jpg,
    // /pics\\b.jpg, /pic/s/a.jpg, /pics/a/b
    QCOMPARE(distinct.size(), 9);
    auto pathsOf = [&tray] {
        QStringList paths;
        for (const KivViewItem *record : tray.records())
            paths << record->picturePath();
        return paths;
    };
    tray.clear();
    tray.addAll(all);
    QCOMPARE(pathsOf(), distinct);
    tray.clear();
    for (KivViewItem *record : all)
        tray.add(record, true);
    QCOMPARE(pathsOf(), distinct);
    // Gathered again on top of what the tray holds: nothing is taken twice.
    tray.addAll(all);
    QCOMPARE(pathsOf(), distinct);
}

void TestPanel::trayRemovalsAndAlbum()
{
    auto a = picture("a.jpg"), b = picture("b.jpg");
    a->setTitle(QStringLiteral("First"));
    trayBarPhoto tray;
    QStringList order;
    connect(&tray, &trayBarPhoto::AsknewPlayList, [&order] { order << "ask"; });
    connect(&tray, &trayBarPhoto::insertPhotoToPl, [&order] { order << "insert"; });
    tray.newPlaylist();
    QCOMPARE(order, QStringList({"ask", "insert"}));  // even with nothing in the tray

    QSignalSpy cleared(&tray, &trayBarPhoto::cleared);
    tray.add(a.get(), true);
    tray.add(b.get(), true);
    const std::unique_ptr<PlayList> album = tray.makeSlideshowAlbum();
    QCOMPARE(album->title(), QStringLiteral("Tray Bar Slideshow"));
    QCOMPARE(album->kivDir(), QStringLiteral("TrayBar Slideshow"));
    QCOMPARE(album->rowCount(), 2);
    QCOMPARE(album->indexOfFile(QStringLiteral("a.jpg")), 0);
    QCOMPARE(album->indexOfFile(QStringLiteral("b.jpg")), 1);
    QVERIFY(!album->isDirty());

    tray.remove(a.get());
    QCOMPARE(tray.records(), QList<KivViewItem *>({b.get()}));
    tray.clear();
    QCOMPARE(cleared.count(), 1);
}

void TestPanel::trayDrawing()
{
    auto a = picture("a.jpg", Qt::red);
    trayBarPhoto tray;
    tray.resize(60, 120);
    tray.show();
    QVERIFY(QTest::qWaitForWindowExposed(&tray));
    tray.add(a.get(), false);
    QImage shot = tray.viewport()->grab().toImage();
    // The thumbnail fills 38 x 30 pixels from (1, 5) of the first cell.
    QCOMPARE(QColor(shot.pixel(1, 5)), QColor(Qt::red));
    QCOMPARE(QColor(shot.pixel(38, 34)), QColor(Qt::red));
    QVERIFY(QColor(shot.pixel(39, 20)) != QColor(Qt::red));
    QVERIFY(QColor(shot.pixel(20, 4)) != QColor(Qt::red));
    // The held mark, 8 x 8 at (30, 28), covers part of it once held.
    QCOMPARE(QColor(shot.pixel(34, 32)), QColor(Qt::red));
    tray.hold();
    shot = tray.viewport()->grab().toImage();
    QVERIFY(QColor(shot.pixel(34, 32)) != QColor(Qt::red));
    QCOMPARE(QColor(shot.pixel(29, 27)), QColor(Qt::red));
}

QTEST_MAIN(TestPanel)
#include "tst_panel.moc"
