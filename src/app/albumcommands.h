#pragma once

#include <QString>

class AmbrioMainWindow;
class DirectoryPlaylist;
class PlayList;
class QTreeWidgetItem;

// The album commands of the organiser page: making, removing, emptying, refreshing
// and re-binding albums, with their questions and their effects on the catalogue
// files and on the user's files.
class AlbumCommands
{
public:
    explicit AlbumCommands(AmbrioMainWindow *page)
        : m_page(page)
    {
    }

    void newAlbum();
    void newDynamicAlbum();
    // Picture folders the locator found become dynamic albums, last in the list and not
    // opened; folders skipped by the user, already albums, or named so that they cannot
    // be catalogued are passed over. False when they could not be stored (told, and
    // none of them stays).
    bool addFoundFolders(const QStringList &folders);
    void newGroup();
    // The album commands act on the album given: the one right-clicked, or the open one.
    void removeAlbum(PlayList *album);
    // Removes the album from the library index, then its catalogue files; false (and
    // nothing removed) when the index cannot be written.
    bool removeAlbumFiles(PlayList *album);
    void clearAlbum(PlayList *album);
    void refreshAlbum(PlayList *album);
    void changeFolder();
    void showHelp();
    void locateOnDisk();

    // Whether a dynamic album bound to `folder` is stored in the catalogue folder.
    bool dynamicAlbumExists(const QString &folder) const;

private:
    // Asks a name with the name dialog; empty when cancelled or refused.
    QString askName(const QString &label);
    // Places a new album in the list, the year view and the library index, writes its
    // file and the index, and selects it.
    // Stores a new album and opens it (or only stores it, when `open` is false); false
    // when it could not be written (told, and the album is gone).
    bool store(PlayList *album, const QString &title, bool open = true, bool atEnd = false);
    void rebindAndRefresh(DirectoryPlaylist *album, const QString &folder);
    // A new dynamic album for a folder the locator found, not stored yet; none when the
    // folder is to be passed over.
    DirectoryPlaylist *foundAlbum(const QString &folder) const;
    // Tells which files of the folder a rescan could not catalogue.
    void reportSkipped(const DirectoryPlaylist *album);

    AmbrioMainWindow *m_page;
};
