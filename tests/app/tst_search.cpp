#include "advancedfindmanage.h"
#include "ambriomainwindow.h"
#include "librarylist.h"
#include "media.h"
#include "pixmaplookup.h"
#include "prefimplementation.h"
#include "scriptedprompter.h"
#include "smartplaylist.h"
#include "thumbsview.h"

#include <QComboBox>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QtTest>

#include "testfiles.h"

// The search bar and the search dialogs, through the top-level window.
class TestSearch : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void conditionLists();
    void searchBar();
    void advancedFind();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestSearch::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_dir->filePath("settings"));
    PixmapLookup::configure(m_dir->filePath("install"), false);
    const QByteArray head = "Title=t\r\nDirty=True\r\nCreationDate=2003-01-05\r\nNumFile=3\r\n";
    writeFile(m_dir->filePath("install/DataBase/library.db"), "NUMLIB=1\r\nLIBRARY=NONE,Photo,A,Playlist,A1\r\n");
    writeFile(m_dir->filePath("install/DataBase/db/A1.db"),
              "KivDir=A1\r\n" + head + "File=Photo|/p|1.jpg|Sunset| | |5|0|-1|1*1|\r\n"
                                       "File=Photo|/p|2.jpg|Road|Family|SUNNY|3|0|-1|1*1|\r\n"
                                       "File=Photo|/sun|3.jpg|Hill| | |2|0|-1|1*1|\r\n");
}

void TestSearch::conditionLists()
{
    advancedFindManage dialog;
    auto conditions = [&dialog] {
        QStringList items;
        auto *combo = dialog.findChild<QComboBox *>("comboBoxCondition");
        for (int i = 0; i < combo->count(); ++i)
            items << combo->itemText(i);
        return items;
    };
    QCOMPARE(conditions(), (QStringList{"Contains", "Exact Match"}));
    dialog.showConditionInt(2);
    QCOMPARE(dialog.attribute(), QStringLiteral("Love"));
    QCOMPARE(conditions(), (QStringList{"Equal To", "More Than", "Less Than"}));
    dialog.showConditionInt(3);
    QCOMPARE(conditions(),
             (QStringList{"Undefined", "Family", "Friends", "Sexy", "Art", "WallPaper", "holidays"}));
    dialog.ConditionConnect(QStringLiteral("Family"));  // the category shortcut fills the value
    QCOMPARE(dialog.value(), QStringLiteral("Family"));
    dialog.showConditionInt(5);
    QCOMPARE(conditions(), (QStringList{"Contains", "Exact Match"}));
    dialog.ConditionConnect(QStringLiteral("Contains"));
    QCOMPARE(dialog.value(), QStringLiteral("Family"));  // only Category writes the value
}

void TestSearch::searchBar()
{
    prefImplementation pref;
    pref.setInstallPath(m_dir->filePath("install"));
    pref.setFirstStartup(false);
    ScriptedPrompter prompter;
    media window(nullptr, QStringLiteral("ambrio"), {}, &pref, &prompter);
    window.show();
    auto *line = window.findChild<QLineEdit *>("searchLine");
    line->setText(QStringLiteral("sun"));
    QTest::keyClick(line, Qt::Key_Return);
    AmbrioMainWindow *page = window.organiser();
    Search *last = page->albumList()->lastSearch();
    QCOMPARE(page->currentAlbum(), last);
    QCOMPARE(last->title(), QStringLiteral("Last Search : sun"));
    QCOMPARE(last->text(1), QStringLiteral("Last Search : sun"));
    // Sunset and SUNNY; not the picture whose folder only is /sun.
    QCOMPARE(page->photoView()->count(), 2);
    line->clear();
    QTest::keyClick(line, Qt::Key_Return);  // empty: nothing happens
    QCOMPARE(last->keyword(), QStringLiteral("sun"));

    prompter.onExec = [](QDialog *dialog) { dialog->findChild<QLineEdit *>("lineEditFind")->setText("road"); };
    prompter.dialogResults << QDialog::Accepted;
    window.slot_find();
    QCOMPARE(page->photoView()->count(), 1);
    QCOMPARE(line->text(), QStringLiteral("road"));
    // Ctrl+F goes back to the search field from the thumbnails.
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    page->photoView()->setFocus();
    QTest::keyClick(page->photoView(), Qt::Key_F, Qt::ControlModifier);
    QTRY_VERIFY(line->hasFocus());
    window.close();
}

void TestSearch::advancedFind()
{
    prefImplementation pref;
    pref.setInstallPath(m_dir->filePath("install"));
    pref.setFirstStartup(false);
    ScriptedPrompter prompter;
    media window(nullptr, QStringLiteral("ambrio"), {}, &pref, &prompter);
    prompter.onExec = [](QDialog *d) {
        auto *dialog = static_cast<advancedFindManage *>(d);
        dialog->showConditionInt(2);
        dialog->findChild<QComboBox *>("comboBoxCondition")->setCurrentIndex(1);  // More Than
        dialog->findChild<QLineEdit *>("lineEditValue")->setText("3");
    };
    prompter.dialogResults << QDialog::Accepted;
    // A word left in the search field from before is not what is shown any more: the
    // field empties, and Return there runs no old search over the new results.
    auto *line = window.findChild<QLineEdit *>("searchLine");
    line->setText("road");
    window.slot_find_advanced();
    QCOMPARE(line->text(), QString());
    Search *last = window.organiser()->albumList()->lastSearch();
    QCOMPARE(last->attribute(), QStringLiteral("Love"));
    QCOMPARE(last->condition(), QStringLiteral("More Than"));
    QCOMPARE(last->title(), QStringLiteral("Last Search : 3"));
    QCOMPARE(window.organiser()->photoView()->count(), 2);  // loves 5 and 3
    prompter.onExec = nullptr;
    window.slot_find_advanced();  // cancelled: the last search stays
    QCOMPARE(last->condition(), QStringLiteral("More Than"));
    window.close();
}

QTEST_MAIN(TestSearch)
#include "tst_search.moc"
