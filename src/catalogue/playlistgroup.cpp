#include "playlistgroup.h"

#include "cataloguefile.h"
#include "pixmaplookup.h"

#include <QFile>
#include <QFont>

QPixmap PlayListGroup::icon(bool)
{
    return kivPixmap(QStringLiteral("playlist-group.png"));
}

bool PlayListGroup::save(const QString &kivDir)
{
    if (!context())
        return false;
    return CatalogueFile::writeLines(filePath(kivDir), {QStringLiteral("Title=") + title()});
}

bool PlayListGroup::load(const QString &path)
{
    bool ok = false;
    const QStringList lines = CatalogueFile::readLines(path, &ok);
    if (!ok)
        return false;
    setTitle(lines.isEmpty() ? QString() : lines.first().mid(6));
    return true;
}

bool PlayListGroup::removeFiles()
{
    if (!kivDir().isEmpty() && context())
        QFile::remove(filePath(kivDir()));
    return true;
}

void GroupYear::init()
{
    setFlags(Qt::ItemIsEnabled);
    setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
    setSizeHint(0, QSize(-1, 45));
    setTextColour(Qt::black);
    QFont bold = font(0);
    bold.setBold(true);
    setFont(0, bold);
}

const AlbumRows &GroupYear::rows()
{
    setExpanded(!isExpanded());
    return m_rows;
}
