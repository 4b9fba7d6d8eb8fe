#include "ambriomainwindow.h"
#include "organiserfixture.h"
#include "directoryplaylist.h"
#include "librarylist.h"
#include "photoitem.h"
#include "picturecommands.h"
#include "pixmaplookup.h"
#include "prefimplementation.h"
#include "scriptedprompter.h"
#include "thumbsview.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include "viewphoto.h"
#include "kivpixmapview.h"
#include "people.h"
#include "propertytextlabel.h"
#include "favoriteswidget.h"
#include "kivroundbutton.h"
#include "traybarphoto.h"
#include "datemodif.h"
#include "namelist.h"
#include "smartplaylist.h"
#include <QImageReader>
#include <QListWidget>
#include <QCalendarWidget>
#include <QSpinBox>
#include <QToolButton>
#include <QTemporaryDir>
#include <QtTest>

#include "cataloguebackup.h"
#include "fulldisk.h"
#include <QProcess>
#include "testfiles.h"
#include "widgetactions.h"

namespace {

// Clicks a thumbnail as the user does.
void clickCell(thumbsView *view, const KivViewItem *item, Qt::KeyboardModifiers modifiers = {})
{
    const QRect cell = view->cellGeometry(item->row(), item->column());
    const QPoint at = cell.center() - QPoint(view->contentsX(), view->contentsY());
    QTest::mouseClick(view->viewport(), Qt::LeftButton, modifiers, at);
}

} // namespace

// The picture commands of the organiser page on a real catalogue, offscreen.
class TestPictures : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void openingMakesMissingThumbnails();
    void addRefusesDuplicates();
    void removePlainAndDynamic();
    void removingSeveralLeavesNoThumbnailBehind();
    void failedDeletionKeepsTheRow();
    void reorderIsStored();
    void rename();
    void typedYearIsKept();
    void escapeEditTabAndAnotherAlbum();
    void renameReachesEveryAlbum();
    void lovesAndBadges();
    void loveButtonsMoveTheHearts();
    void keyboardLoveAndRename();
    void editsReachOnlyThePicturesChosen();
    void selectAllChoosesEveryPicture();
    void viewerKeys();
    void dailyBackupAtStart();
    void copyAndPaste();
    void viewerCountsViewsAndSaves();
    void peopleDialog();
    void editingPersons();
    void dates();
    void panelShowsAndSavesOnePicture();
    void trayEditsOnlyWhatChanged();
    void pictureInTwoAlbumsIsTaggedInBoth();
    void refusedValueLeavesFilesAlone();
    void severalPicturesAreTaggedTogetherOrNotAtAll();
    void loveChangeReloadsFavorites();
    void trayToAlbum();
    void albumPanel();
    void loadingWritesNothing();
    void undefinedPicturesCanBeChosen();
    void failedSaveIsToldAndUndone();
    void refreshKeepsTags();
    void damagedIndexRefusesEveryWrite();
    void manyDamagedAlbumsAreToldInShort();
    void editedPicturesGetNewThumbnails();
    void unchangedPicturesComeFromTheAlbumCache();
    void groupedAlbumsAreInAllPhotos();
    void aFileThatIsNoPictureIsNotTagged();

private:
    void start();
    void open(const QString &name);
    // The dynamic album of pics with its three pictures, a.jpg titled and loved as given ("title|love").
    void writePicsAlbum(const QByteArray &dirty, const QByteArray &titleAndLoveOfA);
    PlayList *album(const QString &name) const;
    KivViewItem *record(const QString &file) const;
    // Types `text` into a property field as a user does: click, type, Return.
    void type(const char *field, const QString &text);
    void ctrlClick(int column, int row);
    void picture(const QString &path, const QColor &colour = Qt::red);

    std::unique_ptr<QTemporaryDir> m_dir;
    OrganiserFixture m_fixture;
    prefImplementation *m_pref = nullptr;
    ScriptedPrompter m_prompter;
    AmbrioMainWindow *m_page = nullptr;
    QString m_db;
    QString m_pics;
    QString m_other;
};

void TestPictures::initTestCase()
{
    qRegisterMetaType<KivViewItem *>();
}

void TestPictures::picture(const QString &path, const QColor &colour)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QImage image(120, 80, QImage::Format_RGB32);
    image.fill(colour);
    QVERIFY(image.save(path, "JPEG"));
}

void TestPictures::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_dir->filePath("settings"));
    PixmapLookup::configure(m_dir->filePath("install"), false);
    m_db = m_dir->filePath("install/DataBase/db");
    m_pics = m_dir->filePath("pics");
    m_other = m_dir->filePath("other");
    for (const char *name : {"a.jpg", "b.jpg", "c.jpg"})
        picture(m_pics + "/" + name);
    picture(m_other + "/x.jpg", Qt::blue);
    picture(m_other + "/a.jpg", Qt::green);
    // A plain album "Trip" holding a.jpg and b.jpg of pics (no thumbnail files yet), and
    // the dynamic album of pics.
    writeFile(m_dir->filePath("install/DataBase/library.db"),
              "NUMLIB=2\r\nLIBRARY=NONE,Photo,Trip,Playlist,Trip1\r\n"
              "LIBRARY=NONE,Photo,pics,DirectoryPlaylist,Pics1\r\n");
    const QByteArray pics = m_pics.toUtf8();
    writeFile(m_db + "/Trip1.db", "KivDir=Trip1\r\nTitle=Trip\r\nDirty=True\r\nCreationDate=2003-12-31\r\n"
                                  "NumFile=2\r\nFile=Photo|" + pics + "|a.jpg| | | |1|0|-1|120*80|\r\n"
                                  "File=Photo|" + pics + "|b.jpg| | | |1|0|-1|120*80|\r\n");
    writeFile(m_db + "/Pics1.dir", "KivDir=Pics1\r\nFrom=" + pics + "\r\nTitle=pics\r\nDirty=True\r\n"
                                   "CreationDate=2004-02-01\r\nNumFile=0\r\n");
    m_prompter = ScriptedPrompter();
    // Pictures deleted by the program go to this run's own trash.
    qputenv("XDG_DATA_HOME", m_dir->filePath("data").toUtf8());
}

void TestPictures::cleanup()
{
    m_fixture.reset();
    m_page = nullptr;
    m_pref = nullptr;
}

void TestPictures::start()
{
    m_page = m_fixture.start(m_dir->filePath("install"), &m_prompter);
    m_pref = m_fixture.pref.get();
    QVERIFY(QTest::qWaitForWindowExposed(m_page));
}

void TestPictures::writePicsAlbum(const QByteArray &dirty, const QByteArray &titleAndLoveOfA)
{
    const QByteArray pics = m_pics.toUtf8();
    const QList<QByteArray> fields = titleAndLoveOfA.split('|');
    writeFile(m_db + "/Pics1.dir", "KivDir=Pics1\r\nFrom=" + pics + "\r\nTitle=pics\r\nDirty=" + dirty
                                       + "\r\nCreationDate=2004-02-01\r\nNumFile=3\r\n"
                                       "File=Photo|" + pics + "|a.jpg|" + fields.at(0) + "| | |" + fields.at(1)
                                       + "|0|-1| |\r\n"
                                       "File=Photo|" + pics + "|b.jpg| | | |1|0|-1| |\r\n"
                                       "File=Photo|" + pics + "|c.jpg| | | |1|0|-1| |\r\n");
}

PlayList *TestPictures::album(const QString &name) const
{
    for (PlayList *p : m_page->albumList()->storedAlbums())
        if (p->name() == name)
            return p;
    return nullptr;
}

KivViewItem *TestPictures::record(const QString &file) const
{
    for (KivViewItem *item : m_page->photoView()->items())
        if (item->fileName() == file)
            return item;
    return nullptr;
}

void TestPictures::type(const char *field, const QString &text)
{
    typeInto(m_page, field, text);
}

void TestPictures::ctrlClick(int column, int row)
{
    thumbsView *view = m_page->photoView();
    QTest::keyPress(view, Qt::Key_Control);
    view->selectCell(column, row);
    QTest::keyRelease(view, Qt::Key_Control);
}

void TestPictures::open(const QString &name)
{
    m_page->slot_selectLibrary(album(name));
    QTRY_VERIFY(!m_page->pictures()->isLoading());
}

void TestPictures::openingMakesMissingThumbnails()
{
    start();
    open("Trip");
    QCOMPARE(m_page->photoView()->count(), 2);
    // The thumbnails were made on workers and written beside the album: a restart finds them.
    QTRY_VERIFY(!record("a.jpg")->thumbnail().isNull());
    QCOMPARE(record("a.jpg")->thumbnail().size(), QSize(99, 73));
    QVERIFY(QFile::exists(m_db + "/Trip1/a.jpg"));
    QVERIFY(QFile::exists(m_db + "/Trip1/b.jpg"));
    // The dynamic album rescans its folder; its pictures can be chosen.
    open("pics");
    QCOMPARE(m_page->photoView()->count(), 3);
    // The rows the rescan found are stored at once, before anything else is done.
    QVERIFY(readAll(m_db + "/Pics1.dir").contains("NumFile=3\r\n"));
    m_page->photoView()->selectCell(0, 0);
    QCOMPARE(m_page->currentItem(), record("a.jpg"));
}

void TestPictures::addRefusesDuplicates()
{
    start();
    open("Trip");
    m_prompter.fileAnswers << (m_other + "/a.jpg\n" + m_other + "/x.jpg");
    m_page->slot_addItem();
    QCOMPARE(m_prompter.messages.last().text,
             QStringLiteral("Unable to add this photo.\nA photo already have this filename."));
    QCOMPARE(album("Trip")->rowCount(), 3);
    QVERIFY(record("x.jpg"));
    QVERIFY(readAll(m_db + "/Trip1.db").contains("|x.jpg|"));
    // A drop adds the same way, with the record's own words.
    picture(m_dir->filePath("third/x.jpg"), Qt::yellow);
    m_page->slot_addFile(QStringList{m_dir->filePath("third/x.jpg")}, nullptr);
    QCOMPARE(m_prompter.messages.last().text,
             QStringLiteral("Unable to add this picture.\nA photo already have this filename."));
    QCOMPARE(album("Trip")->rowCount(), 3);
}

void TestPictures::removePlainAndDynamic()
{
    start();
    open("Trip");
    m_page->photoView()->selectCell(0, 0);  // a.jpg
    QCOMPARE(m_page->currentToolPage(), 0);  // the picture's panel
    m_page->slot_removeItem();
    QCOMPARE(album("Trip")->rowCount(), 1);
    QVERIFY(m_page->currentToolPage() != 0);  // the panel of a picture that is gone is closed
    QVERIFY(QFile::exists(m_pics + "/a.jpg"));  // a plain album only forgets the picture
    QVERIFY(!readAll(m_db + "/Trip1.db").contains("|a.jpg|"));

    open("pics");
    m_page->photoView()->selectCell(1, 0);  // b.jpg
    m_prompter.answers << 1;                // Cancel
    m_page->slot_removeItem();
    const Prompter::Message question = m_prompter.messages.last();
    QCOMPARE(question.buttons, (QStringList{"Ok", "Cancel"}));
    QCOMPARE(question.defaultButton, 1);
    QVERIFY(QFile::exists(m_pics + "/b.jpg"));
    m_prompter.answers << 0;  // Ok
    m_page->slot_removeItem();
    QVERIFY(!QFile::exists(m_pics + "/b.jpg"));
    QCOMPARE(album("pics")->rowCount(), 2);
    QCOMPARE(m_page->photoView()->count(), 2);
}

void TestPictures::removingSeveralLeavesNoThumbnailBehind()
{
    start();
    open("Trip");
    thumbsView *view = m_page->photoView();
    QTRY_VERIFY(QFile::exists(m_db + "/Trip1/a.jpg") && QFile::exists(m_db + "/Trip1/b.jpg"));
    // b.jpg is tagged: its property file stays, its tags may still be wanted.
    writeFile(m_db + "/Trip1/b.jpg.kiv", "title=Harbour\r\nformat=120*80\r\ncategory=\r\ncomment=\r\nlove=1\r\n"
                                         "author=\r\nfrom=\r\ndate=\r\nfiletype=Photo\r\npersoninit=\r\nevent=\r\n"
                                         "place=\r\nuserbadge=-1\r\n");
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->cellGeometry(0, 0).center());
    QTest::keyClick(view, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(m_page->tray()->count(), 2);
    QCOMPARE(m_page->tray()->numRows(), 2);
    m_page->slot_removeItem();
    QCOMPARE(album("Trip")->rowCount(), 0);
    QVERIFY(readAll(m_db + "/Trip1.db").contains("NumFile=0"));
    QCOMPARE(view->count(), 0);
    QCOMPARE(view->numRows(), 0);  // no scroll bar over an empty album
    // The tray keeps no blank rows where the pictures were.
    QCOMPARE(m_page->tray()->count(), 0);
    QCOMPARE(m_page->tray()->numRows(), 1);
    QCOMPARE(m_page->tray()->currentRow(), 0);
    QVERIFY(!QFile::exists(m_db + "/Trip1/a.jpg"));
    QVERIFY(!QFile::exists(m_db + "/Trip1/b.jpg"));
    QVERIFY(readAll(m_db + "/Trip1/b.jpg.kiv").contains("title=Harbour"));
    QVERIFY(QFile::exists(m_pics + "/a.jpg") && QFile::exists(m_pics + "/b.jpg"));
}

void TestPictures::failedDeletionKeepsTheRow()
{
    start();
    open("pics");
    KivViewItem *stuck = record("b.jpg");
    QVERIFY(stuck);
    // Something that is no picture file now stands where the picture was: it is left
    // alone, and so is the row.
    QVERIFY(QFile::remove(m_pics + "/b.jpg"));
    QVERIFY(QDir().mkpath(m_pics + "/b.jpg"));
    clickCell(m_page->photoView(), stuck);
    m_prompter.answers << 0;  // Ok
    m_page->slot_removeItem();
    QVERIFY(m_prompter.messages.last().text.startsWith("Unable to remove this picture."));
    QVERIFY(album("pics")->indexOfFile("b.jpg") >= 0);
    QVERIFY(record("b.jpg"));
    QVERIFY(QFileInfo(m_pics + "/b.jpg").isDir());
}

void TestPictures::reorderIsStored()
{
    start();
    open("Trip");
    m_page->photoView()->selectCell(1, 0);  // b.jpg
    m_page->moveIconItemUp();
    const QByteArray file = readAll(m_db + "/Trip1.db");
    QVERIFY(file.indexOf("|b.jpg|") < file.indexOf("|a.jpg|"));
    QCOMPARE(m_page->photoView()->items().first()->fileName(), QStringLiteral("b.jpg"));
    m_page->moveIconItemDown();
    const QByteArray back = readAll(m_db + "/Trip1.db");
    QVERIFY(back.indexOf("|a.jpg|") < back.indexOf("|b.jpg|"));
}

void TestPictures::rename()
{
    start();
    open("Trip");
    m_page->photoView()->selectCell(0, 0);  // a.jpg
    auto renameTo = [this](const QString &name) {
        m_prompter.onExec = [name](QDialog *dialog) {
            QCOMPARE(dialog->windowTitle(), QStringLiteral("Rename :"));
            dialog->findChild<QLineEdit *>("lineEditNewFilename")->setText(name);
        };
        m_prompter.dialogResults << QDialog::Accepted;
        m_page->slot_renameItem();
    };
    renameTo(QStringLiteral("b.jpg"));
    QCOMPARE(m_prompter.messages.last().text,
             QStringLiteral("Unable to rename this photo.\nA photo already have this filename."));
    QVERIFY(QFile::exists(m_pics + "/a.jpg"));

    renameTo(QStringLiteral("abcdefghijklmnopq.jpg"));  // 21 characters: shown whole
    QCOMPARE(m_page->currentItem()->caption(), QStringLiteral("abcdefghijklmnopq.jpg"));
    QVERIFY(QFile::exists(m_pics + "/abcdefghijklmnopq.jpg"));
    QVERIFY(readAll(m_db + "/Trip1.db").contains("|abcdefghijklmnopq.jpg|"));
    renameTo(QStringLiteral("abcdefghijklmnopqr.jpg"));  // 22 characters
    QCOMPARE(m_page->currentItem()->caption(), QStringLiteral("abcdefghijklmnopqr..."));
    renameTo(QStringLiteral("../escape.jpg"));
    QVERIFY(m_prompter.messages.last().text.startsWith("Unable to rename this picture."));
    QVERIFY(QFile::exists(m_pics + "/abcdefghijklmnopqr.jpg"));

    // F2 on a picture of a search result: the user is told where to rename it, and
    // nothing is asked or renamed.
    m_page->slot_selectLibrary(m_page->albumList()->allPhotos());
    QTRY_VERIFY(!m_page->pictures()->isLoading());
    thumbsView *view = m_page->photoView();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->cellGeometry(0, 0).center());
    const QString chosen = m_page->currentItem()->fileName();
    const qsizetype told = m_prompter.messages.size();
    bool asked = false;
    m_prompter.onExec = [&asked](QDialog *) { asked = true; };
    QTest::keyClick(view->viewport(), Qt::Key_F2);
    m_prompter.onExec = nullptr;
    QVERIFY(!asked);
    QCOMPARE(m_prompter.messages.size(), told + 1);
    QCOMPARE(m_prompter.messages.last().text,
             QStringLiteral("A picture is renamed in the album that holds it, not in a search result.\n"
                            "Open the album \"Trip\" and rename it there."));
    QVERIFY(QFile::exists(m_pics + "/" + chosen));
}

void TestPictures::renameReachesEveryAlbum()
{
    // Trip and Other both hold pics/a.jpg; Other has its own title for it.
    const QByteArray pics = m_pics.toUtf8();
    writeFile(m_dir->filePath("install/DataBase/library.db"),
              "NUMLIB=3\r\nLIBRARY=NONE,Photo,Trip,Playlist,Trip1\r\n"
              "LIBRARY=NONE,Photo,pics,DirectoryPlaylist,Pics1\r\nLIBRARY=NONE,Photo,Other,Playlist,Other1\r\n");
    writeFile(m_db + "/Other1.db", "KivDir=Other1\r\nTitle=Other\r\nDirty=True\r\nCreationDate=2004-01-01\r\n"
                                   "NumFile=1\r\nFile=Photo|" + pics + "|a.jpg|Kept title| | |4|0|-1|120*80|\r\n");
    writeFile(m_db + "/Other1/a.jpg.kiv", "title=Kept title\r\nformat=120*80\r\ncategory=\r\ncomment=\r\nlove=4\r\n"
                                          "author=\r\nfrom=\r\ndate=\r\nfiletype=Photo\r\npersoninit=\r\nevent=\r\n"
                                          "place=\r\nuserbadge=-1\r\n");
    start();
    open("Trip");
    clickCell(m_page->photoView(), record("a.jpg"));
    m_prompter.onExec = [](QDialog *dialog) {
        dialog->findChild<QLineEdit *>("lineEditNewFilename")->setText(QStringLiteral("harbour.jpg"));
    };
    m_prompter.dialogResults << QDialog::Accepted;
    m_page->slot_renameItem();
    QVERIFY(QFile::exists(m_pics + "/harbour.jpg"));
    QVERIFY(readAll(m_db + "/Trip1.db").contains("|harbour.jpg|"));
    // The other album follows, its own tags kept; nothing asks for the media.
    QVERIFY(readAll(m_db + "/Other1.db").contains("|" + pics + "|harbour.jpg|Kept title| | |4|"));
    QVERIFY(readAll(m_db + "/Other1/harbour.jpg.kiv").contains("title=Kept title\r\n"));
    QVERIFY(!QFile::exists(m_db + "/Other1/a.jpg.kiv"));
    // The panel shows the new name at once.
    QVERIFY(m_page->findChild<propertyTextLabel *>("propertyTextLabelFile")->text().startsWith("harbour.jpg"));
    open("Other");
    clickCell(m_page->photoView(), record("harbour.jpg"));
    QCOMPARE(record("harbour.jpg")->title(), QStringLiteral("Kept title"));

    // A name another holder already has is refused before anything moves.
    writeFile(m_db + "/Other1.db", "KivDir=Other1\r\nTitle=Other\r\nDirty=True\r\nCreationDate=2004-01-01\r\n"
                                   "NumFile=2\r\nFile=Photo|" + pics + "|harbour.jpg|Kept title| | |4|0|-1|120*80|\r\n"
                                   "File=Photo|/elsewhere|b2.jpg| | | |1|0|-1| |\r\n");
    album("Other")->load(m_db + "/Other1.db");
    open("Trip");
    clickCell(m_page->photoView(), record("harbour.jpg"));
    m_prompter.onExec = [](QDialog *dialog) {
        dialog->findChild<QLineEdit *>("lineEditNewFilename")->setText(QStringLiteral("b2.jpg"));
    };
    m_prompter.dialogResults << QDialog::Accepted;
    m_page->slot_renameItem();
    QVERIFY(m_prompter.messages.last().text.startsWith("Unable to rename this photo."));
    QVERIFY(QFile::exists(m_pics + "/harbour.jpg"));
}

void TestPictures::lovesAndBadges()
{
    start();
    open("Trip");
    m_page->photoView()->selectCell(0, 0);  // a.jpg
    KivViewItem *item = m_page->currentItem();
    m_page->insertBadge(2);
    QCOMPARE(item->userBadge(), 2);
    QVERIFY(readAll(m_db + "/Trip1/a.jpg.kiv").contains("userbadge=2\r\n"));
    QVERIFY(readAll(m_db + "/Trip1.db").contains("|a.jpg| | | |1|0|2|"));
    m_page->insertBadge(7);  // "No user Badge"
    QVERIFY(readAll(m_db + "/Trip1/a.jpg.kiv").contains("userbadge=-1\r\n"));
    m_page->slot_to_favorites();
    QVERIFY(readAll(m_db + "/Trip1/a.jpg.kiv").contains("love=5\r\n"));
    QVERIFY(readAll(m_db + "/Trip1.db").contains("|a.jpg| | | |5|"));
    m_page->FavPlus();  // already 5
    QCOMPARE(item->love(), 5);
    m_page->FavMoins();
    QVERIFY(readAll(m_db + "/Trip1/a.jpg.kiv").contains("love=4\r\n"));
}

void TestPictures::loveButtonsMoveTheHearts()
{
    start();
    open("Trip");
    clickCell(m_page->photoView(), record("b.jpg"));
    auto *hearts = m_page->findChild<FavoritesWidget *>("favoriteswid");
    auto *plus = m_page->findChild<QAbstractButton *>("pushButtonFavPlus");
    auto *minus = m_page->findChild<QAbstractButton *>("pushButtonFavMoins");
    QVERIFY(hearts && plus && minus);
    QCOMPARE(hearts->value(), 1);
    QTest::mouseClick(plus, Qt::LeftButton);
    QTest::mouseClick(plus, Qt::LeftButton);
    QCOMPARE(hearts->value(), 3);
    QVERIFY(readAll(m_db + "/Trip1.db").contains("|b.jpg| | | |3|"));
    QVERIFY(readAll(m_db + "/Trip1/b.jpg.kiv").contains("love=3\r\n"));
    // Leaving the hearts, then saving another field, keeps 3.
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(hearts, &leave);
    type("propertyTextLabelComment", "windy");
    QVERIFY(readAll(m_db + "/Trip1.db").contains("|b.jpg| | |windy|3|"));
    // Down to one is stored too.
    QTest::mouseClick(minus, Qt::LeftButton);
    QTest::mouseClick(minus, Qt::LeftButton);
    QCOMPARE(hearts->value(), 1);
    QVERIFY(readAll(m_db + "/Trip1.db").contains("|b.jpg| | |windy|1|"));
    QVERIFY(readAll(m_db + "/Trip1/b.jpg.kiv").contains("love=1\r\n"));
    // Below one: no love, which the hearts show as one.
    QTest::mouseClick(minus, Qt::LeftButton);
    QCOMPARE(hearts->value(), 1);
    QCOMPARE(record("b.jpg")->love(), 1);
    // A click on the hearts themselves counts once.
    QTest::mouseClick(hearts, Qt::LeftButton, {}, QPoint(40, 8));
    QCOMPARE(hearts->value(), 2);
    QVERIFY(readAll(m_db + "/Trip1.db").contains("|b.jpg| | |windy|2|"));
    QCoreApplication::sendEvent(hearts, &leave);
    QVERIFY(readAll(m_db + "/Trip1.db").contains("|b.jpg| | |windy|2|"));
    // The favourites button shows five hearts, and a later field keeps them.
    m_page->slot_to_favorites();
    QCOMPARE(hearts->value(), 5);
    type("propertyTextLabelComment", "calm");
    QVERIFY(readAll(m_db + "/Trip1.db").contains("|b.jpg| | |calm|5|"));

    // Two pictures in the tray: the buttons give both the same love.
    clickCell(m_page->photoView(), record("a.jpg"), Qt::ControlModifier);
    QCOMPARE(m_page->tray()->count(), 2);
    QCOMPARE(hearts->value(), 1);  // several pictures: the hearts start at one
    QTest::mouseClick(plus, Qt::LeftButton);
    QCOMPARE(hearts->value(), 2);
    QVERIFY(readAll(m_db + "/Trip1/a.jpg.kiv").contains("love=2\r\n"));
    QVERIFY(readAll(m_db + "/Trip1/b.jpg.kiv").contains("love=2\r\n"));
    QVERIFY(readAll(m_db + "/Trip1.db").contains("|b.jpg| | |calm|2|"));
}

void TestPictures::copyAndPaste()
{
    start();
    open("Trip");
    m_page->slot_pasteItem();  // nothing copied, nothing on the clipboard
    QCOMPARE(m_prompter.messages.last().text,
             QStringLiteral("You need to copy a file before, click the copy button on a picture\n"));
    m_page->photoView()->selectCell(0, 0);  // a.jpg
    m_page->slot_copyItem();
    QVERIFY(m_page->currentItem()->isCopied());
    m_page->slot_pasteItem();  // into its own album
    QCOMPARE(m_prompter.messages.last().text,
             QStringLiteral("You can't copy this picture here.Another picture have the same name\n"));
    open("pics");  // a.jpg is in that folder too
    m_page->slot_pasteItem();
    QCOMPARE(m_prompter.messages.last().text,
             QStringLiteral("You can't copy this picture here.Another picture have the same name\n"));
    m_page->clearClipboard();
    QVERIFY(QApplication::clipboard()->image().isNull());
}

void TestPictures::viewerCountsViewsAndSaves()
{
    start();
    open("Trip");
    m_page->photoView()->selectCell(0, 0);  // a.jpg
    m_page->viewImage();
    QVERIFY(m_page->viewer()->isVisible());
    QVERIFY(readAll(m_db + "/Trip1.db").contains("|a.jpg| | | |1|1|-1|"));  // one view, saved at once
    QVERIFY(m_page->findChild<QWidget *>("toolbar_back")->isVisible());
    // Next picture while the viewer is open loads it.
    m_page->slot_nextItem();
    QCOMPARE(m_page->currentItem()->fileName(), QStringLiteral("b.jpg"));
    QCOMPARE(m_page->viewer()->fileName(), m_pics + "/b.jpg");
    // An effect, then Back: the question; Cancel drops the change.
    m_page->findChild<QPushButton *>("pushButtonBlackWhite")->click();
    m_prompter.answers << 0;
    m_page->slot_backtoOrganizer();
    QCOMPARE(m_prompter.messages.last().text, QStringLiteral("Do you want to save photo modification ?"));
    QVERIFY(!m_page->viewer()->isVisible());
    QVERIFY(m_page->photoView()->isVisible());
    // A picture gone from its folder: the missing-media message.
    QFile::remove(m_pics + "/b.jpg");
    m_page->viewImage();
    QCOMPARE(m_prompter.messages.last().text,
             QStringLiteral("Your photo cannot be load\nPlease insert the media :\n") + m_pics + "/b.jpg");
}

void TestPictures::escapeEditTabAndAnotherAlbum()
{
    start();
    open("Trip");
    thumbsView *view = m_page->photoView();
    clickCell(view, record("a.jpg"));
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {},
                       view->cellGeometry(record("a.jpg")->row(), record("a.jpg")->column()).center());
    QVERIFY(m_page->viewer()->isVisible());
    auto *surface = m_page->viewer()->findChild<KIVPixmapView *>();
    QVERIFY(surface);
    // Escape returns to the organiser; the next picture opened shows.
    QTest::keyClick(surface, Qt::Key_Escape);
    QVERIFY(!m_page->viewer()->isVisible());
    QVERIFY(view->isVisible());
    clickCell(view, record("b.jpg"));
    m_page->viewImage();
    QVERIFY(m_page->viewer()->isVisible());
    QVERIFY(surface->isVisible());
    QVERIFY(surface->parentWidget()->isVisible());
    QCOMPARE(m_page->viewer()->fileName(), m_pics + "/b.jpg");
    // A picture turned and saved: its row's size follows the file.
    m_page->findChild<QPushButton *>("pushButtonRotateLeft")->click();
    m_page->findChild<QPushButton *>("pushButtonSaveChanges")->click();
    QVERIFY(readAll(m_db + "/Trip1.db").contains("|b.jpg| | | |1|1|-1|80*120|"));
    // The Edit tab keeps an open viewer's effect and counts no view.
    const QByteArray counted = readAll(m_db + "/Trip1.db");
    m_page->findChild<QPushButton *>("pushButtonBlackWhite")->click();
    const QImage edited = surface->currentImage();
    m_page->findChild<QPushButton *>("bring_edit")->click();
    QCOMPARE(surface->currentImage(), edited);
    QCOMPARE(readAll(m_db + "/Trip1.db"), counted);
    // Another album closes the viewer (the question about the change comes first).
    m_prompter.answers << 0;  // do not save
    open("pics");
    QVERIFY(!m_page->viewer()->isVisible());
    QVERIFY(view->isVisible());
    QCOMPARE(m_page->currentAlbum(), album("pics"));
}

void TestPictures::typedYearIsKept()
{
    // The year typed into the calendar's year field, then Return: that year is chosen.
    DateModif dialog;
    dialog.setDate(2004, 7, 14);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    auto *yearButton = dialog.calendar()->findChild<QToolButton *>(QStringLiteral("qt_calendar_yearbutton"));
    QVERIFY(yearButton);
    QTest::mouseClick(yearButton, Qt::LeftButton);
    auto *yearField = dialog.calendar()->findChild<QSpinBox *>();
    QVERIFY(yearField && yearField->isVisible());
    yearField->selectAll();
    QTest::keyClicks(yearField, QStringLiteral("1998"));
    QSignalSpy accepted(&dialog, &QDialog::accepted);
    QTest::keyClick(yearField, Qt::Key_Return);
    if (accepted.isEmpty())
        QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("buttonOk")), Qt::LeftButton);
    QCOMPARE(dialog.date(), QDate(1998, 7, 14));
}

void TestPictures::peopleDialog()
{
    ScriptedPrompter prompter;
    People dialog(&prompter);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("People"));
    dialog.setSubjects({"Undefined", "anna", "Bob"});
    QCOMPARE(dialog.subjects(), (QStringList{"Bob", "Undefined", "anna"}));  // sorted
    auto *field = dialog.findChild<QLineEdit *>("lineEditSubject");
    field->setText(QStringLiteral("Anna"));  // anna is listed: Anna is another name
    dialog.slot_add();
    QCOMPARE(dialog.subjects().last(), QStringLiteral("Anna"));  // appended, not re-sorted
    field->setText(QStringLiteral("Anna"));
    dialog.slot_add();
    QCOMPARE(prompter.messages.last().text,
             QStringLiteral("This subject is already in the DataBase\nchoose another subject name"));
    field->setText(QStringLiteral("Smith, John"));
    dialog.slot_add();
    QVERIFY(!dialog.subjects().contains("Smith, John"));
    auto *list = dialog.findChild<QListWidget *>("listBoxSubjects");
    list->setCurrentRow(1);  // Undefined can never be removed
    dialog.slot_remove();
    QVERIFY(dialog.subjects().contains("Undefined"));
    list->setCurrentRow(0);
    dialog.slot_remove();
    QVERIFY(!dialog.subjects().contains("Bob"));
    list->clearSelection();
    dialog.selectPersons(NameList::persons(QStringLiteral("Anna,,anna")));
    QCOMPARE(dialog.selectedPersons(), (QStringList{"anna", "Anna"}));
}

void TestPictures::editingPersons()
{
    writeFile(m_dir->filePath("install/DataBase/subjects.list"), "NUMSUB=2\r\nUndefined\r\nAnna\r\n");
    start();
    open("Trip");
    m_page->photoView()->selectCell(0, 0);  // a.jpg
    // Closed with nobody chosen: the persons stay, a new name is kept.
    m_prompter.onExec = [](QDialog *dialog) {
        dialog->findChild<QLineEdit *>("lineEditSubject")->setText(QStringLiteral("Bob"));
        static_cast<People *>(dialog)->slot_add();
    };
    m_page->showSubjectDialog();
    QCOMPARE(readAll(m_dir->filePath("install/DataBase/subjects.list")), QByteArray("NUMSUB=3\r\nAnna\r\nUndefined\r\nBob\r\n"));
    QVERIFY(!QFile::exists(m_db + "/Trip1/a.jpg.kiv"));
    // Choosing Anna and Bob writes them to the picture.
    m_prompter.onExec = [](QDialog *dialog) { static_cast<People *>(dialog)->selectPersons({"Anna", "Bob"}); };
    m_page->showSubjectDialog();
    QVERIFY(readAll(m_db + "/Trip1/a.jpg.kiv").contains("personinit=Anna,Bob\r\n"));
    QVERIFY(readAll(m_db + "/Trip1.db").contains("|a.jpg|") && readAll(m_db + "/Trip1.db").contains("|Anna,Bob\r\n"));
    // "By Subject" lists the persons, without "Undefined".
    QStringList bySubject;
    QTreeWidgetItemIterator it(m_page->albumList());
    for (; *it; ++it) {
        if (auto *entry = dynamic_cast<BySubject *>(*it))
            bySubject << entry->keyword();
    }
    QCOMPARE(bySubject, (QStringList{"Anna", "Bob"}));
}

void TestPictures::dates()
{
    start();
    open("Trip");
    m_page->photoView()->selectCell(0, 0);  // a.jpg
    KivViewItem *item = m_page->currentItem();
    item->setDate(QStringLiteral("2003-01-05T14:22:10"));
    m_page->showDateModif();  // cancelled: nothing changes
    QCOMPARE(item->date(), QStringLiteral("2003-01-05T14:22:10"));
    QVERIFY(!QFile::exists(m_db + "/Trip1/a.jpg.kiv"));
    m_prompter.onExec = [](QDialog *dialog) {
        auto *date = static_cast<DateModif *>(dialog);
        QCOMPARE(date->date(), QDate(2003, 1, 5));  // the picture's date is shown
        date->setDate(2004, 7, 14);
    };
    m_prompter.dialogResults << QDialog::Accepted;
    m_page->showDateModif();
    QCOMPARE(item->date(), QStringLiteral("2004-07-14T14:22:10"));
    QVERIFY(readAll(m_db + "/Trip1/a.jpg.kiv").contains("date=2004-07-14T14:22:10\r\n"));

    // The album's date moves it to another year.
    m_prompter.onExec = [](QDialog *dialog) { static_cast<DateModif *>(dialog)->setDate(1999, 8, 1); };
    m_prompter.dialogResults << QDialog::Accepted;
    m_page->showDatePlModif();
    QCOMPARE(album("Trip")->creationDate(), QDate(1999, 8, 1));
    QVERIFY(readAll(m_db + "/Trip1.db").contains("CreationDate=1999-08-01\r\n"));
    QCOMPARE(album("Trip")->text(2), QStringLiteral("1999-08-01"));
    bool year1999 = false;
    for (int i = 0; i < m_page->albumList()->topLevelItemCount(); ++i)
        year1999 = year1999 || m_page->albumList()->topLevelItem(i)->text(0) == QLatin1String("1999");
    QVERIFY(year1999);
}

void TestPictures::panelShowsAndSavesOnePicture()
{
    start();
    open("Trip");
    m_page->photoView()->selectCell(1, 0);  // b.jpg
    auto *title = m_page->findChild<propertyTextLabel *>("propertyTextLabelTitle");
    auto *file = m_page->findChild<propertyTextLabel *>("propertyTextLabelFile");
    auto *size = m_page->findChild<QLabel *>("textLabelSize");
    QCOMPARE(file->text(), QStringLiteral("b.jpg"));
    QVERIFY(file->isEditable());
    QCOMPARE(size->text(), QString::number(QFileInfo(m_pics + "/b.jpg").size() / 1024) + "Ko");
    QVERIFY(m_page->findChild<KivDateButton *>("itemDate")->date().isNull());  // a date of " "

    // The panel shows what is on disk, not what the record held.
    writeFile(m_db + "/Trip1/b.jpg.kiv", "title=From disk\r\nformat=12000*8000 pixels, 16-bit\r\ncategory=Art\r\ncomment= \r\nlove=3\r\n"
                                     "author=\r\nfrom=\r\ndate=2001-02-03T04:05:06\r\nfiletype=Photo\r\n"
                                     "personinit=Anna\r\nevent=\r\nplace=Brest\r\nuserbadge=1\r\n");
    m_page->photoView()->selectCell(0, 0);
    m_page->photoView()->selectCell(1, 0);
    QCOMPARE(title->text(), QStringLiteral("From disk"));
    QCOMPARE(m_page->findChild<propertyTextLabel *>("propertyTextLabelPlace")->text(), QStringLiteral("Brest"));
    QCOMPARE(m_page->findChild<FavoritesWidget *>("favoriteswid")->value(), 3);
    QCOMPARE(m_page->findChild<KivDateButton *>("itemDate")->date(), QDate(2001, 2, 3));
    QCOMPARE(m_page->findChild<KivBadgeButton *>("itemUserBadge")->badgeValue(), 1);
    // Long values are shortened in their fields: the page keeps its designed width.
    QVERIFY(m_page->minimumSizeHint().width() <= 800);
    // A photograph's pixel size and file size are shown whole, narrow or wide.
    for (const int width : {800, 1500}) {
        m_page->resize(width, 560);
        writeFile(m_db + "/Trip1/b.jpg.kiv", "title=From disk\r\nformat=15640*10400\r\ncategory=Art\r\ncomment= \r\n"
                                         "love=3\r\nauthor=\r\nfrom=\r\ndate=2001-02-03T04:05:06\r\nfiletype=Photo\r\n"
                                         "personinit=Anna\r\nevent=\r\nplace=Brest\r\nuserbadge=1\r\n");
        m_page->photoView()->selectCell(0, 0);
        m_page->photoView()->selectCell(1, 0);
        for (const char *name : {"textLabelFormat", "textLabelSize"}) {
            auto *label = m_page->findChild<QLabel *>(name);
            QTRY_VERIFY2(label->width() >= label->fontMetrics().horizontalAdvance(label->text()), name);
        }
    }
    m_page->resize(800, 560);
    m_page->photoView()->selectCell(0, 0);
    m_page->photoView()->selectCell(1, 0);

    // One picture: its title is written, and every other value stays as it was,
    // the time of day of its date included.
    type("propertyTextLabelTitle", "Lighthouse");
    const QByteArray stored = readAll(m_db + "/Trip1/b.jpg.kiv");
    QVERIFY(stored.contains("title=Lighthouse\r\n") || stored.contains("title= Lighthouse\r\n"));
    QVERIFY(stored.contains("category=Art\r\n"));
    QVERIFY(stored.contains("date=2001-02-03T04:05:06\r\n"));
    QVERIFY(stored.contains("personinit=Anna\r\n"));
    QVERIFY(stored.contains("place=Brest\r\n"));
    QVERIFY(stored.contains("love=3\r\n"));
    QVERIFY(readAll(m_db + "/Trip1.db").contains("|b.jpg|") && readAll(m_db + "/Trip1.db").contains("Lighthouse|Art|"));
    QVERIFY(!m_prompter.messages.size());
}

void TestPictures::trayEditsOnlyWhatChanged()
{
    start();
    open("Trip");
    thumbsView *view = m_page->photoView();
    view->selectCell(0, 0);
    type("propertyTextLabelTitle", "Alpha");
    view->selectCell(1, 0);
    type("propertyTextLabelTitle", "Beta");
    // a.jpg then b.jpg with Ctrl: both are in the tray and the panel is empty.
    view->selectCell(0, 0);
    ctrlClick(1, 0);
    trayBarPhoto *tray = m_page->tray();
    QCOMPARE(tray->count(), 2);
    auto *title = m_page->findChild<propertyTextLabel *>("propertyTextLabelTitle");
    QCOMPARE(title->text(), QString());
    QVERIFY(!m_page->findChild<propertyTextLabel *>("propertyTextLabelFile")->isEditable());

    type("propertyTextLabelComment", "Seaside");
    for (const char *name : {"a", "b"}) {
        const QByteArray stored = readAll(m_db + "/Trip1/" + name + ".jpg.kiv");
        QVERIFY2(stored.contains("comment=Seaside\r\n"), name);
        QVERIFY2(stored.contains(name == QByteArray("a") ? "Alpha\r\n" : "Beta\r\n"), name);
    }
    const QByteArray rows = readAll(m_db + "/Trip1.db");
    QVERIFY(rows.contains("Alpha| |Seaside|") && rows.contains("Beta| |Seaside|"));
    // Their files were read again before the change: what they read back unchanged is
    // still the one text both records share, not a copy each (thousands of records would
    // otherwise each keep their own).
    QVERIFY(!record("a.jpg")->fileType().isEmpty());
    QCOMPARE(record("a.jpg")->fileType().constData(), record("b.jpg")->fileType().constData());

    // A badge chosen for the selection goes to both.
    m_page->insertBadge(3);
    QVERIFY(readAll(m_db + "/Trip1/a.jpg.kiv").contains("userbadge=3\r\n"));
    QVERIFY(readAll(m_db + "/Trip1/b.jpg.kiv").contains("userbadge=3\r\n"));
    QVERIFY(readAll(m_db + "/Trip1/a.jpg.kiv").contains("comment=Seaside\r\n"));

    // The tray outlives the album it was filled in: shown again, the album's new
    // records read what was typed for the tray's pictures.
    m_page->findChild<QPushButton *>("pushButtonHold")->click();
    open("pics");
    open("Trip");
    view->selectCell(0, 0);  // a.jpg again: the tray holds it already
    QCOMPARE(tray->count(), 2);
    QVERIFY(!tray->records().contains(record("a.jpg")));
    type("propertyTextLabelPlace", "Brest");
    QCOMPARE(static_cast<PhotoItem *>(record("a.jpg"))->place(), QStringLiteral("Brest"));
    QCOMPARE(static_cast<PhotoItem *>(record("b.jpg"))->place(), QStringLiteral("Brest"));
    QVERIFY(readAll(m_db + "/Trip1/b.jpg.kiv").contains("place=Brest\r\n"));
    QVERIFY(readAll(m_db + "/Trip1/b.jpg.kiv").contains("userbadge=3\r\n"));
    m_page->findChild<QPushButton *>("pushButtonClear")->click();
    tray->add(record("a.jpg"), true);
    tray->add(record("b.jpg"), true);

    // Removing a picture from the album takes it out of the tray.
    KivViewItem *b = record("b.jpg");
    QVERIFY(m_page->pictures()->removeOne(b));
    QCOMPARE(tray->records(), QList<KivViewItem *>({record("a.jpg")}));
}

void TestPictures::pictureInTwoAlbumsIsTaggedInBoth()
{
    // a.jpg and b.jpg are in Trip and in the dynamic album of their folder: each album
    // keeps its own tags for them, and All Photos shows each picture twice.
    writePicsAlbum("False", " |1");
    start();
    m_page->slot_selectLibrary(m_page->albumList()->allPhotos());
    QTRY_VERIFY(!m_page->pictures()->isLoading());
    thumbsView *view = m_page->photoView();
    QCOMPARE(view->count(), 5);
    // Every row chosen: all five are in the tray, and a comment reaches each album's
    // copy of each picture, in its property file and its row.
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->cellGeometry(0, 0).center());
    QTest::keyClick(view->viewport(), Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(m_page->tray()->count(), 5);
    type("propertyTextLabelComment", "Twice");
    QVERIFY(m_prompter.messages.isEmpty());
    for (const char *file : {"Trip1/a.jpg.kiv", "Trip1/b.jpg.kiv", "Pics1/a.jpg.kiv", "Pics1/b.jpg.kiv",
                             "Pics1/c.jpg.kiv"})
        QVERIFY2(readAll(m_db + '/' + file).contains("comment=Twice\r\n"), file);
    QCOMPARE(readAll(m_db + "/Trip1.db").count("| |Twice|"), 2);
    QCOMPARE(readAll(m_db + "/Pics1.dir").count("| |Twice|"), 3);
    // The same row chosen again is still one tray picture.
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::ControlModifier, view->cellGeometry(0, 0).center());
    QCOMPARE(m_page->tray()->count(), 5);
}

void TestPictures::refusedValueLeavesFilesAlone()
{
    start();
    open("Trip");
    m_page->photoView()->selectCell(0, 0);
    type("propertyTextLabelTitle", "Before");
    const QByteArray property = readAll(m_db + "/Trip1/a.jpg.kiv");
    const QByteArray album = readAll(m_db + "/Trip1.db");
    type("propertyTextLabelTitle", "left|right");
    QCOMPARE(m_prompter.messages.size(), 1);
    QCOMPARE(m_prompter.messages.last().text,
             QStringLiteral("Unable to save this property.\nA property cannot contain \"|\"."));
    QCOMPARE(readAll(m_db + "/Trip1/a.jpg.kiv"), property);
    QCOMPARE(readAll(m_db + "/Trip1.db"), album);
    QCOMPARE(record("a.jpg")->title().trimmed(), QStringLiteral("Before"));
    // The field shows the stored value again.
    QCOMPARE(m_page->findChild<propertyTextLabel *>("propertyTextLabelTitle")->text().trimmed(),
             QStringLiteral("Before"));

    // The same for several pictures at once: neither file is touched.
    m_page->photoView()->selectCell(0, 0);
    ctrlClick(1, 0);
    type("propertyTextLabelPlace", "up|down");
    QCOMPARE(m_prompter.messages.size(), 2);
    QCOMPARE(readAll(m_db + "/Trip1/a.jpg.kiv"), property);
    QVERIFY(!QFile::exists(m_db + "/Trip1/b.jpg.kiv"));
}

void TestPictures::severalPicturesAreTaggedTogetherOrNotAtAll()
{
    start();
    open("Trip");
    m_page->photoView()->selectCell(0, 0);
    ctrlClick(1, 0);
    type("propertyTextLabelComment", "Seaside");
    const QByteArray a = readAll(m_db + "/Trip1/a.jpg.kiv"), b = readAll(m_db + "/Trip1/b.jpg.kiv");
    QVERIFY(a.contains("comment=Seaside\r\n") && b.contains("comment=Seaside\r\n"));
    const QByteArray album = readAll(m_db + "/Trip1.db");
    // The album's file cannot be written now (a link stands in its place): neither
    // picture is changed, on disk or on screen, and the user is told once.
    QVERIFY(QFile::rename(m_db + "/Trip1.db", m_db + "/Trip1.db.real"));
    QVERIFY(QFile::link(m_db + "/Trip1.db.real", m_db + "/Trip1.db"));
    const qsizetype told = m_prompter.messages.size();
    type("propertyTextLabelComment", "Harbour");
    QCOMPARE(m_prompter.messages.size(), told + 1);
    QCOMPARE(readAll(m_db + "/Trip1/a.jpg.kiv"), a);
    QCOMPARE(readAll(m_db + "/Trip1/b.jpg.kiv"), b);
    QCOMPARE(readAll(m_db + "/Trip1.db.real"), album);
    QCOMPARE(record("a.jpg")->comment(), QStringLiteral("Seaside"));
    QCOMPARE(record("b.jpg")->comment(), QStringLiteral("Seaside"));
    // The album's rows in memory are as on disk: nothing else reads the refused value.
    QCOMPARE(record("a.jpg")->ownerAlbum()->rowTable().row(0).at(5), QStringLiteral("Seaside"));
    QCOMPARE(record("a.jpg")->ownerAlbum()->rowTable().row(1).at(5), QStringLiteral("Seaside"));
    // The panel no longer shows the refused text (for several pictures, their fields
    // stand empty until typed in).
    QVERIFY(m_page->findChild<propertyTextLabel *>("propertyTextLabelComment")->text().trimmed().isEmpty());
    // Writable again: the next change goes to both pictures, and the refused one with it
    // only when typed again.
    QVERIFY(QFile::remove(m_db + "/Trip1.db"));
    QVERIFY(QFile::rename(m_db + "/Trip1.db.real", m_db + "/Trip1.db"));
    type("propertyTextLabelPlace", "Brest");
    QByteArray rows = readAll(m_db + "/Trip1.db");
    QVERIFY2(rows.count("|Seaside|") == 2 && !rows.contains("Harbour"), rows.constData());
    type("propertyTextLabelComment", "Harbour");
    rows = readAll(m_db + "/Trip1.db");
    QVERIFY2(rows.count("|Harbour|") == 2, rows.constData());
    for (const char *name : {"a", "b"}) {
        const QByteArray stored = readAll(m_db + "/Trip1/" + name + ".jpg.kiv");
        QVERIFY2(stored.contains("place=Brest\r\n") && stored.contains("comment=Harbour\r\n"), name);
    }
}

void TestPictures::loveChangeReloadsFavorites()
{
    start();
    open("Trip");
    m_page->photoView()->selectCell(0, 0);
    m_page->slot_to_favorites();  // a.jpg: 5 hearts
    PlayList *favorites = nullptr;
    for (QTreeWidgetItemIterator it(m_page->albumList()); *it; ++it) {
        if (auto *smart = dynamic_cast<Favorites *>(*it))
            favorites = smart;
    }
    QVERIFY(favorites);
    m_page->slot_selectLibrary(favorites);
    QTRY_VERIFY(!m_page->pictures()->isLoading());
    QCOMPARE(m_page->photoView()->count(), 1);
    m_page->photoView()->selectCell(0, 0);
    auto *love = m_page->findChild<FavoritesWidget *>("favoriteswid");
    QCOMPARE(love->value(), 5);
    QTest::mouseClick(love, Qt::RightButton);  // 4 hearts: no longer a favourite
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(love, &leave);
    QVERIFY(readAll(m_db + "/Trip1/a.jpg.kiv").contains("love=4\r\n"));
    QTRY_VERIFY(!m_page->pictures()->isLoading());
    QCOMPARE(m_page->photoView()->count(), 0);
    QCOMPARE(m_page->currentItem(), nullptr);
}

void TestPictures::trayToAlbum()
{
    start();
    open("Trip");
    // "To Album" with an empty tray: the new album is made and stays empty.
    m_prompter.onExec = [](QDialog *dialog) { dialog->findChild<QLineEdit *>()->setText(QStringLiteral("Empty")); };
    m_prompter.dialogResults << QDialog::Accepted;
    m_page->findChild<QPushButton *>("pushButtonNewPl")->click();
    QVERIFY(album("Empty"));
    QCOMPARE(album("Empty")->rowCount(), 0);

    open("Trip");
    m_page->photoView()->selectCell(0, 0);
    type("propertyTextLabelTitle", "Alpha");
    ctrlClick(1, 0);
    m_page->findChild<QPushButton *>("pushButtonHold")->click();
    QVERIFY(record("a.jpg")->isHeld());
    m_prompter.onExec = [](QDialog *dialog) { dialog->findChild<QLineEdit *>()->setText(QStringLiteral("Best")); };
    m_prompter.dialogResults << QDialog::Accepted;
    m_page->findChild<QPushButton *>("pushButtonNewPl")->click();
    PlayList *best = album("Best");
    QVERIFY(best);
    QTRY_VERIFY(!m_page->pictures()->isLoading());
    QCOMPARE(m_page->currentAlbum(), best);
    QCOMPARE(best->rowCount(), 2);
    // The pictures keep their tags in the new album, on disk too.
    QVERIFY(readAll(m_db + "/" + best->kivDir().toUtf8() + "/a.jpg.kiv").contains("Alpha\r\n"));
    QVERIFY(readAll(m_db + "/" + best->kivDir().toUtf8() + ".db").contains("|a.jpg| Alpha|")
            || readAll(m_db + "/" + best->kivDir().toUtf8() + ".db").contains("|a.jpg|Alpha|"));
    QCOMPARE(m_page->photoView()->count(), 2);

    // The tray still holds the pictures of the album left behind; pasting them again
    // adds nothing twice.
    QCOMPARE(m_page->tray()->count(), 2);
    m_page->AddPhotoListToPlaylist();
    QCOMPARE(best->rowCount(), 2);
    m_page->findChild<QPushButton *>("pushButtonClear")->click();
    QCOMPARE(m_page->tray()->count(), 0);
}

void TestPictures::albumPanel()
{
    // The album's date in the reader's short form: a French reader reads day first.
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
    auto restore = qScopeGuard([before] { QLocale::setDefault(before); });
    start();
    open("Trip");
    auto *title = m_page->findChild<propertyTextLabel *>("propertyTextLabelTitlePl");
    QCOMPARE(title->text(), QStringLiteral("Trip"));
    QCOMPARE(m_page->findChild<propertyTextLabel *>("propertyTextLabelPhotoNum")->text(), QStringLiteral("2"));
    QCOMPARE(m_page->findChild<propertyTextLabel *>("propertyTextLabelDateobj")->text(), QStringLiteral("31/12/2003"));
    QVERIFY(!m_page->findChild<propertyTextLabel *>("propertyTextLabelFrom")->isEditable());
    type("propertyTextLabelTitlePl", "Trip to Brest");
    QVERIFY(readAll(m_db + "/Trip1.db").contains("Title=Trip to Brest\r\n"));
    QCOMPARE(album("Trip")->text(1), QStringLiteral("Trip to Brest"));
    type("propertyTextLabelTitlePl", "a,b");
    QCOMPARE(m_prompter.messages.size(), 1);
    QVERIFY(readAll(m_db + "/Trip1.db").contains("Title=Trip to Brest\r\n"));
    // A title emptied is no title: the album keeps its own, and nothing is asked.
    type("propertyTextLabelTitlePl", "");
    QCOMPARE(m_prompter.messages.size(), 1);
    QVERIFY(readAll(m_db + "/Trip1.db").contains("Title=Trip to Brest\r\n"));
    QCOMPARE(album("Trip")->text(1), QStringLiteral("Trip to Brest"));

    open("pics");
    QCOMPARE(m_page->findChild<propertyTextLabel *>("propertyTextLabelFrom")->text(), m_pics);
    QVERIFY(m_page->findChild<propertyTextLabel *>("propertyTextLabelFrom")->isEditable());
}

void TestPictures::loadingWritesNothing()
{
    // An album titled " " is listed under its name; an album file that is junk and an
    // id leading out of the catalogue are listed invalid. None of it is rewritten.
    writeFile(m_dir->filePath("install/DataBase/library.db"),
              "NUMLIB=4\r\nLIBRARY=NONE,Photo,Trip,Playlist,Trip1\r\n"
              "LIBRARY=NONE,Photo,Loves,Playlist,Loves1\r\n"
              "LIBRARY=NONE,Photo,Junk,Playlist,Junk1\r\n"
              "LIBRARY=NONE,Photo,Out,Playlist,../../../victim\r\n");
    writeFile(m_db + "/Loves1.db", "KivDir=Loves1\r\nTitle= \r\nDirty=True\r\nCreationDate=2004-01-01\r\nNumFile=0\r\n");
    writeFile(m_db + "/Junk1.db", QByteArray("\0\1\2garbage\xff\xfe", 12));
    const QStringList files{m_db + "/Trip1.db", m_db + "/Loves1.db", m_db + "/Junk1.db",
                            m_dir->filePath("install/DataBase/library.db")};
    QHash<QString, QByteArray> before;
    QHash<QString, QDateTime> times;
    for (const QString &file : files) {
        before.insert(file, readAll(file));
        times.insert(file, QFileInfo(file).lastModified());
    }
    QTest::qWait(20);
    start();
    QCOMPARE(album("Loves")->text(1), QStringLiteral("Loves"));
    QVERIFY(!album("Junk")->isValid());
    QVERIFY(!album("Out")->isValid());
    QVERIFY(!m_prompter.messages.isEmpty());
    QVERIFY(m_prompter.messages.first().text.contains("Junk"));
    QVERIFY(m_prompter.messages.first().text.contains("outside the catalogue"));
    for (const QString &file : files) {
        QCOMPARE(readAll(file), before.value(file));
        QCOMPARE(QFileInfo(file).lastModified(), times.value(file));
    }
    // Choosing the junk album shows the invalid-album warning and writes nothing.
    m_page->slot_selectLibrary(album("Junk"));
    QCOMPARE(m_prompter.messages.last().caption, QStringLiteral("Album non valid"));
    m_page->slot_clearPlaylist();
    QCOMPARE(readAll(m_db + "/Junk1.db"), before.value(m_db + "/Junk1.db"));
}

void TestPictures::undefinedPicturesCanBeChosen()
{
    // Older catalogues stored large pictures as "Undefined": they are pictures all the same.
    const QByteArray pics = m_pics.toUtf8();
    writeFile(m_db + "/Trip1.db", "KivDir=Trip1\r\nTitle=Trip\r\nDirty=True\r\nCreationDate=2003-12-31\r\n"
                                  "NumFile=2\r\nFile=Undefined|" + pics + "|a.jpg|Big| | |1|0|-1|120*80|\r\n"
                                  "File=Photo|" + pics + "|b.jpg|Small| | |1|0|-1|120*80|\r\n");
    start();
    open("Trip");
    thumbsView *view = m_page->photoView();
    clickCell(view, record("b.jpg"));
    QCOMPARE(m_page->currentItem(), record("b.jpg"));
    clickCell(view, record("a.jpg"));
    QCOMPARE(m_page->currentItem(), record("a.jpg"));
    // Typing tags the picture clicked, not the one before it.
    type("propertyTextLabelTitle", "Harbour");
    QVERIFY(readAll(m_db + "/Trip1.db").contains("|a.jpg|Harbour|"));
    QVERIFY(readAll(m_db + "/Trip1.db").contains("|b.jpg|Small|"));
}

void TestPictures::failedSaveIsToldAndUndone()
{
    start();
    open("Trip");
    thumbsView *view = m_page->photoView();
    clickCell(view, record("b.jpg"));
    type("propertyTextLabelTitle", "Before");
    const QByteArray albumBefore = readAll(m_db + "/Trip1.db");
    const QByteArray propsBefore = readAll(m_db + "/Trip1/b.jpg.kiv");
    QVERIFY(propsBefore.contains("title=Before"));
    const int shown = int(m_prompter.messages.size());
    {
        // The property file fits; the album file does not.
        const FullDisk full(propsBefore.size() + 40);
        type("propertyTextLabelTitle", "A much longer title that the full disk will refuse");
    }
    QCOMPARE(int(m_prompter.messages.size()), shown + 1);
    QVERIFY(m_prompter.messages.last().text.startsWith("Your change could not be saved."));
    QVERIFY2(m_prompter.messages.last().text.contains("File too large"), qPrintable(m_prompter.messages.last().text));
    QCOMPARE(readAll(m_db + "/Trip1.db"), albumBefore);
    QCOMPARE(readAll(m_db + "/Trip1/b.jpg.kiv"), propsBefore);
    QVERIFY(album("Trip")->isDirty());
    // Not kept, so not shown either: the record and its field hold the stored title.
    QCOMPARE(record("b.jpg")->title(), QStringLiteral("Before"));
    QCOMPARE(m_page->findChild<propertyTextLabel *>("propertyTextLabelTitle")->text(), QStringLiteral("Before"));
    // A picture never tagged (the album's first), refused at its first property file, is
    // untitled again.
    clickCell(view, record("a.jpg"));
    {
        const FullDisk full(0);
        type("propertyTextLabelTitle", "Refused");
    }
    QCOMPARE(int(m_prompter.messages.size()), shown + 2);
    QCOMPARE(record("a.jpg")->title().trimmed(), QString());
    // The album's next save, of another change, writes the stored rows with it: the
    // album file and the property files still agree.
    type("propertyTextLabelTitle", "Kept");
    const QByteArray albumAfter = readAll(m_db + "/Trip1.db");
    QVERIFY2(albumAfter.contains("|b.jpg|Before|") && albumAfter.contains("|a.jpg|Kept|"), albumAfter.constData());
    QVERIFY(!albumAfter.contains("much longer") && !albumAfter.contains("Refused"));
    QCOMPARE(readAll(m_db + "/Trip1/b.jpg.kiv"), propsBefore);
}

void TestPictures::refreshKeepsTags()
{
    start();
    open("pics");
    thumbsView *view = m_page->photoView();
    clickCell(view, record("b.jpg"));
    type("propertyTextLabelTitle", "Lighthouse");
    for (int i = 0; i < 4; ++i)
        m_page->FavPlus();
    QVERIFY(readAll(m_db + "/Pics1.dir").contains("|b.jpg|Lighthouse|Undefined| |5|"));
    // A file comes into the folder; the album is refreshed, then reopened after a restart.
    picture(m_pics + "/d.jpg", Qt::yellow);
    m_page->updateRollLibrary();
    QVERIFY(readAll(m_db + "/Pics1.dir").contains("|b.jpg|Lighthouse|Undefined| |5|"));
    QVERIFY(readAll(m_db + "/Pics1.dir").contains("|d.jpg|"));
    m_fixture.reset();
    start();
    open("pics");
    QCOMPARE(m_page->photoView()->count(), 4);
    QCOMPARE(record("b.jpg")->title(), QStringLiteral("Lighthouse"));
    QCOMPARE(record("b.jpg")->love(), 5);
    // Favorites and search read the rows: the tags are found there.
    m_page->slot_selectLibrary(m_page->albumList()->favorites());
    QTRY_VERIFY(!m_page->pictures()->isLoading());
    QCOMPARE(m_page->photoView()->count(), 1);
    QVERIFY(record("b.jpg"));
}

void TestPictures::damagedIndexRefusesEveryWrite()
{
    const QByteArray damaged = "NUMLIB=3\r\nLIBRARY=NONE,Photo,Trip,Playlist,Trip1\r\n"
                               "LIBRARY=NONE,Photo,pics,DirectoryPlaylist,Pics1\r\n";
    writeFile(m_dir->filePath("install/DataBase/library.db"), damaged);
    start();
    QVERIFY(m_prompter.messages.first().text.contains("library.db is damaged"));
    // The albums it could read are there; a new album is refused and the index kept.
    QVERIFY(album("Trip"));
    m_prompter.onExec = [](QDialog *dialog) {
        if (auto *name = dialog->findChild<QLineEdit *>())
            name->setText(QStringLiteral("Fresh"));
    };
    m_prompter.dialogResults << QDialog::Accepted;
    m_page->AddPlaylist();
    QVERIFY(m_prompter.messages.last().text.startsWith("Your change could not be saved."));
    QVERIFY(!album("Fresh"));
    QCOMPARE(readAll(m_dir->filePath("install/DataBase/library.db")), damaged);
    QCOMPARE(QDir(m_db).entryList({"Fresh*"}, QDir::AllEntries), QStringList());
    // The message says how to mend it; no backup is taken of a damaged catalogue.
    QVERIFY(m_prompter.messages.first().text.contains("vellaro-cli check --repair"));
    QVERIFY(!m_page->startupBackupStarted());
    QVERIFY(!QDir(m_dir->filePath("install/Backups")).exists());
}

void TestPictures::manyDamagedAlbumsAreToldInShort()
{
    // Thirty album files cut short (a copy stopped half way, say): the start says the
    // first few, how many more there are, and how to list and mend them, in a message
    // that fits on the screen.
    QByteArray index = "NUMLIB=30\r\n";
    for (int i = 0; i < 30; ++i) {
        const QByteArray id = "Cut" + QByteArray::number(i);
        index += "LIBRARY=NONE,Photo,Cut " + QByteArray::number(i) + ",Playlist," + id + "\r\n";
        writeFile(m_db + "/" + id + ".db", "KivDir=" + id + "\r\nTitle=Cut\r\nDirty=True\r\nCreationDate=2004-01-01\r\n"
                                           "NumFile=3\r\nFile=Photo|/p|a.jpg|x| | |1|0|-1|1*1|\r\nFile=Photo|/p|b.jp");
    }
    writeFile(m_dir->filePath("install/DataBase/library.db"), index);
    start();
    QCOMPARE(m_prompter.messages.size(), 1);
    const QString text = m_prompter.messages.first().text;
    QCOMPARE(text.count("cut short in the middle of a row"), 8);
    QVERIFY(text.contains("\"Cut 0\"") && text.contains("\"Cut 7\"") && !text.contains("\"Cut 8\""));
    QVERIFY(text.contains("... and 22 more problems like these (vellaro-cli check lists them all)."));
    QVERIFY(text.contains("vellaro-cli check --repair"));
    QVERIFY(text.count('\n') < 40);
    // Every one of them is still refused its writes.
    QVERIFY(album("Cut 29"));
    QVERIFY(!album("Cut 29")->isValid());
}

void TestPictures::dailyBackupAtStart()
{
    start();
    QVERIFY(m_page->startupBackupStarted());
    QCOMPARE(m_page->waitForStartupBackup(), QString());
    const QStringList taken = CatalogueBackup::snapshots(m_dir->filePath("install"));
    QCOMPARE(taken.size(), 1);
    // The archive holds the catalogue as loaded.
    QProcess tar;
    tar.start("tar", {"tzf", taken.first()});
    QVERIFY(tar.waitForFinished());
    QVERIFY(tar.readAllStandardOutput().contains("DataBase/db/Trip1.db"));
    // Started again the same day: no second one.
    cleanup();
    start();
    QVERIFY(!m_page->startupBackupStarted());
    QCOMPARE(CatalogueBackup::snapshots(m_dir->filePath("install")).size(), 1);
}

void TestPictures::editedPicturesGetNewThumbnails()
{
    for (bool cache : {false, true}) {
        init();
        start();
        m_pref->setAlbumCache(cache);
        open("Trip");
        QTRY_VERIFY(!record("a.jpg")->thumbnail().isNull());
        QTRY_VERIFY(QFile::exists(m_db + "/Trip1/a.jpg"));
        QVERIFY(record("a.jpg")->thumbnail().toImage().pixelColor(49, 36).red() > 200);
        // The picture is edited elsewhere: blue, and newer than its thumbnail.
        picture(m_pics + "/a.jpg", Qt::blue);
        QFile edited(m_pics + "/a.jpg");
        QVERIFY(edited.open(QIODevice::ReadWrite));
        QVERIFY(edited.setFileTime(QDateTime::currentDateTime().addSecs(60), QFileDevice::FileModificationTime));
        edited.close();
        open("pics");
        open("Trip");
        QTRY_VERIFY(!record("a.jpg")->thumbnail().isNull());
        const QColor shown = record("a.jpg")->thumbnail().toImage().pixelColor(49, 36);
        QVERIFY2(shown.blue() > 200 && shown.red() < 60, qPrintable(shown.name()));
        QTRY_VERIFY(QImage(m_db + "/Trip1/a.jpg").pixelColor(49, 36).blue() > 200);
        cleanup();
    }
}

void TestPictures::unchangedPicturesComeFromTheAlbumCache()
{
    start();
    m_pref->setAlbumCache(true);
    open("Trip");
    QTRY_VERIFY(!record("a.jpg")->thumbnail().isNull());
    QTRY_VERIFY(QFile::exists(m_db + "/Trip1/a.jpg"));
    QVERIFY(record("a.jpg")->thumbnail().toImage().pixelColor(49, 36).red() > 200);
    // The thumbnail file is changed behind the window's back (green); the picture is not.
    QImage green(99, 73, QImage::Format_RGB32);
    green.fill(Qt::green);
    QVERIFY(green.save(m_db + "/Trip1/a.jpg", "JPEG"));
    open("pics");
    open("Trip");
    // The picture is as it was cached: the held thumbnail is shown at once, not read again.
    QVERIFY(!record("a.jpg")->thumbnail().isNull());
    QTest::qWait(100);
    const QColor shown = record("a.jpg")->thumbnail().toImage().pixelColor(49, 36);
    QVERIFY2(shown.red() > 200 && shown.green() < 60, qPrintable(shown.name()));
}

void TestPictures::groupedAlbumsAreInAllPhotos()
{
    // The dynamic album of pics stands inside a group.
    writeFile(m_dir->filePath("install/DataBase/library.db"),
              "NUMLIB=3\r\nLIBRARY=NONE,Photo,Trip,Playlist,Trip1\r\n"
              "LIBRARY=NONE,UNKNOW,Family,PlayListGroup,Family1\r\n"
              "LIBRARY=Family,Photo,pics,DirectoryPlaylist,Pics1\r\n");
    writeFile(m_db + "/Family1.group", "Title=Family\r\n");
    writePicsAlbum("True", "Grouped|5");
    start();
    QTreeWidgetItem *group = nullptr;
    for (int i = 0; i < m_page->albumList()->topLevelItemCount(); ++i) {
        if (m_page->albumList()->topLevelItem(i)->text(1) == QLatin1String("Family"))
            group = m_page->albumList()->topLevelItem(i);
    }
    QVERIFY(group);
    QCOMPARE(group->childCount(), 1);
    // All Photos means all: Trip's two and the group's three.
    m_page->slot_selectLibrary(m_page->albumList()->allPhotos());
    QTRY_VERIFY(!m_page->pictures()->isLoading());
    QCOMPARE(m_page->photoView()->count(), 5);
    m_page->slot_selectLibrary(m_page->albumList()->favorites());
    QTRY_VERIFY(!m_page->pictures()->isLoading());
    QCOMPARE(m_page->photoView()->count(), 1);
    QCOMPARE(m_page->photoView()->items().first()->title(), QStringLiteral("Grouped"));
}

void TestPictures::aFileThatIsNoPictureIsNotTagged()
{
    writeFile(m_pics + "/notes.txt", "a letter\n");
    start();
    open("pics");
    thumbsView *view = m_page->photoView();
    clickCell(view, record("b.jpg"));
    type("propertyTextLabelTitle", "Second");
    QVERIFY(record("notes.txt"));
    clickCell(view, record("notes.txt"));
    QCOMPARE(m_page->currentItem(), nullptr);
    // Typing now reaches no picture: b.jpg keeps its title.
    auto *label = m_page->findChild<propertyTextLabel *>(QLatin1String("propertyTextLabelTitle"));
    if (label->isVisible()) {
        QTest::mouseClick(label, Qt::LeftButton);
        QTest::keyClicks(label->lineEditor(), "Wrong");
        QTest::keyClick(label->lineEditor(), Qt::Key_Return);
    }
    QVERIFY(readAll(m_db + "/Pics1.dir").contains("|b.jpg|Second|"));
    QVERIFY(readAll(m_db + "/Pics1/b.jpg.kiv").contains("title=Second\r\n"));
    QVERIFY(!readAll(m_db + "/Pics1.dir").contains("Wrong"));
}

void TestPictures::keyboardLoveAndRename()
{
    start();
    open("Trip");
    thumbsView *view = m_page->photoView();
    clickCell(view, record("b.jpg"));
    // A digit sets the love of the chosen picture, as the hearts would.
    QTest::keyClick(view, Qt::Key_4);
    QCOMPARE(m_page->findChild<FavoritesWidget *>("favoriteswid")->value(), 4);
    QVERIFY(readAll(m_db + "/Trip1.db").contains("|b.jpg| | | |4|"));
    QVERIFY(readAll(m_db + "/Trip1/b.jpg.kiv").contains("love=4\r\n"));
    // Two pictures chosen: both get it.
    clickCell(view, record("a.jpg"), Qt::ControlModifier);
    QTest::keyClick(view, Qt::Key_2);
    QVERIFY(readAll(m_db + "/Trip1/a.jpg.kiv").contains("love=2\r\n"));
    QVERIFY(readAll(m_db + "/Trip1/b.jpg.kiv").contains("love=2\r\n"));
    // F2 renames the current picture.
    clickCell(view, record("a.jpg"));
    m_prompter.onExec = [](QDialog *dialog) {
        dialog->findChild<QLineEdit *>("lineEditNewFilename")->setText(QStringLiteral("keys.jpg"));
    };
    m_prompter.dialogResults << QDialog::Accepted;
    QTest::keyClick(view, Qt::Key_F2);
    QVERIFY(QFile::exists(m_pics + "/keys.jpg"));
    QVERIFY(readAll(m_db + "/Trip1.db").contains("|keys.jpg|"));
}

void TestPictures::editsReachOnlyThePicturesChosen()
{
    start();
    open("pics");
    thumbsView *view = m_page->photoView();
    // Ctrl-clicks while the keyboard focus is in another field: three pictures chosen.
    auto *elsewhere = m_page->findChild<propertyTextLabel *>(QLatin1String("propertyTextLabelTitle"));
    elsewhere->setFocus();
    for (const char *name : {"a.jpg", "b.jpg", "c.jpg"})
        clickCell(view, record(name), Qt::ControlModifier);
    QCOMPARE(m_page->tray()->count(), 3);
    const QByteArray before = readAll(m_db + "/Pics1.dir");
    // Another album, one plain click, a title: only that picture gets it.
    open("Trip");
    clickCell(view, record("b.jpg"));
    QCOMPARE(m_page->tray()->count(), 1);
    type("propertyTextLabelTitle", "Only this one");
    QVERIFY(readAll(m_db + "/Trip1.db").contains("|b.jpg|Only this one|"));
    QVERIFY(!readAll(m_db + "/Trip1.db").contains("|a.jpg|Only this one|"));
    QCOMPARE(readAll(m_db + "/Pics1.dir"), before);
    QVERIFY(!QFile::exists(m_db + "/Pics1/a.jpg.kiv") || !readAll(m_db + "/Pics1/a.jpg.kiv").contains("Only"));
}

void TestPictures::selectAllChoosesEveryPicture()
{
    start();
    open("pics");
    thumbsView *view = m_page->photoView();
    clickCell(view, record("b.jpg"));
    QTest::keyClick(view, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(m_page->tray()->count(), 3);
    QCOMPARE(view->selectedItems().size(), 3);
    // A title typed now reaches all three pictures, and their other values stay.
    type("propertyTextLabelTitle", "Whole folder");
    for (const char *name : {"a.jpg", "b.jpg", "c.jpg"})
        QVERIFY2(readAll(m_db + "/Pics1.dir").contains(QByteArray("|") + name + "|Whole folder|"), name);
    // A click beside the pictures chooses none: a digit then changes nothing. With Ctrl
    // held it changes nothing of the choice.
    const QPoint beside(view->viewport()->width() - 5, view->viewport()->height() - 5);
    QVERIFY(!view->itemAt(view->rowAt(beside.y()), view->columnAt(beside.x())));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::ControlModifier, beside);
    QCOMPARE(m_page->tray()->count(), 3);
    QVERIFY(m_page->currentItem());
    const QByteArray tagged = readAll(m_db + "/Pics1.dir");
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, beside);
    QCOMPARE(m_page->tray()->count(), 0);
    QVERIFY(!m_page->currentItem());
    QTest::keyClick(view, Qt::Key_4);
    QCOMPARE(readAll(m_db + "/Pics1.dir"), tagged);
    // The next plain click chooses one picture again.
    clickCell(view, record("c.jpg"));
    QCOMPARE(m_page->tray()->count(), 1);
    QCOMPARE(view->selectedItems(), QList<KivViewItem *>{record("c.jpg")});
    type("propertyTextLabelTitle", "Just c");
    QVERIFY(readAll(m_db + "/Pics1.dir").contains("|a.jpg|Whole folder|"));
    QVERIFY(readAll(m_db + "/Pics1.dir").contains("|c.jpg|Just c|"));
}

void TestPictures::viewerKeys()
{
    start();
    open("pics");
    thumbsView *view = m_page->photoView();
    viewphoto *viewer = m_page->viewer();
    auto *surface = viewer->findChild<KIVPixmapView *>();
    clickCell(view, record("b.jpg"));
    type("propertyTextLabelTitle", "Bee");
    // Every picture chosen, then one opened: stepping chooses the picture stepped to.
    QTest::keyClick(view, Qt::Key_A, Qt::ControlModifier);
    clickCell(view, record("a.jpg"), Qt::ControlModifier);
    QTest::keyClick(view, Qt::Key_Return);
    QVERIFY(viewer->isVisible());
    QCOMPARE(viewer->fileName(), m_pics + "/a.jpg");
    // Left, Right, Home and End step through the album; the first has no previous.
    QTest::keyClick(surface, Qt::Key_Right);
    QCOMPARE(viewer->fileName(), m_pics + "/b.jpg");
    // The panel shows the picture stepped to, and what is typed reaches it alone.
    QCOMPARE(m_page->findChild<propertyTextLabel *>("propertyTextLabelTitle")->text(), QStringLiteral("Bee"));
    QCOMPARE(m_page->tray()->count(), 1);
    type("propertyTextLabelComment", "Seen");
    QVERIFY(readAll(m_db + "/Pics1.dir").contains("|b.jpg|Bee|Undefined|Seen|"));
    QVERIFY(!readAll(m_db + "/Pics1.dir").contains("|a.jpg|Bee|"));
    QVERIFY(!readAll(m_db + "/Pics1.dir").contains("|c.jpg|Bee|"));
    const int asked = int(m_prompter.messages.size());
    QTest::keyClick(surface, Qt::Key_End);
    QCOMPARE(viewer->fileName(), m_pics + "/c.jpg");
    QCOMPARE(int(m_prompter.messages.size()), asked);  // nothing changed: no question
    QCOMPARE(m_page->currentItem(), record("c.jpg"));
    QTest::keyClick(surface, Qt::Key_Home);
    QTest::keyClick(surface, Qt::Key_Left);
    QCOMPARE(viewer->fileName(), m_pics + "/a.jpg");
    QVERIFY(viewer->isVisible());

    // Ctrl+Z takes back one effect at a time, down to the picture as loaded.
    const QImage loaded = surface->currentImage();
    m_page->findChild<QPushButton *>("pushButtonBlackWhite")->click();
    const QImage grey = surface->currentImage();
    QCOMPARE(qRed(grey.pixel(5, 5)), qBlue(grey.pixel(5, 5)));
    m_page->findChild<QPushButton *>("pushButtonRotateLeft")->click();
    QCOMPARE(surface->currentImage().size(), QSize(80, 120));
    QTest::keyClick(surface, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(surface->currentImage(), grey);
    QVERIFY(viewer->isModified());
    QTest::keyClick(surface, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(surface->currentImage(), loaded);
    QVERIFY(!viewer->isModified());
    QTest::keyClick(surface, Qt::Key_Z, Qt::ControlModifier);  // nothing left to take back
    QCOMPARE(surface->currentImage(), loaded);

    // Ctrl+S saves over the file; taking the effect back afterwards is a change again.
    m_page->findChild<QPushButton *>("pushButtonRotateLeft")->click();
    QTest::keyClick(surface, Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(QImageReader(m_pics + "/a.jpg").size(), QSize(80, 120));
    QVERIFY(!viewer->isModified());
    QTest::keyClick(surface, Qt::Key_Z, Qt::ControlModifier);
    QVERIFY(viewer->isModified());

    // Stepping away from a change asks first. A save that fails keeps the picture in
    // the viewer, changes and all.
    {
        const FullDisk full(100);
        m_prompter.answers << 1;  // OK: save
        QTest::keyClick(surface, Qt::Key_Right);
    }
    QCOMPARE(m_prompter.messages.at(m_prompter.messages.size() - 2).text,
             QStringLiteral("Do you want to save photo modification ?"));
    QCOMPARE(viewer->fileName(), m_pics + "/a.jpg");
    QCOMPARE(surface->currentImage().size(), QSize(120, 80));
    QVERIFY(viewer->isModified());
    QCOMPARE(QImageReader(m_pics + "/a.jpg").size(), QSize(80, 120));
    // Cancel drops the change and steps on; the file keeps what was saved.
    m_prompter.answers << 0;
    QTest::keyClick(surface, Qt::Key_Right);
    QCOMPARE(viewer->fileName(), m_pics + "/b.jpg");
    QCOMPARE(QImageReader(m_pics + "/a.jpg").size(), QSize(80, 120));
    // OK saves, then steps on.
    m_page->findChild<QPushButton *>("pushButtonRotateLeft")->click();
    m_prompter.answers << 1;
    QTest::keyClick(surface, Qt::Key_Left);
    QCOMPARE(viewer->fileName(), m_pics + "/a.jpg");
    QCOMPARE(QImageReader(m_pics + "/b.jpg").size(), QSize(80, 120));
}

QTEST_MAIN(TestPictures)
#include "tst_pictures.moc"
