#pragma once

// The organiser page the window benches drive: started on the catalogue of an
// installation folder, shown (offscreen) at the window's size, its album list filled.
#include "ambriomainwindow.h"
#include "pixmaplookup.h"
#include "prefimplementation.h"
#include "prompter.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

struct BenchPage
{
    prefImplementation pref;
    AmbrioMainWindow page;

    BenchPage(const QString &install, Prompter *prompter, bool albumCache = true)
    {
        PixmapLookup::configure(install, false);
        pref.setInstallPath(install);
        pref.setFirstStartup(false);
        pref.setAlbumCache(albumCache);
        page.setPref(&pref);
        page.setPrompter(prompter);
        page.startup();
        page.resize(800, 560);
        page.show();
        QCoreApplication::processEvents();
    }
};

// The bench's one argument, a folder; empty, once `usage` is told, when it was not given
// just so.
inline QString onlyArgument(const char *usage)
{
    const QStringList args = QCoreApplication::arguments().mid(1);
    if (args.size() == 1)
        return args.first();
    std::fprintf(stderr, "%s\n", usage);
    return QString();
}
