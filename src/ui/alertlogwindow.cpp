#include "ui/alertlogwindow.h"

#include "platform/appicon.h"
#include "platform/filechooser.h"
#include "platform/messages.h"
#include "ui/namedwidget.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <string>

namespace velmora {

AlertLogWindow::AlertLogWindow(QWidget *parent)
    : QWidget(parent, Qt::Window), m_table(new QTableWidget(0, 5, this)),
      m_clearButton(Named(new QPushButton(QStringLiteral("清空"), this), "clearAlertLog")),
      m_exportButton(Named(new QPushButton(QStringLiteral("导出…"), this), "exportAlertLog"))
{
    setObjectName(QStringLiteral("alertLogWindow"));
    setWindowTitle(QStringLiteral("预警记录"));
    setWindowIcon(AppIcon());
    // The program lives in the tray: closing this window must not end it.
    setAttribute(Qt::WA_QuitOnClose, false);
    m_table->setObjectName(QStringLiteral("alertLogTable"));
    m_table->setAccessibleName(QStringLiteral("预警记录"));
    m_table->setHorizontalHeaderLabels({QStringLiteral("时间"), QStringLiteral("代码"), QStringLiteral("名称"),
                                        QStringLiteral("价格"), QStringLiteral("条件")});
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setStretchLastSection(true);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_clearButton);
    buttons->addWidget(m_exportButton);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_table, 1);
    layout->addLayout(buttons);
    resize(640, 420);
    m_clearButton->setEnabled(false);
    m_exportButton->setEnabled(false);

    connect(m_clearButton, &QPushButton::clicked, this, [this] {
        if (Messages::ask(this, QStringLiteral("清空全部预警记录？")))
            emit clearRequested();
    });
    connect(m_exportButton, &QPushButton::clicked, this, [this] {
        const QString path = ChooseFileToSave(this, QStringLiteral("导出预警记录"),
                                              QString::fromLatin1(kAlertLogFileName),
                                              QStringLiteral("CSV 表格 (*.csv)"));
        if (!path.isEmpty())
            emit exportRequested(path);
    });
}

void AlertLogWindow::showRecords(const std::vector<AlertRecord> &records)
{
    m_table->clearContents();
    m_table->setRowCount(static_cast<int>(records.size()));
    int row = 0;
    for (auto record = records.rbegin(); record != records.rend(); ++record, ++row) {
        const std::string *cells[] = {&record->time, &record->code, &record->name, &record->price,
                                      &record->condition};
        for (int column = 0; column < 5; ++column)
            m_table->setItem(row, column, new QTableWidgetItem(QString::fromStdString(*cells[column])));
    }
    m_table->resizeColumnsToContents();
    m_table->horizontalHeader()->setStretchLastSection(true);
    // Nothing to clear or export in an empty history.
    m_clearButton->setEnabled(!records.empty());
    m_exportButton->setEnabled(!records.empty());
}

} // namespace velmora
