#pragma once

#include "platform/commandline.h"
#include "platform/settings.h"

#include <utility>

namespace velmora {

class ListActions;

// One verb of the command line done on the list: the exit status (0 done, 1 refused) and what
// to print. The running program does a handed-over command the same way.
std::pair<int, QString> RunListVerb(ListActions &actions, ListVerb verb, const QString &path);

// velmora --import FILE / --export FILE: the list in or out as a table, without a window,
// for scripts. With the program running on the same folder the work is handed to it, so the
// list on screen and its files stay one; otherwise this process holds the folder while it
// works, so two writers never touch the files. Prints what came of it; the exit status is 0
// when it was done and 1 when it was refused.
int RunListCommand(const AppSettings &settings, const CommandLine &line);

} // namespace velmora
