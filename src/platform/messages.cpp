#include "platform/messages.h"

#include <QMessageBox>
#include <QPushButton>

namespace velmora {

namespace {
Messages::Sink &sink()
{
    static Messages::Sink s;
    return s;
}

bool &answer()
{
    static bool yes = true;
    return yes;
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

bool Messages::ask(QWidget *parent, const QString &text)
{
    if (sink()) {
        sink()(text);
        return answer();
    }
    QMessageBox box(QMessageBox::Question, QStringLiteral("Velmora"), text, QMessageBox::NoButton, parent);
    QPushButton *yes = box.addButton(QStringLiteral("是"), QMessageBox::YesRole);
    box.setDefaultButton(box.addButton(QStringLiteral("否"), QMessageBox::NoRole));
    box.exec();
    return box.clickedButton() == yes;
}

void Messages::setSinkForTests(Sink s)
{
    sink() = std::move(s);
    answer() = true;
}

void Messages::setAnswerForTests(bool yes)
{
    answer() = yes;
}

} // namespace velmora
