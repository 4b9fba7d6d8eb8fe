#pragma once

#include <QFontMetrics>

#include "kivgridview.h"

#include <QDateTime>
#include <QPixmap>
#include <memory>

class KivViewItem;
class QTreeWidgetItem;
class ThumbsPreferences;

// The thumbnail grid of the organiser page: one 133 x 140 cell per picture record,
// drawn as a framed thumbnail with its title, badges and love hearts. It keeps the
// selection (single, Ctrl-extended, Shift ranges), enlarges the thumbnail under the
// mouse, drags pictures out and takes drops in. What a click, a drop or a key means
// is the organiser page's business: it receives the signals.
class thumbsView : public KivGridView
{
    Q_OBJECT

public:
    // The name drawn under a thumbnail in `width` pixels: the caption, or shortened to one
    // line when it is wider.
    static QString shownName(const QString &caption, const QFontMetrics &metrics, int width);
    explicit thumbsView(QWidget *parent = nullptr, const QString &name = QStringLiteral("PhotoView"));

    // One element of a cell's badge row: which picture, where.
    struct Badge
    {
        QString picture;
        QPoint position;
    };
    // The badges a record gets in its cell, in drawing order.
    QList<Badge> badgesFor(const KivViewItem *item) const;
    // The picture of user badge `badge` (0 to 6); none for -1 or an unknown badge.
    static QPixmap userBadgePixmap(int badge);

    void setPreferences(const ThumbsPreferences *preferences) { m_pref = preferences; }
    void setFrame(const QString &name);
    void loadFrameFromPreferences();
    QString frameName() const { return m_frameName; }

    void appendItem(KivViewItem *item);
    void removeItem(KivViewItem *item);
    void clear();
    int count() const { return int(m_items.size()); }
    const QList<KivViewItem *> &items() const { return m_items; }
    // Gives every record from `from` on its cell in list order; with `reload`, asks for
    // the album again.
    void arrange(bool reload, QTreeWidgetItem *album, int from = 0);
    void repaintAll();

    // The first record whose row is in sight, and how many cells the viewport shows.
    int firstIndexInSight() const;
    int cellsInSight() const;
    KivViewItem *itemAt(int row, int column) const;
    KivViewItem *previousItem(const KivViewItem *item) const;
    KivViewItem *nextItem(const KivViewItem *item) const;
    QPixmap thumbnailOf(const QString &fileName) const;
    QDateTime dateOf(const QString &fileName) const;
    KivViewItem *itemByPath(const QString &path) const;
    KivViewItem *itemByCellText(const QString &text) const;
    void moveUp(KivViewItem *a, KivViewItem *b);
    void moveDown(KivViewItem *a, KivViewItem *b);
    static void copyProperties(const KivViewItem *from, KivViewItem *to);
    // Puts a fresh copy of `replacement` ("temp") in the place of the first record with
    // the replacement's file name, with the old record's thumbnail; the view's caller
    // owns the returned record. None when nothing matches.
    std::unique_ptr<KivViewItem> replaceItem(const KivViewItem *old, const KivViewItem *replacement);
    void repaintItem(const KivViewItem *item);

    void selectCell(int column, int row);
    void clearSelection();
    // Marks every record selected, as Ctrl-clicks on each would.
    void selectAll();
    // Said by a receiver of aboutToSelectAll(): the user cancelled, nothing is chosen.
    void refuseSelectAll() { m_selectAllRefused = true; }
    QList<KivViewItem *> selectedItems() const;
    KivViewItem *currentItem() const { return m_current; }
    KivViewItem *anchorItem() const { return m_anchor; }
    bool ctrlHeld() const { return m_ctrl; }
    void setCtrlHeld(bool held) { m_ctrl = held; }
    bool isMultipleSelection() const { return m_multiple; }

Q_SIGNALS:
    // Ctrl+A, before the pictures shown are chosen: the rest of the album is shown first
    // (or refuseSelectAll() called).
    void aboutToSelectAll();
    void currentChanged(KivViewItem *item);
    void doubleClicked(KivViewItem *item);
    void librarySelected(QTreeWidgetItem *album);
    void contextMenuRequested(KivViewItem *item, const QPoint &globalPos);
    void kivrepaintcell(int row, int column, bool erase);
    void cleartray();
    void multiSelection();
    void addFile(const QStringList &files, KivViewItem *target);
    void addImage(const QImage &image);
    void itemDroped(KivViewItem *item, const QString &text);
    void removePhoto();
    void slideshow();
    // A digit 0 to 5 typed over the pictures: the love for the chosen pictures.
    void loveTyped(int love);
    // F2 over the pictures: rename the current one.
    void renameRequested();
    // Ctrl+A: every picture of the view is chosen (they are all marked selected).
    void allSelected();

public Q_SLOTS:
    void KivRepaintCell();

protected:
    void paintCell(QPainter *painter, int row, int column) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    bool viewportEvent(QEvent *event) override;

private:
    void select(KivViewItem *item);
    void startDrag(KivViewItem *item);
    KivViewItem *itemAtContents(const QPoint &contents) const;
    int indexOfName(const KivViewItem *item) const;

    const ThumbsPreferences *m_pref = nullptr;
    QList<KivViewItem *> m_items;
    QString m_frameName;
    QPixmap m_frame;
    QPixmap m_selectedFrame;
    KivViewItem *m_current = nullptr;
    KivViewItem *m_anchor = nullptr;
    KivViewItem *m_pressed = nullptr;
    KivViewItem *m_hovered = nullptr;
    KivViewItem *m_repaintItem = nullptr;
    bool m_hoverPainted = true;
    QPoint m_pressPos;
    bool m_buttonDown = false;
    bool m_ctrl = false;
    bool m_shift = false;
    bool m_multiple = false;
    bool m_selectAllRefused = false;
};
