#include "app/listcommand.h"

#include "platform/commandline.h"
#include "platform/singleinstance.h"
#include "services/listactions.h"
#include "watchlist/watchlist.h"

#include <QFileInfo>

#include <cstdio>

namespace velmora {

std::pair<int, QString> RunListVerb(ListActions &actions, ListVerb verb, const QString &path)
{
    ActionResult result;
    switch (verb) {
    case ListVerb::Import:
        result = actions.importFile(path);
        break;
    case ListVerb::Export:
        result = actions.exportFile(path);
        break;
    case ListVerb::ImportHoldings:
        result = actions.importHoldings(path);
        break;
    case ListVerb::ExportHoldings:
        result = actions.exportHoldings(path);
        break;
    }
    return {result.ok ? 0 : 1, result.message};
}

int RunListCommand(const AppSettings &settings, const CommandLine &line)
{
    const ListVerb verb = *line.listVerb;
    // Absolute, since the program that may take the work over runs in a folder of its own.
    const QString path = QFileInfo(line.listFile).absoluteFilePath();

    SingleInstance instance(settings.dataDir);
    auto outcome = instance.handCommandOver(verb, path);
    if (!outcome) {
        WatchList list(settings.dataDir.toStdString());
        list.load(); // a list that cannot be read refuses both verbs itself
        ListActions actions(list);
        outcome = RunListVerb(actions, verb, path);
    }
    std::fputs(qUtf8Printable(outcome->second + QLatin1Char('\n')), outcome->first == 0 ? stdout : stderr);
    return outcome->first;
}

} // namespace velmora
