#pragma once

#include <QStringList>

// What the pictures and folders named on the command line open (as a file manager
// passes them): the pictures to step through, in order, and the one shown first.
namespace OpenArguments {

struct Plan
{
    QStringList pictures;  // absolute paths, in viewing order
    int start = -1;        // the picture shown first; -1 when there is none
    QString title;         // the name the pictures are shown under
    QStringList unusable;  // arguments that are neither a picture nor a folder of pictures
};

// Whether `path` names a picture file the program can read (by its extension, as a
// folder's files are judged, or else by its content).
bool isPicture(const QString &path);

// The pictures directly inside `folder`, hidden files left out, sorted by name as a
// file manager sorts them ("IMG_2" before "IMG_10", case aside).
QStringList picturesIn(const QString &folder);

// One picture: the pictures of its folder, starting at it. One folder: its pictures,
// starting at the first. Several arguments: each picture, and each folder's pictures,
// once each in the order given, starting at the first.
Plan plan(const QStringList &arguments);

} // namespace OpenArguments
