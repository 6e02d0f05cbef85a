#include "app/listcommand.h"

#include "platform/commandline.h"
#include "platform/singleinstance.h"
#include "services/listtransfer.h"
#include "watchlist/changefailure.h"
#include "watchlist/watchlist.h"

#include <QFileInfo>

#include <cstdio>

namespace velmora {

int RunListCommand(const AppSettings &settings, const CommandLine &line)
{
    const bool importing = !line.importFile.isEmpty();
    const QString verb = importing ? QStringLiteral("import") : QStringLiteral("export");
    // Absolute, since the program that may take the work over runs in a folder of its own.
    const QString path =
        QFileInfo(importing ? line.importFile : line.exportFile).absoluteFilePath();

    SingleInstance instance(settings.dataDir);
    auto outcome = instance.handCommandOver(verb, path);
    if (!outcome) {
        WatchList list(settings.dataDir.toStdString());
        const auto loadError = list.load();
        if (!importing && loadError && loadError->kind == StoreError::Kind::UnreadableList) {
            outcome = std::pair{1, LoadFailureText(*loadError)};
        } else {
            const TransferOutcome done = importing ? ImportList(list, path) : ExportList(list, path);
            outcome = std::pair{done.ok ? 0 : 1, done.message};
        }
    }
    std::fputs(qUtf8Printable(outcome->second + QLatin1Char('\n')), outcome->first == 0 ? stdout : stderr);
    return outcome->first;
}

} // namespace velmora
