#include "services/quoteformat.h"

#include "core/marketsymbol.h"
#include "core/publicquotes.h"
#include "core/quoteaddress.h"
#include "core/quotereply.h"

namespace velmora {

namespace {

QUrl joined(const QUrl &base, const std::string &target)
{
    return QUrl::fromEncoded(base.toString(QUrl::FullyEncoded).toUtf8() +
                                 QByteArray::fromStdString(target),
                             QUrl::StrictMode);
}

// One request per row, the code as stored; the reply's five fields as they come.
class CustomFormat final : public QuoteFormat
{
public:
    CustomFormat(QuoteSourceKind kind, QUrl base) : m_kind(kind), m_base(std::move(base)) {}

    QuoteSourceKind kind() const override { return m_kind; }
    bool isPublic() const override { return false; }
    std::size_t batchSize() const override { return 1; }
    std::optional<std::string> keyOf(const std::string &code) const override { return code; }
    QuoteRequest request(const std::vector<std::string> &keys) const override
    {
        const std::string url =
            BuildQuoteUrl(m_base.toString(QUrl::FullyEncoded).toStdString(), keys.front());
        return {QUrl::fromEncoded(QByteArray::fromStdString(url), QUrl::StrictMode), {}};
    }
    // Whatever the custom service answers is read field by field as it falls.
    std::optional<QuotesByKey> read(const std::string &utf8Body,
                                    const std::vector<std::string> &keys) const override
    {
        return QuotesByKey{{keys.front(), QuoteFromReply(ParseQuoteReply(utf8Body))}};
    }

private:
    QuoteSourceKind m_kind;
    QUrl m_base;
};

// A public batch page: market symbols, up to kMaxCodesPerRequest of them per request.
class PublicPageFormat final : public QuoteFormat
{
public:
    using Parser = QuotesByKey (*)(std::string_view);
    using Target = std::string (*)(const std::vector<std::string> &);

    PublicPageFormat(QuoteSourceKind kind, QUrl base, Target target, Parser parser,
                     QByteArray referer, std::string lineStart)
        : m_kind(kind), m_base(std::move(base)), m_target(target), m_parser(parser),
          m_referer(std::move(referer)), m_lineStart(std::move(lineStart))
    {
    }

    QuoteSourceKind kind() const override { return m_kind; }
    bool isPublic() const override { return true; }
    std::size_t batchSize() const override { return kMaxCodesPerRequest; }
    std::optional<std::string> keyOf(const std::string &code) const override
    {
        return MarketSymbol(code);
    }
    QuoteRequest request(const std::vector<std::string> &keys) const override
    {
        return {joined(m_base, m_target(keys)), m_referer};
    }
    // A reply names at least one symbol asked (an unknown code's line included); a refusal
    // ("var hq_str_sys_auth=...") or any other page names none.
    std::optional<QuotesByKey> read(const std::string &utf8Body,
                                    const std::vector<std::string> &keys) const override
    {
        if (!ReplyNamesAny(utf8Body, m_lineStart, keys))
            return std::nullopt;
        return m_parser(utf8Body);
    }

private:
    QuoteSourceKind m_kind;
    QUrl m_base;
    Target m_target;
    Parser m_parser;
    QByteArray m_referer;
    std::string m_lineStart;
};

} // namespace

std::unique_ptr<QuoteFormat> MakeCustomFormat(QuoteSourceKind kind, const QUrl &base)
{
    return std::make_unique<CustomFormat>(kind, base);
}

std::unique_ptr<QuoteFormat> MakeTencentFormat(const QUrl &base)
{
    return std::make_unique<PublicPageFormat>(QuoteSourceKind::Tencent, base,
                                              &TencentRequestTarget, &ParseTencentReply,
                                              QByteArray(), "v_");
}

std::unique_ptr<QuoteFormat> MakeSinaFormat(const QUrl &base)
{
    return std::make_unique<PublicPageFormat>(QuoteSourceKind::Sina, base, &SinaRequestTarget,
                                              &ParseSinaReply, QByteArray(kSinaReferer),
                                              "var hq_str_");
}

} // namespace velmora
