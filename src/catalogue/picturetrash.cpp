#include "picturetrash.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QFileInfo>

namespace PictureTrash {

Outcome discard(const QString &path, QString *why)
{
    // The home trash lives in the data folder, which a fresh account may not have yet.
    QDir().mkpath(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
    QFile file(path);
    if (file.moveToTrash())
        return Outcome::Trashed;
    // moveToTrash fails when neither the home trash nor a trash at the top of the
    // file's volume can be used; the file is then deleted as it was asked.
    const QString trashError = file.errorString();
    if (QFileInfo(path).isFile() && QFile::remove(path))
        return Outcome::Deleted;
    if (why)
        *why = trashError;
    return Outcome::Failed;
}

QString summary(int trashed, int deleted, int failed)
{
    QStringList parts;
    if (trashed > 0)
        parts << QStringLiteral("%1 picture(s) moved to the trash").arg(trashed);
    if (deleted > 0)
        parts << QStringLiteral("%1 picture(s) deleted (no trash could take them)").arg(deleted);
    if (failed > 0)
        parts << QStringLiteral("%1 picture(s) could not be removed and are still in the folder").arg(failed);
    return parts.join(QStringLiteral(", "));
}

} // namespace PictureTrash
