#include "prefimplementation.h"

#include <QDir>
#include <QSettings>
#include <QStandardPaths>

namespace {

struct SettingEntry
{
    const char *key;
    QVariant fallback;
};

// Every setting with its key and its default, once.
const SettingEntry &entry(prefImplementation::Setting setting)
{
    static const SettingEntry table[prefImplementation::SettingCount] = {
        {"//Vellaro//AlbumIconType", true},
        {"//Vellaro//AlbumViewBy", QStringLiteral("year")},
        {"//Vellaro//ThumbsBay//ViewFileName", false},
        {"//Vellaro//ThumbsBay//ShowAllFavorites", false},
        {"//Vellaro//AlbumCache", true},
        {"//Vellaro//ThumbsBay//PaintFrame", true},
        {"//Vellaro//ThumbsBay//Frame", QStringLiteral("Photo (default)")},
#ifdef Q_OS_WIN
        {"//Vellaro//ExternalEditor", QStringLiteral("c:\\Windows\\System32\\mspaint.exe")},
#else
        {"//Vellaro//ExternalEditor", QStringLiteral("gimp")},
#endif
        {"//Vellaro//MenuBar", false},
        {"//Vellaro//MiniIcon", false},
        {"//Vellaro//ExternalPrinter", QString()},
        {"//Vellaro//StartLocator", false},
        {"//Vellaro//FirstStartup", true},
        {"//Vellaro//FastThumbs", true},
        {"//Vellaro//ScannerDevice", QString()},
    };
    return table[setting];
}

// Converts what the store gives back (INI files return every value as text) to the
// type of the setting's default.
QVariant typedLike(const QVariant &stored, const QVariant &fallback)
{
    if (fallback.typeId() == QMetaType::Bool)
        return stored.toBool();
    return stored.toString();
}

} // namespace

const char *prefImplementation::key(Setting setting)
{
    return entry(setting).key;
}

QVariant prefImplementation::defaultValue(Setting setting)
{
    return entry(setting).fallback;
}

const char *prefImplementation::installPathKey()
{
    return "//Vellaro//PATH_INSTALL";
}

QString prefImplementation::defaultInstallPath()
{
#ifdef Q_OS_WIN
    return QStringLiteral("c:\\Program Files\\Vellaro");
#else
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
#endif
}

prefImplementation::prefImplementation(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("PrefContainer"));
    setModal(false);
    for (int i = 0; i < SettingCount; ++i)
        m_values[i] = entry(Setting(i)).fallback;
}

void prefImplementation::setValue(Setting setting, const QVariant &value)
{
    m_values[setting] = typedLike(value, entry(setting).fallback);
}

void prefImplementation::readSettings(QSettings &store)
{
    for (int i = 0; i < SettingCount; ++i) {
        const SettingEntry &e = entry(Setting(i));
        setValue(Setting(i), store.value(QLatin1String(e.key), e.fallback));
    }
}

void prefImplementation::writeSettings(QSettings &store) const
{
    for (int i = 0; i < SettingCount; ++i) {
        const SettingEntry &e = entry(Setting(i));
        store.setValue(QLatin1String(e.key), i == FirstStartup ? QVariant(false) : m_values[i]);
    }
    store.sync();
}

QString prefImplementation::catalogueRoot() const
{
    return QDir::fromNativeSeparators(m_installPath) + QStringLiteral("/DataBase");
}

QString prefImplementation::catalogueFolder() const
{
    return catalogueRoot() + QStringLiteral("/db");
}

QString prefImplementation::lastImportFolder() const
{
    return QDir::fromNativeSeparators(m_installPath) + QStringLiteral("/LastImport");
}

bool prefImplementation::createFolders() const
{
    bool ok = true;
    for (const QString &folder : {catalogueRoot(), catalogueFolder(), lastImportFolder()})
        ok = QDir().mkpath(folder) && ok;
    return ok;
}
