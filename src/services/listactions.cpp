#include "services/listtransfer.h"

#include "core/filesystem.h"
#include "core/watchlistcsv.h"
#include "platform/textcodec.h"
#include "watchlist/changefailure.h"
#include "watchlist/watchlist.h"

#include <QFile>
#include <QFileInfo>

namespace velmora {

namespace {

QString reasonOf(const SystemError &error)
{
    return QString::fromStdString(SystemErrorText(error));
}

std::filesystem::path fsPath(const QString &path)
{
    return QFile::encodeName(path).toStdString();
}

} // namespace

TransferOutcome ImportList(WatchList &list, const QString &path)
{
    const QString name = QFileInfo(path).fileName();
    if (const auto &refusal = list.refusal())
        return {false, 0, StoreFailureText(*refusal, WatchListChange::Import)};
    SystemError cause;
    const auto bytes = StoreFileSystem::real().readAll(fsPath(path), &cause);
    if (!bytes) {
        return {false, 0, QStringLiteral("无法读取文件 %1（%2），没有导入任何股票。")
                              .arg(name, reasonOf(cause))};
    }
    // UTF-8 when it is valid UTF-8 (a byte order mark or not), else GBK.
    const std::string text = DecodeText(QByteArrayView(bytes->data(), qsizetype(bytes->size())))
                                 .toStdString();
    const CsvImport read = ReadWatchListCsv(text);
    if (!read.problems.empty()) {
        return {false, 0, QStringLiteral("文件 %1 中有不能导入的行，没有导入任何股票：\n%2")
                              .arg(name, QString::fromStdString(CsvProblemsText(read.problems)))};
    }
    if (read.entries.empty())
        return {true, 0, QStringLiteral("文件 %1 中没有股票，列表没有改变。").arg(name)};
    if (const auto error = list.addAll(read.entries))
        return {false, 0, StoreFailureText(*error, WatchListChange::Import)};
    const int added = int(read.entries.size());
    return {true, added, QStringLiteral("已从 %1 导入 %2 只股票。").arg(name).arg(added)};
}

TransferOutcome ExportList(const WatchList &list, const QString &path)
{
    std::vector<CsvRow> rows;
    rows.reserve(std::size_t(list.rowCount()));
    for (int position = 0; position < list.rowCount(); ++position) {
        rows.push_back({list.text(position, WatchList::Code).toStdString(),
                        list.text(position, WatchList::TakeProfit).toStdString(),
                        list.text(position, WatchList::StopLoss).toStdString()});
    }
    const QString name = QFileInfo(path).fileName();
    StoreFileSystem &fs = StoreFileSystem::real();
    const std::filesystem::path target = fsPath(path);
    std::filesystem::path written = target;
    written += ".new";
    SystemError cause;
    if (!fs.writeDurably(written, WatchListCsv(rows), &cause) || !fs.rename(written, target, &cause)) {
        fs.remove(written, nullptr);
        return {false, 0, QStringLiteral("无法导出到 %1（%2）。").arg(name, reasonOf(cause))};
    }
    return {true, int(rows.size()),
            QStringLiteral("已把 %1 只股票导出到 %2。").arg(rows.size()).arg(name)};
}

} // namespace velmora
