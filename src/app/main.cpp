#include "imageeffects.h"
#include "prompter.h"
#include "startup.h"

#include <QApplication>
#include <cstdio>
#include <cstring>

int main(int argc, char **argv)
{
    std::fputs("Vellaro starting...\n", stdout);
    std::fflush(stdout);
    QApplication app(argc, argv);
    ImageEffects::keepLargeBuffers();
    QApplication::setOrganizationName(QStringLiteral("Halvarin"));
    QApplication::setApplicationName(QStringLiteral("Vellaro"));
    QApplication::setApplicationVersion(QStringLiteral("1.0"));

    // --exit-when-shown closes the window as soon as it has painted once; the
    // start-up benchmark measures the whole run with it.
    bool exitWhenShown = false;
    for (int i = 1; i < argc; ++i)
        exitWhenShown = exitWhenShown || std::strcmp(argv[i], "--exit-when-shown") == 0;

    WidgetPrompter prompter;
    return Startup::run(prompter, exitWhenShown);
}
