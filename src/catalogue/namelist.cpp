#include "namelist.h"

#include "cataloguefile.h"


namespace NameList {

bool load(const QString &path, QStringList &list)
{
    QStringList elements;
    const CatalogueFile::Counted read = CatalogueFile::readCounted(path, 7, &elements);
    if (read == CatalogueFile::Counted::Missing)
        return false;
    // An unreadable file or one that counts nothing leaves the list empty.
    list = elements;
    return read != CatalogueFile::Counted::Empty;
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
