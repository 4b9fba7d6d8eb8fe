// Pictures leaving the program from the organiser window: the mail dialog and its
// companion (with a stand-in sendmail whose input Python's mail parser reads), the
// external editor and printer programs (a stand-in that records its arguments), and
// conversion to each format of the Save as dialog (files checked by their signatures).
#include "ambriomainwindow.h"
#include "composemail.h"
#include "fulldisk.h"
#include "importtraybar.h"
#include "kivviewitem.h"
#include "librarylist.h"
#include "mailparse.h"
#include "organiserfixture.h"
#include "organisermenus.h"
#include "picturecommands.h"
#include "pixmaplookup.h"
#include "playlist.h"
#include "prefimplementation.h"
#include "scriptedprompter.h"
#include "testfiles.h"
#include "thumbsview.h"
#include "traybarphoto.h"

#include <QImageReader>
#include <QJsonArray>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QtTest>
#include <exiv2/exiv2.hpp>

class TestSharing : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void displayNamesAndCommandLine();
    void mailForAnAlbumReachesTheRecipient();
    void whichPicturesAMailCarries();
    void mailFailuresAreTold();
    void externalPrograms();
    void conversionToEachFormat();
    void conversionFailures();

private:
    // The organiser on a catalogue of two albums: Trip (three pictures titled "Beach",
    // " " and "Sunset") and Sea (one), in a folder whose name has blanks, quotes and "$".
    void start();
    PlayList *album(const QString &name) const;
    void openTrip();
    void click(int index, Qt::KeyboardModifiers modifiers = {});
    QString path(const QString &name) const { return m_dir->filePath(name); }
    QString fake(const QString &name, const QByteArray &script);
    // The mail hand-over that the dialog started, waited for.
    int waitForHandOver();

    std::unique_ptr<QTemporaryDir> m_dir;
    ScriptedPrompter m_prompter;
    OrganiserFixture m_fixture;
    AmbrioMainWindow *m_page = nullptr;
    QString m_folder;
    QStringList m_pictures;
    QByteArray m_path;
};

void TestSharing::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_prompter = ScriptedPrompter();
    m_pictures.clear();
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, path("settings"));
    PixmapLookup::configure(path("install"), false);
    m_path = qgetenv("PATH");
    qunsetenv("VELLARO_SENDMAIL");
    qunsetenv("EMAIL");
    Composemail::setCompanionPath(QString());
    Composemail::setOutcomeWait(5000);
}

void TestSharing::cleanup()
{
    m_fixture.reset();
    m_page = nullptr;
    qputenv("PATH", m_path);
    qunsetenv("VELLARO_SENDMAIL");
    m_dir.reset();
}

QString TestSharing::fake(const QString &name, const QByteArray &script)
{
    return writeScript(path("bin/" + name), script);
}

void TestSharing::start()
{
    m_folder = path("pics it's \"ours\" $HOME");
    const QStringList names{"IMG_0012.jpg", "IMG_0013.jpg", "IMG_0014.jpg", "sea.jpg"};
    const QStringList titles{"Beach", " ", "Sunset", "Waves"};
    QByteArray rows;
    for (int i = 0; i < names.size(); ++i) {
        QImage picture(64 + i, 48, QImage::Format_RGB32);
        picture.fill(QColor(40 * i, 200 - 30 * i, 90));
        m_pictures << m_folder + "/" + names[i];
        writeFile(m_pictures.last(), QByteArray());
        QVERIFY(picture.save(m_pictures.last(), "JPEG"));
        rows += "File=Photo|" + m_folder.toUtf8() + "|" + names[i].toUtf8() + "|" + titles[i].toUtf8()
                + "| | |1|0|-1|64*48|\r\n";
    }
    // Sea also holds a film.
    writeFile(m_folder + "/clip.avi", "RIFF\0\0\0\0AVI not really a film");
    rows += "File=Movie|" + m_folder.toUtf8() + "|clip.avi| | | |1|0|-1| |\r\n";
    const QString install = path("install");
    const qsizetype seaRow = rows.indexOf("|sea.jpg|") - m_folder.toUtf8().size() - 11;
    QVERIFY(rows.mid(seaRow).startsWith("File=Photo|"));
    writeFile(install + "/DataBase/library.db",
              "NUMLIB=2\r\nLIBRARY=NONE,Photo,Trip,Playlist,Trip1\r\nLIBRARY=NONE,Photo,Sea,Playlist,Sea1\r\n");
    writeFile(install + "/DataBase/db/Trip1.db",
              "KivDir=Trip1\r\nTitle=Trip\r\nDirty=False\r\nCreationDate=2003-12-31\r\nNumFile=3\r\n" + rows.left(seaRow));
    writeFile(install + "/DataBase/db/Sea1.db",
              "KivDir=Sea1\r\nTitle=Sea\r\nDirty=False\r\nCreationDate=2004-01-02\r\nNumFile=2\r\n" + rows.mid(seaRow));
    m_page = m_fixture.start(install, &m_prompter);
    QVERIFY(QTest::qWaitForWindowExposed(m_page));
}

PlayList *TestSharing::album(const QString &name) const
{
    for (PlayList *p : m_page->albumList()->storedAlbums()) {
        if (p->name() == name)
            return p;
    }
    return nullptr;
}

void TestSharing::openTrip()
{
    m_page->slot_selectLibrary(album("Trip"));
    QTRY_VERIFY(!m_page->pictures()->isLoading());
    QCOMPARE(m_page->photoView()->items().size(), 3);
    m_page->clearCurrentItem();
}

void TestSharing::click(int index, Qt::KeyboardModifiers modifiers)
{
    thumbsView *view = m_page->photoView();
    KivViewItem *item = view->items().at(index);
    const QRect cell = view->cellGeometry(item->row(), item->column());
    QTest::mouseClick(view->viewport(), Qt::LeftButton, modifiers,
                      cell.center() - QPoint(view->contentsX(), view->contentsY()));
}

int TestSharing::waitForHandOver()
{
    // The newest: one that has ended goes only when the event loop next runs.
    const QList<MailHandOver *> handOvers = m_page->findChildren<MailHandOver *>();
    if (handOvers.isEmpty())
        return -100;
    MailHandOver *handOver = handOvers.last();
    QSignalSpy finished(handOver, &MailHandOver::finished);
    if (!finished.wait(60000))
        return -101;
    return finished.first().first().toInt();
}

void TestSharing::displayNamesAndCommandLine()
{
    QCOMPARE(Composemail::displayName("IMG_0012.JPG", "Beach"), QStringLiteral("Beach.JPG"));
    QCOMPARE(Composemail::displayName("IMG_0012.JPG", ""), QStringLiteral("IMG_0012.JPG"));
    QCOMPARE(Composemail::displayName("IMG_0012.JPG", "B"), QStringLiteral("IMG_0012.JPG"));
    QCOMPARE(Composemail::displayName("IMG_0012.JPG", "Be"), QStringLiteral("Be.JPG"));
    QCOMPARE(Composemail::displayName("photo.tar.gz", "Archive"), QStringLiteral("Archive.gz"));
    QCOMPARE(Composemail::displayName("README", "Notes"), QStringLiteral("Notes"));

    // Program, recipient, subject, then a path and a name per picture: 3 + 2 per picture.
    const QStringList one = Composemail::commandLine("/opt/vellaro-mail", "a@b.org", "S", {"/p/1.jpg", "One.jpg"});
    QCOMPARE(one, (QStringList{"/opt/vellaro-mail", "a@b.org", "S", "/p/1.jpg", "One.jpg"}));
    const QStringList two =
        Composemail::commandLine("/opt/vellaro-mail", "a@b.org", "S", {"/p/1.jpg", "", "/p/2.jpg", "  "});
    QCOMPARE(two.size(), 7);
    // A name that is empty or two blanks gives the path.
    QCOMPARE(two.mid(3), (QStringList{"/p/1.jpg", "/p/1.jpg", "/p/2.jpg", "/p/2.jpg"}));
}

void TestSharing::mailForAnAlbumReachesTheRecipient()
{
    fake("sendmail", "/bin/cat > \"" + path("message").toUtf8() + "\"\n");
    qputenv("PATH", QFile::encodeName(path("bin")) + ":" + m_path);
    start();
    openTrip();

    // The album's Mail button with no picture chosen: the whole album.
    bool stayedOpen = false, accepted = false;
    QStringList attachments;
    m_prompter.onExec = [&](QDialog *dialog) {
        auto *mail = qobject_cast<Composemail *>(dialog);
        QVERIFY(mail);
        QCOMPARE(mail->objectName(), QStringLiteral("mail"));
        attachments = mail->attachments();
        auto *strip = mail->findChild<ImportTrayBar *>("importTrayBarMail");
        QCOMPARE(strip->count(), 3);
        for (const KivViewItem *record : strip->records())
            QVERIFY(!record->thumbnail().isNull());
        // Each cell shows its picture over the strip's background.
        strip->resize(200, 80);
        const QImage shown = strip->viewport()->grab().toImage();
        const QImage back = kivPixmap(QStringLiteral("import-back.png")).toImage();
        QVERIFY(shown.pixelColor(25, 40) != back.pixelColor(25, 40));
        QCOMPARE(shown.pixelColor(2, 2), back.pixelColor(2, 2));
        auto *to = mail->findChild<QLineEdit *>("lineEditTo");
        QCOMPARE(mail->findChild<QLineEdit *>("lineEditSubject")->text(), QStringLiteral("Picture from Vellaro"));
        auto *body = mail->findChild<QTextEdit *>("textEditMail");
        QVERIFY(body->toPlainText().startsWith("This picture have been sent by Vellaro. ("));
        mail->show();
        QVERIFY(QTest::qWaitForWindowExposed(mail));
        // One blank is no address: told, and the dialog stays with what was written.
        QTest::keyClicks(to, " ");
        body->selectAll();
        QTest::keyClicks(body, "Voici nos photos, ");
        body->insertPlainText(QStringLiteral("à bientôt"));  // typed through an input method
        QTest::mouseClick(mail->findChild<QPushButton *>("buttonOk"), Qt::LeftButton);
        stayedOpen = mail->isVisible() && mail->result() != QDialog::Accepted;
        QCOMPARE(body->toPlainText(), QStringLiteral("Voici nos photos, à bientôt"));
        to->clear();
        QTest::keyClicks(to, "zoe@example.org");
        QTest::keyClick(to, Qt::Key_Return);  // Send is the default button
        accepted = mail->result() == QDialog::Accepted && !mail->isVisible();
    };
    QTest::mouseClick(m_page->findChild<QPushButton *>("pushButtonShareMail"), Qt::LeftButton);
    QVERIFY(stayedOpen);
    QVERIFY(accepted);
    QCOMPARE(m_prompter.messages.size(), 1);
    QCOMPARE(m_prompter.messages[0].text,
             QStringLiteral("You did not enter the destination adress\nwrite it, in the to : adressbar\n"));
    QCOMPARE(attachments, (QStringList{m_pictures[0], "Beach.jpg", m_pictures[1], "IMG_0013.jpg", m_pictures[2],
                                       "Sunset.jpg"}));
    QCOMPARE(m_prompter.messages.size(), 1);  // a mail that went is not announced

    const QJsonObject mail = parseMail(readAll(path("message")));
    QCOMPARE(mail["to"].toString(), QStringLiteral("zoe@example.org"));
    QCOMPARE(mail["subject"].toString(), QStringLiteral("Picture from Vellaro"));
    QCOMPARE(mail["body"].toString(), QStringLiteral("Voici nos photos, à bientôt"));
    const QJsonArray sent = mail["attachments"].toArray();
    QCOMPARE(sent.size(), 3);
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(sent[i]["filename"].toString(), attachments[2 * i + 1]);
        QCOMPARE(sent[i]["type"].toString(), QStringLiteral("image/jpeg"));
        QCOMPARE(QByteArray::fromBase64(sent[i]["data"].toString().toLatin1()), readAll(m_pictures[i]));
    }
}

void TestSharing::whichPicturesAMailCarries()
{
    start();
    QStringList attachments;
    m_prompter.onExec = [&](QDialog *dialog) { attachments = qobject_cast<Composemail *>(dialog)->attachments(); };
    // No album open: nothing to send.
    m_page->slot_sendItem();
    QCOMPARE(m_prompter.messages.takeLast().text, QStringLiteral("You need to select an album before click here.\n"));
    QVERIFY(attachments.isEmpty());

    openTrip();
    // The current picture alone.
    click(1);
    QTRY_COMPARE(m_page->currentItem(), m_page->photoView()->items().at(1));
    QTest::mouseClick(m_page->findChild<QPushButton *>("pushButtonPhotoMail"), Qt::LeftButton);
    QCOMPARE(attachments, (QStringList{m_pictures[1], "IMG_0013.jpg"}));
    // Two in the tray: those.
    click(2, Qt::ControlModifier);
    click(0, Qt::ControlModifier);
    QVERIFY(m_page->tray()->count() >= 2);
    m_page->slot_sendItem();
    QCOMPARE(attachments.size(), 2 * m_page->tray()->count());
    QVERIFY(attachments.contains(m_pictures[2]) && attachments.contains("Beach.jpg"));
    // A command that says "all these album's pictures" sends them all, whatever is chosen.
    m_page->contextmenuLibrary(album("Trip"), m_page->mapToGlobal(QPoint(20, 20)), 0);
    QAction *all = nullptr;
    for (QAction *action : m_page->menus().album->findChildren<QAction *>())
        all = action->text() == QLatin1String("Email all these album's pictures") ? action : all;
    QVERIFY(all);
    all->trigger();
    m_page->menus().album->hide();
    QCOMPARE(attachments.size(), 6);
    // Another album right-clicked: its own pictures, not the tray's or the open album's.
    m_page->contextmenuLibrary(album("Sea"), m_page->mapToGlobal(QPoint(20, 20)), 0);
    all->trigger();
    m_page->menus().album->hide();
    // Every entry of the album goes, the film too.
    QCOMPARE(attachments, (QStringList{m_pictures[3], "Waves.jpg", m_folder + "/clip.avi", "clip.avi"}));
    QCOMPARE(m_prompter.messages.size(), 0);
}

void TestSharing::mailFailuresAreTold()
{
    start();
    openTrip();
    click(0);
    QTRY_VERIFY(m_page->currentItem());
    auto send = [this](const QString &to, bool *open) {
        m_prompter.onExec = [to, open](QDialog *dialog) {
            dialog->show();
            QTest::keyClicks(dialog->findChild<QLineEdit *>("lineEditTo"), to);
            QTest::mouseClick(dialog->findChild<QPushButton *>("buttonOk"), Qt::LeftButton);
            *open = dialog->isVisible();
        };
        m_page->slot_sendItem();
    };
    bool open = false;
    // Not an address.
    send("zoe.example.org", &open);
    QVERIFY(open);
    QVERIFY(m_prompter.messages.takeLast().text.startsWith("This is not a mail address:\nzoe.example.org\n"));
    QVERIFY(!m_page->findChild<MailHandOver *>());
    // A companion that cannot be started: told, and the dialog stays.
    Composemail::setCompanionPath(path("nowhere/vellaro-mail"));
    send("zoe@example.org", &open);
    QVERIFY(open);
    QVERIFY(m_prompter.messages.takeLast().text.startsWith("The mail program cannot be started:\n"
                                                           + path("nowhere/vellaro-mail")));
    Composemail::setCompanionPath(QString());

    // The mailer refuses: told once the companion has ended, the draft named.
    fake("sendmail", "/bin/cat > /dev/null\necho 'sendmail: no route to example.org' >&2\nexit 69\n");
    qputenv("PATH", QFile::encodeName(path("bin")) + ":" + m_path);
    qputenv("HOME", QFile::encodeName(path("home")));
    send("zoe@example.org", &open);
    QVERIFY(open);  // what was written is still there to send again
    Prompter::Message told = m_prompter.messages.takeLast();
    QCOMPARE(told.icon, Prompter::Icon::Warning);
    QVERIFY2(told.text.startsWith("The mail could not be sent.\n"), qPrintable(told.text));
    QVERIFY(told.text.contains("no route to example.org"));
    QVERIFY(told.text.contains("The mail was kept as a draft: " + path("home/Documents/Vellaro mail ")));

    // No mailer and no mail client: the draft, and the user is told where it is.
    qputenv("PATH", QFile::encodeName(path("empty")));
    qputenv("VELLARO_SENDMAIL", "");
    send("zoe@example.org", &open);
    QVERIFY(!open);
    told = m_prompter.messages.takeLast();
    QCOMPARE(told.icon, Prompter::Icon::Information);
    QVERIFY2(told.text.startsWith("No mail program is set up on this computer, so the mail was saved as a draft.\n"),
             qPrintable(told.text));
    QCOMPARE(QDir(path("home/Documents")).entryList({"*.eml"}, QDir::Files).size(), 2);
    qputenv("HOME", qgetenv("XDG_RUNTIME_DIR"));

    // A mail larger than mail services take: asked first; Cancel keeps the dialog.
    qputenv("PATH", QFile::encodeName(path("bin")) + ":" + m_path);
    qunsetenv("VELLARO_SENDMAIL");
    fake("sendmail", "/bin/cat > \"" + path("message").toUtf8() + "\"\n");
    const QString big = m_folder + "/IMG_0014.jpg";
    const QByteArray picture = readAll(big);
    {
        QFile grown(big);
        QVERIFY(grown.open(QIODevice::ReadWrite) && grown.resize(26 << 20));
    }
    m_page->clearCurrentItem();
    m_prompter.answers << 0;
    send("zoe@example.org", &open);
    QVERIFY(open);
    QCOMPARE(m_prompter.messages.takeLast().text,
             QStringLiteral("These pictures make a mail of 27 MB; most mail services refuse mails over 25 MB.\n\nSend "
                            "it anyway?"));
    QVERIFY(!QFileInfo::exists(path("message")));
    writeFile(big, picture);

    // A picture gone from its drive: asked whether to send without it; Cancel keeps the
    // dialog, OK sends the others.
    QVERIFY(QFile::remove(m_pictures[1]));
    m_prompter.answers << 0;
    send("zoe@example.org", &open);
    QVERIFY(open);
    QVERIFY(m_prompter.messages.takeLast().text.contains(m_pictures[1] + "\n\nSend the mail without them?"));
    m_prompter.answers << 1;
    send("zoe@example.org", &open);
    QVERIFY(!open);
    const QJsonArray sent = parseMail(readAll(path("message")))["attachments"].toArray();
    QCOMPARE(sent.size(), 2);
    QCOMPARE(sent[1]["filename"].toString(), QStringLiteral("Sunset.jpg"));

    // A slow mailer: the dialog closes, and the mail still goes.
    Composemail::setOutcomeWait(200);
    QVERIFY(QFile::remove(path("message")));
    fake("sendmail", "sleep 2\n/bin/cat > \"" + path("message").toUtf8() + "\"\n");
    m_prompter.answers << 1;  // without the missing picture
    send("zoe@example.org", &open);
    QVERIFY(!open);
    QVERIFY(!QFileInfo::exists(path("message")));
    QCOMPARE(waitForHandOver(), 0);
    QCOMPARE(parseMail(readAll(path("message")))["attachments"].toArray().size(), 2);
    Composemail::setOutcomeWait(5000);
}

void TestSharing::externalPrograms()
{
    // A stand-in that writes its arguments, one a line, then moves the list into place.
    const QString recorder = fake("record args", "printf '%s\\n' \"$@\" > \"$0.tmp\" && /bin/mv \"$0.tmp\" \"$0.out\"\n");
    const QString out = recorder + ".out";
    auto recorded = [&out]() {
        QStringList lines;
        if (QTest::qWaitFor([&out] { return QFileInfo::exists(out); }, 20000))
            lines = QString::fromUtf8(readAll(out)).split('\n', Qt::SkipEmptyParts);
        QFile::remove(out);
        return lines;
    };
    start();
    m_fixture.pref->setExternalEditor(recorder);
    // No album: nothing to give.
    m_page->ViewExternal();
    QCOMPARE(m_prompter.messages.takeLast().text, QStringLiteral("You need to select an album before click here.\n"));

    // With an album open every picture of the album goes, not only the chosen one; paths
    // with blanks, quotes and "$" arrive as they are (no shell between).
    openTrip();
    click(1);
    QTRY_VERIFY(m_page->currentItem());
    QTest::mouseClick(m_page->findChild<QPushButton *>("pushButtonExternalEditor"), Qt::LeftButton);
    QCOMPARE(recorded(), m_pictures.mid(0, 3));
    // Two in the tray: those.
    click(2, Qt::ControlModifier);
    QVERIFY(m_page->tray()->count() >= 2);
    m_page->ViewExternal();
    const QStringList tray = recorded();
    QCOMPARE(tray.size(), m_page->tray()->count());
    QVERIFY(tray.contains(m_pictures[2]));

    // The printer program as a command line of its own.
    m_fixture.pref->setExternalPrinter("\"" + recorder + "\" --copies 2");
    QTest::mouseClick(m_page->findChild<QPushButton *>("pushButtonExternalPrint"), Qt::LeftButton);
    QCOMPARE(recorded().mid(0, 2), (QStringList{"--copies", "2"}));
    QCOMPARE(m_prompter.messages.size(), 0);

    // Not set, or not startable: the two messages.
    m_fixture.pref->setExternalPrinter(QString());
    m_page->slot_printPhotoExternal();
    QCOMPARE(m_prompter.messages.takeLast().text,
             QStringLiteral("Your Other Printer is not configured\ngo in pref panel and change the Other path to your "
                            "prefered printer application\n"));
    m_fixture.pref->setExternalEditor(path("nowhere/gimp"));
    m_page->ViewExternal();
    QCOMPARE(m_prompter.messages.takeLast().text,
             QStringLiteral("Your other Editor is not configured\ngo in pref panel and change the Other path to your "
                            "prefered editor application\n(")
                 + path("nowhere/gimp") + " cannot be started.)\n");
    QVERIFY(!QFileInfo::exists(out));
}

void TestSharing::conversionToEachFormat()
{
    start();
    // A camera picture stored on its side (orientation 6), with its capture date.
    {
        QImage picture(64, 48, QImage::Format_RGB32);
        picture.fill(QColor(200, 120, 40));
        QVERIFY(picture.save(m_pictures[0], "JPEG"));
        Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(QFile::encodeName(m_pictures[0]).toStdString());
        image->readMetadata();
        Exiv2::ExifData exif;
        exif["Exif.Image.Orientation"] = static_cast<uint16_t>(6);
        exif["Exif.Photo.DateTimeOriginal"] = "2019:07:14 10:20:30";
        image->setExifData(exif);
        image->writeMetadata();
    }
    openTrip();
    click(0);
    QTRY_VERIFY(m_page->currentItem());
    QDir().mkpath(path("out"));
    QSignalSpy finished(m_page, &AmbrioMainWindow::conversionFinished);
    auto convert = [&](const QString &name, const QString &filter) {
        m_prompter.fileAnswers << name;
        m_prompter.filterAnswers << filter;
        finished.clear();
        QTest::mouseClick(m_page->findChild<QPushButton *>("pushButtonShareSaveAs"), Qt::LeftButton);
        return finished.wait(30000) ? finished.first().first().toString() : QString();
    };
    // Each entry of the filter: a name without extension takes the entry's, GIF's
    // "(*.Gif)" included; the file holds that format (its signature, read here).
    const QList<std::pair<QString, QByteArray>> formats{
        {"JPG File (*.jpg)", "\xff\xd8\xff"}, {"BMP file (*.bmp)", "BM"},     {"GIF File(*.Gif)", "GIF8"},
        {"PNG File (*.png)", "\x89PNG"},      {"MNG File (*.mng)", "\x8aMNG"}, {"XBM File (*.xbm)", "#define"},
        {"XPM File (*.xpm)", "/* XPM */"},    {"PNM File (*.pnm)", "P6"}};
    for (const auto &[filter, signature] : formats) {
        const QString extension = filter.section("(*", 1).chopped(1).toLower();
        const QString written = convert(path("out/photo"), filter);
        QCOMPARE(written, path("out/photo") + extension);
        QVERIFY2(readAll(written).startsWith(signature), qPrintable(filter + " " + readAll(written).left(8).toHex()));
    }
    QCOMPARE(m_prompter.choosers.last(), QStringLiteral("Choose a filename..."));
    QCOMPARE(m_prompter.messages.size(), 0);
    // Turned upright as the camera said, and the capture date kept.
    QCOMPARE(QImageReader(path("out/photo.png")).size(), QSize(48, 64));
    QVERIFY(readAll(path("out/photo.jpg")).contains("2019:07:14 10:20:30"));
    // A name with an extension keeps it, whatever the filter; a dot in a folder's name is
    // no extension.
    QCOMPARE(convert(path("out/copy.png"), "JPG File (*.jpg)"), path("out/copy.png"));
    QVERIFY(readAll(path("out/copy.png")).startsWith("\x89PNG"));
    QVERIFY(!QFileInfo::exists(path("out/copy.png.jpg")));
    QDir().mkpath(path("out/my.pics"));
    QCOMPARE(convert(path("out/my.pics/photo"), "PNG File (*.png)"), path("out/my.pics/photo.png"));
    QVERIFY(readAll(path("out/my.pics/photo.png")).startsWith("\x89PNG"));
    // A picture that is no JPEG whatever its name says converts as well.
    QImage png(30, 20, QImage::Format_RGB32);
    png.fill(QColor(0, 128, 255));
    QVERIFY(png.save(m_pictures[0], "PNG"));
    QCOMPARE(convert(path("out/from png"), "BMP file (*.bmp)"), path("out/from png.bmp"));
    QCOMPARE(QImage(path("out/from png.bmp")).size(), QSize(30, 20));
    QCOMPARE(m_prompter.messages.size(), 0);
    // A dot in a name is no extension when what follows has no letter.
    QCOMPARE(convert(path("out/trip v1.2"), "PNG File (*.png)"), path("out/trip v1.2.png"));
    QCOMPARE(convert(path("out/2024.06.01"), "BMP file (*.bmp)"), path("out/2024.06.01.bmp"));
    // A name that took an extension and meets a file of that name: asked first.
    writeFile(path("out/kept.png"), "mine");
    m_prompter.answers << 0;  // Cancel
    m_prompter.fileAnswers << path("out/kept");
    m_prompter.filterAnswers << "PNG File (*.png)";
    finished.clear();
    QTest::mouseClick(m_page->findChild<QPushButton *>("pushButtonShareSaveAs"), Qt::LeftButton);
    QVERIFY(!finished.wait(300));
    QCOMPARE(m_prompter.messages.takeLast().text, path("out/kept.png") + " already exists.\nDo you want to replace it?");
    QCOMPARE(readAll(path("out/kept.png")), QByteArray("mine"));
    m_prompter.answers << 1;  // OK
    QCOMPARE(convert(path("out/kept"), "PNG File (*.png)"), path("out/kept.png"));
    QVERIFY(readAll(path("out/kept.png")).startsWith("\x89PNG"));
}

void TestSharing::conversionFailures()
{
    start();
    // No picture chosen.
    m_page->slot_convertPhoto();
    QCOMPARE(m_prompter.messages.takeLast().text, QStringLiteral("You need to select a picture before click here.\n"));
    openTrip();
    click(0);
    QTRY_VERIFY(m_page->currentItem());
    QSignalSpy finished(m_page, &AmbrioMainWindow::conversionFinished);
    auto convert = [&](const QString &name, const QString &filter) {
        m_prompter.fileAnswers << name;
        m_prompter.filterAnswers << filter;
        finished.clear();
        m_page->slot_convertPhoto();
        return finished.wait(30000) && finished.first().at(1).toBool();
    };
    // Cancelled: nothing.
    m_page->slot_convertPhoto();
    QCOMPARE(finished.size(), 0);
    QCOMPARE(m_prompter.messages.size(), 0);
    // An extension no format has.
    QVERIFY(!convert(path("out/photo.tiff"), "PNG File (*.png)"));
    QVERIFY(m_prompter.messages.takeLast().text.contains("must end in .jpg, .bmp, .png, .gif, .mng, .xbm, .xpm or .pnm"));
    QVERIFY(!QFileInfo::exists(path("out/photo.tiff")));
    // A full disk: the design's save message, and no half-written file.
    writeFile(path("out/full.png"), "what was there");
    {
        FullDisk full(64);
        QVERIFY(!convert(path("out/full.png"), "PNG File (*.png)"));
    }
    QCOMPARE(m_prompter.messages.takeLast().text,
             QStringLiteral("An error occur during the save... check your disk space...\nsupport@vellaro.org\n\n"));
    QCOMPARE(readAll(path("out/full.png")), QByteArray("what was there"));
    // A damaged picture, and one cut short (its reader would make it grey).
    const QByteArray whole = readAll(m_pictures[0]);
    writeFile(m_pictures[0], whole.left(whole.size() * 2 / 3));
    QVERIFY(!convert(path("out/short.png"), "PNG File (*.png)"));
    QCOMPARE(m_prompter.messages.takeLast().text, "This picture cannot be read (it may be damaged):\n" + m_pictures[0]);
    QVERIFY(!QFileInfo::exists(path("out/short.png")));
    writeFile(m_pictures[0], "\xff\xd8\xff not a photograph any more");
    QVERIFY(!convert(path("out/damaged.png"), "PNG File (*.png)"));
    QCOMPARE(m_prompter.messages.takeLast().text, "This picture cannot be read (it may be damaged):\n" + m_pictures[0]);
    // The picture's drive is gone.
    QVERIFY(QFile::remove(m_pictures[0]));
    m_prompter.fileAnswers << path("out/gone.png");
    m_page->slot_convertPhoto();
    QCOMPARE(m_prompter.messages.takeLast().text,
             QStringLiteral("File doesn't exist.\nPlease insert the correct media before save it.\n"));
    QVERIFY(!QFileInfo::exists(path("out/gone.png")));
    QVERIFY(!finished.wait(200));
}

QTEST_MAIN(TestSharing)
#include "tst_sharing.moc"
