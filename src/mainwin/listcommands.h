#pragma once

#include <QObject>
#include <QPointer>

namespace velmora {

class Form1;
class FrmAdd;

// The list's context menu mnu2: shown on a right-button release over the list; "添加股票"
// (mnu21, and the tray menu's mn17) opens the one add dialog; "删除股票" (mnu22) removes the
// first selected row from the list and the files.
class ListCommands : public QObject
{
    Q_OBJECT

public:
    explicit ListCommands(Form1 &form);
    ~ListCommands() override;

    // mnu21_Click and mn17_Click: a fresh dialog when none is open, else the open one again.
    void mnu21Click();
    // mnu22_Click: no question asked; on a failed write the row comes back and a message says
    // why.
    void mnu22Click();

    FrmAdd *addDialog() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    Form1 &m_form;
    QObject *m_viewport = nullptr; // ListView1's viewport, where the mouse events arrive
    QPointer<FrmAdd> m_addDialog;
};

} // namespace velmora
