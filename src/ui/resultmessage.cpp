#include "ui/resultmessage.h"

#include "platform/messages.h"

#include <QWidget>

namespace velmora {

void ShowResult(QWidget *parent, const ActionResult &result)
{
    if (result.message.isEmpty())
        return;
    (result.ok && !result.warning ? Messages::tell : Messages::warn)(parent, result.message);
}

void BringUp(QWidget *window)
{
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace velmora
