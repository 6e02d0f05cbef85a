#include "services/alerthistory.h"

#include "core/filesystem.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <utility>

namespace velmora {

namespace {

// The largest history read; ten thousand records take about a megabyte.
constexpr std::size_t kMaxAlertLogBytes = 64 * 1024 * 1024;

QString reasonOf(const SystemError &error)
{
    return QString::fromStdString(SystemErrorText(error));
}

QString fileName()
{
    return QString::fromLatin1(kAlertLogFileName);
}

} // namespace

AlertHistory::AlertHistory(const std::filesystem::path &dataDir, QObject *parent)
    : QObject(parent), m_file(dataDir / kAlertLogFileName)
{
}

std::optional<std::vector<AlertRecord>> AlertHistory::readFile(QString *problem) const
{
    SystemError error;
    const auto bytes = ReadRegularFile(m_file, kMaxAlertLogBytes, &error);
    if (bytes)
        return ReadAlertLog(*bytes);
    if (error.number == ENOENT)
        return std::vector<AlertRecord>();
    if (problem)
        *problem = QStringLiteral("无法读取预警记录 %1（%2）。").arg(fileName(), reasonOf(error));
    return std::nullopt;
}

void AlertHistory::record(const AlertRecord &record)
{
    if (!std::exchange(m_counted, true)) {
        if (const auto records = readFile(nullptr))
            m_count = records->size();
    }
    if (const auto error = AppendAlertRecord(m_file, record)) {
        reportOnce(QStringLiteral("无法写入预警记录 %1（%2）。预警照常提示，但这条没有记下。")
                       .arg(fileName(), reasonOf(*error)));
        return;
    }
    if (m_count)
        ++*m_count;
    trimWhenTooLong();
    emit recorded();
}

void AlertHistory::trimWhenTooLong()
{
    if (!m_count || *m_count <= kAlertLogTrimAbove)
        return;
    auto records = readFile(nullptr);
    if (!records) // never rewrite what could not be read
        return;
    if (records->size() > kAlertLogKept) {
        records->erase(records->begin(), records->end() - kAlertLogKept);
        if (const auto error = RewriteAlertLog(m_file, *records)) {
            reportOnce(QStringLiteral("无法精简预警记录 %1（%2）。这条预警已经记下，较早的记录暂时没有删去。")
                           .arg(fileName(), reasonOf(*error)));
            return;
        }
    }
    m_count = records->size();
}

void AlertHistory::reportOnce(const QString &message)
{
    if (!std::exchange(m_failureTold, true))
        emit writeFailed(message);
}

std::vector<AlertRecord> AlertHistory::records() const
{
    m_readProblem.clear();
    return readFile(&m_readProblem).value_or(std::vector<AlertRecord>());
}

ActionResult AlertHistory::clear()
{
    if (const auto error = RewriteAlertLog(m_file, {})) {
        return ActionResult::refused(QStringLiteral("无法清空预警记录 %1（%2），记录保持原样。")
                                         .arg(fileName(), reasonOf(*error)));
    }
    m_count = 0;
    m_counted = true;
    return ActionResult::done();
}

ActionResult AlertHistory::exportTo(const QString &path) const
{
    QString problem;
    const auto records = readFile(&problem);
    if (!records)
        return ActionResult::refused(problem + QStringLiteral("没有导出。"));
    const QString name = QFileInfo(path).fileName();
    StoreFileSystem &fs = StoreFileSystem::real();
    const std::filesystem::path target = QFile::encodeName(path).toStdString();
    std::filesystem::path written = target;
    written += ".new";
    SystemError cause;
    if (!fs.writeDurably(written, AlertLogCsv(*records), &cause) || !fs.rename(written, target, &cause)) {
        fs.remove(written, nullptr);
        return ActionResult::refused(QStringLiteral("无法导出到 %1（%2）。").arg(name, reasonOf(cause)));
    }
    const int rows = static_cast<int>(records->size());
    return ActionResult::done(QStringLiteral("已把 %1 条预警记录导出到 %2。").arg(rows).arg(name), rows);
}

} // namespace velmora
