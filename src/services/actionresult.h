#pragma once

#include <QString>

#include <utility>

namespace velmora {

// What one thing the user asked for came to: whether it was done, and what to tell the user
// (in Chinese; empty when there is nothing to say). The windows show it, in one way.
struct ActionResult
{
    bool ok = true;
    QString message;
    int rows = 0;         // rows added, or written
    bool warning = false; // done, but with something the user must know (told as a warning)

    static ActionResult done(QString message = {}, int rows = 0)
    {
        return {true, std::move(message), rows, false};
    }
    static ActionResult refused(QString message) { return {false, std::move(message), 0, false}; }
};

} // namespace velmora
