#include "ambriomainwindow.h"
#include "thumbsview.h"
#include "organiserfixture.h"
#include "directoryplaylist.h"
#include "photoitem.h"
#include "hello.h"
#include "kivdialog.h"
#include "librarylist.h"
#include "pixmaplookup.h"
#include "prefimplementation.h"
#include "scriptedprompter.h"
#include "settingsstore.h"
#include "smartplaylist.h"
#include "splashin.h"

#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QMenu>
#include <QPushButton>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QToolButton>
#include <QContextMenuEvent>
#include <QMenu>
#include <QtTest>
#include <functional>

#include "testfiles.h"

namespace {



QByteArray albumFile(const char *id, const char *title, const char *date)
{
    return QByteArray("KivDir=") + id + "\r\nTitle=" + title + "\r\nDirty=True\r\nCreationDate=" + date
           + "\r\nNumFile=0\r\n";
}

QStringList actionTexts(const QMenu *menu)
{
    QStringList texts;
    for (const QAction *action : menu->actions())
        texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
    return texts;
}

} // namespace

// The organiser page driven through its real widgets, offscreen.
class TestOrganiser : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void tabHandlers();
    void enabledCommands();
    void menus();
    void yearViewAndOwnOrder();
    void yearViewDateKeysAreIsoDates();
    void sortKeys();
    void movingAlbums();
    void titleWave();
    void titleEditing();
    void newAlbumAndGroup();
    void sameDayAlbumsKeepTheirOrderAfterARestart();
    void newDynamicAlbum();
    void removeAlbum();
    void albumMenuActsOnTheAlbumClicked();
    void computedEntriesCannotBeRemoved();
    void clearAlbums();
    void refreshAskFirstForMissingFolder();
    void dropsOnTheAlbumList();
    void pictureEvents();
    void brokenAlbums();
    void renameInPlaceAndRebind();
    void dialogCover();

private:
    AmbrioMainWindow *start();
    PlayList *album(const QString &name) const;
    QPushButton *tab(const char *name) const { return m_page->findChild<QPushButton *>(name); }
    int page() const { return m_page->currentToolPage(); }

    std::unique_ptr<QTemporaryDir> m_dir;
    OrganiserFixture m_fixture;
    prefImplementation *m_pref = nullptr;
    ScriptedPrompter m_prompter;
    AmbrioMainWindow *m_page = nullptr;
    QString m_db;
};

void TestOrganiser::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_dir->filePath("settings"));
    PixmapLookup::configure(m_dir->filePath("install"), false);
    m_db = m_dir->filePath("install/DataBase/db");
    // Pictures deleted by the program go to this run's own trash.
    qputenv("XDG_DATA_HOME", m_dir->filePath("data").toUtf8());
    // A stored catalogue: two plain albums of 2003, one of 2004 and a dynamic album.
    const QString pics = m_dir->filePath("pics");
    QDir().mkpath(pics);
    writeFile(m_dir->filePath("install/DataBase/library.db"),
              "NUMLIB=4\r\nLIBRARY=NONE,Photo,Trip,Playlist,Trip1\r\nLIBRARY=NONE,Photo,Party,Playlist,Party1\r\n"
              "LIBRARY=NONE,Photo,Snow,Playlist,Snow1\r\nLIBRARY=NONE,media,pics,DirectoryPlaylist,Pics1\r\n");
    writeFile(m_db + "/Trip1.db", albumFile("Trip1", "Trip", "2003-12-31"));
    writeFile(m_db + "/Party1.db", albumFile("Party1", "Party", "2003-05-17"));
    writeFile(m_db + "/Snow1.db", albumFile("Snow1", "Snow", "2004-01-01"));
    writeFile(m_db + "/Pics1.dir", "KivDir=Pics1\r\nFrom=" + pics.toUtf8()
                                       + "\r\nTitle=pics\r\nDirty=True\r\nCreationDate=2004-02-01\r\nNumFile=0\r\n");
    m_prompter = ScriptedPrompter();
}

void TestOrganiser::cleanup()
{
    m_fixture.reset();
    m_page = nullptr;
    m_pref = nullptr;
}

AmbrioMainWindow *TestOrganiser::start()
{
    m_page = m_fixture.start(m_dir->filePath("install"), &m_prompter);
    m_pref = m_fixture.pref.get();
    return m_page;
}

PlayList *TestOrganiser::album(const QString &name) const
{
    QTreeWidgetItemIterator it(m_page->albumList());
    for (; *it; ++it) {
        auto *p = dynamic_cast<PlayList *>(*it);
        if (p && p->name() == name)
            return p;
    }
    return nullptr;
}

void TestOrganiser::tabHandlers()
{
    start();
    QCOMPARE(page(), 2);
    // Without an album, Organize, Edit and Share refuse and turn themselves off.
    for (const char *name : {"bring_info", "bring_edit", "bring_export"}) {
        tab(name)->click();
        QCOMPARE(m_prompter.messages.last().text, QStringLiteral("You need to select an album before click here.\n"));
        QVERIFY(!tab(name)->isChecked());
        QCOMPARE(page(), 2);
    }
    tab("bring_import")->click();  // Import needs no album
    QCOMPARE(page(), 13);
    QVERIFY(tab("bring_import")->isChecked());

    m_page->slot_selectLibrary(album("Trip"));
    QCOMPARE(m_page->currentAlbum(), album("Trip"));
    QCOMPARE(page(), 13);  // the Import tab stays
    tab("bring_info")->click();
    QCOMPARE(page(), 5);
    QVERIFY(!tab("bring_import")->isChecked());
    const struct
    {
        const char *name;
        int page;
    } computed[] = {{"Favorits", 6}, {"Statistics", 7}, {"LastSearch", 8}, {"AllItem", 9}, {"Property", 12}};
    for (const auto &entry : computed) {
        m_page->slot_selectLibrary(album(QLatin1String(entry.name)));
        QCOMPARE(page(), entry.page);
    }
    m_page->slot_selectLibrary(album("pics"));
    QCOMPARE(page(), 5);
    QCOMPARE(m_page->findChild<QLabel *>("textLabelAlbumType")->text(), QStringLiteral("Dynamic Album"));

    tab("bring_export")->click();
    QCOMPARE(page(), 10);
    m_page->setSelectionCounter([] { return 2; });
    tab("bring_export")->click();
    QCOMPARE(page(), 10);
    QCOMPARE(m_page->findChild<QLabel *>("textLabelShareHeading")->text(), QStringLiteral("Multiple Photos"));

    m_page->slot_roll_pressed(nullptr);  // the selection cleared
    QCOMPARE(page(), 2);
    QVERIFY(!m_page->currentAlbum());
    for (const char *name : {"bring_import", "bring_info", "bring_edit", "bring_export"})
        QVERIFY(!tab(name)->isChecked());
    QVERIFY(m_page->startupPanel()->isVisible());
}

void TestOrganiser::enabledCommands()
{
    start();
    auto enabled = [this](const char *name) { return m_page->findChild<QWidget *>(name)->isEnabled(); };
    // The start-up panel is up: nothing to act on.
    for (const char *name : {"toolButtonCopyPaste", "toolButtonFav", "toolButtonPaste", "pushButtonAdd",
                             "pushButtonActions", "remove_roll"})
        QVERIFY2(!enabled(name), name);
    m_page->slot_selectLibrary(album("Trip"));
    QVERIFY(!enabled("toolButtonCopyPaste"));
    QVERIFY(!enabled("toolButtonFav"));
    QVERIFY(enabled("toolButtonPaste"));
    QVERIFY(enabled("pushButtonAdd"));
    QVERIFY(enabled("pushButtonActions"));
    QVERIFY(enabled("remove_roll"));
    m_page->slot_selectLibrary(album("AllItem"));
    for (const char *name : {"toolButtonCopyPaste", "toolButtonFav", "toolButtonPaste", "pushButtonAdd",
                             "pushButtonActions"})
        QVERIFY2(!enabled(name), name);
    // A computed entry cannot be removed.
    QVERIFY(!enabled("remove_roll"));
}

void TestOrganiser::menus()
{
    start();
    const OrganiserMenus &m = m_page->menus();
    QCOMPARE(actionTexts(m.addAlbum), (QStringList{"New Dynamic Album", "New Album", "-", "Add Album Help"}));
    QCOMPARE(actionTexts(m.actions),
             (QStringList{"SlideShow", "Print all Pictures...", "E-Mail all Pictures...", "-", "Locate on Disk",
                          "Refresh Thumbs", "Clear Album", "-", "Clear clipboard", "Paste Picture from clipboard",
                          "Paste Picture(s) from TrayBar"}));
    QCOMPARE(actionTexts(m.effects), (QStringList{"Intensity...", "blend", "To blue", "Desaturate", "Miror",
                                                  "Equalize", "Edge", "Noise"}));
    QCOMPARE(m.effects->actions().at(4)->data().toInt(), 4);
    const QList<QAction *> icons = m.icons->actions();
    QStringList withIds;
    for (const QAction *a : icons) {
        if (!a->isSeparator())
            withIds << QString::number(a->data().toInt()) + QLatin1Char(' ') + a->text();
    }
    QCOMPARE(withIds, (QStringList{"0 View Photo", "1 Fullscreen view", "2 Edit this picture",
                                   "3 Copy this picture into the clipboard", "4 Remove this picture",
                                   "5 Paste picture from Clipboard", "6 Rename this picture", "7 Email this picture",
                                   "8 Print...", "8 Save As...", "9 Edit with Other application",
                                   "10 Print with Other application", "11 Move back", "12 Move Forward"}));
    QVERIFY(!m.iconItems.value(9)->icon().isNull());
    const QList<QAction *> badges = m.badge->actions();
    QCOMPARE(badges.first()->text(), QStringLiteral("Special"));
    QCOMPARE(badges.at(4)->text(), QStringLiteral("ho no"));
    QCOMPARE(badges.last()->text(), QStringLiteral("No user Badge"));
    QCOMPARE(badges.last()->data().toInt(), 7);
    QCOMPARE(actionTexts(m.viewBy),
             (QStringList{"Little Icons Album", "Big Icons Album", "-", "Year", "Your own Order"}));
    QVERIFY(m.viewByItems.value(2)->isChecked());
    QVERIFY(m.viewByItems.value(1)->isChecked());
    // The album menu has no move items in the year view.
    QVERIFY(!m.moveUp->isVisible());
    QStringList albumMenu;
    for (const QAction *a : m.album->actions()) {
        if (a->isVisible())
            albumMenu << (a->isSeparator() ? QStringLiteral("-") : a->text());
    }
    // The Share menu comes with its features; no entry leads nowhere.
    QCOMPARE(albumMenu, (QStringList{"Slideshow", "-", "Edit Tools", "Share", "-", "Remove Album", "-", "Add Album"}));
    for (const char *button : {"pushButtonShareMail", "pushButtonPhotoMail", "pushButtonShareSaveAs",
                               "pushButtonExternalEditor", "pushButtonExternalPrint", "pushButtonSelectDevice",
                               "pushButtonFromDevices", "pushButtonPasteToAlbum"})
        QVERIFY2(!m_page->findChild<QWidget *>(button)->isHidden(), button);
    QVERIFY(!m_page->findChild<QWidget *>("pushButtonAdd")->isHidden());
    QVERIFY(!m_page->findChild<QWidget *>("pushButtonSharePrint")->isHidden());
    QVERIFY(!m_page->findChild<QWidget *>("pushButtonPhotoPrint")->isHidden());
    QVERIFY(m.actions->actions().at(1)->isVisible());  // "Print all Pictures..."
    for (const QAction *a : m.icons->actions()) {
        if (a->text() == QLatin1String("Print..."))
            QVERIFY(a->isVisible());
    }
    QVERIFY(!m_page->findChild<QWidget *>("pushButtonShareSlideshow")->isHidden());
    QVERIFY(!tab("bring_export")->isHidden());
    QVERIFY(!album("Statistics")->isHidden());
    QVERIFY(!album("AllItem")->isHidden());

    // No menu on a year row or a smart entry.
    m_page->contextmenuLibrary(album("AllItem"), QPoint(10, 10), 1);
    QVERIFY(!m.album->isVisible());
    m_page->contextmenuLibrary(album("Trip"), QPoint(10, 10), 1);
    QTRY_VERIFY(m.album->isVisible());
    m.album->close();
}

void TestOrganiser::yearViewDateKeysAreIsoDates()
{
    // Every day of a few years either side of the ones digits turn over, the ends of
    // the four-digit years, and what QDate cannot write as four digits.
    QList<QDate> dates{QDate(), QDate(1, 1, 1), QDate(9999, 12, 31), QDate(10000, 1, 1), QDate(-5, 6, 7),
                       QDate(999, 9, 9), QDate(1000, 10, 10)};
    for (QDate day(1999, 1, 1); day <= QDate(2001, 12, 31); day = day.addDays(1))
        dates << day;
    for (const QDate &date : std::as_const(dates))
        QCOMPARE(libraryList::dateKey(date), date.toString(Qt::ISODate));
}

void TestOrganiser::yearViewAndOwnOrder()
{
    start();
    libraryList *list = m_page->albumList();
    auto topTexts = [list] {
        QStringList texts;
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            QTreeWidgetItem *item = list->topLevelItem(i);
            texts << (libraryList::isYearRow(item) ? item->text(0) : item->text(1));
        }
        return texts;
    };
    const QStringList computed{"All Photos", "Favorits", "Last Search", "Statistics", "Browse By..."};
    QStringList years = topTexts().mid(5);
    QCOMPARE(years, (QStringList{"2004", "pics", "Snow", "2003", "Trip", "Party"}));
    QCOMPARE(topTexts().mid(0, 4), computed.mid(0, 4));

    // From the keyboard: the arrows move along the list, Return opens where they stopped.
    m_page->slot_selectLibrary(album("Trip"));
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Down);
    QCOMPARE(list->currentItem(), album("Party"));
    QCOMPARE(m_page->currentAlbum(), album("Trip"));
    QTest::keyClick(list, Qt::Key_Return);
    QCOMPARE(m_page->currentAlbum(), album("Party"));

    m_page->setViewByManuel();
    QCOMPARE(m_pref->albumViewBy(), QStringLiteral("Manual"));
    QCOMPARE(topTexts().mid(5), (QStringList{"Trip", "Party", "Snow", "pics"}));  // the library order
    QVERIFY(m_page->menus().moveUp->isVisible());
    m_page->setViewBy();  // back to years
    QCOMPARE(m_pref->albumViewBy(), QStringLiteral("year"));
    QCOMPARE(topTexts().mid(5), (QStringList{"2004", "pics", "Snow", "2003", "Trip", "Party"}));

    // Removing the last album of 2004's... two: the year row goes with the last one.
    m_prompter.answers << 1 << 1;
    m_page->slot_selectLibrary(album("Snow"));
    m_page->RemoveRollLibrary();
    m_page->slot_selectLibrary(album("pics"));
    m_page->RemoveRollLibrary();
    QCOMPARE(topTexts().mid(5), (QStringList{"2003", "Trip", "Party"}));
}

void TestOrganiser::sameDayAlbumsKeepTheirOrderAfterARestart()
{
    // Two albums of one day listed in the index against the order they were made.
    const QString index = m_dir->filePath("install/DataBase/library.db");
    QByteArray rows = readAll(index);
    rows.replace("NUMLIB=4", "NUMLIB=6");
    rows += "LIBRARY=NONE,Photo,Day later,Playlist,Day later05.01.2003.18.00.00.000\r\n"
            "LIBRARY=NONE,Photo,Day earlier,Playlist,Day earlier05.01.2003.09.00.00.000\r\n";
    writeFile(index, rows);
    writeFile(m_db + "/Day later05.01.2003.18.00.00.000.db",
              albumFile("Day later05.01.2003.18.00.00.000", "Day later", "2003-01-05"));
    writeFile(m_db + "/Day earlier05.01.2003.09.00.00.000.db",
              albumFile("Day earlier05.01.2003.09.00.00.000", "Day earlier", "2003-01-05"));
    start();
    auto order = [this] {
        QStringList names;
        libraryList *list = m_page->albumList();
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            const QString name = list->topLevelItem(i)->text(1);
            if (name.startsWith(QLatin1String("Day ")))
                names << name;
        }
        return names;
    };
    // Three albums made today, each while an older album is open: in the order they
    // were made.
    for (const char *name : {"Day one", "Day two", "Day three"}) {
        m_page->slot_selectLibrary(album("Trip"));
        m_prompter.onExec = [name](QDialog *dialog) {
            dialog->findChild<QLineEdit *>("lineEditName")->setText(QString::fromLatin1(name));
        };
        m_prompter.dialogResults << QDialog::Accepted;
        m_page->AddPlaylist();
        QTest::qWait(3);  // made at different milliseconds
    }
    const QStringList madeFirstOnTop{"Day one", "Day two", "Day three", "Day earlier", "Day later"};
    QCOMPARE(order(), madeFirstOnTop);
    // The same order after the next start, and after going through the own order.
    m_fixture.reset();
    start();
    QCOMPARE(order(), madeFirstOnTop);
    m_page->setViewByManuel();
    m_page->setViewBy();
    QCOMPARE(order(), madeFirstOnTop);
}

void TestOrganiser::sortKeys()
{
    start();
    QCOMPARE(album("AllItem")->text(2), QStringLiteral("9999-99-99"));
    QCOMPARE(album("Favorits")->text(2), QStringLiteral("9998-99-99"));
    QCOMPARE(album("LastSearch")->text(2), QStringLiteral("9997-99-99"));
    QCOMPARE(album("Statistics")->text(2), QStringLiteral("9996-99-99"));
    QCOMPARE(album("Property")->text(2), QStringLiteral("9996-99-99"));
    QCOMPARE(album("Trip")->text(2), QStringLiteral("2003-12-31"));
    libraryList *list = m_page->albumList();
    QTreeWidgetItem *year2003 = nullptr;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        if (list->topLevelItem(i)->text(0) == QLatin1String("2003"))
            year2003 = list->topLevelItem(i);
    }
    QVERIFY(year2003);
    QCOMPARE(year2003->text(2), QStringLiteral("200312-30"));
    // Descending: 2004-01-01 above the 2003 row, the row above 2003-12-31.
    QVERIFY(list->indexOfTopLevelItem(album("Snow")) < list->indexOfTopLevelItem(year2003));
    QVERIFY(list->indexOfTopLevelItem(year2003) < list->indexOfTopLevelItem(album("Trip")));
    // Category entries carry their word.
    auto *holidays = dynamic_cast<CategoryPl *>(album("CategoryHolidays"));
    QVERIFY(holidays);
    QCOMPARE(holidays->keyword(), QStringLiteral("Holidays"));
    QCOMPARE(holidays->text(1), QStringLiteral("Holidays Category"));
}

void TestOrganiser::movingAlbums()
{
    start();
    m_page->setViewByManuel();
    libraryList *list = m_page->albumList();
    m_page->slot_selectLibrary(album("Trip"));  // first of the stored albums
    const QByteArray index = readAll(m_dir->filePath("install/DataBase/library.db"));
    m_page->LibraryMoveUp();  // above it stands a computed album: nothing moves
    QCOMPARE(readAll(m_dir->filePath("install/DataBase/library.db")), index);
    m_page->LibraryMovedown();
    QVERIFY(list->indexOfTopLevelItem(album("Party")) < list->indexOfTopLevelItem(album("Trip")));
    QVERIFY(readAll(m_dir->filePath("install/DataBase/library.db"))
                .contains("LIBRARY=NONE,Photo,Party,Playlist,Party1\r\nLIBRARY=NONE,Photo,Trip,Playlist,Trip1"));
}

void TestOrganiser::titleWave()
{
    // The wave loses 2 from every entry per frame: full after 0 frames, half after 25,
    // flat after 50.
    auto amplitude = [](int frames) {
        int most = 0;
        for (int i = 0; i < 16; ++i)
            most = qMax(most, qAbs(Hello::dampedValue(i, frames)));
        return most;
    };
    QCOMPARE(amplitude(0), 100);
    QCOMPARE(amplitude(25), 50);
    QCOMPARE(amplitude(50), 0);
    QCOMPARE(Hello::dampedValue(12, 10), -80);
    QCOMPARE(Hello::dampedValue(1, 20), 0);  // 38 - 40 stays at 0

    Hello title;
    title.resize(300, 40);
    title.setText(QStringLiteral("Trip"));
    title.runTitle();
    QCOMPARE(title.phase(), 0);
    QVERIFY(title.isRunning());
    for (int i = 0; i < 50; ++i)
        title.animate();
    QCOMPARE(title.phase(), 50 % 16);
    const QList<QPoint> still = title.letterPositions();
    for (const QPoint &p : still)
        QCOMPARE(p.y(), still.first().y());
    title.pauseTitle();
    QVERIFY(!title.isRunning());
    QCOMPARE(title.text(), QString());
    QCOMPARE(title.phase(), 15);
}

void TestOrganiser::titleEditing()
{
    start();
    Hello *title = m_page->title();
    QSignalSpy committed(title, &Hello::clicked);
    title->setLocked(true);
    QTest::mouseClick(title, Qt::LeftButton);
    QVERIFY(!title->editor()->isVisible());
    title->setLocked(false);
    m_page->slot_selectLibrary(album("Trip"));
    QTest::mouseClick(title, Qt::LeftButton);
    QVERIFY(title->editor()->isVisible());
    QTest::keyClick(title->editor(), Qt::Key_Return);  // unchanged: nothing is emitted
    QCOMPARE(committed.count(), 0);
    QVERIFY(!title->editor()->isVisible());
    QTest::mouseClick(title, Qt::LeftButton);
    title->editor()->clear();
    QTest::keyClicks(title->editor(), QStringLiteral("Trip to Rome"));
    QTest::keyClick(title->editor(), Qt::Key_Return);
    QCOMPARE(committed.count(), 1);
    QCOMPARE(album("Trip")->title(), QStringLiteral("Trip to Rome"));
    QVERIFY(readAll(m_db + "/Trip1.db").contains("Title=Trip to Rome\r\n"));
}

void TestOrganiser::newAlbumAndGroup()
{
    start();
    m_prompter.onExec = [](QDialog *dialog) {
        dialog->findChild<QLineEdit *>("lineEditName")->setText(QStringLiteral("Holidays"));
    };
    m_prompter.dialogResults << QDialog::Accepted << QDialog::Accepted;
    m_page->AddPlaylist();
    m_page->AddPlaylist();  // the same title again makes a second album
    int holidays = 0;
    QString id;
    for (const QString &name : QDir(m_db).entryList({"Holidays*.db"})) {
        ++holidays;
        id = name.chopped(3);
    }
    QCOMPARE(holidays, 2);
    QVERIFY(QFileInfo(m_db + "/" + id).isDir());
    QCOMPARE(m_page->currentAlbum()->name(), QStringLiteral("Holidays"));
    const QByteArray index = readAll(m_dir->filePath("install/DataBase/library.db"));
    QVERIFY(index.startsWith("NUMLIB=6\r\n"));
    QCOMPARE(index.count("Holidays,Playlist,Holidays"), 2);

    m_prompter.onExec = [](QDialog *dialog) {
        QCOMPARE(dialog->findChild<QLabel *>("textLabelName")->text(), QStringLiteral("Enter the new Group name :"));
        dialog->findChild<QLineEdit *>("lineEditName")->setText(QStringLiteral("Family"));
    };
    m_prompter.dialogResults << QDialog::Accepted;
    m_page->AddGroup();
    const QStringList groups = QDir(m_db).entryList({"Family*.group"});
    QCOMPARE(groups.size(), 1);
    QCOMPARE(readAll(m_db + "/" + groups.first()), QByteArray("Title=Family\r\n"));
    QVERIFY(readAll(m_dir->filePath("install/DataBase/library.db")).contains(",Family,PlayListGroup,Family"));

    // A name with "," is refused and nothing is written.
    m_prompter.onExec = [](QDialog *dialog) {
        dialog->findChild<QLineEdit *>("lineEditName")->setText(QStringLiteral("Paris, France"));
    };
    m_prompter.dialogResults << QDialog::Accepted;
    m_page->AddPlaylist();
    QVERIFY(QDir(m_db).entryList({"Paris*"}).isEmpty());
    QVERIFY(m_prompter.messages.last().text.contains(","));
    // Cancelled: nothing.
    m_prompter.onExec = nullptr;
    m_page->AddPlaylist();
    QCOMPARE(QDir(m_db).entryList({"*.db"}).size(), 5);
}

void TestOrganiser::newDynamicAlbum()
{
    start();
    const QString trip = m_dir->filePath("Trip 2004");
    QDir().mkpath(trip);
    QImage image(10, 10, QImage::Format_RGB32);
    image.fill(Qt::red);
    image.save(trip + "/a.jpg");
    m_prompter.fileAnswers << trip + "/";
    m_page->AddDirectoryPlaylist();
    auto *dynamic = dynamic_cast<DirectoryPlaylist *>(m_page->currentAlbum());
    QVERIFY(dynamic);
    QCOMPARE(dynamic->from(), trip);  // the trailing separator is dropped
    QCOMPARE(dynamic->title(), QStringLiteral("Trip 2004"));
    QCOMPARE(dynamic->rowCount(), 1);
    QVERIFY(QFile::exists(m_db + "/" + dynamic->kivDir() + ".dir"));
    // The same folder a second time is refused.
    m_prompter.fileAnswers << trip;
    m_page->AddDirectoryPlaylist();
    QCOMPARE(m_prompter.messages.last().text,
             QStringLiteral("Unable to add this dynamic album.\nthis album is already in the database"));
    QCOMPARE(QDir(m_db).entryList({"Trip 2004*.dir"}).size(), 1);
}

void TestOrganiser::removeAlbum()
{
    start();
    m_page->RemoveRollLibrary();
    QCOMPARE(m_prompter.messages.last().text, QStringLiteral("Select an album before push delete\n"));
    m_page->slot_selectLibrary(album("pics"));
    m_prompter.answers << 0;  // Cancel
    m_page->RemoveRollLibrary();
    QVERIFY(album("pics"));
    QCOMPARE(m_prompter.messages.last().caption, QStringLiteral("Remove album"));
    QCOMPARE(m_prompter.messages.last().buttons, (QStringList{"Cancel", "OK"}));
    m_prompter.answers << 1;  // OK
    m_page->RemoveRollLibrary();
    QVERIFY(!album("pics"));
    QVERIFY(!QFile::exists(m_db + "/Pics1.dir"));
    QVERIFY(QFileInfo(m_dir->filePath("pics")).isDir());  // the pictures' folder stays
    QCOMPARE(readAll(m_dir->filePath("install/DataBase/hidedir.list")),
             "NUMSUB=1\r\n" + m_dir->filePath("pics").toUtf8() + "\r\n");
    QVERIFY(!readAll(m_dir->filePath("install/DataBase/library.db")).contains("Pics1"));
    // Above it stood the year row: nothing is selected.
    QVERIFY(!m_page->currentAlbum());
    // Above Party stands Trip, which is selected after Party goes.
    m_page->slot_selectLibrary(album("Party"));
    m_prompter.answers << 1;
    m_page->RemoveRollLibrary();
    QCOMPARE(m_page->currentAlbum(), album("Trip"));
    QVERIFY(!QFile::exists(m_db + "/Party1.db"));
}

// Right-clicks an album of the list and chooses an entry of the menu it opens.
static void chooseFromAlbumMenu(AmbrioMainWindow *page, QTreeWidgetItem *item, const QString &entry)
{
    QTreeWidget *list = page->albumList();
    list->scrollToItem(item);
    const QPoint at = list->visualItemRect(item).center();
    QTest::mouseClick(list->viewport(), Qt::RightButton, {}, at);
    QContextMenuEvent click(QContextMenuEvent::Mouse, at, list->viewport()->mapToGlobal(at));
    QCoreApplication::sendEvent(list->viewport(), &click);
    auto *menu = page->findChild<QMenu *>(QStringLiteral("Menu Album"));
    QVERIFY(menu && menu->isVisible());
    QAction *chosen = nullptr;
    std::function<void(QMenu *)> find = [&](QMenu *m) {
        for (QAction *action : m->actions()) {
            if (action->text() == entry)
                chosen = action;
            else if (action->menu())
                find(action->menu());
        }
    };
    find(menu);
    QVERIFY2(chosen, qPrintable(entry));
    menu->hide();
    chosen->trigger();
}

void TestOrganiser::albumMenuActsOnTheAlbumClicked()
{
    start();
    // With no album open, the list marks none once the menu is gone.
    m_prompter.answers << 0;  // Cancel
    chooseFromAlbumMenu(m_page, album("Snow"), QStringLiteral("Clear Album's picture"));
    QTRY_VERIFY(!m_page->albumList()->currentItem());
    QVERIFY(!m_page->currentAlbum());
    m_page->slot_selectLibrary(album("Trip"));
    // Remove, on Party while Trip is open: Party goes, Trip stays open and stored.
    m_prompter.answers << 1;  // OK
    chooseFromAlbumMenu(m_page, album("Party"), QStringLiteral("Remove Album"));
    QVERIFY(m_prompter.messages.last().text.contains("\"Party\""));
    QVERIFY(!album("Party"));
    QVERIFY(!QFile::exists(m_db + "/Party1.db"));
    QVERIFY(QFile::exists(m_db + "/Trip1.db"));
    QCOMPARE(m_page->currentAlbum(), album("Trip"));
    // Clear, on Snow while Trip is open: the question names Snow.
    m_prompter.answers << 0;  // Cancel
    chooseFromAlbumMenu(m_page, album("Snow"), QStringLiteral("Clear Album's picture"));
    QVERIFY(m_prompter.messages.last().text.contains("\"Snow\""));
    // The list marks the open album again, not the one right-clicked.
    QTRY_COMPARE(m_page->albumList()->currentItem(), album("Trip"));
    QVERIFY(album("Trip")->isSelected());
    // Refreshing another album leaves the open one on screen.
    chooseFromAlbumMenu(m_page, album("Snow"), QStringLiteral("Refresh thumbs"));
    QCOMPARE(m_page->currentAlbum(), album("Trip"));
    // A button afterwards acts on the open album again.
    m_prompter.answers << 0;  // Cancel
    m_page->RemoveRollLibrary();
    QVERIFY(m_prompter.messages.last().text.contains("\"Trip\""));
}

void TestOrganiser::computedEntriesCannotBeRemoved()
{
    start();
    libraryList *list = m_page->albumList();
    QTreeWidgetItem *browse = nullptr;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        if (list->topLevelItem(i)->text(1) == QLatin1String("Browse By..."))
            browse = list->topLevelItem(i);
    }
    QVERIFY(browse);
    for (QTreeWidgetItem *entry : {browse, static_cast<QTreeWidgetItem *>(list->favorites()),
                                   static_cast<QTreeWidgetItem *>(list->allPhotos())}) {
        m_page->slot_selectLibrary(entry);
        QVERIFY(!m_page->findChild<QPushButton *>("remove_roll")->isEnabled());
        const int asked = int(m_prompter.messages.size());
        m_prompter.answers << 1;  // OK, were it asked
        m_page->RemoveRollLibrary();
        m_page->slot_clearPlaylist();
        QCOMPARE(int(m_prompter.messages.size()), asked);
        m_prompter.answers.clear();
    }
    QCOMPARE(browse->childCount(), 2);
    // The subjects branch is still there to be rebuilt (it was freed with Browse By).
    list->rebuildSubjects({QStringLiteral("Anna"), QStringLiteral("Bob")});
    QVERIFY(QFile::exists(m_db + "/Trip1.db"));
}

void TestOrganiser::clearAlbums()
{
    const QString pics = m_dir->filePath("pics");
    QImage image(10, 10, QImage::Format_RGB32);
    image.fill(Qt::red);
    image.save(pics + "/a.jpg");
    image.save(pics + "/b.jpg");
    start();
    m_page->slot_selectLibrary(album("pics"));
    QCOMPARE(album("pics")->rows().count(), 2);
    m_prompter.answers << 1;
    m_page->slot_clearPlaylist();
    // The question, then what became of the pictures.
    QCOMPARE(m_prompter.messages.last().text, QStringLiteral("2 picture(s) moved to the trash."));
    const Prompter::Message box = m_prompter.messages.at(m_prompter.messages.size() - 2);
    QCOMPARE(box.caption, QStringLiteral("Remove all Pictures"));
    QCOMPARE(box.icon, Prompter::Icon::Critical);
    QCOMPARE(box.text, QStringLiteral("Remove all picture contained in :") + pics
                           + QStringLiteral("\n\nThe pictures of this album are moved to the trash; other files of "
                                            "the folder stay."));
    QVERIFY(QDir(pics).entryList(QDir::Files).isEmpty());
    QCOMPARE(m_page->photoView()->count(), 0);  // the view shows the emptied album

    // A plain album forgets its pictures; the files stay.
    const QString other = m_dir->filePath("other");
    QDir().mkpath(other);
    image.save(other + "/c.jpg");
    writeFile(m_db + "/Trip1.db", "KivDir=Trip1\r\nTitle=Trip\r\nDirty=True\r\nCreationDate=2003-12-31\r\nNumFile=1\r\n"
                                  "File=Photo|" + other.toUtf8() + "|c.jpg| | | |1|0|-1|10*10|\r\n");
    album("Trip")->load(m_db + "/Trip1.db");
    m_page->slot_selectLibrary(album("Trip"));
    m_prompter.answers << 0;  // Cancel changes nothing
    m_page->slot_clearPlaylist();
    QCOMPARE(album("Trip")->rowCount(), 1);
    m_prompter.answers << 1;
    m_page->slot_clearPlaylist();
    QCOMPARE(m_prompter.messages.last().text, QStringLiteral("Are you sure to clear the album \"Trip\" ?\nYour picture will "
                                                             "NOT be deleted, only removed from this album"));
    QCOMPARE(album("Trip")->rowCount(), 0);
    QVERIFY(readAll(m_db + "/Trip1.db").contains("NumFile=0\r\n"));
    QVERIFY(QFile::exists(other + "/c.jpg"));
}

void TestOrganiser::refreshAskFirstForMissingFolder()
{
    start();
    m_page->slot_selectLibrary(album("pics"));
    const int before = int(m_prompter.messages.size());
    m_page->updateRollLibrary();  // the folder exists: no question
    QCOMPARE(int(m_prompter.messages.size()), before);
    QDir(m_dir->filePath("pics")).removeRecursively();
    m_prompter.answers << 0;
    m_page->updateRollLibrary();
    QCOMPARE(m_prompter.messages.last().caption, QStringLiteral("Refresh Thumbs"));
    QCOMPARE(m_prompter.messages.last().text, QStringLiteral("Do you really want to refresh thumbs ?\n\n if yes, you "
                                                             "will loose every previous pictures cataloged."));
}

void TestOrganiser::dropsOnTheAlbumList()
{
    const QString pics = m_dir->filePath("pics");
    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(Qt::red);
    QVERIFY(image.save(pics + "/a.jpg") && image.save(pics + "/b.jpg"));
    start();
    libraryList *list = m_page->albumList();
    QSignalSpy selected(list, &libraryList::librarySelected);
    // Party is open; two files from another program are dropped on Trip.
    m_page->slot_selectLibrary(album("Party"));
    const QByteArray party = readAll(m_db + "/Party1.db");
    auto *data = new QMimeData;
    data->setUrls({QUrl::fromLocalFile(pics + "/a.jpg"), QUrl::fromLocalFile(pics + "/b.jpg")});
    const QPoint at = list->visualItemRect(album("Trip")).center();
    QDragEnterEvent enter(at, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    enter.setAccepted(false);
    QCoreApplication::sendEvent(list->viewport(), &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(at, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(list->viewport(), &drop);
    const QByteArray trip = readAll(m_db + "/Trip1.db");
    QVERIFY(trip.contains("|a.jpg|") && trip.contains("|b.jpg|"));
    QCOMPARE(readAll(m_db + "/Party1.db"), party);
    QCOMPARE(m_page->currentAlbum(), album("Party"));  // what is open stays open
    delete data;

    // A drop on a computed entry adds nothing anywhere.
    auto *more = new QMimeData;
    more->setUrls({QUrl::fromLocalFile(pics + "/a.jpg")});
    const QPoint onFavorites = list->visualItemRect(list->favorites()).center();
    QDropEvent elsewhere(onFavorites, Qt::CopyAction, more, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(list->viewport(), &elsewhere);
    QCOMPARE(readAll(m_db + "/Party1.db"), party);
    QCOMPARE(readAll(m_db + "/Trip1.db"), trip);
    delete more;

    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(album("Party")).center());
    QCOMPARE(m_page->currentAlbum(), album("Party"));
    QVERIFY(selected.count() >= 1);
}

void TestOrganiser::pictureEvents()
{
    start();
    m_page->slot_selectLibrary(album("Trip"));
    PhotoItem picture(QStringLiteral("a.jpg"));
    picture.setFileType(QStringLiteral("Photo"));
    picture.setSourceFolder(m_dir->filePath("pics"));
    QSignalSpy property(m_page, &AmbrioMainWindow::updateProperty);
    m_page->slot_photo_pressed(&picture);
    QCOMPARE(m_page->currentItem(), &picture);
    QCOMPARE(property.count(), 1);
    QCOMPARE(page(), 0);
    tab("bring_export")->click();
    QCOMPARE(page(), 11);
    tab("bring_edit")->click();
    QCOMPARE(page(), 1);
    auto enabled = [this](const char *name) { return m_page->findChild<QWidget *>(name)->isEnabled(); };
    QVERIFY(enabled("toolButtonCopyPaste") && enabled("toolButtonFav") && enabled("toolButtonPaste"));
    for (int id : {4, 5, 6, 11})
        QVERIFY(m_page->menus().iconItems.value(id)->isEnabled());
    QVERIFY(m_page->menus().iconItems.value(10)->isVisible());  // printing with another program
    // In a smart album paste and five picture commands are off; "Move Forward" stays.
    m_page->slot_selectLibrary(album("AllItem"));
    m_page->slot_photo_pressed(&picture);
    QVERIFY(!enabled("toolButtonPaste"));
    for (int id : {4, 5, 6, 10, 11})
        QVERIFY(!m_page->menus().iconItems.value(id)->isEnabled());
    QVERIFY(m_page->menus().iconItems.value(12)->isEnabled());
    // A music record is not a picture: no picture is chosen then, so the panel cannot
    // go on writing into the one chosen before.
    KivViewItem song(QStringLiteral("song.mp3"));
    song.setFileType(QStringLiteral("Music"));
    m_page->slot_photo_pressed(&song);
    QCOMPARE(m_page->currentItem(), nullptr);
    m_page->slot_photo_pressed(&picture);
    QCOMPARE(m_page->currentItem(), &picture);

    // Locate on disk opens the picture's folder, or a dynamic album's own folder.
    QList<QUrl> opened;
    m_page->setUrlOpener([&opened](const QUrl &url) {
        opened << url;
        return true;
    });
    m_page->slot_locateOnDisk();
    m_page->slot_selectLibrary(album("pics"));
    m_page->slot_locateOnDisk();
    QCOMPARE(opened, (QList<QUrl>{QUrl::fromLocalFile(m_dir->filePath("pics")),
                                  QUrl::fromLocalFile(m_dir->filePath("pics"))}));
}

void TestOrganiser::brokenAlbums()
{
    writeFile(m_db + "/Pics1.dir", "KivDir=Pics1\r\nFrom=\r\nTitle=pics\r\nDirty=True\r\nCreationDate=2004-02-01\r\n"
                                   "NumFile=0\r\n");
    start();
    m_page->slot_selectLibrary(album("pics"));
    QCOMPARE(m_prompter.messages.last().caption, QStringLiteral("Album non valid"));
    m_page->slot_selectLibrary(album("Favorits"));
    QCOMPARE(m_prompter.messages.last().caption, QStringLiteral("DataBase error"));
    QCOMPARE(m_prompter.messages.last().text, QStringLiteral("DataBase Query error : Please remove corrupted album."));
}

void TestOrganiser::renameInPlaceAndRebind()
{
    start();
    m_page->slot_selectLibrary(album("Snow"));
    m_page->LibraryRename();
    album("Snow")->setText(1, QStringLiteral("Snow in Alps"));
    QCOMPARE(album("Snow")->title(), QStringLiteral("Snow in Alps"));
    QVERIFY(readAll(m_db + "/Snow1.db").contains("Title=Snow in Alps\r\n"));

    const QString elsewhere = m_dir->filePath("elsewhere/");
    QDir().mkpath(elsewhere);
    QImage image(10, 10, QImage::Format_RGB32);
    image.fill(Qt::blue);
    image.save(elsewhere + "x.jpg");
    m_page->slot_selectLibrary(album("pics"));
    m_prompter.fileAnswers << elsewhere;
    m_page->ChangeFromDir();
    QCOMPARE(m_prompter.choosers.last(), QStringLiteral("Choose a directory"));
    auto *dynamic = dynamic_cast<DirectoryPlaylist *>(album("pics"));
    QCOMPARE(dynamic->from(), m_dir->filePath("elsewhere"));
    QCOMPARE(dynamic->rowCount(), 1);
    QVERIFY(readAll(m_db + "/Pics1.dir").contains("From=" + m_dir->filePath("elsewhere").toUtf8() + "\r\n"));
}

void TestOrganiser::dialogCover()
{
    QWidget parent;
    parent.resize(200, 120);
    parent.show();
    QVERIFY(QTest::qWaitForWindowExposed(&parent));
    KivDialog dialog(&parent);
    dialog.show();
    QWidget *cover = parent.findChild<QWidget *>("visualeffect");
    QVERIFY(cover);
    QCOMPARE(cover->geometry(), parent.rect());
    const QImage grey = static_cast<QLabel *>(cover)->pixmap().toImage();
    const QColor c = grey.pixelColor(grey.width() / 2, grey.height() / 2);
    QVERIFY(c.red() == c.green() && c.green() == c.blue());
    dialog.accept();
    QVERIFY(!parent.findChild<QWidget *>("visualeffect"));
}

QTEST_MAIN(TestOrganiser)
#include "tst_organiser.moc"
