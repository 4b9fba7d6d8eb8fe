#pragma once

#include <QStringList>

// The two name lists of the catalogue root, "subjects.list" (the persons pictures can
// be tagged with) and "hidedir.list" (folders the locator must not turn into albums
// again). Both files: "NUMSUB=" and the count, then one element per line.
namespace NameList {

// True when the file existed and held at least one element. A missing file leaves
// `list` unchanged; a file that cannot be read leaves it empty.
bool load(const QString &path, QStringList &list);
// False when the file cannot be written.
// A list on disk that is damaged (see damage()) is never written over: save() then
// refuses, CatalogueFile::lastWriteError() saying why.
bool save(const QString &path, const QStringList &list);
// Why the list at `path` is not a whole list; empty when it is, or is not there.
QString damage(const QString &path);

QString subjectsPath(const QString &catalogueRoot);
QString hiddenDirsPath(const QString &catalogueRoot);

// A picture's persons: the "personinit" text split at ",", empty pieces dropped.
QStringList persons(const QString &personInit);

} // namespace NameList
