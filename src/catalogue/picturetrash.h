#pragma once

#include <QString>

// Where a user's picture goes when the program deletes it (clearing a dynamic album,
// deleting a picture from one): into the desktop trash, from which the user can take
// it back. Only where no trash can hold it is the file deleted outright.
namespace PictureTrash {

enum class Outcome {
    Trashed,  // in the trash
    Deleted,  // no trash could take it: deleted
    Failed,   // still where it was
};

Outcome discard(const QString &path, QString *why = nullptr);

// The words a message uses for what happened to the pictures, "moved to the trash"
// or, when some could not be trashed, what became of them.
QString summary(int trashed, int deleted, int failed);

} // namespace PictureTrash
