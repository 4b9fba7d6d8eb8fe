#pragma once

#include <QSet>

#include "kivgridview.h"

#include <QPixmap>
#include <memory>

class KivViewItem;
class PlayList;

// The pictures tray beside the thumbnails: the pictures of a multiple selection, one
// per row. A plain click replaces the last unheld picture, a Ctrl click or "Hold" lets
// them pile up. The tray only points at the thumbnail view's records; whoever destroys
// a record takes it out of the tray first.
class trayBarPhoto : public KivGridView
{
    Q_OBJECT

public:
    explicit trayBarPhoto(QWidget *parent = nullptr);

    // A picture pressed in the thumbnail view, with the view's Ctrl state.
    void add(KivViewItem *record, bool withCtrl);
    // The first record as add() without Ctrl, then each other as with Ctrl.
    void addAll(const QList<KivViewItem *> &records);
    // Takes a record out of the tray (a picture removed from its album).
    void remove(KivViewItem *record);
    int count() const { return int(m_records.size()); }
    KivViewItem *record(int index) const { return m_records.value(index); }
    const QList<KivViewItem *> &records() const { return m_records; }
    // The records held, for many look-ups at once (contains() walks the list).
    QSet<const KivViewItem *> recordSet() const { return QSet<const KivViewItem *>(m_records.cbegin(), m_records.cend()); }
    bool contains(const KivViewItem *record) const;
    int currentRow() const { return m_currentRow; }

    // An album of the tray's pictures, in tray order, for the slideshow, printing and
    // mail; built in memory and never written to the catalogue.
    std::unique_ptr<PlayList> makeSlideshowAlbum() const;

Q_SIGNALS:
    void AsknewPlayList();
    void insertPhotoToPl();
    void multiSelection();
    // The tray was emptied: records kept alive for it may go.
    void cleared();

public Q_SLOTS:
    void clear();
    void hold();
    void newPlaylist();
    void clearUnHold();

protected:
    void paintCell(QPainter *painter, int row, int column) override;

private:
    void removeLast();
    bool holdsPicture(const KivViewItem *record) const;

    QList<KivViewItem *> m_records;
    int m_currentRow = 0;
    KivViewItem *m_lastAdded = nullptr;
    QPixmap m_background;
    QPixmap m_heldMark;
};
