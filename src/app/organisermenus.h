#pragma once

#include <QHash>

class AmbrioMainWindow;
class QAction;
class QMenu;

// The organiser page's pop-up and context menus, built once at start-up with every
// item connected to its command.
struct OrganiserMenus
{
    QMenu *addAlbum = nullptr;   // "Add Album", on the add button and in "Menu Album"
    QMenu *album = nullptr;      // "Menu Album", the album list's context menu
    QMenu *icons = nullptr;      // "Menu Icons", the picture context menu
    QMenu *badge = nullptr;      // the user badge pop-up
    QMenu *viewBy = nullptr;     // the view-by pop-up
    QMenu *effects = nullptr;    // the "Fx !" pop-up
    QMenu *actions = nullptr;    // the album actions pop-up
    QAction *moveUp = nullptr;   // "Move Up" / "Move Down": in "Menu Album" in the own order only
    QAction *moveDown = nullptr;
    QHash<int, QAction *> iconItems;    // "Menu Icons" by identifier (two items share 8)
    QHash<int, QAction *> viewByItems;  // 0 little icons, 1 big icons, 2 year, 3 own order

    void build(AmbrioMainWindow *page);
    // The own-order items of "Menu Album" come and go with the view.
    void showMoveItems(bool shown);
};
