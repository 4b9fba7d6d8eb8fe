#include "namelist.h"

#include "cataloguefile.h"

#include <QFile>

namespace NameList {

bool load(const QString &path, QStringList &list)
{
    if (!QFile::exists(path))
        return false;
    list.clear();
    bool ok = false;
    const QStringList lines = CatalogueFile::readLines(path, &ok);
    if (!ok)
        return true;
    const int count = CatalogueFile::leadingCount(lines, 7);
    if (count <= 0)
        return false;
    for (int i = 1; i <= count && i < lines.size(); ++i)
        list.append(lines.at(i));
    return true;
}

bool save(const QString &path, const QStringList &list)
{
    return CatalogueFile::writeLines(path, QStringList{QStringLiteral("NUMSUB=") + QString::number(list.size())}
                                               + list);
}

QString subjectsPath(const QString &catalogueRoot)
{
    return catalogueRoot + QStringLiteral("/subjects.list");
}

QString hiddenDirsPath(const QString &catalogueRoot)
{
    return catalogueRoot + QStringLiteral("/hidedir.list");
}

QStringList persons(const QString &personInit)
{
    return personInit.split(QLatin1Char(','), Qt::SkipEmptyParts);
}

} // namespace NameList
