#pragma once

#include <QByteArray>

namespace velmora::testing {

// A reply in the quote service's layout: thirteen single-quoted fields, of which the program
// reads 2 name, 3 price, 4 change, 11 high and 12 low.
inline QByteArray QuoteReplyText(const QByteArray &name, const QByteArray &price,
                                 const QByteArray &change = "1.23%",
                                 const QByteArray &high = "10.80", const QByteArray &low = "10.21")
{
    return "'x0','x1','" + name + "','" + price + "','" + change +
           "','x5','x6','x7','x8','x9','x10','" + high + "','" + low + "'";
}

} // namespace velmora::testing
