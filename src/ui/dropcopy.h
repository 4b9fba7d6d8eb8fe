#pragma once

#include <QDropEvent>

// Files dropped on the program are catalogued where they lie, or copied: the source of
// the drag is told "copied", never "moved", so a file manager asked to move them does
// not remove the originals. A drag that offers no copy is refused.
inline bool acceptAsCopy(QDropEvent *event)
{
    if (!(event->possibleActions() & Qt::CopyAction)) {
        event->ignore();
        return false;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    return true;
}
