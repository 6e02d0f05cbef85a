#pragma once

#include <QString>

namespace velmora {

// A new widget with the name screen readers and tests find it by.
template <typename Widget> Widget *Named(Widget *widget, const char *name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

} // namespace velmora
