#include "playlistgroup.h"

#include "cataloguefile.h"
#include "pixmaplookup.h"

#include <QFile>
#include <QFileInfo>
#include <QFont>

QPixmap PlayListGroup::icon(bool)
{
    return kivPixmap(QStringLiteral("playlist-group.png"));
}

bool PlayListGroup::save(const QString &kivDir)
{
    if (!context())
        return false;
    // A damaged file is kept as it is, and an id that climbs out of the catalogue folder
    // names no file to write.
    if (fileState() == FileState::Damaged) {
        setLastError(writeRefusal());
        return false;
    }
    if (!isSafeKivDir(kivDir)) {
        setLastError(QStringLiteral("\"%1\" cannot name an album file.").arg(kivDir));
        return false;
    }
    return CatalogueFile::writeLines(filePath(kivDir), {QStringLiteral("Title=") + title()});
}

bool PlayListGroup::load(const QString &path)
{
    if (!QFileInfo::exists(path) && !QFileInfo(path).isSymLink())
        return false;
    QByteArray bytes;
    QString why;
    if (!CatalogueFile::readBytes(path, &bytes, &why)) {
        setFileState(FileState::Damaged, why);
        return false;
    }
    CatalogueFile::LineReader lines(bytes);
    const QByteArrayView first = lines.next();
    if (!first.startsWith("Title=") || !bytes.endsWith('\n')) {
        setFileState(FileState::Damaged, QStringLiteral("its first line is not a whole \"Title=\" line"));
        return false;
    }
    setTitle(lines.text(first.sliced(6)));
    setFileState(FileState::Loaded);
    return true;
}

bool PlayListGroup::removeFiles()
{
    if (!kivDir().isEmpty() && !writeRefusal().isEmpty())
        return false;
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
    return storedRows();
}
