#include "ui/holdingswindow.h"

#include "platform/appicon.h"
#include "ui/namedwidget.h"

#include <QDate>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace velmora {

namespace {

QLineEdit *box(QWidget *parent, const char *name, const QString &hint)
{
    auto *edit = Named(new QLineEdit(parent), name);
    edit->setPlaceholderText(hint);
    return edit;
}

} // namespace

HoldingsWindow::HoldingsWindow(QWidget *parent)
    : QWidget(parent, Qt::Window), m_table(new QTableWidget(0, 3, this)),
      m_dateEdit(box(this, "lotDate", QStringLiteral("yyyy-MM-dd"))),
      m_sharesEdit(box(this, "lotShares", QStringLiteral("股数"))),
      m_costEdit(box(this, "lotCost", QStringLiteral("每股成本"))),
      m_addButton(Named(new QPushButton(QStringLiteral("添加"), this), "addLot")),
      m_editButton(Named(new QPushButton(QStringLiteral("修改"), this), "editLot")),
      m_removeButton(Named(new QPushButton(QStringLiteral("删除"), this), "removeLot"))
{
    setObjectName(QStringLiteral("holdingsWindow"));
    setWindowIcon(AppIcon());
    // The program lives in the tray: closing this window must not end it.
    setAttribute(Qt::WA_QuitOnClose, false);
    m_table->setObjectName(QStringLiteral("lotsTable"));
    m_table->setAccessibleName(QStringLiteral("持仓记录"));
    m_table->setHorizontalHeaderLabels({QStringLiteral("买入日期"), QStringLiteral("数量"), QStringLiteral("成本价")});
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setStretchLastSection(true);

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("买入日期："), m_dateEdit);
    form->addRow(QStringLiteral("数量："), m_sharesEdit);
    form->addRow(QStringLiteral("成本价："), m_costEdit);
    auto *buttons = new QHBoxLayout;
    for (QPushButton *push : {m_addButton, m_editButton, m_removeButton})
        buttons->addWidget(push);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_table, 1);
    layout->addLayout(form);
    layout->addLayout(buttons);
    resize(360, 320);

    connect(m_table, &QTableWidget::itemSelectionChanged, this, &HoldingsWindow::fillBoxes);
    connect(m_addButton, &QPushButton::clicked, this, [this] {
        auto lots = tableLots();
        lots.push_back(typedLot());
        emit lotsChanged(m_code, lots);
    });
    connect(m_editButton, &QPushButton::clicked, this, [this] {
        const int row = m_table->currentRow();
        if (row < 0)
            return;
        auto lots = tableLots();
        lots[static_cast<std::size_t>(row)] = typedLot();
        emit lotsChanged(m_code, lots);
    });
    connect(m_removeButton, &QPushButton::clicked, this, [this] {
        const int row = m_table->currentRow();
        if (row < 0)
            return;
        auto lots = tableLots();
        lots.erase(lots.begin() + row);
        emit lotsChanged(m_code, lots);
    });
}

void HoldingsWindow::showLots(const std::string &code, const QString &title,
                              const std::vector<const Lot *> &lots)
{
    const bool another = code != m_code;
    m_code = code;
    m_title = title;
    setWindowTitle(QStringLiteral("持仓 · %1").arg(title));
    m_table->setRowCount(static_cast<int>(lots.size()));
    for (int row = 0; row < m_table->rowCount(); ++row) {
        const Lot &lot = *lots[static_cast<std::size_t>(row)];
        const QString cells[] = {QString::fromStdString(lot.date), QString::number(lot.shares),
                                 QString::fromStdString(lot.cost)};
        for (int column = 0; column < 3; ++column)
            m_table->setItem(row, column, new QTableWidgetItem(cells[column]));
    }
    if (another) {
        m_dateEdit->setText(QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")));
        m_sharesEdit->clear();
        m_costEdit->clear();
    }
}

std::vector<std::array<std::string, 3>> HoldingsWindow::tableLots() const
{
    std::vector<std::array<std::string, 3>> lots;
    for (int row = 0; row < m_table->rowCount(); ++row) {
        lots.push_back({m_table->item(row, 0)->text().toStdString(),
                        m_table->item(row, 1)->text().toStdString(),
                        m_table->item(row, 2)->text().toStdString()});
    }
    return lots;
}

std::array<std::string, 3> HoldingsWindow::typedLot() const
{
    return {m_dateEdit->text().toStdString(), m_sharesEdit->text().toStdString(),
            m_costEdit->text().toStdString()};
}

void HoldingsWindow::fillBoxes()
{
    const int row = m_table->currentRow();
    if (row < 0)
        return;
    m_dateEdit->setText(m_table->item(row, 0)->text());
    m_sharesEdit->setText(m_table->item(row, 1)->text());
    m_costEdit->setText(m_table->item(row, 2)->text());
}

} // namespace velmora
