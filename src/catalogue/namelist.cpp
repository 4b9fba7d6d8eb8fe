#include "namelist.h"

#include "cataloguefile.h"

#include <QFileInfo>


namespace NameList {

bool load(const QString &path, QStringList &list)
{
    QStringList elements;
    const CatalogueFile::Counted read = CatalogueFile::readCounted(path, 7, &elements);
    if (read == CatalogueFile::Counted::Missing)
        return false;
    // An unreadable file or one that counts nothing leaves the list empty; so does one
    // that counts names but was cut short before the first of them.
    list = elements;
    return !list.isEmpty();
}

QString damage(const QString &path)
{
    if (!QFileInfo::exists(path) && !QFileInfo(path).isSymLink())
        return {};
    QByteArray bytes;
    QString why;
    if (!CatalogueFile::readBytes(path, &bytes, &why))
        return why;
    if (bytes.isEmpty() || !bytes.endsWith('\n'))
        return bytes.isEmpty() ? QStringLiteral("it is empty") : QStringLiteral("it is cut short");
    CatalogueFile::LineReader lines(bytes);
    const QByteArrayView first = lines.next();
    bool numeric = false;
    const qint64 count = first.startsWith("NUMSUB=") ? lines.text(first.sliced(7)).toLongLong(&numeric) : -1;
    if (!numeric || count < 0)
        return QStringLiteral("its first line is not a \"NUMSUB=\" count");
    qint64 present = 0;
    while (!lines.atEnd()) {
        lines.next();
        ++present;
    }
    // Names past the count would be dropped.
    if (present > count)
        return QStringLiteral("it holds more names than its count");
    return {};
}

bool save(const QString &path, const QStringList &list)
{
    if (const QString why = damage(path); !why.isEmpty()) {
        CatalogueFile::refuseWrite(QStringLiteral("it is damaged: %1; it is kept as it is").arg(why));
        return false;
    }
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
