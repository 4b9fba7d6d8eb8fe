#include "organisermenus.h"

#include "ambriomainwindow.h"
#include "pixmaplookup.h"

#include <QMenu>
#include <algorithm>

namespace {

template<typename Slot>
QAction *add(QMenu *menu, const QString &text, const char *picture, AmbrioMainWindow *page, Slot slot)
{
    QAction *action = picture ? menu->addAction(QIcon(kivPixmap(QLatin1String(picture))), text) : menu->addAction(text);
    QObject::connect(action, &QAction::triggered, page, slot);
    return action;
}

} // namespace

void OrganiserMenus::build(AmbrioMainWindow *page)
{
    using P = AmbrioMainWindow;
    addAlbum = new QMenu(QStringLiteral("Add Album"), page);
    addAlbum->setObjectName(QStringLiteral("Add Album"));
    add(addAlbum, QStringLiteral("New Dynamic Album"), "directory-playlist.png", page, &P::AddDirectoryPlaylist);
    add(addAlbum, QStringLiteral("New Album"), "playlist.png", page, &P::AddPlaylist);
    addAlbum->addSeparator();
    add(addAlbum, QStringLiteral("Add Album Help"), "help.png", page, &P::addAlbumHelpPannel);
    addAlbum->setIcon(QIcon(kivPixmap(QStringLiteral("rool_add.png"))));

    album = new QMenu(QStringLiteral("Menu Album"), page);
    album->setObjectName(QStringLiteral("Menu Album"));
    moveUp = add(album, QStringLiteral("Move Up"), "move_up.png", page, &P::LibraryMoveUp);
    moveUp->setData(0);
    moveDown = add(album, QStringLiteral("Move Down"), "move_down.png", page, &P::LibraryMovedown);
    moveDown->setData(1);
    add(album, QStringLiteral("Slideshow"), "slideshow.png", page, &P::viewSlideShow);
    album->addSeparator();
    QMenu *editTools = album->addMenu(QIcon(kivPixmap(QStringLiteral("property-edit.png"))), QStringLiteral("Edit Tools"));
    add(editTools, QStringLiteral("Clear Album's picture"), "cut.png", page, &P::slot_clearPlaylist);
    add(editTools, QStringLiteral("Refresh thumbs"), "rool_update.png", page, &P::updateRollLibrary);
    QMenu *share = album->addMenu(QIcon(kivPixmap(QStringLiteral("drive-mini.png"))), QStringLiteral("Share"));
    add(share, QStringLiteral("Slideshow"), "lastplayed.png", page, &P::viewSlideShow);
    add(share, QStringLiteral("Print all these album's pictures"), "printer.png", page, &P::slot_printPhoto);
    add(share, QStringLiteral("Email all these album's pictures"), "composemail.png", page, &P::slot_sendAlbum);
    // A menu whose every entry is hidden is hidden too.
    share->menuAction()->setVisible(!std::all_of(share->actions().cbegin(), share->actions().cend(),
                                                 [](const QAction *a) { return !a->isVisible(); }));
    album->addSeparator();
    add(album, QStringLiteral("Remove Album"), "rool_remove.png", page, &P::RemoveRollLibrary);
    album->addSeparator();
    album->addMenu(addAlbum)->setText(QStringLiteral("Add Album"));
    showMoveItems(false);

    icons = new QMenu(QStringLiteral("Menu Icons"), page);
    icons->setObjectName(QStringLiteral("Menu Icons"));
    auto item = [&](int id, const QString &text, const char *picture, auto slot) {
        QAction *action = add(icons, text, picture, page, slot);
        action->setData(id);
        if (!iconItems.contains(id))
            iconItems.insert(id, action);
        return action;
    };
    item(0, QStringLiteral("View Photo"), "view.png", &P::viewImage);
    item(1, QStringLiteral("Fullscreen view"), "slideshow.png", &P::viewSlideShow);
    item(2, QStringLiteral("Edit this picture"), "property-edit.png", &P::viewImage);
    icons->addSeparator();
    item(3, QStringLiteral("Copy this picture into the clipboard"), "copy.png", &P::slot_copyItem);
    item(4, QStringLiteral("Remove this picture"), "cut.png", &P::slot_removeItem);
    item(5, QStringLiteral("Paste picture from Clipboard"), "paste.png", &P::slot_pasteItem);
    item(6, QStringLiteral("Rename this picture"), "property-edit.png", &P::slot_renameItem);
    icons->addSeparator();
    item(7, QStringLiteral("Email this picture"), "composemail.png", &P::slot_sendItem);
    item(8, QStringLiteral("Print..."), "printer.png", &P::slot_printPhoto);
    item(8, QStringLiteral("Save As..."), "drive-mini.png", &P::slot_convertPhoto);
    item(9, QStringLiteral("Edit with Other application"), "View-edit-external.png", &P::ViewExternal);
    item(10, QStringLiteral("Print with Other application"), "printer-external.png", &P::slot_printPhotoExternal);
    icons->addSeparator();
    item(11, QStringLiteral("Move back"), "more-tools.png", &P::moveIconItemUp);
    item(12, QStringLiteral("Move Forward"), "link.png", &P::moveIconItemDown);

    badge = new QMenu(QStringLiteral("User Badge"), page);
    badge->setObjectName(QStringLiteral("badge"));
    const struct
    {
        const char *text;
        const char *picture;
    } badges[] = {{"Special", "badge-special.png"},     {"Ok", "badge-ok.png"},
                  {"Important", "badge-important.png"}, {"Urgent", "badge-urgent.png"},
                  {"ho no", "badge-no.png"},            {"To Print", "userbadge-toprint.png"},
                  {"To E-Mail", "userbadge-toemail.png"}};
    for (int id = 0; id < 7; ++id) {
        QAction *action = badge->addAction(QIcon(kivPixmap(QLatin1String(badges[id].picture))),
                                           QLatin1String(badges[id].text));
        action->setData(id);
        QObject::connect(action, &QAction::triggered, page, [page, id] { page->insertBadge(id); });
    }
    badge->addSeparator();
    QAction *none = badge->addAction(QIcon(kivPixmap(QStringLiteral("nouserbadge.png"))), QStringLiteral("No user Badge"));
    none->setData(7);
    QObject::connect(none, &QAction::triggered, page, [page] { page->insertBadge(7); });

    viewBy = new QMenu(QStringLiteral("View By"), page);
    viewBy->setObjectName(QStringLiteral("viewby"));
    auto check = [&](int id, const QString &text, auto slot) {
        QAction *action = viewBy->addAction(text);
        action->setCheckable(true);
        action->setData(id);
        QObject::connect(action, &QAction::triggered, page, slot);
        viewByItems.insert(id, action);
    };
    check(0, QStringLiteral("Little Icons Album"), &P::setViewBy16x);
    check(1, QStringLiteral("Big Icons Album"), &P::setViewBy32x);
    viewBy->addSeparator();
    check(2, QStringLiteral("Year"), qOverload<>(&P::setViewByYear));
    check(3, QStringLiteral("Your own Order"), qOverload<>(&P::setViewByManuel));

    effects = new QMenu(QStringLiteral("Fx !"), page);
    effects->setObjectName(QStringLiteral("effects"));
    const char *const effectNames[] = {"Intensity...", "blend", "To blue", "Desaturate",
                                       "Miror",        "Equalize", "Edge", "Noise"};
    for (int id = 0; id < 8; ++id) {
        QAction *action = effects->addAction(QLatin1String(effectNames[id]));
        action->setData(id);
        QObject::connect(action, &QAction::triggered, page, [page, id] { page->effectMore(id); });
    }

    actions = new QMenu(QStringLiteral("Actions"), page);
    actions->setObjectName(QStringLiteral("actions"));
    add(actions, QStringLiteral("SlideShow"), "slideshow.png", page, &P::viewSlideShow);
    add(actions, QStringLiteral("Print all Pictures..."), "printer.png", page, &P::slot_printPhoto);
    add(actions, QStringLiteral("E-Mail all Pictures..."), "composemail.png", page, &P::slot_sendAlbum);
    actions->addSeparator();
    add(actions, QStringLiteral("Locate on Disk"), "playlist.png", page, &P::slot_locateOnDisk);
    add(actions, QStringLiteral("Refresh Thumbs"), "rool_update.png", page, &P::updateRollLibrary);
    add(actions, QStringLiteral("Clear Album"), "playlist.png", page, &P::slot_clearPlaylist);
    actions->addSeparator();
    add(actions, QStringLiteral("Clear clipboard"), "copy.png", page, &P::clearClipboard);
    add(actions, QStringLiteral("Paste Picture from clipboard"), "paste.png", page, &P::slot_pasteItem);
    add(actions, QStringLiteral("Paste Picture(s) from TrayBar"), "paste.png", page, &P::AddPhotoListToPlaylist);
}

void OrganiserMenus::showMoveItems(bool shown)
{
    moveUp->setVisible(shown);
    moveDown->setVisible(shown);
}
