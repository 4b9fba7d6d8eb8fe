#pragma once

#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>

// The search for picture folders: a depth-first walk of folder trees that reports every
// folder holding a JPEG picture of at least 640 x 480. It only reads the file system:
// symbolic links are not followed (a link loop repeats nothing), hidden folders, pseudo
// file systems and unreadable folders are passed over, and a folder of the skip list is
// not entered. Sizes come from the pictures' headers; a picture is decoded only when its
// header tells nothing.
namespace LocatorWalk {

// Whether `folder` qualifies: no "Vellaro" in its path, and a file whose name holds
// ".jpg" or ".jpeg" (any case) that reads as a picture wider than 639 and higher than 479.
bool isPictureFolder(const QString &folder, const std::atomic_bool *stop = nullptr);

// Whether the folder `path` is on a file system that holds no pictures but may be endless
// or slow to read (/proc, /sys, /dev/pts, cgroups...); also when it cannot be asked.
bool isPseudoFileSystem(const QByteArray &path);

// The folders walked by default: the home folder and the mounted volumes under /media,
// /mnt and /run/media, none inside another.
QStringList defaultRoots();

struct Progress
{
    std::atomic<int> folders{0};  // folders looked into so far
};

// Walks `roots` in order, each folder's sub-folders in name order; `found` is called with
// each picture folder's path as it is found, before its sub-folders are walked (a root
// that holds pictures is found too). The walk ends early when `stop` turns true (checked
// between folders and between pictures) or `found` returns false.
void walk(const QStringList &roots, const QStringList &skips, const std::function<bool(const QString &)> &found,
          const std::atomic_bool &stop, Progress *progress = nullptr);

} // namespace LocatorWalk
