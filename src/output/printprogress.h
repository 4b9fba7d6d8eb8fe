#pragma once

#include "printrun.h"

class QPrinter;
class QWidget;

namespace PrintProgress {

// Prints `run` on `printer` from a worker thread while a progress dialog over `parent`
// shows the pages done; its Cancel stops after the page being printed. The window stays
// live meanwhile, and the printer must not be touched until this returns.
PrintRun::Result print(QWidget *parent, const PrintRun &run, QPrinter &printer);

} // namespace PrintProgress
