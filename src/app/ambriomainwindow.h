#pragma once

#include "prefimplementation.h"
#include "scanner.h"

#include "cataloguecontext.h"
#include "catalogueloader.h"
#include "libraryindex.h"
#include "metadataqueue.h"
#include "organisermenus.h"

#include <QFuture>
#include <QPixmap>
#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <QWidget>
#include <atomic>
#include <functional>
#include <memory>

class AlbumCommands;
class MetadataWriter;
class PictureCommands;
class PropertyPanel;
class trayBarPhoto;
class thumbsView;
class StatsView;
class QFileSystemWatcher;
class viewphoto;
class CatalogueLock;
class Hello;
class FavoritesWidget;
class KivViewItem;
class Locator;
class LocatorThread;
class ImportTrayBar;
class ScanJob;
class PlayList;
class Prompter;
class QDropEvent;
class QImage;
class QTreeWidgetItem;
class libraryList;
class prefImplementation;
class splash;
class splashin;
class slideshow;

namespace Ui {
class AmbrioMainWindowBase;
}

// The organiser page: page 0 of the top-level window's stack. It owns the album list,
// the thumbnail area, the tool case and the catalogue's index, and every organiser
// command reaches one of its slots; each slot hands the work to the code that owns it.
class AmbrioMainWindow : public QWidget
{
    Q_OBJECT

public:
    explicit AmbrioMainWindow(QWidget *parent = nullptr);
    ~AmbrioMainWindow() override;

    // How long (ms) the start waits on a change cut short before it shows its progress.
    static inline int FinishProgressDelay = 500;
    // How often a message held back by a modal window looks again (tellWhenFree).
    static constexpr int TellRetryMs = 250;

    void setPref(prefImplementation *pref) { m_pref = pref; }
    prefImplementation *pref() const { return m_pref; }
    void setPrompter(Prompter *prompter) { m_prompter = prompter; }
    Prompter *prompter() const { return m_prompter; }

    // Runs the start-up stages once: system, clipboard, catalogue, user interface,
    // then the finish and the first-start question.
    void startup();

    QString currentAlbumKind() const { return m_currentAlbumKind; }
    QString currentMediaKind() const { return m_currentMediaKind; }
    splashin *startupPanel() const { return m_presentation; }
    // Whether a snapshot was started at start-up, and its outcome once done (an error
    // text, empty when it worked).
    bool startupBackupStarted() const { return m_backupStarted; }
    QString waitForStartupBackup() { return m_backupStarted ? m_backup.result() : QString(); }
    splash *splashWindow() const { return m_splash; }
    QWidget *thumbnailArea() const;
    libraryList *albumList() const;
    Hello *title() const { return m_title; }
    const OrganiserMenus &menus() const { return m_menus; }
    int currentToolPage() const;

    thumbsView *photoView() const { return m_photoView; }
    viewphoto *viewer() const { return m_viewer; }
    PictureCommands *pictures() const { return m_pictures; }
    // Writes tags into the pictures' metadata when the preference asks for it; none
    // before the catalogue is loaded.
    MetadataWriter *metadataWriter() const { return m_metadata; }
    // Has the record's tags written into its picture's metadata when the preference
    // asks for it.
    void tagsChanged(const KivViewItem &record);
    // Adds the names the list of persons lacks to it (names read from pictures).
    void rememberPersons(const QStringList &names);
    trayBarPhoto *tray() const;
    PropertyPanel *propertyPanel() const { return m_panel.get(); }
    bool isMultiSelection() const { return m_multiSelection; }
    // The album page shows the current album again (its picture count changed).
    void updateAlbumPanel();
    // The paste button shows whether a picture is marked as copied.
    void setPasteMark(bool marked);
    void clearCurrentItem() { m_currentItem = nullptr; }

    PlayList *currentAlbum() const { return m_currentAlbum; }
    // The slideshow running, if any (it deletes itself when it closes).
    slideshow *runningSlideshow() const;
    KivViewItem *currentItem() const { return m_currentItem; }
    // The library index and the current album, for the parts that need them.
    LibraryIndex *getDataBase() { return &m_library; }
    // Writes the album file and the library index (the album file is put back when the
    // index cannot be written); a failure is told to the user and false returned.
    bool storeAlbum(PlayList *album);
    // The album an album command acts on: the one right-clicked for the album menu's
    // commands, else the open one.
    PlayList *commandAlbum();
    // A stored album (not a computed entry, not a year row): the only kind an album
    // command may remove, clear, rename or date.
    static bool isStoredAlbum(const PlayList *album);

    // The locator: a new search (of `roots`, by default the home folder and the mounted
    // volumes) replaces the one under way; a stop takes effect at once.
    void startLocator(const QStringList &roots = QStringList());
    void stopLocator();
    bool isLocating() const;
    // Folders found and still being made albums.
    bool isAddingFoundFolders() const;
    LocatorThread *locator() const;
    // The strip of pictures just scanned, and its emptying (files of the last-import
    // folder deleted).
    ImportTrayBar *importBar() const;
    // The scanner and its settings as chosen with "Select Device".
    Scanner::Choice scanChoice() const;
    // Shows the pictures of the last-import folder in the import bar.
    void loadImportBar();
    void clearImportBar();
    // The name a conversion writes: `name`, with the extension of the chosen filter entry
    // when it has none.
    static QString convertedName(const QString &name, const QString &selectedFilter);
    // The love hearts of the property panel.
    FavoritesWidget *hearts() const;
    // Shows a save failure (a text from CatalogueSave); nothing for an empty text.
    void reportSaveError(const QString &message);
    // A picture opened in a viewer: one more view in its album row, stored at once.
    void countView(KivViewItem *picture);
    // Opens the pictures and folders named on the command line in the viewer: a picture
    // or folder a stored album already holds opens that album, anything else is shown
    // from an album held in memory only. Whether the viewer shows a picture.
    bool openPaths(const QStringList &arguments);
    // The album made for the last pictures opened from outside the catalogue.
    PlayList *heldAlbum() const { return m_heldAlbums.empty() ? nullptr : m_heldAlbums.back().get(); }
    PlayList *GetCurrentDir() const { return m_currentAlbum; }
    const CatalogueContext &catalogue() const { return m_context; }
    StatsView *statsView() const { return m_statsView; }
    // Shows what accepting the preferences changed: album icons, thumbnails, frame.
    void applyPreferences(const prefImplementation::DialogChanges &changes);
    // The podium of the statistics album, over the thumbnail view.
    void showStatistics(PlayList *album);
    QStringList subjects() const { return m_subjects; }

    // How many pictures the thumbnail view has selected; the view installs the answer.
    void setSelectionCounter(std::function<int()> counter) { m_selectionCount = std::move(counter); }
    // How a folder is shown in the desktop's file manager (replaced in tests).
    void setUrlOpener(std::function<bool(const QUrl &)> opener) { m_openUrl = std::move(opener); }

Q_SIGNALS:
    void initSystem();
    void initClip();
    void initDatabase();
    void initUi();
    void Addprogress(int value);
    void SetTotalprogress(int total);
    void pauseTitle();
    void runTitle();
    void updateRotatePreview();
    void updateProperty(KivViewItem *item);
    // A conversion (Save as) ended: the file written, or not.
    void conversionFinished(const QString &destination, bool written);
    void insertItem(const QString &albumFolder, const QString &fileName, const QString &sourceFolder, bool fast,
                    PlayList *album, int index);

public Q_SLOTS:
    // Navigation of the tool case.
    void showinfo();
    void showTools();
    void showExport();
    void shownoitem();
    void showImport();
    void showUpdateToolBay();
    void slot_backtoOrganizer();
    void slot_photo_pressed(KivViewItem *item);
    void slot_photo_dblclick(KivViewItem *item);
    void slot_photo_rightclick(KivViewItem *item, const QPoint &globalPos);
    void contextmenuLibrary(QTreeWidgetItem *item, const QPoint &globalPos, int column);
    void load_pictureViewer();
    void load_musicViewer();
    void load_ThumbsViewer();
    void listenMusic();
    void slot_moreTools();
    void slot_photo_type();
    void slot_music_type();
    void slot_media_type();
    void ToMultiSelection();
    // Ctrl+A over the thumbnails: every picture of the album goes into the tray.
    void selectAllPictures();
    void ToSingleSelection();
    void slot_setProgress(int value);

    // The album list.
    void slot_roll_pressed(QTreeWidgetItem *item);
    void slot_selectLibrary(QTreeWidgetItem *item);
    void updateRollView();
    void LibraryMoveUp();
    void LibraryMovedown();
    void LibraryRename();
    void setViewByYear();
    void setViewByYear(bool on);
    void setViewByManuel();
    void setViewByManuel(bool on);
    void setViewBy();
    void setViewBy16x();
    void setViewBy32x();
    void setPixmapPlaylist(PlayList *album);
    void UpdatePlaylistImage();

    // Album commands.
    void AddPlaylist();
    void AddDirectoryPlaylist();
    void AddGroup();
    void RemoveRollLibrary();
    void RemoveRollLibraryDuringstartup();
    void slot_clearPlaylist();
    void updateRollLibrary();
    void ChangeFromDir();
    void addAlbumHelpPannel();
    void slot_locateOnDisk();
    void modifyTitle();
    void SavePlaylistProperty();

    // Picture commands: the thumbnail view's issue builds them.
    void slot_addItem();
    void slot_addFile(const QStringList &files, KivViewItem *target);
    void slot_addFile(const QString &text, QTreeWidgetItem *item);
    void slot_addImage(const QImage &image);
    void slot_copyItem();
    void slot_pasteItem();
    void clearClipboard();
    void slot_copyToPlaylist();
    void slot_removeItem();
    void slot_removePhoto(KivViewItem *item);
    void slot_renameItem();
    void slot_to_favorites();
    void FavPlus();
    void FavMoins();
    void insertBadge(int id);
    void moveIconItemUp();
    void moveIconItemDown();
    void slot_dnd(QDropEvent *event);
    void slot_itemDroped(KivViewItem *item, const QString &text);
    void slot_insertItem(const QString &albumFolder, const QString &fileName, const QString &sourceFolder, bool fast,
                         PlayList *album, int index);
    void slot_photo_repaint(KivViewItem *item);
    void UpdateThumbsView();
    void updateLargeImageNow();
    // Properties, persons, dates and the tray.
    void AddPhotoListToPlaylist();
    void setCurrentItemProperty(KivViewItem *item);
    void tellMetadataFailures(const QList<MetadataQueue::Failure> &failures);
    // What loading found wrong, in one message (the first few, then how many more).
    void tellLoadProblems(QStringList problems);
    // The once-a-day backup, of a catalogue that loaded cleanly.
    void startDailyBackup(bool loadedCleanly);
    // Stores what the panel's fields say; false when nothing was kept (refused, failed,
    // cancelled): the panel then shows what is stored.
    bool SaveNewProperty();
    void showUserBadge();
    void showSubjectDialog();
    void showDateModif();
    void showDatePlModif();
    // The viewer: the viewer's issue builds them.
    void viewImage();
    void slot_previousItem();
    void slot_nextItem();
    void slot_firstItem();
    void slot_lastItem();
    void slot_convertPhoto();
    void slot_updateRotatePreview();
    void slot_updateRotatePreviewTemp();
    void slot_updateThumb();
    void effectMore(int id);
    // Slideshow, printing, mail, external programs, locator and import come later.
    void viewSlideShow();
    void slot_printPhoto();
    void slot_sendItem();
    // Mail from a command that names the whole album ("Email all these album's pictures").
    void slot_sendAlbum();
    void ViewExternal();
    void slot_printPhotoExternal();
    void showLocator();
    void MediaDetectorAdd(const QString &folder);
    void ClipBoardChanged();
    void ClipBoardChangedImport();
    void selectTwain();
    void ImportTwain();
    void ImportCopyToCurrent();

protected:
    void closeEvent(QCloseEvent *event) override;
    void customEvent(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Makes `item` the current picture, shown in the viewer when it is open.
    void stepTo(KivViewItem *item);
    friend class AlbumCommands;

    void stageSystem();
    void stageClip();
    void stageDatabase();
    void stageUi();
    void finishStartup();
    void askFirstStart();
    // A change the last run was stopped in the middle of writing was never kept: said.
    void tellChangeNotKept(int files);
    // Says what work beside the window found, once no modal window is up.
    void tellWhenFree(const std::function<void()> &tell);
    void fitStartupPanel();
    void connectWidgets();
    void raiseTab(QObject *tab);
    bool needAlbum(QObject *tab);
    void updateEnabledCommands();
    void updateMultiplePhotoPanel();
    void showAlbumTitle();
    // The pictures the external programs are given; `albumless` when there is nothing to
    // take them from.
    QStringList externalPictures(bool *albumless);
    void startExternal(const QString &setting, const QString &notConfigured);
    void composeMail(bool wholeAlbum);
    void addFoundFolders();
    void leaveViewer();
    // The pictures a property change applies to: the tray's when it holds several.
    QList<KivViewItem *> propertyTargets() const;
    // Opens the current album again and keeps the current picture when it is still there.
    void reloadCurrentAlbum();
    // The stored album holding what `argument` names (a picture, or a folder a dynamic
    // album mirrors), or none; `storedPath`: the picture's path as the album names it.
    PlayList *storedAlbumHolding(const QString &argument, QString *storedPath) const;
    // Opens `album` and shows its picture `path` (its first picture for an empty path)
    // in the viewer, as a click then Return would.
    bool viewPictureOf(PlayList *album, const QString &path);

    Ui::AmbrioMainWindowBase *ui;
    prefImplementation *m_pref = nullptr;
    Prompter *m_prompter = nullptr;
    splash *m_splash = nullptr;
    splashin *m_presentation = nullptr;
    Hello *m_title = nullptr;
    OrganiserMenus m_menus;
    std::unique_ptr<AlbumCommands> m_commands;
    std::unique_ptr<PropertyPanel> m_panel;
    thumbsView *m_photoView = nullptr;
    StatsView *m_statsView = nullptr;
    QFileSystemWatcher *m_importWatch = nullptr;
    viewphoto *m_viewer = nullptr;
    QWidget *m_actionFrame = nullptr;
    PictureCommands *m_pictures = nullptr;
    MetadataWriter *m_metadata = nullptr;
    QString m_currentAlbumKind;
    QString m_currentMediaKind;
    QString m_modification;
    QPixmap m_selectedPixmap;
    QPixmap m_noBadgePixmap;
    PlayList *m_currentAlbum = nullptr;
    QPointer<slideshow> m_slideshow;
    QPointer<LocatorThread> m_locator;
    ScanJob *m_scan = nullptr;  // the scan under way
    QPointer<Locator> m_locatorDialog;  // while it is open
    bool m_locatorStarted = false;
    int m_lastLocatorFound = -1;  // what the last search that ended found
    bool m_lastLocatorStopped = false;
    // Folders found and not yet made albums: made a few at a time between the user's
    // own work, so the window stays at hand however many arrive.
    QStringList m_foundFolders;
    QTimer *m_foundTimer = nullptr;
    bool m_addingFound = false;
    PlayList *m_menuAlbum = nullptr;  // the album the album menu was opened on
    KivViewItem *m_currentItem = nullptr;
    bool m_multiSelection = false;
    bool m_closed = false;
    CatalogueContext m_context;
    LibraryIndex m_library;
    QStringList m_subjects;
    QStringList m_hiddenDirs;
    std::unique_ptr<CatalogueLock> m_lock;
    // The snapshot taken in the background at start-up (at most once a day).
    QFuture<QString> m_backup;
    std::atomic_bool m_backupCancel{false};
    bool m_backupStarted = false;
    CatalogueLoader::LateRows *m_lateRows = nullptr;
    bool m_lateRowsStarted = false;
    // Albums made in memory for pictures opened from the command line; kept while the
    // window lives, as records of theirs may still be in the tray.
    std::vector<std::unique_ptr<PlayList>> m_heldAlbums;
    std::function<int()> m_selectionCount;
    std::function<bool(const QUrl &)> m_openUrl;
};
