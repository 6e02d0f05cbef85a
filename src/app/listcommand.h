#pragma once

#include "platform/settings.h"

namespace velmora {

struct CommandLine;

// velmora --import FILE / --export FILE: the list in or out as a table, without a window,
// for scripts. With the program running on the same folder the work is handed to it, so the
// list on screen and its files stay one; otherwise this process holds the folder while it
// works, so two writers never touch the files. Prints what came of it; the exit status is 0
// when it was done and 1 when it was refused.
int RunListCommand(const AppSettings &settings, const CommandLine &line);

} // namespace velmora
