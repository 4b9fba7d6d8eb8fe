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
bool save(const QString &path, const QStringList &list);

QString subjectsPath(const QString &catalogueRoot);
QString hiddenDirsPath(const QString &catalogueRoot);

// A picture's persons: the "personinit" text split at ",", empty pieces dropped.
QStringList persons(const QString &personInit);

} // namespace NameList
