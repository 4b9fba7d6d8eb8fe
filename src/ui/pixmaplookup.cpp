#include "pixmaplookup.h"

#include <QImageReader>
#include "uilog.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSet>

#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

QString pathIn(const QStringList &folders, const QString &name)
{
    if (name.isEmpty())
        return {};
    for (const QString &folder : folders) {
        const QString path = QDir(folder).filePath(name);
        if (QFileInfo(path).isFile())
            return path;
    }
    return {};
}

QImage readPicture(const QString &path);

} // namespace

struct PixmapLookup::Preload
{
    QSet<QString> listed;
    std::mutex mutex;
    std::condition_variable ready;
    QHash<QString, QImage> read;  // read, not taken yet (a missing picture: a null image)
    bool finished = false;
    bool stop = false;
    QStringList unlisted;
    std::thread thread;
};

PixmapLookup::PixmapLookup() = default;

PixmapLookup::~PixmapLookup()
{
    endPreload();
}

void PixmapLookup::setSearchPaths(const QStringList &folders)
{
    // What a preload read came from the folders before.
    endPreload();
    m_folders = folders;
    m_cache.clear();
}

QString PixmapLookup::filePath(const QString &name) const
{
    return pathIn(m_folders, name);
}

void PixmapLookup::preload(const QStringList &names)
{
    endPreload();
    m_preload = std::make_unique<Preload>();
    Preload *preload = m_preload.get();
    for (const QString &name : names) {
        if (!m_cache.contains(name))
            preload->listed.insert(name);
    }
    QStringList toRead;
    for (const QString &name : names) {
        if (preload->listed.contains(name) && !toRead.contains(name))
            toRead << name;
    }
    preload->thread = std::thread([preload, toRead, folders = m_folders] {
        for (const QString &name : toRead) {
            {
                std::lock_guard<std::mutex> lock(preload->mutex);
                if (preload->stop)
                    break;
            }
            const QString path = pathIn(folders, name);
            QImage picture = path.isEmpty() ? QImage() : readPicture(path);
            std::lock_guard<std::mutex> lock(preload->mutex);
            preload->read.insert(name, std::move(picture));
            preload->ready.notify_all();
        }
        std::lock_guard<std::mutex> lock(preload->mutex);
        preload->finished = true;
        preload->ready.notify_all();
    });
}

QStringList PixmapLookup::endPreload(QStringList *unused)
{
    if (unused)
        unused->clear();
    if (!m_preload)
        return {};
    {
        std::lock_guard<std::mutex> lock(m_preload->mutex);
        m_preload->stop = true;
    }
    m_preload->thread.join();
    if (unused) {
        for (const QString &name : std::as_const(m_preload->listed)) {
            if (!m_cache.contains(name))
                unused->append(name);
        }
        unused->sort();
    }
    const QStringList unlisted = m_preload->unlisted;
    m_preload.reset();
    return unlisted;
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
    QImage picture;
    bool preloaded = false;
    if (m_preload) {
        Preload &preload = *m_preload;
        if (preload.listed.contains(name)) {
            std::unique_lock<std::mutex> lock(preload.mutex);
            preload.ready.wait(lock, [&] { return preload.finished || preload.read.contains(name); });
            const auto read = preload.read.find(name);
            if (read != preload.read.end()) {
                picture = std::move(*read);
                preload.read.erase(read);
                preloaded = true;
            }
        } else if (!preload.unlisted.contains(name)) {
            preload.unlisted << name;
        }
    }
    if (!preloaded) {
        const QString path = filePath(name);
        if (!path.isEmpty())
            picture = readPicture(path);
    }
    QPixmap pm = QPixmap::fromImage(std::move(picture));
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
    endPreload();
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
