#include "services/listactions.h"

#include "core/filesystem.h"
#include "core/snapshots.h"
#include "core/thresholdedit.h"
#include "core/watchlistcsv.h"
#include "platform/textcodec.h"
#include "watchlist/watchlist.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>

namespace velmora {

namespace {

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

ActionResult ListActions::importFile(const QString &path)
{
    const QString name = QFileInfo(path).fileName();
    if (const auto &refusal = m_list.refusal())
        return ActionResult::refused(StoreFailureText(*refusal, WatchListChange::Import));
    // Handed-over commands run inside the tray program: nothing may hang it or fill its memory.
    SystemError cause;
    const auto bytes = ReadRegularFile(fsPath(path), kMaxImportBytes, &cause);
    if (!bytes) {
        const QString why = cause.number == EFBIG ? QStringLiteral("超过 8 MiB") : reasonOf(cause);
        return ActionResult::refused(
            QStringLiteral("无法读取文件 %1（%2），没有导入任何股票。").arg(name, why));
    }
    // UTF-8 when it is valid UTF-8 (a byte order mark or not), else GBK.
    const std::string text = DecodeText(QByteArrayView(bytes->data(), qsizetype(bytes->size())))
                                 .toStdString();
    const CsvImport read = ReadWatchListCsv(text);
    if (!read.problems.empty()) {
        return ActionResult::refused(
            QStringLiteral("文件 %1 中有不能导入的行，没有导入任何股票：\n%2")
                .arg(name, QString::fromStdString(CsvProblemsText(read.problems))));
    }
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
    const QString name = QFileInfo(path).fileName();
    StoreFileSystem &fs = StoreFileSystem::real();
    const std::filesystem::path target = fsPath(path);
    std::filesystem::path written = target;
    written += ".new";
    SystemError cause;
    if (!fs.writeDurably(written, WatchListCsv(rows), &cause) || !fs.rename(written, target, &cause)) {
        fs.remove(written, nullptr);
        return ActionResult::refused(QStringLiteral("无法导出到 %1（%2）。").arg(name, reasonOf(cause)));
    }
    return ActionResult::done(QStringLiteral("已把 %1 只股票导出到 %2。").arg(rows.size()).arg(name),
                              int(rows.size()));
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
