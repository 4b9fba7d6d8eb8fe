#include "startup.h"

#include "ambriomainwindow.h"
#include "appicon.h"
#include "media.h"
#include "pixmaplookup.h"
#include "prefimplementation.h"
#include "prompter.h"
#include "settingsstore.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <cstdio>
#include <ctime>
#include <utility>


namespace Startup {

AfterFirstPaint::AfterFirstPaint(QWidget *window, std::function<void()> work)
    : m_window(window)
    , m_work(std::move(work))
{
    window->installEventFilter(this);
}

bool AfterFirstPaint::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_window || event->type() != QEvent::Paint || !m_work)
        return false;
    // Once: the work leaves with the first paint.
    const std::function<void()> work = std::exchange(m_work, {});
    work();
    return false;
}

void afterFirstPaint(bool exitWhenShown, QWidget *window)
{
    PixmapLookup::instance().endPreload();
    // The window icon, painted from its drawing at every size: the window system shows it
    // no sooner than the window itself.
    QTimer::singleShot(0, window, [] { QApplication::setWindowIcon(vellaroAppIcon()); });
    if (exitWhenShown) {
        // The moment the window is shown, for a measurement against the moment the
        // program was started (the run goes on to close the window and end).
        timespec now{};
        clock_gettime(CLOCK_REALTIME, &now);
        std::fprintf(stderr, "vellaro: shown at %lld.%09ld\n", static_cast<long long>(now.tv_sec), now.tv_nsec);
        QTimer::singleShot(0, window, &QWidget::close);
    }
}

QStringList startPictures()
{
    return {
        // the pictures tray, the import bar, the favourites and the round buttons
        QStringLiteral("traybar-back.png"), QStringLiteral("badge-ok.png"), QStringLiteral("favorites.png"),
        QStringLiteral("big-round-buttons.png"), QStringLiteral("import-back.png"),
        // the splash
        QStringLiteral("splash.png"), QStringLiteral("start-kernel.png"), QStringLiteral("start-clipboard.png"),
        QStringLiteral("start-album.png"), QStringLiteral("start-ui.png"),
        // the organiser's buttons and menus
        QStringLiteral("copy.png"), QStringLiteral("paste.png"), QStringLiteral("favorites-large.png"),
        QStringLiteral("rool_add.png"), QStringLiteral("rool_remove.png"), QStringLiteral("view-method.png"),
        QStringLiteral("directory-playlist.png"), QStringLiteral("playlist.png"), QStringLiteral("help.png"),
        QStringLiteral("move_up.png"), QStringLiteral("move_down.png"), QStringLiteral("slideshow.png"),
        QStringLiteral("property-edit.png"), QStringLiteral("cut.png"), QStringLiteral("rool_update.png"),
        QStringLiteral("drive-mini.png"), QStringLiteral("lastplayed.png"), QStringLiteral("printer.png"),
        QStringLiteral("composemail.png"), QStringLiteral("view.png"), QStringLiteral("View-edit-external.png"),
        QStringLiteral("printer-external.png"), QStringLiteral("more-tools.png"), QStringLiteral("link.png"),
        // the badges, the selection mark and the thumbnails' default frame
        QStringLiteral("badge-special.png"), QStringLiteral("badge-important.png"), QStringLiteral("badge-urgent.png"),
        QStringLiteral("badge-no.png"), QStringLiteral("userbadge-toprint.png"), QStringLiteral("userbadge-toemail.png"),
        QStringLiteral("nouserbadge.png"), QStringLiteral("kivicon-photo-selected.png"),
        QStringLiteral("Photo (default).png"), QStringLiteral("Photo (default)-selected.png"),
        // the album list's branches, the search button, the start-up panel
        QStringLiteral("myphoto.png"), QStringLiteral("find.png"), QStringLiteral("statistiques.png"),
        QStringLiteral("library.png"), QStringLiteral("playlist-photo.png"), QStringLiteral("arrow-left.png"),
        QStringLiteral("arrow-down.png"), QStringLiteral("arrow-left-up.png"),
    };
}

QString installationMessage()
{
    return QStringLiteral("instalation have failed please do setup again") + QStringLiteral("\n or contact :")
           + QStringLiteral("support@vellaro.org") + QStringLiteral("\n\n");
}

std::unique_ptr<prefImplementation> loadPreferences(QSettings &store, Prompter &prompter)
{
    const QString installPath =
        store.value(QLatin1String(prefImplementation::installPathKey()), prefImplementation::defaultInstallPath())
            .toString();
    if (installPath.isEmpty()) {
        prompter.critical(nullptr, installationMessage());
        return nullptr;
    }
    auto pref = std::make_unique<prefImplementation>();
    pref->setInstallPath(installPath);
    pref->readSettings(store);
    return pref;
}

int run(Prompter &prompter, bool exitWhenShown, const QStringList &toOpen)
{
    std::unique_ptr<prefImplementation> pref = loadPreferences(*SettingsStore::open(), prompter);
    if (!pref)
        return 1;
    PixmapLookup::configure(pref->installPath(), pref->grayTheme());
    PixmapLookup::instance().preload(startPictures());

    auto window = std::make_unique<media>(nullptr, QStringLiteral("ambrio"), Qt::WindowFlags(), pref.get(),
                                          &prompter);
    QWidget *shown = window.get();
    AfterFirstPaint watcher(shown, [exitWhenShown, shown] { afterFirstPaint(exitWhenShown, shown); });
    window->show();
    // Opened before the first paint, so a start measured to its first paint has the
    // picture on screen.
    window->organiser()->openPaths(toOpen);
    const int code = QApplication::exec();
    window.reset();
    return code;
}

} // namespace Startup
