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

namespace {

// Work put off until the window has painted once: the window icon (painted from its
// drawing at every size; the window system shows it no sooner than the window itself),
// and with --exit-when-shown the end of the run (start-up measurements).
class FirstPaintWatcher : public QObject
{
public:
    FirstPaintWatcher(QWidget *window, bool exitWhenShown)
        : m_window(window)
        , m_exitWhenShown(exitWhenShown)
    {
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched != m_window || event->type() != QEvent::Paint || m_done)
            return false;
        m_done = true;
        QTimer::singleShot(0, m_window, [] { QApplication::setWindowIcon(vellaroAppIcon()); });
        if (m_exitWhenShown) {
            // The moment the window is shown, for a measurement against the moment the
            // program was started (the run goes on to close the window and end).
            timespec now{};
            clock_gettime(CLOCK_REALTIME, &now);
            std::fprintf(stderr, "vellaro: shown at %lld.%09ld\n", static_cast<long long>(now.tv_sec), now.tv_nsec);
            QTimer::singleShot(0, m_window, &QWidget::close);
        }
        return false;
    }

private:
    QWidget *m_window;
    bool m_exitWhenShown;
    bool m_done = false;
};

} // namespace

namespace Startup {

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

    auto window = std::make_unique<media>(nullptr, QStringLiteral("ambrio"), Qt::WindowFlags(), pref.get(),
                                          &prompter);
    FirstPaintWatcher watcher(window.get(), exitWhenShown);
    window->installEventFilter(&watcher);
    window->show();
    // Opened before the first paint, so a start measured to its first paint has the
    // picture on screen.
    window->organiser()->openPaths(toOpen);
    const int code = QApplication::exec();
    window.reset();
    return code;
}

} // namespace Startup
