#include "platform/textcodec.h"

#include <QStringDecoder>

namespace velmora {

namespace {

bool isValidUtf8(QByteArrayView bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString ignored = utf8.decode(bytes);
    return !utf8.hasError();
}

QString decodeWith(const char *name, QByteArrayView bytes)
{
    QStringDecoder decoder(name);
    if (!decoder.isValid())
        return {};
    return decoder.decode(bytes);
}

} // namespace

QString DecodeText(QByteArrayView bytes, QByteArrayView charset)
{
    if (!charset.isEmpty()) {
        QByteArray name = charset.trimmed().toByteArray().toUpper();
        // GBK and GB2312 are subsets of GB18030; ask for the superset, which ICU always has.
        if (name == "GBK" || name == "GB2312" || name == "CP936" || name == "X-GBK")
            name = "GB18030";
        QStringDecoder decoder(name.constData());
        if (decoder.isValid())
            return decoder.decode(bytes);
    }
    if (isValidUtf8(bytes))
        return QString::fromUtf8(bytes);
    return decodeWith("GB18030", bytes);
}

QString DecodeStored(const std::string &bytes)
{
    return DecodeText(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

std::string EncodeTyped(const QString &text)
{
    return text.toStdString();
}

} // namespace velmora
