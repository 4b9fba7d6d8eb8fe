#pragma once

#include <QHash>
#include <QPair>
#include <QPixmap>
#include <QPointer>
#include <QTimer>
#include <QTreeWidget>

class AllPhoto;
class ByCategory;
class Favorites;
class KivViewItem;
class LibraryIndex;
class PlayList;
class Search;
class Stats;
class prefImplementation;
struct CatalogueContext;

// The album list ("AlbumBay"): every stored album with the computed albums and the
// "Browse By..." branch, viewed by year (newest first, a year row above each year's
// albums) or in the user's own order, with small or large icons.
class libraryList : public QTreeWidget
{
    Q_OBJECT

public:
    explicit libraryList(QWidget *parent = nullptr);
    // Marks `album` as the open one without announcing it (none when it is not listed).
    void markOpen(QTreeWidgetItem *album);

    void setPref(prefImplementation *pref) { m_pref = pref; }
    void setContext(const CatalogueContext *context) { m_context = context; }
    // Columns, font and colours; small or large icons.
    void setUp(bool smallIcons);

    // The computed albums and the browse-by branch (subjects without "Undefined").
    void addComputedAlbums(const QStringList &subjects);
    void rebuildSubjects(const QStringList &subjects);
    AllPhoto *allPhotos() const { return m_all; }
    Favorites *favorites() const { return m_favorites; }
    Search *lastSearch() const { return m_lastSearch; }
    Stats *statistics() const { return m_stats; }

    bool isYearView() const;
    void applyYearView();
    // Puts an album under its year (only in the year view), then removes one emptied
    // year row or re-sorts.
    void insertIntoYearView(PlayList *album);
    // Takes out every year row no album stands under.
    void removeEmptyYearRow();
    void applyOwnOrder(const LibraryIndex &index);

    bool largeIcons() const { return m_largeIcons; }
    void setLargeIcons(bool large);
    int iconExtent() const { return m_largeIcons ? 32 : 20; }
    // The album's icon at the list's size, with the missing-folder mark; with
    // `kindOnly`, the picture of the album's kind even where the first picture's
    // thumbnail is the icon.
    QPixmap albumPixmap(PlayList *album, bool kindOnly = false) const;
    void setPixmapPlaylist(PlayList *album);
    // As setPixmapPlaylist(), where the icon is a picture's thumbnail read from its file:
    // the kind's picture now, the thumbnail soon after, those in sight first, a few at a
    // time while the window answers.
    void setPixmapPlaylistSoon(PlayList *album);
    bool iconsPending() const { return m_iconTimer.isActive(); }
    void rebuildIcons();

    // One place up or down in the own order; false when nothing can move there.
    bool moveUp(PlayList *album);
    bool moveDown(PlayList *album);

    // The stored albums standing at the top level, in list order.
    QList<PlayList *> storedAlbums() const;
    static bool isSmartEntry(const QTreeWidgetItem *item);
    static bool isYearRow(const QTreeWidgetItem *item);
    void addYearRow(const QString &year);
    // An album's creation date as the year view sorts by it: QDate::toString(Qt::ISODate)
    // ("2024-03-09"), made without its formatting machinery (thousands at every start).
    static QString dateKey(const QDate &date);

Q_SIGNALS:
    void librarySelected(QTreeWidgetItem *item);
    void addFile(const QStringList &files, KivViewItem *target);
    void addFile(const QString &text, QTreeWidgetItem *item);
    // Files dropped on an album of the list: they go into that album, whichever is open.
    void filesDroppedOn(const QStringList &files, QTreeWidgetItem *album);
    void dropped(QDropEvent *event);
    void contextMenuRequested(QTreeWidgetItem *item, const QPoint &globalPos, int column);
    // The list was painted for the first time: the window is on screen.
    void firstPainted();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dragLeaveEvent(QDragLeaveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void setHighlighted(QTreeWidgetItem *item);
    void fitPendingIcons();
    // Takes out the year rows with no album under them (the list sorted by year).
    void dropEmptyYearRows();
    void selectAndAnnounce(QTreeWidgetItem *item);

    prefImplementation *m_pref = nullptr;
    const CatalogueContext *m_context = nullptr;
    bool m_largeIcons = true;
    // Theme pictures fitted to the icon column, by picture and size.
    mutable QHash<QPair<qint64, int>, QPixmap> m_fitted;
    // The icons made of those, by picture: one icon shared by every album showing it.
    QHash<qint64, QIcon> m_kindIcons;
    QTimer m_iconTimer;
    // Pictures are fitted as icons once the list has been seen: the window shows first.
    bool m_painted = false;
    AllPhoto *m_all = nullptr;
    Favorites *m_favorites = nullptr;
    Search *m_lastSearch = nullptr;
    Stats *m_stats = nullptr;
    ByCategory *m_browse = nullptr;
    ByCategory *m_bySubject = nullptr;
    ByCategory *m_byCategory = nullptr;
    QTreeWidgetItem *m_highlighted = nullptr;
};
