#pragma once

#include "core/holdings.h"

#include <QWidget>

#include <array>
#include <string>
#include <vector>

class QLineEdit;
class QPushButton;
class QTableWidget;

namespace velmora {

// 持仓… ("holdingsWindow"): the lots of one code in a table (买入日期, 数量, 成本价), with 添加,
// 修改 and 删除. Each change is asked for at once, as the whole of the code's lots (lotsChanged);
// what the list then holds comes back through showLots. It checks nothing itself.
class HoldingsWindow final : public QWidget
{
    Q_OBJECT

public:
    explicit HoldingsWindow(QWidget *parent = nullptr);

    // The code's lots as the list holds them; the boxes keep what was typed.
    void showLots(const std::string &code, const QString &title, const std::vector<const Lot *> &lots);
    const std::string &code() const { return m_code; }
    // What the window is about: the code and the stock's name.
    const QString &title() const { return m_title; }

signals:
    // Date, count and cost of every lot of the code, in order, as they are to be.
    void lotsChanged(const std::string &code, const std::vector<std::array<std::string, 3>> &lots);

private:
    std::vector<std::array<std::string, 3>> tableLots() const;
    std::array<std::string, 3> typedLot() const;
    void fillBoxes();

    std::string m_code;
    QString m_title;
    QTableWidget *m_table;
    QLineEdit *m_dateEdit;
    QLineEdit *m_sharesEdit;
    QLineEdit *m_costEdit;
    QPushButton *m_addButton;
    QPushButton *m_editButton;
    QPushButton *m_removeButton;
};

} // namespace velmora
