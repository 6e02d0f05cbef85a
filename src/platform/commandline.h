#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace velmora {

// What a command line asks of the list without a window: its table, or its lots, in or out.
// The word is the option's name and what a running program is handed.
enum class ListVerb { Import, Export, ImportHoldings, ExportHoldings };
inline constexpr ListVerb kListVerbs[] = {ListVerb::Import, ListVerb::Export, ListVerb::ImportHoldings,
                                          ListVerb::ExportHoldings};
QString ListVerbWord(ListVerb verb);
std::optional<ListVerb> ListVerbFromWord(const QString &word);

// What the command line asked for. Read with QCommandLineParser; every text it prints is ours,
// in Chinese.
struct CommandLine
{
    enum class Action { Run, Help, Version, Refuse };
    Action action = Action::Run;
    bool demo = false;
    QString dataDir; // empty when --data-dir was not given
    // --import, --export, --import-holdings or --export-holdings FILE: without a window.
    std::optional<ListVerb> listVerb;
    QString listFile;
    QString text;    // the help or version text, or why the line was refused
};

// arguments as the program got them, its own name first.
CommandLine ParseCommandLine(const QStringList &arguments);

} // namespace velmora
