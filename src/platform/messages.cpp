#include "platform/messages.h"

#include <QMessageBox>

namespace velmora {

namespace {
Messages::Sink &sink()
{
    static Messages::Sink s;
    return s;
}
} // namespace

void Messages::warn(QWidget *parent, const QString &text)
{
    if (sink()) {
        sink()(text);
        return;
    }
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Velmora"), text, QMessageBox::Ok,
                    parent);
    box.exec();
}

void Messages::tell(QWidget *parent, const QString &text)
{
    if (sink()) {
        sink()(text);
        return;
    }
    QMessageBox box(QMessageBox::Information, QStringLiteral("Velmora"), text, QMessageBox::Ok,
                    parent);
    box.exec();
}

void Messages::setSinkForTests(Sink s)
{
    sink() = std::move(s);
}

} // namespace velmora
