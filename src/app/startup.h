#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class Prompter;
class QSettings;
class QWidget;
class prefImplementation;

namespace Startup {

// The message shown when the installation directory key holds the empty string.
QString installationMessage();

// Reads the installation directory ("//Vellaro//PATH_INSTALL", the per-user data
// folder when absent). When the key holds the empty string the installation message
// is shown and nothing is returned: the program must end. Otherwise the preferences
// object, with the directory and every setting read, in table order.
std::unique_ptr<prefImplementation> loadPreferences(QSettings &store, Prompter &prompter);

// The theme pictures the window shows as it starts, in the order it asks for them: read
// on a thread of their own while the window is built.
QStringList startPictures();

// Runs `work` once, when `window` has painted for the first time: what the window can
// show without is done after it shows.
class AfterFirstPaint : public QObject
{
public:
    AfterFirstPaint(QWidget *window, std::function<void()> work);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *m_window;
    std::function<void()> m_work;
};

// What the start leaves until its window has painted: the end of the theme pictures'
// preload, the window icon, and with `exitWhenShown` the moment said on standard error
// ("vellaro: shown at SECONDS") and the window closed.
void afterFirstPaint(bool exitWhenShown, QWidget *window);

// The whole entry point after the application object exists: preferences, pixmap
// look-up, the top-level window, the pictures and folders named on the command line
// (`toOpen`, opened in the viewer), the event loop. Returns the program's exit code.
int run(Prompter &prompter, bool exitWhenShown, const QStringList &toOpen = QStringList());

} // namespace Startup
