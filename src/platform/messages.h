#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace velmora {

// Every message box of the program goes through here, so tests can read and answer them.
class Messages
{
public:
    static void warn(QWidget *parent, const QString &text);
    // What a command did, when it went well.
    static void tell(QWidget *parent, const QString &text);
    // A yes-or-no question ("是", "否"); true for yes.
    static bool ask(QWidget *parent, const QString &text);

    using Sink = std::function<void(const QString &text)>;
    // Replaces the box with sink (nullptr restores it). A question then goes to the sink too and
    // is answered with answer.
    static void setSinkForTests(Sink sink);
    static void setAnswerForTests(bool answer);
};

} // namespace velmora
