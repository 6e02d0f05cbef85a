#include "services/quotesources.h"

#include <QDateTime>

#include <algorithm>

namespace velmora {

QuoteSources::QuoteSources(const Bases &bases, const UserSettings &settings, QObject *parent)
    : QObject(parent), m_bases(bases), m_kind(settings.source),
      m_intervalSeconds(settings.intervalSeconds), m_slowDown(settings.slowDownOutsideHours),
      m_clock([] { return QDateTime::currentSecsSinceEpoch(); })
{
    setObjectName(QStringLiteral("quoteSources"));
    if (!settings.customBase.isEmpty())
        m_bases.custom = settings.customBase;
    m_sources[QuoteSourceKind::Custom] = MakeDescribedSource(QuoteSourceKind::Custom, m_bases.custom);
    m_sources[QuoteSourceKind::Demo] = MakeDescribedSource(QuoteSourceKind::Demo, m_bases.demo);
    m_sources[QuoteSourceKind::Tencent] = MakeTencentSource(m_bases.tencent);
    m_sources[QuoteSourceKind::Sina] = MakeSinaSource(m_bases.sina);
}

QuoteSources::~QuoteSources() = default;

void QuoteSources::apply(const UserSettings &settings)
{
    bool differs = settings.source != m_kind || settings.intervalSeconds != m_intervalSeconds ||
                   settings.slowDownOutsideHours != m_slowDown;
    if (!settings.customBase.isEmpty() && settings.customBase != m_bases.custom) {
        m_bases.custom = settings.customBase;
        m_sources[QuoteSourceKind::Custom] =
            MakeDescribedSource(QuoteSourceKind::Custom, m_bases.custom);
        differs = differs || settings.source == QuoteSourceKind::Custom;
    }
    m_kind = settings.source;
    m_intervalSeconds = settings.intervalSeconds;
    m_slowDown = settings.slowDownOutsideHours;
    if (differs) {
        // A new choice starts with a clean slate: nothing it has not tried yet is held back.
        m_backoff.clear();
        emit changed();
    }
}

void QuoteSources::setDemoBase(const QUrl &base)
{
    m_bases.demo = base;
    m_sources[QuoteSourceKind::Demo] = MakeDescribedSource(QuoteSourceKind::Demo, base);
}

bool QuoteSources::isPublic() const
{
    return m_kind == QuoteSourceKind::Tencent || m_kind == QuoteSourceKind::Sina ||
           m_kind == QuoteSourceKind::Auto;
}

QuoteSource *QuoteSources::source(QuoteSourceKind kind) const
{
    return m_sources.at(kind).get();
}

SourceBackoff &QuoteSources::backoff(const QuoteSource *source)
{
    return m_backoff[source->kind()];
}

QuoteSource *QuoteSources::sourceToAsk(std::int64_t now)
{
    switch (m_kind) {
    case QuoteSourceKind::Custom:
    case QuoteSourceKind::Demo:
        return source(m_kind); // the described timing: asked at every tick, no back-off
    case QuoteSourceKind::Tencent:
    case QuoteSourceKind::Sina: {
        QuoteSource *chosen = source(m_kind);
        return backoff(chosen).mayAsk(now) ? chosen : nullptr;
    }
    case QuoteSourceKind::Auto: {
        for (const QuoteSourceKind kind : {QuoteSourceKind::Tencent, QuoteSourceKind::Sina}) {
            if (backoff(source(kind)).mayAsk(now))
                return source(kind);
        }
        return nullptr;
    }
    }
    return nullptr;
}

QuoteSource *QuoteSources::fallbackFor(const QuoteSource *failed, std::int64_t now)
{
    if (m_kind != QuoteSourceKind::Auto || failed->kind() != QuoteSourceKind::Tencent)
        return nullptr;
    QuoteSource *second = source(QuoteSourceKind::Sina);
    return backoff(second).mayAsk(now) ? second : nullptr;
}

void QuoteSources::reportFailure(const QuoteSource *source, std::int64_t now,
                                 std::optional<int> retryAfter)
{
    if (source->isPublic())
        backoff(source).failed(now, m_intervalSeconds, retryAfter);
}

void QuoteSources::reportSuccess(const QuoteSource *source)
{
    if (source->isPublic())
        backoff(source).succeeded();
}

std::int64_t QuoteSources::nextTry() const
{
    std::int64_t earliest = 0;
    for (const auto &[kind, backoff] : m_backoff) {
        const bool used = kind == m_kind || (m_kind == QuoteSourceKind::Auto &&
                                             (kind == QuoteSourceKind::Tencent ||
                                              kind == QuoteSourceKind::Sina));
        if (used && backoff.failuresInARow() > 0)
            earliest = earliest == 0 ? backoff.nextTry() : std::min(earliest, backoff.nextTry());
    }
    return earliest;
}

std::int64_t QuoteSources::now() const
{
    return m_clock();
}

void QuoteSources::setClock(std::function<std::int64_t()> clock)
{
    m_clock = std::move(clock);
}

} // namespace velmora
