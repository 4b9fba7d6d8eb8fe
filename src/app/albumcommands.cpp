#include "albumcommands.h"

#include "ui_addalbumhelpbase.h"
#include "ui_enternamebase.h"

#include "ambriomainwindow.h"
#include "cataloguesave.h"
#include "cataloguetext.h"
#include "directoryplaylist.h"
#include "kivviewitem.h"
#include "librarylist.h"
#include "namelist.h"
#include "picturecommands.h"
#include "pixmaplookup.h"
#include "playlistgroup.h"
#include "prompter.h"
#include "traybarphoto.h"

#include <QDateTime>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <cstdio>

namespace {

QString withoutTrailingSeparator(QString folder)
{
    folder = QDir::fromNativeSeparators(folder);
    while (folder.size() > 1 && folder.endsWith(QLatin1Char('/')))
        folder.chop(1);
    return folder;
}

} // namespace

QString AlbumCommands::askName(const QString &label)
{
    QDialog dialog(m_page);
    Ui::EnterNameBase form;
    form.setupUi(&dialog);
    form.buttonOk->setIcon(QIcon(kivPixmap(QStringLiteral("button_ok.png"))));
    form.buttonCancel->setIcon(QIcon(kivPixmap(QStringLiteral("button_cancel.png"))));
    QObject::connect(form.buttonOk, &QPushButton::clicked, &dialog, &QDialog::accept);
    QObject::connect(form.buttonCancel, &QPushButton::clicked, &dialog, &QDialog::reject);
    if (!label.isEmpty())
        form.textLabelName->setText(label);
    if (m_page->prompter()->exec(&dialog) != QDialog::Accepted)
        return {};
    const QString name = form.lineEditName->text();
    const QString refusal = CatalogueText::albumNameRefusal(name);
    if (!refusal.isEmpty()) {
        m_page->prompter()->information(m_page, refusal);
        return {};
    }
    return name;
}

bool AlbumCommands::store(PlayList *album, const QString &title, bool open, bool atEnd)
{
    libraryList *list = m_page->albumList();
    album->setContext(&m_page->m_context);
    album->setFreshId(QDateTime::currentDateTime());
    album->setKivDir(album->id());
    album->setTitle(title);
    album->setText(1, title);
    album->setCreationDate(QDate::currentDate());
    list->setPixmapPlaylist(album);
    list->insertIntoYearView(album);
    m_page->m_library.insertAlbum(album, atEnd ? nullptr : m_page->m_currentAlbum);
    // The album file holds the creation date the year view files the album under.
    album->setDirty(true);
    const QString error = CatalogueSave::albumAndIndex(album, &m_page->m_library);
    if (!error.isEmpty()) {
        // Not stored: the album is not shown as if it were. Taken out before the message,
        // whose wait lets other work write the index.
        m_page->m_library.removeAlbum(album);
        m_page->m_library.setDirty(false);
        QDir().rmdir(album->albumFolder());
        delete album;
        list->removeEmptyYearRow();
        m_page->reportSaveError(error);
        return false;
    }
    if (open)
        m_page->slot_selectLibrary(album);
    return true;
}

void AlbumCommands::newAlbum()
{
    const QString name = askName(QString());
    if (name.isEmpty())
        return;
    libraryList *list = m_page->albumList();
    QTreeWidgetItem *after = m_page->m_currentAlbum;
    if (!after && list->topLevelItemCount() > 0)
        after = list->topLevelItem(list->topLevelItemCount() - 1);
    auto *album = after && !after->parent() ? new PlayList(list, after) : new PlayList(list);
    album->setName(name);
    store(album, name);
}

void AlbumCommands::newGroup()
{
    const QString name = askName(QStringLiteral("Enter the new Group name :"));
    if (name.isEmpty())
        return;
    auto *group = new PlayListGroup(m_page->albumList());
    group->setName(name);
    store(group, name);
}

bool AlbumCommands::dynamicAlbumExists(const QString &folder) const
{
    const QDir catalogue(m_page->m_context.folder);
    for (const QString &name : catalogue.entryList({QStringLiteral("*.dir")}, QDir::Files)) {
        DirectoryPlaylist stored;
        if (stored.load(catalogue.filePath(name)) && withoutTrailingSeparator(stored.from()) == folder)
            return true;
    }
    return false;
}

void AlbumCommands::newDynamicAlbum()
{
    QString start;
    if (auto *current = dynamic_cast<DirectoryPlaylist *>(m_page->m_currentAlbum))
        start = QFileInfo(current->from()).absolutePath();
    if (start.isEmpty())
        start = QDir::homePath();
    const QString chosen = m_page->prompter()->existingDirectory(m_page, QStringLiteral("Choose a directory"), start);
    if (chosen.isEmpty())
        return;
    const QString folder = withoutTrailingSeparator(chosen);
    if (dynamicAlbumExists(folder)) {
        m_page->prompter()->information(
            m_page, QStringLiteral("Unable to add this dynamic album.\nthis album is already in the database"));
        return;
    }
    const QString name = QFileInfo(folder).fileName();
    // The name comes from the folder, not from typing: a "," is kept (the library
    // index reads it back), but "|" or a line end could not stand in the album's rows.
    QString refusal = DirectoryPlaylist::folderRefusal(folder);
    if (refusal.isEmpty())
        refusal = CatalogueText::folderNameRefusal(name);
    if (!refusal.isEmpty()) {
        m_page->prompter()->information(m_page, refusal);
        return;
    }
    auto *album = new DirectoryPlaylist(m_page->albumList());
    album->setName(name);
    album->setFrom(folder);
    album->setContext(&m_page->m_context);
    album->rows();
    store(album, name);
}

DirectoryPlaylist *AlbumCommands::foundAlbum(const QString &found) const
{
    const QString folder = withoutTrailingSeparator(QDir::cleanPath(found));
    if (found.trimmed().isEmpty() || !QFileInfo(folder).isDir())
        return nullptr;
    // A folder the user took out of the catalogue, or one below it, stays out.
    for (const QString &hidden : std::as_const(m_page->m_hiddenDirs)) {
        const QString skipped = withoutTrailingSeparator(QDir::cleanPath(hidden));
        if (!skipped.isEmpty() && (folder == skipped || folder.startsWith(skipped + QLatin1Char('/'))))
            return nullptr;
    }
    // The same folder by another path (a link) is the same folder.
    const QString real = QFileInfo(folder).canonicalFilePath();
    for (const PlayList *album : m_page->albumList()->storedAlbums()) {
        auto *dynamic = dynamic_cast<const DirectoryPlaylist *>(album);
        if (dynamic
            && (withoutTrailingSeparator(QDir::cleanPath(dynamic->from())) == folder
                || QFileInfo(dynamic->from()).canonicalFilePath() == real))
            return nullptr;
    }
    const QString name = QFileInfo(folder).fileName();
    if (!DirectoryPlaylist::folderRefusal(folder).isEmpty() || !CatalogueText::folderNameRefusal(name).isEmpty()) {
        qWarning("the locator found a folder whose name cannot be catalogued: %s", qPrintable(folder));
        return nullptr;
    }
    auto *album = new DirectoryPlaylist(m_page->albumList());
    album->setName(name);
    album->setFrom(folder);
    return album;
}

bool AlbumCommands::addFoundFolders(const QStringList &folders)
{
    // Each album file is written as its folder comes; the library index once for them
    // all. When a write fails, none of these albums stays.
    libraryList *list = m_page->albumList();
    QList<PlayList *> made;
    QString error;
    for (const QString &folder : folders) {
        DirectoryPlaylist *album = foundAlbum(folder);
        if (!album)
            continue;
        album->setContext(&m_page->m_context);
        album->setFreshId(QDateTime::currentDateTime());
        album->setKivDir(album->id());
        album->setTitle(album->name());
        album->setText(1, album->name());
        album->setCreationDate(QDate::currentDate());
        album->rows();
        album->setBackgroundColour(QColor(220, 220, 220));
        list->setPixmapPlaylist(album);
        list->insertIntoYearView(album);
        album->setDirty(true);
        made << album;
        if (!album->save(album->kivDir())) {
            error = album->lastError().isEmpty() ? QStringLiteral("The album \"%1\" could not be written.").arg(album->name())
                                                 : album->lastError();
            error = CatalogueSave::message(error);
            break;
        }
        m_page->m_library.insertAlbum(album, nullptr);
    }
    if (made.isEmpty())
        return true;
    if (error.isEmpty() && !m_page->m_library.save())
        error = CatalogueSave::message(CatalogueSave::indexFailure(&m_page->m_library));
    if (error.isEmpty())
        return true;
    for (PlayList *album : std::as_const(made)) {
        m_page->m_library.removeAlbum(album);
        album->removeFiles();
        delete album;
    }
    m_page->m_library.setDirty(false);
    list->removeEmptyYearRow();
    m_page->reportSaveError(error);
    return false;
}

bool AlbumCommands::removeAlbumFiles(PlayList *album)
{
    if (!album)
        return false;
    m_page->m_library.removeAlbum(album);
    if (!m_page->storeAlbum(nullptr)) {
        // The index still lists the album: it stays, with its files.
        m_page->m_library.load();
        return false;
    }
    std::printf("*** Remove Album :%s\n", qPrintable(album->kivDir()));
    std::fflush(stdout);
    auto *dynamic = dynamic_cast<DirectoryPlaylist *>(album);
    if (dynamic && !dynamic->from().trimmed().isEmpty() && !m_page->m_hiddenDirs.contains(dynamic->from())) {
        // The locator must not bring the folder back as a new album.
        m_page->m_hiddenDirs << dynamic->from();
        if (!NameList::save(NameList::hiddenDirsPath(m_page->m_context.root), m_page->m_hiddenDirs))
            qWarning("the list of hidden folders could not be written");
    }
    // An invalid album's files are left alone: they may be damaged, or lead elsewhere.
    if (album->isValid())
        album->removeFiles();
    if (m_page->m_currentAlbum == album)
        m_page->m_currentAlbum = nullptr;
    // Tray pictures may belong to the album going away.
    m_page->tray()->clear();
    delete album;
    return true;
}

void AlbumCommands::removeAlbum(PlayList *album)
{
    if (!album) {
        m_page->prompter()->information(m_page, QStringLiteral("Select an album before push delete\n"));
        return;
    }
    // All Photos, Favorites, Browse By and the rest are computed: nothing to remove.
    if (!AmbrioMainWindow::isStoredAlbum(album))
        return;
    if (!m_page->prompter()->confirm(m_page, Prompter::Icon::Warning,
                                     QStringLiteral("Do you really want to remove the album \"%1\" from Vellaro ?"
                                                    "\n\n if yes, your photos still remained in your pc.")
                                         .arg(album->text(1)),
                                     QStringLiteral("Remove album")))
        return;
    libraryList *list = m_page->albumList();
    QTreeWidgetItem *above = list->itemAbove(album);
    const bool wasOpen = album == m_page->m_currentAlbum;
    if (!removeAlbumFiles(album))
        return;
    list->removeEmptyYearRow();
    // Another album than the open one: what is open stays open.
    if (!wasOpen)
        return;
    // The entry above may have been an emptied year row that is gone now.
    bool aboveStands = false;
    for (QTreeWidgetItemIterator it(list); *it && !aboveStands; ++it)
        aboveStands = *it == above;
    if (above && aboveStands && !libraryList::isYearRow(above)) {
        m_page->slot_selectLibrary(above);
    } else {
        list->clearSelection();
        m_page->slot_roll_pressed(nullptr);
    }
}

void AlbumCommands::clearAlbum(PlayList *album)
{
    if (!AmbrioMainWindow::isStoredAlbum(album) || album->className() == QLatin1String("PlayListGroup"))
        return;
    bool ok = false;
    if (auto *dynamic = dynamic_cast<DirectoryPlaylist *>(album)) {
        ok = m_page->prompter()->confirm(m_page, Prompter::Icon::Critical,
                                         QStringLiteral("Remove all picture contained in :") + dynamic->from()
                                             + QStringLiteral("\n\nThe pictures of this album are moved to the trash; "
                                                              "other files of the folder stay."),
                                         QStringLiteral("Remove all Pictures"));
    } else {
        ok = m_page->prompter()->confirm(m_page, Prompter::Icon::Information,
                                         QStringLiteral("Are you sure to clear the album \"%1\" ?\nYour picture will "
                                                        "NOT be deleted, only removed from this album")
                                             .arg(album->text(1)));
    }
    if (!ok)
        return;
    // The view and the tray let go of the pictures first: a dynamic album deletes them.
    m_page->tray()->clear();
    if (album == m_page->m_currentAlbum) {
        m_page->pictures()->closeAlbum();
        m_page->clearCurrentItem();
    }
    const bool cleared = album->clear();
    if (!cleared)
        m_page->reportSaveError(CatalogueSave::message(album->lastError()));
    else
        m_page->storeAlbum(album);
    // Where the pictures went, in so many words (the trash, or deleted where none was).
    auto *dynamic = dynamic_cast<DirectoryPlaylist *>(album);
    if (cleared && dynamic && !dynamic->clearSummary().isEmpty())
        m_page->prompter()->information(m_page, dynamic->clearSummary() + QLatin1Char('.'));
    m_page->albumList()->setPixmapPlaylist(album);
    m_page->updateAlbumPanel();
}

void AlbumCommands::refreshAlbum(PlayList *album)
{
    if (!AmbrioMainWindow::isStoredAlbum(album))
        return;
    auto *dynamic = dynamic_cast<DirectoryPlaylist *>(album);
    if (dynamic && dynamic->folderGone()) {
        if (!m_page->prompter()->confirm(m_page, Prompter::Icon::Warning,
                                         QStringLiteral("Do you really want to refresh thumbs ?\n\n if yes, you will "
                                                        "loose every previous pictures cataloged."),
                                         QStringLiteral("Refresh Thumbs")))
            return;
    }
    if (dynamic) {
        // A rescan from the folder as it is now; pictures still there keep their tags.
        dynamic->rows();
        reportSkipped(dynamic);
        m_page->storeAlbum(dynamic);
    }
    // The open album is shown again, its missing thumbnails made; another one is not opened.
    if (album == m_page->m_currentAlbum)
        m_page->slot_roll_pressed(album);
    m_page->albumList()->setPixmapPlaylist(album);
}

void AlbumCommands::rebindAndRefresh(DirectoryPlaylist *album, const QString &folder)
{
    if (const QString refusal = DirectoryPlaylist::folderRefusal(folder); !refusal.isEmpty()) {
        m_page->prompter()->information(m_page, refusal);
        return;
    }
    if (const QString refusal = album->writeRefusal(); !refusal.isEmpty()) {
        m_page->reportSaveError(CatalogueSave::message(refusal));
        return;
    }
    album->setFrom(folder);
    album->setValid(true);
    // Pictures of the same name in the new folder keep their rows and tags.
    album->setDirty(true);
    album->rows();
    reportSkipped(album);
    m_page->storeAlbum(album);
    m_page->albumList()->insertIntoYearView(album);
    m_page->albumList()->setPixmapPlaylist(album);
    m_page->slot_selectLibrary(album);
}

void AlbumCommands::reportSkipped(const DirectoryPlaylist *album)
{
    const QStringList skipped = album->skippedFiles();
    if (skipped.isEmpty())
        return;
    m_page->prompter()->warning(m_page, QStringLiteral("These files of %1 are not shown: a file name that holds "
                                                       "\"|\" or a line break cannot be catalogued.\n\n")
                                            .arg(album->from())
                                            + skipped.join(QLatin1Char('\n')));
}

void AlbumCommands::changeFolder()
{
    auto *album = dynamic_cast<DirectoryPlaylist *>(m_page->m_currentAlbum);
    if (!album)
        return;
    const QString chosen =
        m_page->prompter()->existingDirectory(m_page, QStringLiteral("Choose a directory"), album->from());
    if (chosen.isEmpty())
        return;
    rebindAndRefresh(album, withoutTrailingSeparator(chosen));
}

void AlbumCommands::showHelp()
{
    QDialog dialog(m_page);
    Ui::addAlbumHelpBase form;
    form.setupUi(&dialog);
    dialog.setObjectName(QStringLiteral("add help"));
    form.pushButtonAlbum->setIcon(QIcon(kivPixmap(QStringLiteral("playlist.png"))));
    form.pushButtonDynamic->setIcon(QIcon(kivPixmap(QStringLiteral("directory-playlist.png"))));
    form.pushButtonDynamic->setIconSize(QSize(32, 32));
    form.pushButtonAlbum->setIconSize(QSize(32, 32));
    bool album = false, dynamic = false;
    QObject::connect(form.pushButtonAlbum, &QPushButton::clicked, &dialog, [&] {
        album = true;
        dialog.accept();
    });
    QObject::connect(form.pushButtonDynamic, &QPushButton::clicked, &dialog, [&] {
        dynamic = true;
        dialog.accept();
    });
    QObject::connect(form.pushButtonClose, &QPushButton::clicked, &dialog, &QDialog::reject);
    m_page->prompter()->exec(&dialog);
    if (album)
        newAlbum();
    else if (dynamic)
        newDynamicAlbum();
}

void AlbumCommands::locateOnDisk()
{
    QString folder;
    if (auto *dynamic = dynamic_cast<DirectoryPlaylist *>(m_page->m_currentAlbum))
        folder = dynamic->from();
    else if (m_page->m_currentItem)
        folder = m_page->m_currentItem->sourceFolder();
    if (folder.isEmpty() || !m_page->m_openUrl)
        return;
    m_page->m_openUrl(QUrl::fromLocalFile(folder));
}
