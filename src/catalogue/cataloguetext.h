#pragma once

#include <QString>
#include <QStringList>

// Checks what a user types before it reaches a catalogue file. One place answers for
// every entry point (the windows and the command-line tool), in the same words.
namespace CatalogueText {

// An album or group name: it is stored in "library.db", whose rows are joined with
// ","; an empty name or one with "," or a line end would come back shifted. Returns
// the refusal message, or an empty string when the name can be stored.
QString albumNameRefusal(const QString &name);

// The name of a dynamic album, taken from its folder's name: "," is allowed (the
// library index reads such names back), but not "|", a line end, or a name too long
// to name the album's files.
QString folderNameRefusal(const QString &name);

// A picture property (title, comment, persons, ...): album rows are joined with "|"
// and property files hold one value per line, so "|" and line ends are refused.
QString propertyRefusal(const QString &value);

// A subject (person) name: pictures hold their persons joined with ",", so a name
// with "," is refused, as are "|" and line ends.
QString subjectRefusal(const QString &name);

// The picture categories offered, in order ("Undefined" first: no category).
const QStringList &categories();

} // namespace CatalogueText
