// Pictures coming in from scanners: choosing the scanner, scanning into the last-import
// folder and the import bar, and copying the import into the current dynamic album.
#include "ambriomainwindow.h"
#include "ui_ambriomainwindowbase.h"

#include "directoryplaylist.h"
#include "importtraybar.h"
#include "kivviewitem.h"
#include "prefimplementation.h"
#include "prompter.h"
#include "scanjob.h"
#include "scannerchoice.h"
#include "thumbnailmaker.h"

#include <QClipboard>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QHash>
#include <QImageReader>
#include <QGuiApplication>
#include <QProgressDialog>
#include <QUrl>

ImportTrayBar *AmbrioMainWindow::importBar() const
{
    return ui->ImportBarPhoto;
}

void AmbrioMainWindow::loadImportBar()
{
    ImportTrayBar *bar = ui->ImportBarPhoto;
    if (!m_pref)
        return;
    const QString path = m_pref->lastImportFolder();
    // Watched, so pictures scanned by the command-line tool while the window runs
    // show up too.
    if (!m_importWatch) {
        m_importWatch = new QFileSystemWatcher(this);
        connect(m_importWatch, &QFileSystemWatcher::directoryChanged, this, &AmbrioMainWindow::loadImportBar);
    }
    if (QFileInfo(path).isDir() && !m_importWatch->directories().contains(path))
        m_importWatch->addPath(path);
    QStringList names;
    for (const QFileInfo &file : QDir(path).entryInfoList(QDir::Files, QDir::Name)) {
        const QString suffix = file.suffix().toLower();
        if (suffix == QLatin1String("bmp") || suffix == QLatin1String("png") || suffix == QLatin1String("jpg")
            || suffix == QLatin1String("jpeg"))
            names << file.fileName();
    }
    QStringList shown;
    QHash<QString, QPixmap> thumbnails;  // pictures shown already are not read again
    for (const KivViewItem *record : bar->records()) {
        shown << record->fileName();
        thumbnails.insert(record->fileName(), record->thumbnail());
    }
    if (shown == names)
        return;
    bar->clear();
    for (const QString &name : std::as_const(names)) {
        auto record = std::make_unique<KivViewItem>(name);
        record->setFileName(name);
        record->setSourceFolder(path);
        record->setAlbumFolderPath(path + QLatin1Char('/'));
        QPixmap thumbnail = thumbnails.value(name);
        if (thumbnail.isNull()) {
            // Read at thumbnail size: a scan at 1200 dpi is tens of megabytes.
            QImageReader reader(path + QLatin1Char('/') + name);
            if (const QSize size = reader.size(); size.isValid())
                reader.setScaledSize(ThumbnailMaker::fittedSize(size));
            thumbnail = QPixmap::fromImage(reader.read());
        }
        record->setThumbnail(thumbnail);
        bar->add(std::move(record));
    }
    if (bar->count() > 0)
        bar->ensureCellVisible(0, bar->count() - 1);
}

void AmbrioMainWindow::clearImportBar()
{
    // The last-import folder holds only the pictures of the bar.
    if (m_pref) {
        QDir folder(m_pref->lastImportFolder());
        for (const QString &name : folder.entryList(QDir::Files | QDir::Hidden | QDir::System))
            folder.remove(name);
    }
    ui->ImportBarPhoto->clear();
}

Scanner::Choice AmbrioMainWindow::scanChoice() const
{
    Scanner::Choice choice;
    if (m_pref) {
        choice.device = m_pref->scannerDevice();
        choice.source = m_pref->scannerSource();
        choice.mode = m_pref->scannerMode();
        choice.resolution = m_pref->scannerResolution();
    }
    return choice;
}

void AmbrioMainWindow::selectTwain()
{
    ScannerChoice dialog(scanChoice(), this);
    if (m_prompter->exec(&dialog) != QDialog::Accepted || dialog.device().isEmpty() || !m_pref)
        return;
    const Scanner::Choice chosen = dialog.choice();
    m_pref->setScannerDevice(chosen.device);
    m_pref->setValue(prefImplementation::ScannerSource, chosen.source);
    m_pref->setValue(prefImplementation::ScannerMode, chosen.mode);
    m_pref->setValue(prefImplementation::ScannerResolution, QString::number(chosen.resolution));
}

void AmbrioMainWindow::ImportTwain()
{
    if (m_scan)
        return;  // one scan at a time
    const QString folder = m_pref ? m_pref->lastImportFolder() : QString();
    if (folder.isEmpty() || !QDir().mkpath(folder)) {
        m_prompter->message(this, {Prompter::Icon::Warning, QStringLiteral("Scanner Error"),
                                   QStringLiteral("The folder %1 cannot be made.").arg(folder)});
        return;
    }
    // What the scan puts on the clipboard (none here, but a driver may) is no paste.
    disconnect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this, &AmbrioMainWindow::ClipBoardChanged);
    // Another program's copy made meanwhile is taken once the scan is over.
    bool copiedMeanwhile = false;
    const QMetaObject::Connection meanwhile = connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this,
                                                      [&copiedMeanwhile] { copiedMeanwhile = true; });
    auto *job = new ScanJob(scanChoice(), folder, this);
    m_scan = job;
    QProgressDialog progress(QStringLiteral("Scanning..."), QStringLiteral("&Cancel"), 0, 100, this);
    progress.setObjectName(QStringLiteral("scan progress"));
    progress.setWindowTitle(QStringLiteral("Vellaro"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    connect(&progress, &QProgressDialog::canceled, job, &ScanJob::cancel);
    connect(job, &ScanJob::progress, &progress, [&progress](int page, int percent) {
        progress.setLabelText(QStringLiteral("Scanning page %1...").arg(page + 1));
        progress.setValue(percent);
    });
    // Each page joins the bar as it is written.
    connect(job, &ScanJob::pageWritten, this, &AmbrioMainWindow::loadImportBar);
    QEventLoop waiting;
    connect(job, &QThread::finished, &waiting, &QEventLoop::quit);
    job->start();
    progress.show();
    if (job->isRunning())
        waiting.exec();
    job->wait();
    progress.hide();
    const Scanner::Outcome outcome = job->outcome();
    delete job;
    m_scan = nullptr;
    disconnect(meanwhile);
    connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this, &AmbrioMainWindow::ClipBoardChanged);
    if (copiedMeanwhile)
        ClipBoardChanged();
    if (!outcome.error.isEmpty())
        m_prompter->message(this, {Prompter::Icon::Warning, QStringLiteral("Scanner Error"), outcome.error});
}

void AmbrioMainWindow::ImportCopyToCurrent()
{
    ImportTrayBar *bar = ui->ImportBarPhoto;
    if (!m_currentAlbum) {
        m_prompter->information(this, QStringLiteral("You need to select an album before click here.\n"));
        return;
    }
    if (bar->count() == 0) {
        m_prompter->information(this, QStringLiteral("There is no imported picture to add.\nScan pictures with "
                                                     "\"From Picture Devices\" first."));
        return;
    }
    auto *dynamic = dynamic_cast<DirectoryPlaylist *>(m_currentAlbum);
    if (!dynamic) {
        m_prompter->information(this, QStringLiteral("Unable to add this photo.\nSelect a Dynamic Album in the AlbumBay "
                                                     "first."));
        return;
    }
    QStringList files;
    for (const KivViewItem *record : bar->records())
        files << QUrl::fromLocalFile(record->picturePath()).toLocalFile();
    slot_addFile(files, nullptr);
    // The imported files go only once every one of them is in the album's folder and rows:
    // a copy that failed (told already) keeps the bar to try again.
    for (const KivViewItem *record : bar->records()) {
        if (!QFileInfo::exists(dynamic->from() + QLatin1Char('/') + record->fileName())
            || dynamic->indexOfFile(record->fileName()) < 0)
            return;
    }
    clearImportBar();
}
