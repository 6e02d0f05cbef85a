#include "platform/filechooser.h"

#include <QFileDialog>

namespace velmora {

namespace {
FileChooserHook &hook()
{
    static FileChooserHook h;
    return h;
}
} // namespace

QString ChooseFileToOpen(QWidget *parent, const QString &caption, const QString &filter)
{
    if (hook())
        return hook()(false);
    return QFileDialog::getOpenFileName(parent, caption, QString(), filter);
}

QString ChooseFileToSave(QWidget *parent, const QString &caption, const QString &suggested,
                         const QString &filter)
{
    if (hook())
        return hook()(true);
    return QFileDialog::getSaveFileName(parent, caption, suggested, filter);
}

void SetFileChooserForTests(FileChooserHook h)
{
    hook() = std::move(h);
}

} // namespace velmora
