#include "pixmaplookup.h"

#include <QImageReader>
#include "uilog.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

void PixmapLookup::setSearchPaths(const QStringList &folders)
{
    m_folders = folders;
    m_cache.clear();
}

QString PixmapLookup::filePath(const QString &name) const
{
    if (name.isEmpty())
        return {};
    for (const QString &folder : m_folders) {
        const QString path = QDir(folder).filePath(name);
        if (QFileInfo(path).isFile())
            return path;
    }
    return {};
}

namespace {

// The format a theme picture's name gives. Read with its format named, a picture is
// decoded at once; unnamed, the reader first asks every image plug-in whether it knows
// the file, loading them all (several libraries) before the window can show.
const char *formatOf(const QString &path)
{
    if (path.endsWith(QLatin1String(".png"), Qt::CaseInsensitive))
        return "PNG";
    if (path.endsWith(QLatin1String(".gif"), Qt::CaseInsensitive))
        return "GIF";
    if (path.endsWith(QLatin1String(".jpg"), Qt::CaseInsensitive))
        return "JPEG";
    return nullptr;
}

QImage readPicture(const QString &path)
{
    if (const char *format = formatOf(path)) {
        QImageReader reader(path, format);
        reader.setAutoDetectImageFormat(false);
        const QImage picture = reader.read();
        if (!picture.isNull())
            return picture;
    }
    // A picture whose name belies its format is read as what it is.
    return QImage(path);
}

} // namespace

QPixmap PixmapLookup::pixmap(const QString &name) const
{
    const auto hit = m_cache.constFind(name);
    if (hit != m_cache.constEnd())
        return *hit;
    const QString path = filePath(name);
    QPixmap pm;
    if (!path.isEmpty())
        pm = QPixmap::fromImage(readPicture(path));
    if (pm.isNull())
        qCDebug(lcUi) << "no theme picture" << name << "in" << m_folders;
    m_cache.insert(name, pm);
    return pm;
}

QImage PixmapLookup::image(const QString &name) const
{
    const QString path = filePath(name);
    if (path.isEmpty())
        return {};
    return readPicture(path);
}

QStringList PixmapLookup::installationFolders(const QString &installDir, bool grayTheme)
{
    const QString root = QDir::fromNativeSeparators(installDir);
    QStringList folders{root + QStringLiteral("/Pref/")};
    const QStringList kinds{QStringLiteral("Pixmap"), QStringLiteral("Frame"), QStringLiteral("UserBadge")};
    if (grayTheme) {
        for (const QString &kind : kinds)
            folders << root + QStringLiteral("/Theme/gray/") + kind + QLatin1Char('/');
    }
    for (const QString &kind : kinds)
        folders << root + QStringLiteral("/Theme/blue/") + kind + QLatin1Char('/');
    return folders;
}

QString PixmapLookup::shippedThemeRoot()
{
    const QString exeDir = QCoreApplication::applicationDirPath();
    return QDir::cleanPath(exeDir + QStringLiteral("/../share/vellaro/Theme"));
}

QStringList PixmapLookup::shippedThemeFolders()
{
    const QString root = shippedThemeRoot();
    return {root + QStringLiteral("/blue/Pixmap/"), root + QStringLiteral("/blue/Frame/"),
            root + QStringLiteral("/blue/UserBadge/")};
}

namespace {
PixmapLookup &theLookup()
{
    static PixmapLookup lookup;
    return lookup;
}

// Pixmaps must not outlive the application object: drop the cache as it goes down.
void dropCachedPixmaps()
{
    theLookup().clearCache();
}
} // namespace

PixmapLookup &PixmapLookup::instance()
{
    static const bool registered = [] {
        qAddPostRoutine(dropCachedPixmaps);
        return true;
    }();
    Q_UNUSED(registered);
    return theLookup();
}

void PixmapLookup::clearCache()
{
    m_cache.clear();
}

void PixmapLookup::configure(const QString &installDir, bool grayTheme)
{
    instance().setSearchPaths(installationFolders(installDir, grayTheme) + shippedThemeFolders());
    qCDebug(lcUi) << "theme shipped in" << shippedThemeRoot();
}

QPixmap kivPixmap(const QString &name)
{
    return PixmapLookup::instance().pixmap(name);
}
