#pragma once

#include "core/snapshots.h"

#include <QDialog>

#include <string>
#include <vector>

class QListWidget;

namespace velmora {

// "恢复…": the copies of the list taken before each change, newest first, each with its time
// and its number of rows; the chosen one is asked to be put back.
class RestoreDialog final : public QDialog
{
    Q_OBJECT

public:
    explicit RestoreDialog(const std::vector<SnapshotInfo> &snapshots, QWidget *parent = nullptr);


signals:
    void restoreRequested(const std::string &snapshotName);

private:
    QListWidget *m_list;
    std::vector<SnapshotInfo> m_snapshots;
};

} // namespace velmora
