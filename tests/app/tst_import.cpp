// Pictures coming in: an image another program puts on the clipboard.
#include "ambriomainwindow.h"
#include "kivviewitem.h"
#include "librarylist.h"
#include "organiserfixture.h"
#include "picturecommands.h"
#include "pixmaplookup.h"
#include "playlist.h"
#include "scriptedprompter.h"
#include "testfiles.h"
#include "thumbsview.h"

#include <QClipboard>
#include <QSettings>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

class TestImport : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void clipboardImageIsPasted();

private:
    QString path(const QString &name) const { return m_dir->filePath(name); }

    std::unique_ptr<QTemporaryDir> m_dir;
    ScriptedPrompter m_prompter;
    OrganiserFixture m_fixture;
};

void TestImport::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_prompter = ScriptedPrompter();
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, path("settings"));
    PixmapLookup::configure(path("install"), false);
}

void TestImport::cleanup()
{
    m_fixture.reset();
    m_dir.reset();
}

void TestImport::clipboardImageIsPasted()
{
    // An album of two pictures in a folder of their own.
    QByteArray rows;
    for (int i = 0; i < 2; ++i) {
        QImage picture(40, 30, QImage::Format_RGB32);
        picture.fill(QColor(30 * i, 90, 160));
        writeFile(path("pics/p%1.png").arg(i), QByteArray());
        QVERIFY(picture.save(path("pics/p%1.png").arg(i)));
        rows += "File=Photo|" + path("pics").toUtf8() + QStringLiteral("|p%1.png| | | |1|0|-1|40*30|\r\n").arg(i).toUtf8();
    }
    writeFile(path("install/DataBase/library.db"), "NUMLIB=1\r\nLIBRARY=NONE,Photo,Trip,Playlist,Trip1\r\n");
    writeFile(path("install/DataBase/db/Trip1.db"),
              "KivDir=Trip1\r\nTitle=Trip\r\nDirty=False\r\nCreationDate=2003-12-31\r\nNumFile=2\r\n" + rows);
    AmbrioMainWindow *page = m_fixture.start(path("install"), &m_prompter);
    page->slot_selectLibrary(page->albumList()->storedAlbums().first());
    QTRY_VERIFY(!page->pictures()->isLoading());
    auto *paste = page->findChild<QToolButton *>("toolButtonPaste");
    // The program's own copy: marked, and the clipboard watch does not take it back.
    page->slot_photo_pressed(page->photoView()->items().at(0));
    page->slot_copyItem();
    QVERIFY(page->pictures()->hasCopy());
    const qint64 copyIcon = paste->icon().cacheKey();
    // Another program's image: on the paste button, and the next paste inserts it.
    QImage other(64, 48, QImage::Format_RGB32);
    other.fill(QColor(250, 10, 10));
    QGuiApplication::clipboard()->setImage(other);
    QTRY_VERIFY(!page->pictures()->hasCopy());
    QVERIFY(paste->icon().cacheKey() != copyIcon);
    QCOMPARE(paste->icon().pixmap(16, 16).toImage().pixelColor(8, 8).red(), 250);
    m_prompter.fileAnswers << path("pics/from clipboard.png");
    page->slot_pasteItem();
    QTRY_COMPARE(page->photoView()->items().size(), 3);
    const QImage pasted(path("pics/from clipboard.png"));
    QCOMPARE(pasted.size(), QSize(64, 48));
    QCOMPARE(pasted.pixelColor(10, 10), QColor(250, 10, 10));
}

QTEST_MAIN(TestImport)
#include "tst_import.moc"
