#pragma once
// Qt ends the process itself when its display fails: qFatal (abort) when it cannot connect,
// exit(1) when an X connection breaks later. The guard makes either end a decision of the
// program's own. Until the window has been shown, nothing of the job has run yet, so the
// program starts again in the terminal, after one line saying why. Once it shows, a lost
// display ends the job as closing the window does (exit status 3): the file under way stays
// a part file and nothing is logged.

#include "form/FrmUpdate.h"

namespace skyhaul::window {

// Before Qt starts: takes Qt's messages over. `argv` (the program's own, as main got it) is
// what the program starts again with.
void guardDisplayStart(int argc, char** argv);
// Once the window exists: a lost display ends the program through `form`'s close command.
void guardDisplayRun(form::FrmUpdate& form);
// The window has been shown: from now on a lost display ends the job.
void displayShown();

}  // namespace skyhaul::window
