#pragma once

#include "core/alertlog.h"

#include <QWidget>

#include <vector>

class QPushButton;
class QTableWidget;

namespace velmora {

// 预警记录 ("alertLogWindow"): every alert kept in the history, newest first (时间, 代码, 名称,
// 价格, 条件), with 清空 and 导出…. It asks what it must (whether to clear, where to export) and
// says what the user asked for; what the history then holds comes back through showRecords.
class AlertLogWindow final : public QWidget
{
    Q_OBJECT

public:
    explicit AlertLogWindow(QWidget *parent = nullptr);

    // The records oldest first, as the history reads them; shown the other way round.
    void showRecords(const std::vector<AlertRecord> &records);

signals:
    // The user said yes to clearing the whole history.
    void clearRequested();
    // The user chose a file to export the history to.
    void exportRequested(const QString &path);

private:
    QTableWidget *m_table;
    QPushButton *m_clearButton;
    QPushButton *m_exportButton;
};

} // namespace velmora
