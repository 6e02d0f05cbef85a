#include "services/listactions.h"

#include "core/filesystem.h"
#include "core/holdings.h"
#include "core/snapshots.h"
#include "core/thresholdedit.h"
#include "core/tradingclock.h"
#include "core/watchlistcsv.h"
#include "platform/textcodec.h"
#include "watchlist/watchlist.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include <cerrno>

namespace velmora {

namespace {

// A table with bad lines imports nothing; every such line is named.
ActionResult refusedForBadLines(const QString &name, const QString &nothingDone,
                                const std::vector<CsvProblem> &problems)
{
    return ActionResult::refused(QStringLiteral("文件 %1 中有不能导入的行，%2：\n%3")
                                     .arg(name, nothingDone, QString::fromStdString(CsvProblemsText(problems))));
}

// Purchase dates are checked against Shanghai's today, the furthest ahead of the markets' days.
std::string TodayInShanghai()
{
    return MarketDate(ShanghaiTime(QDateTime::currentSecsSinceEpoch()));
}

// The largest table an import reads.
constexpr std::size_t kMaxImportBytes = 8 * 1024 * 1024;

QString reasonOf(const SystemError &error)
{
    return QString::fromStdString(SystemErrorText(error));
}

std::filesystem::path fsPath(const QString &path)
{
    return QFile::encodeName(path).toStdString();
}

} // namespace

ActionResult ListActions::outcomeOf(const std::optional<StoreError> &error, WatchListChange change,
                                    ActionResult done) const
{
    if (error)
        return ActionResult::refused(StoreFailureText(*error, change));
    // Done, but without a copy to go back to: said with the change, every time.
    if (const auto &failure = m_list.snapshotFailure()) {
        const QString said = SnapshotFailureText(*failure, change);
        done.message = done.message.isEmpty() ? said : done.message + QLatin1Char('\n') + said;
        done.warning = true;
    }
    return done;
}

ListActions::ListActions(WatchList &list) : m_list(list) {}

std::optional<QString> ListActions::refusalBeforeAsking(WatchListChange change) const
{
    const auto &refusal = m_list.refusal();
    if (!refusal)
        return std::nullopt;
    // A folder that cannot be written is said before anything is typed, in the words of the
    // start; a list that could not be read refuses the add itself.
    if (change == WatchListChange::Add && refusal->kind != StoreError::Kind::ReadOnlyFolder)
        return std::nullopt;
    return StoreFailureText(*refusal, change);
}

ActionResult ListActions::add(const WatchEntry &entry)
{
    return outcomeOf(m_list.add(entry), WatchListChange::Add);
}

ActionResult ListActions::remove(int position)
{
    // No question asked.
    return outcomeOf(m_list.removeAt(position), WatchListChange::Remove);
}

ActionResult ListActions::editThreshold(int position, int column, const QString &typed)
{
    if (position < 0 || position >= m_list.rowCount() ||
        (column != WatchList::TakeProfit && column != WatchList::StopLoss))
        return ActionResult::done();
    const ThresholdEdit edit =
        ReadThresholdEdit(EncodeTyped(typed), EncodeTyped(m_list.text(position, column)));
    const QString caption =
        column == WatchList::TakeProfit ? QStringLiteral("止盈价") : QStringLiteral("止损价");
    switch (edit.outcome) {
    case ThresholdEdit::Outcome::Unchanged:
        return ActionResult::done();
    case ThresholdEdit::Outcome::Refused:
        return ActionResult::refused(
            QStringLiteral("%1只能留空或填写一个数字，例如 10.5。没有保存。").arg(caption));
    case ThresholdEdit::Outcome::Negative:
        return ActionResult::refused(QStringLiteral("%1不能是负数。没有保存。").arg(caption));
    case ThresholdEdit::Outcome::Store:
        break;
    }
    return outcomeOf(m_list.setThreshold(position, column, edit.value), WatchListChange::Edit);
}

std::optional<std::string> ListActions::readTable(const QString &path, const QString &nothingDone,
                                                  ActionResult &refused) const
{
    const QString name = QFileInfo(path).fileName();
    if (const auto &refusal = m_list.refusal()) {
        refused = ActionResult::refused(StoreFailureText(*refusal, WatchListChange::Import));
        return std::nullopt;
    }
    // Handed-over commands run inside the tray program: nothing may hang it or fill its memory.
    SystemError cause;
    const auto bytes = ReadRegularFile(fsPath(path), kMaxImportBytes, &cause);
    if (!bytes) {
        const QString why = cause.number == EFBIG ? QStringLiteral("超过 8 MiB") : reasonOf(cause);
        refused = ActionResult::refused(QStringLiteral("无法读取文件 %1（%2），%3。").arg(name, why, nothingDone));
        return std::nullopt;
    }
    // UTF-8 when it is valid UTF-8 (a byte order mark or not), else GBK.
    return DecodeText(QByteArrayView(bytes->data(), qsizetype(bytes->size()))).toStdString();
}

ActionResult ListActions::importAnyTable(const QString &path)
{
    ActionResult refused;
    const auto text = readTable(path, QStringLiteral("没有导入任何内容"), refused);
    if (!text)
        return refused;
    return IsHoldingsTable(*text) ? importHoldings(path) : importFile(path);
}

ActionResult ListActions::importFile(const QString &path)
{
    const QString name = QFileInfo(path).fileName();
    ActionResult refused;
    const auto text = readTable(path, QStringLiteral("没有导入任何股票"), refused);
    if (!text)
        return refused;
    const CsvImport read = ReadWatchListCsv(*text);
    if (!read.problems.empty())
        return refusedForBadLines(name, QStringLiteral("没有导入任何股票"), read.problems);
    if (read.entries.empty())
        return ActionResult::done(QStringLiteral("文件 %1 中没有股票，列表没有改变。").arg(name));
    const auto error = m_list.addAll(read.entries);
    const int added = int(read.entries.size());
    QString message = QStringLiteral("已从 %1 导入 %2 只股票。").arg(name).arg(added);
    if (!read.notes.empty())
        message += QStringLiteral("\n这些行按原样导入：\n") +
                   QString::fromStdString(CsvProblemsText(read.notes));
    return outcomeOf(error, WatchListChange::Import, ActionResult::done(message, added));
}

ActionResult ListActions::exportFile(const QString &path) const
{
    // A list that could not be read shows no rows: exporting it would write an empty table
    // over the user's file as if it were the list.
    if (const auto &refusal = m_list.refusal(); refusal && refusal->kind == StoreError::Kind::UnreadableList)
        return ActionResult::refused(LoadFailureText(*refusal) + QStringLiteral("\n没有导出。"));
    std::vector<CsvRow> rows;
    rows.reserve(std::size_t(m_list.rowCount()));
    for (int position = 0; position < m_list.rowCount(); ++position) {
        const WatchEntry &entry = m_list.rowAt(position).entry;
        rows.push_back({DecodeStored(entry.code).toStdString(),
                        DecodeStored(entry.takeProfit).toStdString(),
                        DecodeStored(entry.stopLoss).toStdString()});
    }
    return writeTable(path, WatchListCsv(rows), int(rows.size()), QStringLiteral("只股票"));
}

ActionResult ListActions::writeTable(const QString &path, const std::string &bytes, int rows,
                                     const QString &what) const
{
    const QString name = QFileInfo(path).fileName();
    StoreFileSystem &fs = StoreFileSystem::real();
    const std::filesystem::path target = fsPath(path);
    std::filesystem::path written = target;
    written += ".new";
    SystemError cause;
    if (!fs.writeDurably(written, bytes, &cause) || !fs.rename(written, target, &cause)) {
        fs.remove(written, nullptr);
        return ActionResult::refused(QStringLiteral("无法导出到 %1（%2）。").arg(name, reasonOf(cause)));
    }
    return ActionResult::done(QStringLiteral("已把 %1 %2导出到 %3。").arg(rows).arg(what, name), rows);
}

ActionResult ListActions::exportHoldings(const QString &path) const
{
    if (const auto &problem = m_list.holdingsProblem())
        return ActionResult::refused(HoldingsFailureText(*problem));
    return writeTable(path, HoldingsCsv(m_list.lots()), int(m_list.lots().size()), QStringLiteral("笔持仓"));
}

ActionResult ListActions::importHoldings(const QString &path)
{
    const QString name = QFileInfo(path).fileName();
    ActionResult refused;
    const auto text = readTable(path, QStringLiteral("没有导入任何持仓"), refused);
    if (!text)
        return refused;
    if (const auto &problem = m_list.holdingsProblem())
        return ActionResult::refused(HoldingsFailureText(*problem));
    const HoldingsImport read = ReadHoldingsCsv(*text, TodayInShanghai());
    if (!read.problems.empty())
        return refusedForBadLines(name, QStringLiteral("没有导入任何持仓"), read.problems);
    if (read.lots.empty())
        return ActionResult::done(QStringLiteral("文件 %1 中没有持仓，持仓没有改变。").arg(name));
    const int rowsBefore = m_list.rowCount();
    const auto error = m_list.addLots(read.lots);
    if (error && error->file == kHoldingsFileName && error->kind == StoreError::Kind::UnreadableList)
        return ActionResult::refused(HoldingsFailureText(*error));
    QString message = QStringLiteral("已从 %1 导入 %2 笔持仓。").arg(name).arg(read.lots.size());
    if (!error && m_list.rowCount() > rowsBefore)
        message += QStringLiteral("\n新加入自选股 %1 只。").arg(m_list.rowCount() - rowsBefore);
    return outcomeOf(error, WatchListChange::Import, ActionResult::done(message, int(read.lots.size())));
}

ActionResult ListActions::setLots(const std::string &code,
                                  const std::vector<std::array<std::string, 3>> &lots)
{
    Lots checked;
    QStringList problems;
    const std::string today = TodayInShanghai();
    for (std::size_t i = 0; i < lots.size(); ++i) {
        Lot lot;
        const std::string why = LotProblems(code, lots[i][0], lots[i][1], lots[i][2], today, &lot);
        if (!why.empty())
            problems << QStringLiteral("第 %1 笔：%2").arg(i + 1).arg(QString::fromStdString(why));
        checked.push_back(std::move(lot));
    }
    if (!problems.isEmpty())
        return ActionResult::refused(QStringLiteral("持仓没有保存：\n") + problems.join(QLatin1Char('\n')));
    const auto error = m_list.setLotsOf(code, checked);
    if (error && error->file == kHoldingsFileName && error->kind == StoreError::Kind::UnreadableList)
        return ActionResult::refused(HoldingsFailureText(*error));
    return outcomeOf(error, WatchListChange::Edit);
}

ActionResult ListActions::restore(const std::string &snapshotName)
{
    const auto error = m_list.restore(snapshotName);
    return outcomeOf(error, WatchListChange::Restore,
                     ActionResult::done(QStringLiteral("自选股列表已恢复到 %1 的样子，共 %2 只股票。")
                                            .arg(QString::fromStdString(SnapshotTimeText(snapshotName)))
                                            .arg(m_list.rowCount())));
}

} // namespace velmora
