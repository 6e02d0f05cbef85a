#include "platform/filechooser.h"

#include <QFileDialog>

namespace velmora {

namespace {
FileChooserHook &hook()
{
    static FileChooserHook h;
    return h;
}

int &hookKind()
{
    static int kind = 0;
    return kind;
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

QString ChooseFileToSave(QWidget *parent, const QString &caption, const QString &suggested,
                         const QStringList &filters, int *kind)
{
    if (hook()) {
        *kind = hookKind();
        return hook()(true);
    }
    QString selected = filters.value(0);
    const QString path = QFileDialog::getSaveFileName(parent, caption, suggested,
                                                      filters.join(QStringLiteral(";;")), &selected);
    *kind = std::max<int>(0, static_cast<int>(filters.indexOf(selected)));
    return path;
}

void SetFileChooserForTests(FileChooserHook h, int kind)
{
    hook() = std::move(h);
    hookKind() = kind;
}

} // namespace velmora
