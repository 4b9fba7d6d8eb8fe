#include "picturecommands.h"

#include "picturerename.h"
#include "ui_renameitembase.h"

#include "albumadd.h"
#include "ambriomainwindow.h"
#include "cataloguefile.h"
#include "catalogueloader.h"
#include "cataloguesave.h"
#include "directoryplaylist.h"
#include "favoriteswidget.h"
#include "gifwriter.h"
#include "libraryindex.h"
#include "librarylist.h"
#include "namelist.h"
#include "photoitem.h"
#include "pixmaplookup.h"
#include "prefimplementation.h"
#include "prompter.h"
#include "searchengine.h"
#include "smartplaylist.h"
#include "thumbsview.h"
#include "thumbnailmaker.h"
#include "traybarphoto.h"
#include "updatethumbsdialog.h"

#include <QTreeWidgetItemIterator>
#include <QApplication>
#include <QSet>
#include <QBuffer>
#include <QPainter>
#include <QClipboard>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>

#include <algorithm>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <QImageReader>
#include <QImageWriter>
#include <QProgressDialog>
#include <QSaveFile>
#include <cstdio>

namespace {

QString undoingText(qsizetype pictures)
{
    return QStringLiteral("Undoing the change of %L1 pictures...").arg(pictures);
}

bool isPlainAlbum(const PlayList *album)
{
    return album && album->className() == QLatin1String("Playlist");
}

bool takesPictures(const PlayList *album)
{
    return album && !album->isSmart() && !album->isHeldInMemory() && album->className() != QLatin1String("PlayListGroup")
           && album->className() != QLatin1String("GroupYear");
}

// From this many pictures a tag change shows its progress (and can be cancelled).
constexpr qsizetype kProgressFrom = 200;

const QString kPictureFilter = QStringLiteral(
    "All Images (*.jpg *.jpeg *.bmp *.gif *.png *.mng *.xbm *.xpm *.pnm *.tif *.tiff *.webp);;JPG File (*.jpg *.jpeg);;BMP file (*.bmp);;GIF File(*.Gif);;"
    "PNG File (*.png);;MNG File (*.mng);;XBM File (*.xbm);;XPM File (*.xpm);;PNM File (*.pnm)");

// Writes a picture whole, in the format its file name's extension names.
bool savePicture(const QImage &image, const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    QByteArray bytes;
    // Formats without transparency get the picture on white, not on black.
    QImage opaque = image;
    if (image.hasAlphaChannel() && suffix != QLatin1String("png") && suffix != QLatin1String("gif")
        && suffix != QLatin1String("xpm")) {
        opaque = QImage(image.size(), QImage::Format_RGB32);
        opaque.fill(Qt::white);
        QPainter painter(&opaque);
        painter.drawImage(0, 0, image);
    }
    if (suffix == QLatin1String("gif")) {
        bytes = GifWriter::encode(image);
    } else {
        const QByteArray format = suffix == QLatin1String("jpg") ? QByteArray("jpeg") : suffix.toLatin1();
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, format);
        if (!writer.write(opaque))
            return false;
    }
    if (bytes.isEmpty())
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) || file.write(bytes) != bytes.size())
        return false;
    return file.commit();
}

} // namespace

// Hidden for good: a progress window not shown yet would still come up once its delay
// passed, over a message that follows (both modal: the message could not be answered).
static void closeProgress(QProgressDialog *bar)
{
    if (!bar)
        return;
    bar->reset();
    bar->hide();
}

PictureCommands::PictureCommands(AmbrioMainWindow *page, thumbsView *view)
    : QObject(page)
    , m_page(page)
    , m_view(view)
    , m_updateDialog(new updateThumbsDialog(page))
{
    m_updateDialog->hide();
    connect(&m_loader, &ThumbnailLoader::ready, this, &PictureCommands::thumbnailReady);
    // Scrolling a large album brings the thumbnails in sight in, once it pauses.
    m_sightTimer = new QTimer(this);
    m_sightTimer->setSingleShot(true);
    m_sightTimer->setInterval(30);
    connect(m_sightTimer, &QTimer::timeout, this, &PictureCommands::loadThumbnailsInSight);
    m_openTimer = new QTimer(this);
    m_openTimer->setSingleShot(true);
    m_openTimer->setInterval(0);
    connect(m_openTimer, &QTimer::timeout, this, &PictureCommands::openNextBatch);
    m_retireTimer = new QTimer(this);
    m_retireTimer->setSingleShot(true);
    m_retireTimer->setInterval(0);
    connect(m_retireTimer, &QTimer::timeout, this, &PictureCommands::freeRetiredSlice);
    connect(&m_loader, &ThumbnailLoader::finished, m_updateDialog, &QWidget::hide);
    connect(&m_loader, &ThumbnailLoader::finished, this, &PictureCommands::storeTagged);
}

PictureCommands::~PictureCommands()
{
    m_loader.cancel();
}

thumbsView *PictureCommands::view() const
{
    return m_view ? m_view : m_page->photoView();
}

void PictureCommands::closeAlbum()
{
    m_loader.cancel();
    storeTagged();
    m_openTimer->stop();
    // An opening cut short takes its progress down with it.
    if (m_nextRow < m_openRows.count())
        Q_EMIT m_page->Addprogress(m_openRows.count());
    m_openRows = AlbumRows();
    m_nextRow = 0;
    view()->clear();
    m_waiting.clear();
    m_readTags.clear();
    m_held.clear();
    m_cachedOnce.clear();
    // The tray may hold pictures of this album: they stay alive until it lets them go.
    // Looked up in a set: with every picture of a large album chosen, a search of the
    // tray for each record took minutes.
    const QSet<const KivViewItem *> inTray = m_page->tray()->recordSet();
    m_retired.reserve(m_retired.size() + m_records.size());
    for (auto &record : m_records) {
        if (inTray.contains(record.get()))
            m_trayRecords.push_back(std::move(record));
        else
            m_retired.push_back(std::move(record));
    }
    m_records.clear();
    m_records.shrink_to_fit();
    m_sharedTexts.clear();
    m_folderOfId.clear();
    // A query's result is made again each time its album opens, and nothing reads it
    // meanwhile (a slideshow keeps its own copy): it goes with the view. All Photos of a
    // large catalogue holds a row of every picture.
    if (m_openQuery) {
        // Unless it has left the list meanwhile (the list is made again with the catalogue).
        for (QTreeWidgetItemIterator it(m_page->albumList()); *it; ++it) {
            if (*it == m_openQuery) {
                m_openQuery->setRowTable(AlbumRows());
                break;
            }
        }
        m_openQuery = nullptr;
        m_unindexFrom = 0;
    }
    m_open = nullptr;
    if (!m_retired.empty() || m_unindexFrom >= 0)
        m_retireTimer->start();
}

void PictureCommands::freeRetiredSlice()
{
    QElapsedTimer slice;
    slice.start();
    while (!m_retired.empty()) {
        m_retired.pop_back();
        if (m_retired.size() % 256 == 0 && slice.elapsed() >= RetireMs)
            break;
    }
    if (!m_retired.empty()) {
        m_retireTimer->start();
        return;
    }
    m_retired.shrink_to_fit();
    // Another query's view needs them again: they stay.
    if (m_open && m_open->isSmart())
        m_unindexFrom = -1;
    if (m_unindexFrom >= 0) {
        const QList<PlayList *> albums = m_page->albumList()->storedAlbums();
        while (m_unindexFrom < albums.size()) {
            const PlayList *album = albums.at(m_unindexFrom++);
            // The open album's own index serves its records; one still to be read has none.
            if (album != m_open && !album->rowsPending())
                album->rowTable().dropIndex();
            if (m_unindexFrom % 64 == 0 && slice.elapsed() >= RetireMs)
                break;
        }
        if (m_unindexFrom < albums.size()) {
            m_retireTimer->start();
            return;
        }
        m_unindexFrom = -1;
    }
#ifdef __GLIBC__
    // The allocator keeps freed memory for the process; what the records held goes back.
    malloc_trim(0);
#endif
}

const QString &PictureCommands::sharedText(const QString &text)
{
    auto found = m_sharedTexts.constFind(text);
    if (found == m_sharedTexts.cend())
        found = m_sharedTexts.insert(text, text);
    return *found;
}

void PictureCommands::releaseTrayRecords()
{
    const QSet<const KivViewItem *> inTray = m_page->tray()->recordSet();
    m_trayRecords.erase(std::remove_if(m_trayRecords.begin(), m_trayRecords.end(),
                                       [&inTray](const auto &record) { return !inTray.contains(record.get()); }),
                        m_trayRecords.end());
}

void PictureCommands::addTrayPictures(PlayList *album, const QList<KivViewItem *> &pictures)
{
    if (!takesPictures(album))
        return;
    QStringList paths;
    QList<const KivViewItem *> sources;
    for (const KivViewItem *picture : pictures) {
        // The album already showing this picture file keeps its own record.
        if (album->indexOfFile(picture->fileName()) >= 0)
            continue;
        paths << picture->picturePath();
        sources << picture;
    }
    if (paths.isEmpty())
        return;
    const bool fast = !m_page->pref() || m_page->pref()->fastThumbs();
    AlbumAdd::Result added = AlbumAdd::addFiles(album, paths, fast, *m_page->prompter(), m_page);
    for (auto &photo : added.added) {
        for (const KivViewItem *source : sources) {
            if (source->picturePath() != photo->picturePath())
                continue;
            // The new row carries the tags the picture had where it came from.
            const QString albumFolder = photo->albumFolder();
            const QPixmap thumbnail = photo->thumbnail();
            thumbsView::copyProperties(source, photo.get());
            photo->setAlbumFolder(albumFolder);
            if (!thumbnail.isNull())
                photo->setThumbnail(thumbnail);
            photo->setOwnerAlbum(album);
            album->updateRow(photo.get());
            if (const QString error = CatalogueSave::propertiesAndAlbums({photo.get()}, {album}, m_page->getDataBase());
                !error.isEmpty() && added.saveError.isEmpty())
                added.saveError = error;
            break;
        }
    }
    showAdded(album, added);
}

KivViewItem *PictureCommands::adopt(std::unique_ptr<KivViewItem> record)
{
    KivViewItem *raw = record.get();
    m_records.push_back(std::move(record));
    if (!m_copiedFile.isEmpty() && raw->fileName() == m_copiedFile && raw->sourceFolder() == m_copiedFolder)
        raw->setCopied(true);
    return raw;
}

QHash<QString, PlayList *> PictureCommands::storedAlbumsById() const
{
    QHash<QString, PlayList *> byId;
    const QList<PlayList *> albums = CatalogueLoader::storedAlbums(m_page->albumList());
    // The first album of an id is the one a search names (ids are unique anyway).
    for (auto album = albums.crbegin(); album != albums.crend(); ++album)
        byId.insert((*album)->kivDir(), *album);
    return byId;
}

KivViewItem *PictureCommands::recordFor(PlayList *album, const AlbumRows &rows, int index,
                                        const QHash<QString, PlayList *> &owners)
{
    const QStringList row = rows.row(index);
    auto at = [&row](int i) { return i < row.size() ? row.at(i) : QString(); };
    const QString fileName = at(AlbumRows::FileName);
    auto photo = std::make_unique<PhotoItem>(fileName);
    photo->setFileName(fileName);
    photo->setSourceFolder(sharedText(at(AlbumRows::Folder)));
    photo->setOwnerAlbum(album);
    photo->setFileType(sharedText(at(AlbumRows::FileType)));
    auto fromRow = [this, &photo](const QStringList &stored) {
        photo->setCategory(sharedText(stored.value(AlbumRows::Category)));
        photo->setComment(stored.value(AlbumRows::Comment));
        photo->setFormat(sharedText(stored.value(AlbumRows::Format)));
        photo->setPersonInit(stored.value(AlbumRows::Persons));
        photo->loadFromRow(stored);
    };
    if (album->isSmart()) {
        // A search result names the album the picture came from. That album owns the
        // record: a change made here must reach its row, which the record starts from.
        const QString id = at(3);
        const auto known = m_folderOfId.constFind(id);
        if (known != m_folderOfId.cend()) {
            photo->setAlbumFolderPath(*known);
        } else {
            photo->setAlbumFolder(m_page->catalogue().albumFolder(id));
            m_folderOfId.insert(id, photo->albumFolder());
        }
        PlayList *owner = owners.value(at(3));
        const int stored = owner ? owner->indexOfFile(photo->fileName()) : -1;
        if (stored >= 0) {
            photo->setOwnerAlbum(owner);
            fromRow(owner->rowTable().row(stored));
        } else {
            photo->setUserBadge(at(row.size() >= 6 ? 5 : 4).toInt());
            if (row.size() >= 6)
                photo->setViewCount(at(4).toInt());
        }
    } else {
        photo->setAlbumFolder(album->albumFolder());
        fromRow(row);
    }
    photo->readProperties();
    // A folder's rescan leaves the kind of its files unknown, and older catalogues
    // stored large pictures as "Undefined": the name's type decides, so every picture
    // can be chosen. The row is written back only when it is saved for another reason.
    const QString type = photo->fileType().trimmed();
    if (type.isEmpty() || type == QLatin1String("Undefined"))
        photo->setFileType(KivViewItem::kindOfFile(photo->picturePath()));
    photo->setModified(false);
    return adopt(std::move(photo));
}

void PictureCommands::openAlbum(PlayList *album)
{
    closeAlbum();
    if (!album)
        return;
    libraryList *list = m_page->albumList();
    if (auto *smart = dynamic_cast<SmartPlaylist *>(album)) {
        if (CatalogueLoader::refuseSmartAlbum(CatalogueLoader::storedAlbums(list), *m_page->prompter(), m_page))
            return;
        if (smart->kind() == QLatin1String("Search") && !smart->kivDir().isEmpty()) {
            const QString stored = m_page->catalogue().folder + QLatin1Char('/') + smart->kivDir() + QStringLiteral(".smart");
            if (QFileInfo::exists(stored))
                smart->load(stored);
        }
        SearchEngine::fill(smart, CatalogueLoader::storedAlbums(list));
        std::printf("playlist count %d\n", smart->rowCount());
        std::fflush(stdout);
        if (smart->kind() == QLatin1String("Stats") || smart->kind() == QLatin1String("ByCategory"))
            return;
    }
    m_open = album;
    m_openQuery = dynamic_cast<SmartPlaylist *>(album);
    connect(view(), &KivGridView::cellsInSightChanged, m_sightTimer, qOverload<>(&QTimer::start),
            Qt::UniqueConnection);
    const bool changedFolder = album->className() == QLatin1String("DirectoryPlaylist") && album->isDirty();
    // The rows as they are now: records are made from them, a batch at a time for a
    // large album, whatever the album becomes meanwhile.
    m_openRows = album->isSmart() ? album->rowTable() : album->rows();
    m_openCache = m_page->pref() && m_page->pref()->albumCache();
    m_readNewTags = m_page->catalogue().readTagsOnAdd && dynamic_cast<DirectoryPlaylist *>(album)
                    && album->writeRefusal().isEmpty() && !CatalogueFile::isReadOnly();
    m_fastThumbs = !m_page->pref() || m_page->pref()->fastThumbs();
    Q_EMIT m_page->SetTotalprogress(m_openRows.count());
    // The first usable cached thumbnail of each file name, gathered once for the album.
    m_cachedThumbs.clear();
    if (m_openCache) {
        const QList<PlayList::ThumbCacheEntry> &entries = album->thumbCache();
        for (auto entry = entries.crbegin(); entry != entries.crend(); ++entry) {
            if (!entry->pixmap.isNull())
                m_cachedThumbs.insert(entry->fileName, *entry);
        }
    }
    // The albums a search result names, looked up once for every row.
    m_owners = album->isSmart() ? storedAlbumsById() : QHash<QString, PlayList *>();
    m_nextRow = 0;
    // A large album's thumbnails come as the user scrolls to them, those in sight first.
    const bool large = m_openRows.count() > 2 * LoadAround;
    QList<KivViewItem *> waiting = large ? appendRecords(FirstBatch, OpenBatch) : appendRecords(m_openRows.count(),
                                                                                                m_openRows.count());
    view()->arrange(false, album);
    if (large) {
        waiting.clear();
        const QList<KivViewItem *> &items = view()->items();
        const int end = qMin(int(items.size()), view()->cellsInSight() + LoadAround);
        for (int i = 0; i < end; ++i) {
            if (items.at(i)->thumbnail().isNull())
                waiting.append(items.at(i));
        }
    }
    if (changedFolder && !waiting.isEmpty()) {
        m_updateDialog->setTotalSteps(int(waiting.size()));
        m_updateDialog->show();
    }
    loadThumbnails(waiting);
    // A dynamic album whose folder changed holds new rows: they are stored now.
    if (!album->isSmart() && !album->isHeldInMemory() && album->isDirty()) {
        m_page->storeAlbum(album);
        m_page->updateAlbumPanel();
    }
    list->setPixmapPlaylist(album);
    // The rest of a large album comes in the next passes of the event loop.
    if (m_nextRow < m_openRows.count())
        m_openTimer->start();
}

QList<KivViewItem *> PictureCommands::appendRecords(int least, int most)
{
    QList<KivViewItem *> waiting;
    const int end = qMin(m_openRows.count(), m_nextRow + most);
    const int leastEnd = m_nextRow + least;
    QElapsedTimer slice;
    slice.start();
    for (; m_nextRow < end; ++m_nextRow) {
        if (m_nextRow >= leastEnd && m_nextRow % 32 == 0 && slice.elapsed() >= BatchMs)
            break;
        KivViewItem *record = recordFor(m_open, m_openRows, m_nextRow, m_owners);
        bool cached = false;
        if (m_openCache) {
            const auto found = m_cachedThumbs.constFind(record->fileName());
            // A picture changed since it was cached gets a new thumbnail.
            if (found != m_cachedThumbs.cend() && found->time.isValid()
                && QFileInfo(record->picturePath()).lastModified() <= found->time) {
                record->setThumbnail(found->pixmap);
                record->setFileTime(found->time);
                cached = true;
            }
        }
        if (!cached) {
            waiting.append(record);
            // A picture the folder of a dynamic album gained has no property file yet:
            // its own tags are read with its thumbnail.
            if (m_readNewTags && !record->hasProperties())
                m_readTags.insert(record);
        }
        view()->appendItem(record);
    }
    Q_EMIT m_page->Addprogress(m_nextRow);
    return waiting;
}

void PictureCommands::openNextBatch()
{
    if (!m_open || m_nextRow >= m_openRows.count())
        return;
    const int first = view()->count();
    appendRecords(32, OpenBatch);
    view()->arrange(false, m_open, first);
    if (m_nextRow < m_openRows.count())
        m_openTimer->start();
    // Records may have come into sight, or their place below it.
    m_sightTimer->start();
}

void PictureCommands::openTheRest()
{
    if (!m_open || m_nextRow >= m_openRows.count())
        return;
    m_openTimer->stop();
    const int first = view()->count();
    const int rest = m_openRows.count() - m_nextRow;
    // Hundreds of thousands take seconds: a window shows how far they are, and Cancel
    // chooses none.
    std::unique_ptr<QProgressDialog> bar;
    if (rest >= RestProgressFrom) {
        bar = modalProgress(QStringLiteral("Choosing the %L1 pictures of the album...").arg(m_openRows.count()),
                            m_openRows.count(), QStringLiteral("choose progress"));
    }
    PlayList *const album = m_open;
    while (m_open == album && m_nextRow < m_openRows.count()) {
        // Without a window, all at once; with one, a slice between its repaints.
        appendRecords(bar ? 0 : rest, bar ? OpenBatch : rest);
        if (!bar)
            continue;
        bar->setValue(m_nextRow);
        QCoreApplication::processEvents();
        if (bar->wasCanceled()) {
            view()->refuseSelectAll();
            break;
        }
    }
    closeProgress(bar.get());
    // Another album opened meanwhile (the catalogue changed under the window): none of
    // its pictures was asked for.
    if (m_open != album) {
        view()->refuseSelectAll();
        return;
    }
    view()->arrange(false, m_open, first);
    m_sightTimer->start();
    // Cancelled: the rest comes as before, a slice at a time.
    if (m_nextRow < m_openRows.count())
        m_openTimer->start();
}

void PictureCommands::thumbnailReady(int index, const QImage &image, const QSize &size, const QDateTime &time,
                                     bool made, const TagMetadata::Tags &tags)
{
    if (index < 0 || index >= m_waiting.size())
        return;
    KivViewItem *record = m_waiting.at(index);
    if (made && !tags.isEmpty() && m_open && record->ownerAlbum() == m_open
        && !TagMetadata::applyToRecord(*record, tags, false).isEmpty()) {
        m_open->updateRow(record);
        if (!m_tagged.contains(record))
            m_tagged.append(record);
        if (record == m_page->currentItem())
            m_page->setCurrentItemProperty(record);
    }
    // Missing pictures share one blank thumbnail.
    static const QImage blank = ThumbnailMaker::blank();
    const bool isBlank = image.cacheKey() == blank.cacheKey();
    record->setThumbnail(isBlank ? PlayList::missingThumbnail() : QPixmap::fromImage(image));
    if (!isBlank)
        m_held.append(record);
    if (made)
        record->setFormat(QString::number(size.width()) + QLatin1Char('*') + QString::number(size.height()));
    if (time.isValid())
        record->setFileTime(time);
    if (m_open && m_page->pref() && m_page->pref()->albumCache() && !m_open->isSmart()
        && !m_cachedOnce.contains(record)) {
        m_cachedOnce.insert(record);
        m_open->thumbCache().append({record->thumbnail(), record->fileName(), record->fileTime()});
    }
    if (auto *dialog = m_updateDialog; dialog->isVisible())
        dialog->addPhoto(record);
    view()->repaintItem(record);
    // A picture chosen before its thumbnail came (one opened from the command line) is
    // drawn in the tray now.
    if (m_page->tray()->contains(record))
        m_page->tray()->viewport()->update();
    if (index == 0 && m_open)
        m_page->albumList()->setPixmapPlaylist(m_open);
}

void PictureCommands::loadThumbnails(const QList<KivViewItem *> &records)
{
    m_waiting = records;
    QList<ThumbnailLoader::Job> jobs;
    jobs.reserve(records.size());
    for (KivViewItem *record : records)
        jobs.append({record->thumbnailPath(), record->picturePath(), m_readTags.contains(record), m_fastThumbs});
    m_loader.start(jobs);
}

void PictureCommands::loadThumbnailsInSight()
{
    const QList<KivViewItem *> &items = view()->items();
    if (!m_open || items.size() <= 2 * LoadAround)
        return;
    const int count = int(items.size());
    const int first = qMin(view()->firstIndexInSight(), count - 1);
    const int from = qMax(0, first - LoadAround);
    const int to = qMin(count, first + view()->cellsInSight() + LoadAround);
    // Far from sight, thumbnails are let go once too many are held; the tray's and the
    // current picture's stay.
    if (m_held.size() > MaxHeld) {
        const QSet<KivViewItem *> near(items.begin() + from, items.begin() + to);
        const QSet<const KivViewItem *> inTray = m_page->tray()->recordSet();
        KivViewItem *current = view()->currentItem();
        QList<KivViewItem *> kept;
        for (KivViewItem *record : std::as_const(m_held)) {
            if (near.contains(record) || record == current || inTray.contains(record))
                kept.append(record);
            else
                record->setThumbnail(QPixmap());
        }
        m_held = kept;
    }
    // Those in sight first, then those below, then those above.
    QList<KivViewItem *> wanted;
    for (int i = first; i < to; ++i) {
        if (items.at(i)->thumbnail().isNull())
            wanted.append(items.at(i));
    }
    for (int i = first - 1; i >= from; --i) {
        if (items.at(i)->thumbnail().isNull())
            wanted.append(items.at(i));
    }
    // Already on their way: the loader goes on undisturbed.
    if (m_loader.isRunning()) {
        const QSet<KivViewItem *> coming(m_waiting.begin(), m_waiting.end());
        if (std::all_of(wanted.begin(), wanted.end(), [&coming](KivViewItem *r) { return coming.contains(r); }))
            return;
    }
    if (!wanted.isEmpty())
        loadThumbnails(wanted);
}

void PictureCommands::storeTagged()
{
    if (m_tagged.isEmpty() || !m_open)
        return;
    // Not in the middle of another change (a batch of tags whose progress shows).
    if (CatalogueSave::changeRunning()) {
        QTimer::singleShot(100, this, &PictureCommands::storeTagged);
        return;
    }
    const QList<const KivViewItem *> records(m_tagged.cbegin(), m_tagged.cend());
    m_tagged.clear();
    for (const KivViewItem *record : records) {
        if (const auto *photo = dynamic_cast<const PhotoItem *>(record))
            m_page->rememberPersons(NameList::persons(photo->personInit()));
    }
    // The property files hold what the album rows cannot (date, place, event).
    const QString error = CatalogueSave::propertiesAndAlbums(records, {m_open}, m_page->getDataBase());
    m_page->albumList()->setPixmapPlaylist(m_open);
    m_page->updateAlbumPanel();
    m_page->reportSaveError(error);
}

bool PictureCommands::albumChanged(PlayList *album)
{
    const bool stored = m_page->storeAlbum(album);
    m_page->albumList()->setPixmapPlaylist(album);
    m_page->updateAlbumPanel();
    return stored;
}

void PictureCommands::addItems()
{
    PlayList *album = m_page->currentAlbum();
    if (!takesPictures(album))
        return;
    QString start;
    if (auto *dynamic = dynamic_cast<DirectoryPlaylist *>(album))
        start = dynamic->from();
    const QStringList files = m_page->prompter()->openFileNames(
        m_page, QStringLiteral("Choose a picture to add into your album"), start, kPictureFilter);
    if (files.isEmpty())
        return;
    addFilesTo(album, files, QStringLiteral("Unable to add this photo.\nA photo already have this filename."));
}

void PictureCommands::addFilesTo(PlayList *album, const QStringList &files, const QString &duplicateText)
{
    if (!takesPictures(album))
        return;
    const bool fast = !m_page->pref() || m_page->pref()->fastThumbs();
    AlbumAdd::Result added = AlbumAdd::addFiles(album, files, fast, *m_page->prompter(), m_page, duplicateText);
    showAdded(album, added);
}

void PictureCommands::showAdded(PlayList *album, AlbumAdd::Result &added)
{
    m_page->reportSaveError(added.saveError);
    // Persons the pictures' metadata named join the list of persons.
    for (const auto &photo : added.added)
        m_page->rememberPersons(NameList::persons(photo->personInit()));
    if (album == m_open) {
        for (auto &photo : added.added)
            view()->appendItem(adopt(std::move(photo)));
        view()->arrange(false, album);
    }
    m_page->albumList()->setPixmapPlaylist(album);
    m_page->updateAlbumPanel();
}

void PictureCommands::addFiles(const QStringList &files, KivViewItem *target)
{
    PlayList *album = m_page->currentAlbum();
    if (!album)
        return;
    // Pictures dragged within the album they come from are reordered, not added again.
    if (album == m_open && files.size() == 1) {
        if (KivViewItem *dragged = view()->itemByPath(files.first())) {
            if (target && target != dragged && !album->isSmart() && !album->isHeldInMemory()) {
                album->moveRow(dragged, target);
                m_page->storeAlbum(album);
                openAlbum(album);
            }
            return;
        }
    }
    addFilesTo(album, files, QString());
}

void PictureCommands::addImage(const QImage &image)
{
    auto *dynamic = dynamic_cast<DirectoryPlaylist *>(m_page->currentAlbum());
    if (!dynamic) {
        m_page->prompter()->information(
            m_page, QStringLiteral("Unable to add this photo.\nSelect a Dynamic Album in the AlbumBay first."));
        return;
    }
    const QString path = dynamic->from() + QStringLiteral("/Import-")
                         + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss-zzz"))
                         + QStringLiteral(".png");
    if (!savePicture(image, path)) {
        m_page->prompter()->warning(m_page, QStringLiteral("Unable to save this picture in :\n") + dynamic->from());
        return;
    }
    addFilesTo(dynamic, {path}, QString());
}

void PictureCommands::insertPicture(const QString &albumFolder, const QString &fileName, const QString &sourceFolder,
                                    bool fast, PlayList *album)
{
    if (!album || album != m_open)
        return;
    auto photo = std::make_unique<PhotoItem>(fileName);
    photo->setAlbumFolder(albumFolder);
    photo->setFileName(fileName);
    photo->setSourceFolder(sourceFolder);
    photo->setOwnerAlbum(album);
    photo->readProperties();
    if (QFileInfo::exists(photo->thumbnailPath()))
        photo->setThumbnail(QPixmap(photo->thumbnailPath()));
    else
        photo->makeThumbnail(fast);
    view()->appendItem(adopt(std::move(photo)));
    view()->arrange(false, album);
}

void PictureCommands::copy()
{
    KivViewItem *item = m_page->currentItem();
    if (!item)
        return;
    for (auto &record : m_records)
        if (record->isCopied()) {
            record->setCopied(false);
            view()->repaintItem(record.get());
        }
    item->setCopied(true);
    m_copiedFolder = item->sourceFolder();
    m_copiedFile = item->fileName();
    m_copiedAlbumId = m_page->currentAlbum() ? m_page->currentAlbum()->kivDir() : QString();
    m_page->setPasteMark(true);
    view()->repaintItem(item);
    const QImage picture(item->picturePath());
    if (!picture.isNull()) {
        m_settingClipboard = true;
        QApplication::clipboard()->setImage(picture);
        m_settingClipboard = false;
    }
}

void PictureCommands::forgetCopy()
{
    for (auto &record : m_records)
        if (record->isCopied()) {
            record->setCopied(false);
            view()->repaintItem(record.get());
        }
    m_copiedFolder.clear();
    m_copiedFile.clear();
    m_copiedAlbumId.clear();
}

void PictureCommands::clearClipboard()
{
    forgetCopy();
    m_page->setPasteMark(false);
    m_settingClipboard = true;
    QApplication::clipboard()->clear();
    m_settingClipboard = false;
}

QImage PictureCommands::clipboardImage()
{
    // A photograph copied whole in another program may be larger than what Qt decodes
    // by default (128 MB of pixels): up to 1 GB (16,000 x 16,000) is taken.
    const int limit = QImageReader::allocationLimit();
    QImageReader::setAllocationLimit(qMax(limit, 1024));
    const QImage image = QApplication::clipboard()->image();
    QImageReader::setAllocationLimit(limit);
    return image;
}

void PictureCommands::paste()
{
    PlayList *album = m_page->currentAlbum();
    Prompter *prompter = m_page->prompter();
    if (hasCopy()) {
        if (!takesPictures(album))
            return;
        if (album->indexOfFile(m_copiedFile) >= 0) {
            prompter->information(m_page, QStringLiteral("You can't copy this picture here.Another picture have the "
                                                         "same name\n"));
            return;
        }
        if (album->kivDir() == m_copiedAlbumId) {
            prompter->information(m_page, QStringLiteral("You cannot copy a file in the same album\n"));
            return;
        }
        addFilesTo(album, {QDir(m_copiedFolder).filePath(m_copiedFile)}, QString());
        clearClipboard();
        return;
    }
    const QImage image = clipboardImage();
    if (image.isNull()) {
        prompter->information(m_page, QStringLiteral("You need to copy a file before, click the copy button on a "
                                                     "picture\n"));
        return;
    }
    if (!takesPictures(album))
        return;
    // Offered in the album's own folder: a dynamic album's, else where its first picture is.
    QString start;
    if (auto *dynamic = dynamic_cast<DirectoryPlaylist *>(album))
        start = dynamic->from();
    else if (album->rowCount() > 0)
        start = album->rowTable().fieldText(0, AlbumRows::Folder);
    QString filter;
    const QString chosen = prompter->saveFileNameAndFilter(
        m_page, QStringLiteral("Choose a filename to save the photo in your clipboard"), start,
        QStringLiteral("JPG File (*.jpg);;BMP file (*.bmp);;GIF File(*.Gif);;PNG File (*.png);;MNG File (*.mng);;"
                       "XBM File (*.xbm);;XPM File (*.xpm);;PNM File (*.pnm)"),
        &filter);
    if (chosen.isEmpty())
        return;
    // A name typed without its type takes the one of the chosen entry.
    const QString path = AmbrioMainWindow::convertedName(chosen, filter);
    if (album->indexOfFile(QFileInfo(path).fileName()) >= 0) {
        prompter->information(m_page, QStringLiteral("Unable to add this photo.\nA photo already have this filename."));
        return;
    }
    if (!savePicture(image, path)) {
        prompter->warning(m_page, QStringLiteral("Unable to save the picture of the clipboard in :\n") + path);
        return;
    }
    const int before = album->rowCount();
    addFilesTo(album, {path}, QString());
    if (album->rowCount() > before) {
        // The new picture says where it came from.
        for (auto &record : m_records) {
            if (record->fileName() == QFileInfo(path).fileName() && record->ownerAlbum() == album) {
                record->setFrom(QStringLiteral("From Clipboard"));
                saveRecord(record.get());
            }
        }
    }
}

bool PictureCommands::removeOne(KivViewItem *item)
{
    PlayList *album = m_page->currentAlbum();
    if (!item || !album || album->isSmart() || album->isHeldInMemory())
        return false;
    if (!takeOut(item, album))
        return false;
    if (albumChanged(album))
        forgetThumbnails(album, {item});
    return true;
}

bool PictureCommands::takeOut(KivViewItem *item, PlayList *album)
{
    if (!album->removeRecord(item)) {
        if (album->indexOfFile(item->fileName()) >= 0) {
            m_page->prompter()->warning(m_page, QStringLiteral("Unable to remove this picture.\nThe file could not be "
                                                               "deleted :\n") + item->picturePath());
        }
        return false;
    }
    view()->removeItem(item);
    m_page->tray()->remove(item);
    if (m_page->currentItem() == item)
        m_page->clearCurrentItem();
    // The panel no longer shows the picture that is gone.
    if (!m_page->currentItem())
        m_page->showUpdateToolBay();
    return true;
}

void PictureCommands::forgetThumbnails(PlayList *album, const QList<KivViewItem *> &removed)
{
    for (const KivViewItem *item : removed) {
        if (album->indexOfFile(item->fileName()) >= 0)
            continue;
        item->removeThumbnail();
    }
}

void PictureCommands::removeSelected()
{
    PlayList *album = m_page->currentAlbum();
    KivViewItem *current = m_page->currentItem();
    if (!current || !album || album->isSmart() || album->isHeldInMemory())
        return;
    if (!isPlainAlbum(album)) {
        const int answer = m_page->prompter()->message(
            m_page, {Prompter::Icon::Critical, QStringLiteral("Vellaro"),
                     QStringLiteral("Becare it's a DyrectoryPlaylist\nRemove Function will remove the real file "
                                    "selected<it's not virtual>"),
                     {QStringLiteral("Ok"), QStringLiteral("Cancel")}, 1, 1});
        if (answer != 0)
            return;
    }
    QList<KivViewItem *> selected = view()->selectedItems();
    if (selected.size() < 2)
        selected = {current};
    else
        view()->clearSelection();
    // The album is stored once, without every picture taken out.
    QList<KivViewItem *> removed;
    for (KivViewItem *item : std::as_const(selected)) {
        if (takeOut(item, album))
            removed << item;
    }
    if (!removed.isEmpty() && albumChanged(album))
        forgetThumbnails(album, removed);
    view()->arrange(false, album);
    view()->viewport()->update();
}

void PictureCommands::rename()
{
    PlayList *album = m_page->currentAlbum();
    KivViewItem *item = m_page->currentItem();
    if (!album || !item)
        return;
    // A result lists pictures of other albums, and is not told of a rename: the picture
    // is renamed where it is catalogued.
    if (album->isSmart()) {
        const PlayList *owner = item->ownerAlbum() != album ? item->ownerAlbum() : nullptr;
        m_page->prompter()->information(
            m_page, QStringLiteral("A picture is renamed in the album that holds it, not in a search result.\n")
                        + (owner ? QStringLiteral("Open the album \"%1\" and rename it there.").arg(owner->title())
                                 : QStringLiteral("Open the album that holds it and rename it there.")));
        return;
    }
    if (album->isHeldInMemory()) {
        m_page->prompter()->information(m_page, heldPictureMessage());
        return;
    }
    QDialog dialog(m_page);
    Ui::RenameItemBase form;
    form.setupUi(&dialog);
    form.textLabelOldName->setText(item->fileName());
    form.lineEditNewFilename->setText(item->fileName());
    connect(form.buttonOk, &QPushButton::clicked, &dialog, &QDialog::accept);
    connect(form.buttonCancel, &QPushButton::clicked, &dialog, &QDialog::reject);
    if (m_page->prompter()->exec(&dialog) != QDialog::Accepted)
        return;
    const QString newName = form.lineEditNewFilename->text();
    if (newName == item->fileName())
        return;
    // The file itself is renamed: every album naming it (same folder, same name) follows.
    const PictureRename::Result result = PictureRename::rename(
        item, album, CatalogueLoader::storedAlbums(m_page->albumList()), newName, m_page->getDataBase());
    if (!result.renamed) {
        if (!result.message.isEmpty())
            m_page->prompter()->information(m_page, result.message);
        return;
    }
    view()->repaintItem(item);
    // The panel shows the new name at once.
    Q_EMIT m_page->updateProperty(item);
}

void PictureCommands::move(bool up)
{
    PlayList *album = m_page->currentAlbum();
    KivViewItem *item = m_page->currentItem();
    if (!album || !item || album->isSmart() || album->isHeldInMemory())
        return;
    KivViewItem *other = up ? view()->previousItem(item) : view()->nextItem(item);
    if (!other)
        return;
    if (up)
        view()->moveUp(item, other);
    else
        view()->moveDown(item, other);
    album->swapRows(item, other);
    m_page->storeAlbum(album);
    m_page->albumList()->setPixmapPlaylist(album);
}

QString PictureCommands::heldPictureMessage()
{
    return QStringLiteral("These pictures were opened from outside the catalogue, so what is typed here cannot be "
                          "kept.\nDrag a picture onto an album of the list (or put it in the tray and press \"To "
                          "Album\"),\nor open the album that holds it, and tag it there.");
}

bool PictureCommands::saveRecord(KivViewItem *item)
{
    if (!item)
        return false;
    // The property file and the album row are written together: when the album cannot
    // be written, the property file is put back, so the two never disagree.
    PlayList *album = item->ownerAlbum();
    if (album && album->isHeldInMemory()) {
        m_page->prompter()->information(m_page, heldPictureMessage());
        return false;
    }
    QList<PlayList *> albums;
    // What is stored of the picture, for a change that is not kept: its row in memory
    // must not keep it either, or the album's next save would write it.
    std::unique_ptr<PhotoItem> stored;
    if (album && !album->isSmart()) {
        const int index = album->indexOfFile(item->fileName());
        if (index >= 0)
            stored = album->recordAt(index);
        album->updateRow(item);
        albums << album;
    }
    const QString error = CatalogueSave::propertiesAndAlbums({item}, albums, m_page->getDataBase());
    if (!error.isEmpty()) {
        if (stored)
            item->setTagLines(stored->tagLines());
        else if (QFileInfo::exists(item->propertyReadPath()))
            item->readProperties();
        if (!albums.isEmpty())
            album->updateRow(item);
    }
    if (!albums.isEmpty()) {
        m_page->albumList()->setPixmapPlaylist(album);
        m_page->updateAlbumPanel();
    }
    view()->repaintItem(item);
    m_page->reportSaveError(error);
    if (error.isEmpty())
        m_page->tagsChanged(*item);
    return error.isEmpty();
}

std::unique_ptr<QProgressDialog> PictureCommands::tagProgress(qsizetype count) const
{
    if (count < kProgressFrom)
        return nullptr;
    return modalProgress(QStringLiteral("Saving the tags of %L1 pictures...").arg(count), int(2 * count),
                         QStringLiteral("tag progress"));
}

std::unique_ptr<QProgressDialog> PictureCommands::modalProgress(const QString &text, int maximum,
                                                                const QString &name) const
{
    auto bar = std::make_unique<QProgressDialog>(text, QStringLiteral("&Cancel"), 0, maximum, m_page);
    bar->setObjectName(name);
    bar->setWindowTitle(QStringLiteral("Vellaro"));
    // Nothing else of the program takes input meanwhile, in any of its windows.
    bar->setWindowModality(Qt::ApplicationModal);
    bar->setMinimumDuration(ProgressDelay);
    bar->setAutoClose(false);
    bar->setAutoReset(false);
    bar->setValue(0);
    return bar;
}

bool PictureCommands::saveRecords(const QList<KivViewItem *> &records, const QList<QByteArray> &before,
                                  QProgressDialog *given)
{
    Q_ASSERT(before.size() == records.size());
    QList<const KivViewItem *> written;
    QList<PlayList *> albums;
    QSet<PlayList *> seen;
    for (KivViewItem *item : records) {
        PlayList *album = item->ownerAlbum();
        if (album && album->isHeldInMemory()) {
            closeProgress(given);
            m_page->prompter()->information(m_page, heldPictureMessage());
            for (qsizetype i = 0; i < records.size(); ++i)
                records.at(i)->setPackedTagLines(before.at(i));
            return false;
        }
        written << item;
        if (album && !album->isSmart() && !seen.contains(album)) {
            seen.insert(album);
            albums << album;
        }
    }
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    for (KivViewItem *item : records) {
        item->setModified(true);
        if (seen.contains(item->ownerAlbum()))
            item->ownerAlbum()->updateRow(item);
    }
    // Thousands of pictures take seconds: a bar shows how far the files are, and Cancel
    // stops before any is changed.
    std::unique_ptr<QProgressDialog> own;
    QProgressDialog *bar = given;
    if (!bar) {
        own = tagProgress(records.size());
        bar = own.get();
    }
    CatalogueSave::Progress progress;
    // Files prepared for the change and removed again when it is undone: the bar counts
    // them, then the pictures shown as they were.
    qsizetype dropped = 0;
    if (bar) {
        progress = [bar, &dropped, finishing = false, count = records.size()](
                       CatalogueSave::Stage stage, qsizetype done, qsizetype total) mutable {
            if (stage == CatalogueSave::Stage::Writing) {
                // Every file is staged and the disk takes them: past the point of
                // cancelling. The bar runs while the disk flushes, then counts the files
                // that hold their new version.
                if (!finishing) {
                    finishing = true;
                    bar->setLabelText(QStringLiteral("Writing the tags of %L1 pictures to the disk...").arg(count));
                    bar->setCancelButton(nullptr);
                    bar->setRange(0, 0);
                }
                if (done > 0) {
                    if (bar->maximum() != int(total))
                        bar->setRange(0, int(total));
                    bar->setValue(int(done));
                }
                QCoreApplication::processEvents();
                return true;
            }
            if (stage == CatalogueSave::Stage::Dropping) {
                // Cancelled or failed before anything changed: the files prepared for the
                // change go. Cancel hid the window: it comes back, saying so, and nothing
                // else takes input until they are gone.
                if (dropped == 0) {
                    dropped = total;
                    bar->setLabelText(undoingText(count));
                    bar->setCancelButton(nullptr);
                    bar->setRange(0, int(total + count));
                    bar->show();
                }
                bar->setValue(int(done));
                QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
                return true;
            }
            if (done % 32 == 0 || done == total)
                bar->setValue(int(count + done));
            // Every file is staged, the albums and the index follow: the bar stands full,
            // and the window still answers (Cancel above all) until the writing begins.
            if (done == total)
                QCoreApplication::processEvents();
            return !bar->wasCanceled();
        };
    }
    bool cancelled = false;
    // Cancelled while the records were prepared: nothing is written.
    if (bar && bar->wasCanceled())
        cancelled = true;
    const QString error = cancelled ? QString()
                                    : CatalogueSave::propertiesAndAlbums(written, albums, m_page->getDataBase(),
                                                                         progress, &cancelled);
    // Nothing was kept: the records and the rows show what is on disk again. A change
    // cancelled never reached the disk, which holds what the records were read as just
    // before it; a failed one is read again, or, for a picture never tagged (no property
    // file), shows what it showed before. Thousands of pictures take a while: the window
    // stays, saying so and how far it is, and the program takes no input meanwhile.
    const bool undone = !error.isEmpty() || cancelled;
    const bool telling = undone && bar;  // a bar is made for many pictures only
    if (telling) {
        bar->setLabelText(undoingText(records.size()));
        bar->setCancelButton(nullptr);
        bar->setRange(0, int(dropped + records.size()));
        bar->show();
    }
    for (qsizetype i = 0; i < records.size(); ++i) {
        KivViewItem *item = records.at(i);
        item->setModified(false);
        if (!undone)
            continue;
        if (cancelled) {
            item->setPackedTagLines(before.at(i));
        } else {
            const bool stored = QFileInfo::exists(item->propertyReadPath());
            if (stored)
                item->readProperties();
            if (!stored || !item->propertiesDamage().isEmpty())
                item->setPackedTagLines(before.at(i));
        }
        if (seen.contains(item->ownerAlbum()))
            item->ownerAlbum()->updateRow(item);
        if (telling && i % 256 == 0) {
            bar->setValue(int(dropped + i));
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        }
    }
    own.reset();
    closeProgress(given);
    for (PlayList *album : std::as_const(albums))
        m_page->albumList()->setPixmapPlaylist(album);
    if (!albums.isEmpty())
        m_page->updateAlbumPanel();
    view()->viewport()->update();
    QGuiApplication::restoreOverrideCursor();
    m_page->reportSaveError(error);
    if (error.isEmpty() && !cancelled) {
        for (const KivViewItem *item : records)
            m_page->tagsChanged(*item);
    }
    return error.isEmpty() && !cancelled;
}

void PictureCommands::changeLove(int delta)
{
    FavoritesWidget *hearts = m_page->hearts();
    const int love = hearts->value() + delta;
    if (love < 0 || love > 5)
        return;
    // The buttons beside the hearts move the hearts, then store what they show.
    hearts->setValue(love);
    heartsChanged();
}

void PictureCommands::heartsChanged()
{
    if (m_page->tray()->count() <= 1 && !m_page->currentItem())
        return;
    // Stored as the panel stores a field: for the current picture, or for every picture
    // of the tray; Favorites follows a change of love.
    FavoritesWidget *hearts = m_page->hearts();
    const int shown = hearts->value();
    hearts->setChanged(true);
    // Not kept (refused, failed, cancelled, or held in memory): the panel shows what is
    // stored again. Kept: what is stored is what the hearts show (no love reads as one),
    // and leaving them writes nothing more.
    if (m_page->SaveNewProperty())
        hearts->setValue(qMax(1, shown));
    hearts->setChanged(false);
}

void PictureCommands::toFavorites()
{
    KivViewItem *item = m_page->currentItem();
    if (!item)
        return;
    item->setLove(5);
    saveRecord(item);
    // The panel's hearts show it too, or the next field saved would write them back.
    m_page->hearts()->setValue(item->love());
    m_page->hearts()->setChanged(false);
}

void PictureCommands::setBadge(int id)
{
    KivViewItem *item = m_page->currentItem();
    if (!item)
        return;
    item->setUserBadge(id == 7 ? -1 : id);
    saveRecord(item);
}
