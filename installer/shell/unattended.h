// The unattended installation (/S): the interactive defaults, with no window and no message box.
#pragma once

#include "common/setup_switches.h"

// Installs into the /D= folder, or the folder the destination page would propose, with the free-
// space rule of that page, the copy with its checks, the registry entries and the program group
// with its three shortcuts (no desktop shortcut). Returns the process's exit code: EXIT_INSTALLED,
// or EXIT_FAILED when the destination is unusable, too small, or the copy failed.
int RunUnattended(const SetupSwitches *switches);
