#include "platform/messages.h"

#include <QMessageBox>

namespace velmora {

namespace {
Messages::Sink &sink()
{
    static Messages::Sink s;
    return s;
}

void show(QMessageBox::Icon icon, QWidget *parent, const QString &text)
{
    if (sink()) {
        sink()(text);
        return;
    }
    QMessageBox box(icon, QStringLiteral("Velmora"), text, QMessageBox::Ok, parent);
    box.exec();
}
} // namespace

void Messages::warn(QWidget *parent, const QString &text)
{
    show(QMessageBox::Warning, parent, text);
}

void Messages::tell(QWidget *parent, const QString &text)
{
    show(QMessageBox::Information, parent, text);
}

void Messages::setSinkForTests(Sink s)
{
    sink() = std::move(s);
}

} // namespace velmora
