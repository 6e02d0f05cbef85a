#pragma once

#include "core/alertlog.h"
#include "services/actionresult.h"

#include <QObject>
#include <QString>

#include <cstddef>
#include <filesystem>
#include <optional>
#include <vector>

namespace velmora {

// The history of every alert, AlertLog.csv in the data folder: each alert is added as it is
// raised, the file is cut back to the newest records when it grows too long, and the window of
// the history reads, clears and exports it through here. Writing it never holds up an alert:
// a failure is told once a run (writeFailed) and the alert goes on as always.
class AlertHistory final : public QObject
{
    Q_OBJECT

public:
    explicit AlertHistory(const std::filesystem::path &dataDir, QObject *parent = nullptr);

    // Adds the alert as the file's last line; then, past kAlertLogTrimAbove records, keeps only
    // the newest kAlertLogKept.
    void record(const AlertRecord &record);

    // The records in the file, oldest first; none when there is no file. A file that cannot be
    // read gives none, and lastReadProblem() says why (empty after a good read).
    std::vector<AlertRecord> records() const;
    const QString &lastReadProblem() const { return m_readProblem; }

    // Leaves the file with its header only.
    ActionResult clear();
    // The records in the file's own format, written beside path and renamed over it.
    ActionResult exportTo(const QString &path) const;

    const std::filesystem::path &file() const { return m_file; }

signals:
    // An alert was added to the file.
    void recorded();
    // The first failure of this run to write the file, in Chinese; later ones are not told.
    void writeFailed(const QString &message);

private:
    // The file's records; nullopt with why when it exists but cannot be read.
    std::optional<std::vector<AlertRecord>> readFile(QString *problem) const;
    void trimWhenTooLong();
    void reportOnce(const QString &message);

    std::filesystem::path m_file;
    // Records in the file as this run counts them, read at the first alert; nullopt while not
    // known (the file could not be read), and the file is then never cut back.
    std::optional<std::size_t> m_count;
    bool m_counted = false;
    bool m_failureTold = false;
    mutable QString m_readProblem;
};

} // namespace velmora
