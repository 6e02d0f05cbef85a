#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <string>

namespace velmora {

// Bytes from a file or a server become text: by the charset named (when Qt knows it), else as
// UTF-8 when they are valid UTF-8, else as GB18030 (which also reads GBK and GB2312).
QString DecodeText(QByteArrayView bytes, QByteArrayView charset = {});
QString DecodeStored(const std::string &bytes);

// Text typed by the user is stored as UTF-8.
std::string EncodeTyped(const QString &text);

} // namespace velmora
