#include "mainwin/listcommands.h"

#include "adddialog/frmadd.h"
#include "mainwin/form1.h"
#include "mainwin/storefailure.h"
#include "mainwin/watchlistmodel.h"
#include "platform/messages.h"
#include "store/watchliststore.h"

#include <QAction>
#include <QItemSelectionModel>
#include <QMenu>
#include <QMouseEvent>
#include <QTreeView>

namespace velmora {

ListCommands::ListCommands(Form1 &form) : QObject(&form), m_form(form)
{
    setObjectName(QStringLiteral("listCommands"));
    m_viewport = form.listView()->viewport();
    m_viewport->installEventFilter(this);
    if (QAction *add = form.action("mnu21"))
        connect(add, &QAction::triggered, this, &ListCommands::mnu21Click);
    if (QAction *remove = form.action("mnu22"))
        connect(remove, &QAction::triggered, this, &ListCommands::mnu22Click);
    // The tray menu's "添加股票" does exactly what the list's does.
    if (QAction *trayAdd = form.action("mn17"))
        connect(trayAdd, &QAction::triggered, this, &ListCommands::mnu21Click);
}

ListCommands::~ListCommands()
{
    // The dialog has no owner window; it must not outlive the main window it adds to.
    delete m_addDialog.data();
}

// ListView1_MouseUp: only a right-button release shows the menu, over a row or not. The press
// before it has already selected the row under the pointer, so the commands act on that row.
bool ListCommands::eventFilter(QObject *watched, QEvent *event)
{
    // Compared, never dereferenced: the viewport still sends events while the window is torn
    // down.
    if (event->type() == QEvent::MouseButtonRelease && watched == m_viewport) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() == Qt::RightButton)
            m_form.contextMenu()->popup(mouse->globalPosition().toPoint());
    }
    return QObject::eventFilter(watched, event);
}

FrmAdd *ListCommands::addDialog() const
{
    // A dialog that was closed is hidden until its deletion comes round: it counts as gone.
    return m_addDialog && m_addDialog->isVisible() ? m_addDialog.data() : nullptr;
}

void ListCommands::mnu21Click()
{
    if (FrmAdd *open = addDialog()) {
        // Shown again as it is: not reset, not placed anew.
        open->show();
        open->raise();
        open->activateWindow();
        return;
    }
    m_addDialog = new FrmAdd(m_form);
    m_addDialog->show();
    m_addDialog->activateWindow();
}

void ListCommands::mnu22Click()
{
    WatchListModel *model = m_form.model();
    QItemSelectionModel *selection = m_form.listView()->selectionModel();
    int position = -1;
    for (int row = 0; row < model->rowCount(); ++row) {
        if (selection->rowIntersectsSelection(row, {})) {
            position = row;
            break;
        }
    }
    if (position < 0)
        return; // nothing selected or an empty list: nothing changes

    const WatchRow removed = model->takeRow(position);
    if (const auto error = m_form.files().rewrite(model->entries())) {
        // The files were kept as they were, so the list is too.
        model->insertRow(position, removed);
        selection->select(model->index(position, 0),
                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
        Messages::warn(&m_form, StoreFailureText(*error, WatchListChange::Remove));
    }
}

} // namespace velmora
