#pragma once

#include <QString>
#include <QStringList>

namespace velmora {

// What the command line asked for. Read with QCommandLineParser; every text it prints is ours,
// in Chinese.
struct CommandLine
{
    enum class Action { Run, Help, Version, Refuse };
    Action action = Action::Run;
    bool demo = false;
    QString dataDir; // empty when --data-dir was not given
    // --import FILE or --export FILE: the list in or out as a table, without a window.
    QString importFile;
    QString exportFile;
    QString text;    // the help or version text, or why the line was refused
};

// arguments as the program got them, its own name first.
CommandLine ParseCommandLine(const QStringList &arguments);

} // namespace velmora
