#pragma once

#include "albumadd.h"
#include "playlist.h"
#include "thumbnailloader.h"

#include <QHash>
#include <QObject>
#include <QSet>
#include <QTimer>
#include <QPointer>
#include <memory>
#include <vector>

class QProgressDialog;
class AmbrioMainWindow;
class KivViewItem;
class PlayList;
class SmartPlaylist;
class thumbsView;
class updateThumbsDialog;

// The organiser page's picture commands and the opening of albums into the thumbnail
// view. It owns the records of the album shown; the view keeps pointers to them.
class PictureCommands : public QObject
{
    Q_OBJECT

public:
    // `view`: where albums are shown (the organiser page's thumbnail view by default;
    // the mini window has its own).
    explicit PictureCommands(AmbrioMainWindow *page, thumbsView *view = nullptr);
    ~PictureCommands() override;

    // Fills the thumbnail view with the album's pictures; thumbnails come in from the
    // album's cache, their files, or are made, on worker threads.
    void openAlbum(PlayList *album);
    // Why a picture opened from outside the catalogue takes no tag.
    static QString heldPictureMessage();
    void closeAlbum();
    // Records still being made (a large album) or thumbnails still coming.
    // The rows of the open album not shown yet, all at once (choosing every picture
    // while the album fills means every picture of the album).
    // Makes the records of the album not made yet, for every picture to be chosen; a
    // window shows the progress of many, and its Cancel chooses none (they come later).
    void openTheRest();
    // Records still to make, thumbnails loading, or those come into sight still to ask for.
    bool isLoading() const
    {
        return m_loader.isRunning() || m_nextRow < m_openRows.count() || (m_sightTimer && m_sightTimer->isActive());
    }
    // Records of an album closed that are still being let go.
    int recordsFreeing() const { return int(m_retired.size()) + (m_unindexFrom >= 0 ? 1 : 0); }
    ThumbnailLoader *loader() { return &m_loader; }
    updateThumbsDialog *updateDialog() const { return m_updateDialog; }

    void addItems();
    void addFiles(const QStringList &files, KivViewItem *target);
    void addFilesTo(PlayList *album, const QStringList &files, const QString &duplicateText);
    void addImage(const QImage &image);
    // Shows one picture of `album` (its record read from its property file, its
    // thumbnail made unless the file exists) when that album is open.
    void insertPicture(const QString &albumFolder, const QString &fileName, const QString &sourceFolder, bool fast,
                       PlayList *album);
    void copy();
    void paste();
    // The image on the clipboard (null when there is none), large photographs too.
    static QImage clipboardImage();
    void clearClipboard();
    void removeSelected();
    bool removeOne(KivViewItem *item);
    void rename();
    void move(bool up);
    void changeLove(int delta);
    // The hearts were clicked (or moved by the buttons): the value they show is stored
    // for the current picture, or for every picture of the tray.
    void heartsChanged();
    void toFavorites();
    void setBadge(int id);
    // Writes a record's properties to its property file and its album row, then the
    // album file and the library index.
    bool saveRecord(KivViewItem *item);
    // Many pictures changed at once: every property file, then each album and the index
    // once, all or nothing. A long change shows its progress and can be cancelled. On
    // failure or cancel every record (and its row) takes back its property lines of
    // `before` (packedTagLines), as they were ahead of the change.
    // `progress` (tagProgress), when given, has shown the preparing of the records: its
    // second half shows the files.
    bool saveRecords(const QList<KivViewItem *> &records, const QList<QByteArray> &before,
                     QProgressDialog *progress = nullptr);
    // The progress window of a tag change of `count` pictures, or none for a change too
    // small to need one. Its range is twice the count: the records are prepared, then
    // their files written.
    std::unique_ptr<QProgressDialog> tagProgress(qsizetype count) const;
    bool hasCopy() const { return !m_copiedFile.isEmpty(); }
    // While the program itself puts a copied picture on the clipboard.
    bool isSettingClipboard() const { return m_settingClipboard; }
    // Another program put an image on the clipboard: the next paste inserts that image,
    // not the picture copied here before.
    void forgetCopy();
    // Adds the tray's pictures to `album` with their properties; pictures it already
    // has are left as they are.
    void addTrayPictures(PlayList *album, const QList<KivViewItem *> &pictures);
    // Frees the records that were kept only because the tray held them.
    void releaseTrayRecords();

private:
    void thumbnailReady(int index, const QImage &image, const QSize &size, const QDateTime &time, bool made,
                        const TagMetadata::Tags &tags);
    // Stores the records that took tags from their pictures' metadata while loading.
    void storeTagged();
    // The record of one row; a search result's record is owned by the album of
    // `owners` (stored albums by id) the row names.
    KivViewItem *recordFor(PlayList *album, const AlbumRows &rows, int row, const QHash<QString, PlayList *> &owners);
    // Makes the records of the next rows of the album being opened and adds them to the
    // view: at least `least`, then more until BatchMs have passed, `most` at the most.
    // Returns those whose thumbnails are to be loaded.
    QList<KivViewItem *> appendRecords(int least, int most);
    void openNextBatch();
    QHash<QString, PlayList *> storedAlbumsById() const;
    // New records of `album` go to the view when it is shown; its icon and panel follow.
    void showAdded(PlayList *album, AlbumAdd::Result &added);
    KivViewItem *adopt(std::unique_ptr<KivViewItem> record);
    // A progress window over the whole program, shown once ProgressDelay has passed.
    std::unique_ptr<QProgressDialog> modalProgress(const QString &text, int maximum, const QString &name) const;
    // Takes the record out of the open album, its view and the tray; false when the
    // album kept it (told).
    bool takeOut(KivViewItem *item, PlayList *album);
    // Once the album is stored without them: the thumbnails of the records taken out,
    // unless another row of the album names the same file. Their property files stay:
    // their tags may still be wanted (the picture added again, or taken back).
    void forgetThumbnails(PlayList *album, const QList<KivViewItem *> &removed);
    bool albumChanged(PlayList *album);
    thumbsView *view() const;

    AmbrioMainWindow *m_page;
    thumbsView *m_view;
    ThumbnailLoader m_loader;
    updateThumbsDialog *m_updateDialog;
    std::vector<std::unique_ptr<KivViewItem>> m_records;
    // Records of albums no longer shown that the tray still holds.
    std::vector<std::unique_ptr<KivViewItem>> m_trayRecords;
    // Records of the album last closed, let go a slice at a time: freeing the half
    // million records of All Photos at once held the window for most of a second.
    std::vector<std::unique_ptr<KivViewItem>> m_retired;
    QTimer *m_retireTimer = nullptr;
    void freeRetiredSlice();
    // Once a query's view has closed, the file-name indexes its records had the albums
    // make (half a million names for All Photos) are let go too, from this album of the
    // list on, a slice at a time; -1 when none are to go.
    int m_unindexFrom = -1;
    // The query album the view shows: its result goes when the view closes.
    SmartPlaylist *m_openQuery = nullptr;
    // Texts many records of the album being opened hold alike (folders, kinds, formats,
    // categories): one copy shared by all of them.
    QHash<QString, QString> m_sharedTexts;
    const QString &sharedText(const QString &text);
    // The album folders of the albums a search result names, each made sure of once.
    QHash<QString, QString> m_folderOfId;
    // Starts the loader on the thumbnails of `records`, in that order.
    void loadThumbnails(const QList<KivViewItem *> &records);
    // A large album loads the thumbnails of the records in and around sight only, and
    // lets those far from it go once more than MaxHeld are held.
    void loadThumbnailsInSight();

public:
    // Records a large album makes in one pass of the event loop: at most OpenBatch, and
    // no more once BatchMs have passed (a record reads its property file: thousands take
    // long on a busy disk), the window answering in between. The first pass makes at
    // least FirstBatch, more than a screen shows. An album of up to 2 * LoadAround
    // pictures is made in one pass.
    static constexpr int OpenBatch = 5000;
    static constexpr int BatchMs = 20;
    static constexpr int FirstBatch = 300;
    // Records either side of those in sight whose thumbnails a large album loads.
    static constexpr int LoadAround = 500;
    // Thumbnails a large album holds at most (about 29 KB each) beyond those in reach.
    static constexpr int MaxHeld = 2000;
    // Milliseconds one pass of the event loop spends freeing the records of a closed album.
    static constexpr int RetireMs = 8;
    // Records still to make from which choosing every picture shows its progress.
    static inline int RestProgressFrom = 20000;
    // Milliseconds a tag change of many pictures runs before its progress shows.
    static inline int ProgressDelay = 500;

private:
    QList<KivViewItem *> m_waiting;  // loader job i fills m_waiting[i]
    QSet<KivViewItem *> m_readTags;  // new pictures whose own tags come with their thumbnail
    QList<KivViewItem *> m_held;     // records holding a thumbnail loaded for them
    QSet<KivViewItem *> m_cachedOnce;  // records whose thumbnail went to the album cache
    bool m_fastThumbs = true;
    QTimer *m_sightTimer = nullptr;
    // The album being opened: its rows as they were, the next row to make a record of,
    // and what each record needs.
    AlbumRows m_openRows;
    int m_nextRow = 0;
    bool m_openCache = false;
    bool m_readNewTags = false;
    QHash<QString, PlayList::ThumbCacheEntry> m_cachedThumbs;
    QHash<QString, PlayList *> m_owners;
    QTimer *m_openTimer = nullptr;
    QList<KivViewItem *> m_tagged;   // records given tags from their metadata, to store
    PlayList *m_open = nullptr;
    // The picture marked by the last copy: its folder, file name and album.
    QString m_copiedFolder;
    QString m_copiedFile;
    QString m_copiedAlbumId;
    bool m_settingClipboard = false;
};
