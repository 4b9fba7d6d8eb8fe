#pragma once

#include <QString>

class LibraryIndex;

// What every album needs to know about the catalogue it belongs to. One object lives
// as long as the catalogue; albums keep a pointer to it.
struct CatalogueContext
{
    QString root;                     // installation directory + "/DataBase"
    QString folder;                   // installation directory + "/DataBase/db"
    bool albumIconType = true;        // show an album's first picture as its icon
    LibraryIndex *library = nullptr;  // the library index, for albums that commit themselves
    // Fill a new picture's empty fields from its own metadata (EXIF, IPTC, XMP) when it
    // is added; the window and the tool set it from the preference.
    bool readTagsOnAdd = false;
    // The album list shows every album's icon as soon as it is loaded, which fixes the
    // album's content kind from its rows as loaded: the loader works the kinds out on
    // its reading threads.
    bool kindsAtLoad = false;

    static CatalogueContext forInstallation(const QString &installDir);
    QString albumFolder(const QString &kivDir) const { return folder + QLatin1Char('/') + kivDir; }
};
