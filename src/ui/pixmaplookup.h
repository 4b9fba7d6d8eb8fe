#pragma once

#include <QHash>
#include <QImage>
#include <QPixmap>
#include <QStringList>

#include <memory>

// Finds every picture of the program by its bare file name ("playlist.png",
// "Photo (default).png") in an ordered list of folders: a name found in an earlier
// folder hides the same name in a later one. A name found nowhere gives a null
// pixmap and nothing is reported.
//
// The program uses one look-up, set up by the entry point (see configure()); the
// folders are, in order: the installation's Pref folder, the gray theme (only with
// the theme flag), the blue theme, then the theme shipped with the program.
class PixmapLookup
{
public:
    PixmapLookup();
    ~PixmapLookup();
    PixmapLookup(const PixmapLookup &) = delete;
    PixmapLookup &operator=(const PixmapLookup &) = delete;

    void setSearchPaths(const QStringList &folders);
    QStringList searchPaths() const { return m_folders; }

    // Full path of the first folder's file with that name, or an empty string.
    QString filePath(const QString &name) const;
    QPixmap pixmap(const QString &name) const;
    QImage image(const QString &name) const;
    void clearCache();

    // Reads these pictures on a thread of its own, in this order, while the program goes
    // on (a start builds its window meanwhile); pixmap() of one of them takes it from
    // there, waiting for it if it is not read yet. Search paths set meanwhile end it.
    void preload(const QStringList &names);
    // Ends the preload: its thread is waited for and what nobody asked for is dropped.
    // Returns the names asked for meanwhile that it did not hold, and in `unused` those
    // it held that nobody asked for.
    QStringList endPreload(QStringList *unused = nullptr);

    // The search folders for an installation directory, in the designed order.
    static QStringList installationFolders(const QString &installDir, bool grayTheme);
    // The blue theme shipped with the program: <exe>/../share/vellaro/Theme/blue/…,
    // which is the same place in the build tree and in the installed tree.
    static QStringList shippedThemeFolders();
    static QString shippedThemeRoot();

    // The look-up the whole program asks.
    static PixmapLookup &instance();
    static void configure(const QString &installDir, bool grayTheme);

private:
    struct Preload;

    QStringList m_folders;
    std::unique_ptr<Preload> m_preload;
    // Pixmaps are cached by name: the same badge or frame is asked for on every paint.
    mutable QHash<QString, QPixmap> m_cache;
};

// Shorthand for PixmapLookup::instance().pixmap(name).
QPixmap kivPixmap(const QString &name);
