// The organiser's commands that send pictures out of the program: by mail through the
// companion program, to the external editor and printer programs, and converted to
// another picture format.
#include "ambriomainwindow.h"
#include "ui_ambriomainwindowbase.h"

#include "composemail.h"
#include "kivviewitem.h"
#include "pagecomposition.h"
#include "playlist.h"
#include "prefimplementation.h"
#include "prompter.h"
#include "traybarphoto.h"
#include "viewphoto.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace {

const QString NeedAlbum = QStringLiteral("You need to select an album before click here.\n");

// The program named by an external-program setting, and its own options: the setting as
// a whole when it names an executable ("/opt/My Editor/editor"), else a command line of
// its own ("flatpak run org.gimp.GIMP"). False when it names nothing.
bool programOf(const QString &setting, QString *program, QStringList *options)
{
    const QString whole = setting.trimmed();
    if (whole.isEmpty())
        return false;
    const QFileInfo file(whole);
    if ((file.isFile() && file.isExecutable()) || !QStandardPaths::findExecutable(whole).isEmpty()) {
        *program = whole;
        options->clear();
        return true;
    }
    QStringList words = QProcess::splitCommand(whole);
    if (words.isEmpty())
        return false;
    *program = words.takeFirst();
    *options = words;
    return true;
}

} // namespace

QString AmbrioMainWindow::convertedName(const QString &name, const QString &selectedFilter)
{
    // A name without an extension takes the one of the chosen format. What follows a dot
    // is an extension when it is short and has a letter (png, tiff), not
    // in "trip v1.2" or "2024.06.01".
    const QString fileName = QFileInfo(name).fileName();
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    if (dot > 0) {
        const QString suffix = fileName.mid(dot + 1);
        const bool extension = !suffix.isEmpty() && suffix.size() <= 5
                               && std::all_of(suffix.cbegin(), suffix.cend(), [](QChar c) { return c.isLetterOrNumber(); })
                               && std::any_of(suffix.cbegin(), suffix.cend(), [](QChar c) { return c.isLetter(); });
        if (extension)
            return name;
    }
    for (const char *extension : {".jpg", ".bmp", ".gif", ".png", ".mng", ".xbm", ".xpm", ".pnm"}) {
        const QString wanted = QLatin1String(extension);
        if (selectedFilter.indexOf(wanted) > 0
            || (wanted == QLatin1String(".gif") && selectedFilter.indexOf(QLatin1String(".Gif")) > 0))
            return name + wanted;
    }
    return name;
}

QStringList AmbrioMainWindow::externalPictures(bool *albumless)
{
    // Several pictures in the tray: those; else the album's pictures, else the current one.
    PlayList *album = commandAlbum();
    const bool other = album && album != m_currentAlbum;
    *albumless = false;
    QStringList paths;
    if (ui->trayBar->count() >= 2 && !other) {
        for (const KivViewItem *record : ui->trayBar->records())
            paths << record->picturePath();
    } else if (album) {
        paths = PageComposition::picturePaths(album->rowTable());
    } else if (m_currentItem) {
        paths << m_currentItem->picturePath();
    } else {
        *albumless = true;
    }
    return paths;
}

void AmbrioMainWindow::startExternal(const QString &setting, const QString &notConfigured)
{
    bool albumless = false;
    const QStringList paths = externalPictures(&albumless);
    if (albumless) {
        m_prompter->information(this, NeedAlbum);
        return;
    }
    if (paths.isEmpty()) {
        m_prompter->information(this, QStringLiteral("This album holds no picture."));
        return;
    }
    // Started on its own, without a shell: a path with blanks, quotes or a "$" arrives as
    // it is.
    QString program;
    QStringList options;
    if (!programOf(setting, &program, &options)) {
        m_prompter->information(this, notConfigured);
        return;
    }
    if (!QProcess::startDetached(program, options + paths))
        m_prompter->information(this, notConfigured + QStringLiteral("(%1 cannot be started.)\n").arg(program));
}

void AmbrioMainWindow::ViewExternal()
{
    startExternal(m_pref ? m_pref->externalEditor() : QString(),
                  QStringLiteral("Your other Editor is not configured\ngo in pref panel and change the Other path to "
                                 "your prefered editor application\n"));
}

void AmbrioMainWindow::slot_printPhotoExternal()
{
    startExternal(m_pref ? m_pref->externalPrinter() : QString(),
                  QStringLiteral("Your Other Printer is not configured\ngo in pref panel and change the Other path to "
                                 "your prefered printer application\n"));
}

void AmbrioMainWindow::composeMail(bool wholeAlbum)
{
    PlayList *album = commandAlbum();
    const bool other = album && album != m_currentAlbum;
    Composemail mail(m_prompter, this);
    if (ui->trayBar->count() >= 2 && !other && !wholeAlbum) {
        for (const KivViewItem *record : ui->trayBar->records())
            mail.addItem(record);
    } else if (m_currentItem && !other && !wholeAlbum) {
        mail.addItem(m_currentItem);
    } else if (album) {
        mail.addAlbum(album);
    } else {
        m_prompter->information(this, NeedAlbum);
        return;
    }
    if (mail.attachments().isEmpty()) {
        m_prompter->information(this, QStringLiteral("This album holds no picture to send."));
        return;
    }
    m_prompter->exec(&mail);
}

void AmbrioMainWindow::slot_sendItem()
{
    composeMail(false);
}

void AmbrioMainWindow::slot_sendAlbum()
{
    composeMail(true);
}

void AmbrioMainWindow::slot_convertPhoto()
{
    KivViewItem *picture = m_currentItem;
    if (!picture) {
        m_prompter->information(this, QStringLiteral("You need to select a picture before click here.\n"));
        return;
    }
    QString filter;
    QString name = m_prompter->saveFileNameAndFilter(
        this, QStringLiteral("Choose a filename..."), picture->sourceFolder(),
        QStringLiteral("JPG File (*.jpg);;BMP file (*.bmp);;GIF File(*.Gif);;PNG File (*.png);;MNG File (*.mng);;"
                       "XBM File (*.xbm);;XPM File (*.xpm);;PNM File (*.pnm)"),
        &filter);
    if (name.isEmpty())
        return;
    const QString source = picture->picturePath();
    if (!QFileInfo::exists(source)) {
        m_prompter->information(this, QStringLiteral("File doesn't exist.\nPlease insert the correct media before save "
                                                     "it.\n"));
        return;
    }
    // Written on a thread of its own while the window goes on; the user hears only of a
    // failure.
    const QString destination = convertedName(name, filter);
    // The chooser asked about the name typed; a name that took an extension is asked here.
    if (destination != name && QFileInfo::exists(destination)
        && !m_prompter->confirm(this, Prompter::Icon::Warning,
                                QStringLiteral("%1 already exists.\nDo you want to replace it?").arg(destination)))
        return;
    auto *worker = new SaveWorker;
    worker->setParent(this);
    worker->source = source;
    worker->destination = destination;
    worker->jpegQuality = 95;  // a copy, not a smaller picture
    connect(worker, &QThread::finished, this, [this, worker] {
        worker->deleteLater();
        if (worker->unreadable)
            m_prompter->critical(this, QStringLiteral("This picture cannot be read (it may be damaged):\n")
                                           + worker->source);
        else if (worker->result != PictureWriter::Result::Written)
            m_prompter->critical(this, PictureWriter::message(worker->result, worker->destination));
        Q_EMIT conversionFinished(worker->destination, worker->result == PictureWriter::Result::Written);
    });
    worker->start();
}
