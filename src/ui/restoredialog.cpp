#include "ui/restoredialog.h"

#include "platform/appicon.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace velmora {

RestoreDialog::RestoreDialog(const std::vector<SnapshotInfo> &snapshots, QWidget *parent)
    : QDialog(parent), m_list(new QListWidget(this)), m_snapshots(snapshots)
{
    setObjectName(QStringLiteral("restoreDialog"));
    setWindowTitle(QStringLiteral("恢复自选股列表"));
    setWindowIcon(AppIcon());
    setAttribute(Qt::WA_QuitOnClose, false);
    auto *layout = new QVBoxLayout(this);
    auto *caption = new QLabel(snapshots.empty()
                                   ? QStringLiteral("还没有修改前的副本。")
                                   : QStringLiteral("选择一份修改前的副本，把自选股列表恢复成当时的样子："),
                               this);
    caption->setWordWrap(true);
    layout->addWidget(caption);
    m_list->setObjectName(QStringLiteral("snapshotList"));
    m_list->setAccessibleName(QStringLiteral("副本"));
    caption->setBuddy(m_list);
    for (const SnapshotInfo &snapshot : snapshots) {
        const QString rows = snapshot.rows < 0 ? QStringLiteral("无法读取")
                                               : QStringLiteral("%1 只股票").arg(snapshot.rows);
        m_list->addItem(QStringLiteral("%1 · %2").arg(QString::fromStdString(SnapshotTimeText(snapshot.name)), rows));
    }
    m_list->setCurrentRow(0);
    layout->addWidget(m_list);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("恢复"));
    buttons->button(QDialogButtonBox::Ok)->setEnabled(!snapshots.empty());
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        const int row = m_list->currentRow();
        if (row >= 0 && row < int(m_snapshots.size()))
            emit restoreRequested(m_snapshots[std::size_t(row)].name);
        accept();
    });
    resize(360, 280);
}

} // namespace velmora
