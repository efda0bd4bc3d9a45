#pragma once

#include "updater/updater_setup.h"

// Shows the window frmGuncel of this system's view (Qt on Linux, Win32 on Windows) and runs
// its events until it is closed; the program's exit status. The updater's own folder is the
// folder of the running program, and its message boxes are the view's.
int runUpdaterWindow(int argc, char* argv[], const UpdaterSetup& setup);
