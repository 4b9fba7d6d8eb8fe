#pragma once

#include <QSettings>
#include <memory>

// The per-user settings store under the maker's key: the registry on Windows,
// ~/.config/Halvarin/Vellaro.conf on Linux. A store is opened for each read or write
// pass. Keys are used exactly as written ("//Vellaro//ThumbsBay//Frame").
namespace SettingsStore {
inline std::unique_ptr<QSettings> open()
{
    return std::make_unique<QSettings>(QStringLiteral("Halvarin"), QStringLiteral("Vellaro"));
}
} // namespace SettingsStore
