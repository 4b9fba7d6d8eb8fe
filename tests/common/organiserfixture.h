#pragma once

#include "ambriomainwindow.h"
#include "prefimplementation.h"

#include <memory>

// An organiser page started on an installation folder as the program starts it (no
// first-start question), shown at its designed size.
struct OrganiserFixture
{
    std::unique_ptr<prefImplementation> pref;
    std::unique_ptr<AmbrioMainWindow> page;

    AmbrioMainWindow *start(const QString &installDir, Prompter *prompter)
    {
        pref = std::make_unique<prefImplementation>();
        pref->setInstallPath(installDir);
        pref->setFirstStartup(false);
        page = std::make_unique<AmbrioMainWindow>();
        page->setPref(pref.get());
        page->setPrompter(prompter);
        page->startup();
        page->resize(800, 560);
        page->show();
        return page.get();
    }
    void reset()
    {
        page.reset();
        pref.reset();
    }
};
