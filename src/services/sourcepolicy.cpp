#include "services/sourcepolicy.h"

#include <QDateTime>

#include <algorithm>
#include <chrono>

namespace velmora {

SourcePolicy::SourcePolicy(const Bases &bases, const UserSettings &settings, QObject *parent)
    : QObject(parent), m_bases(bases), m_kind(settings.source),
      m_intervalSeconds(settings.intervalSeconds), m_slowDown(settings.slowDownOutsideHours),
      m_clock([] { return QDateTime::currentSecsSinceEpoch(); }),
      m_steadyClock([] {
          return std::int64_t(std::chrono::duration_cast<std::chrono::milliseconds>(
                                  std::chrono::steady_clock::now().time_since_epoch())
                                  .count());
      })
{
    setObjectName(QStringLiteral("quoteSources"));
    if (!settings.customBase.isEmpty())
        m_bases.custom = settings.customBase;
    m_formats[QuoteSourceKind::Custom] = MakeCustomFormat(QuoteSourceKind::Custom, m_bases.custom);
    m_formats[QuoteSourceKind::Demo] = MakeTencentFormat(m_bases.demo, QuoteSourceKind::Demo);
    m_formats[QuoteSourceKind::Tencent] = MakeTencentFormat(m_bases.tencent);
    m_formats[QuoteSourceKind::Sina] = MakeSinaFormat(m_bases.sina);
}

SourcePolicy::~SourcePolicy() = default;

void SourcePolicy::apply(const UserSettings &settings)
{
    bool differs = settings.source != m_kind || settings.intervalSeconds != m_intervalSeconds ||
                   settings.slowDownOutsideHours != m_slowDown;
    if (!settings.customBase.isEmpty() && settings.customBase != m_bases.custom) {
        m_bases.custom = settings.customBase;
        m_formats[QuoteSourceKind::Custom] =
            MakeCustomFormat(QuoteSourceKind::Custom, m_bases.custom);
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

void SourcePolicy::setDemoBase(const QUrl &base)
{
    m_bases.demo = base;
    m_formats[QuoteSourceKind::Demo] = MakeTencentFormat(base, QuoteSourceKind::Demo);
}

bool SourcePolicy::isPublic() const
{
    return m_kind == QuoteSourceKind::Tencent || m_kind == QuoteSourceKind::Sina ||
           m_kind == QuoteSourceKind::Auto;
}

QuoteFormat *SourcePolicy::source(QuoteSourceKind kind) const
{
    return m_formats.at(kind).get();
}

SourceBackoff &SourcePolicy::backoff(const QuoteFormat *source)
{
    return m_backoff[source->kind()];
}

QuoteFormat *SourcePolicy::sourceToAsk()
{
    const std::int64_t now = steadyMs();
    switch (m_kind) {
    case QuoteSourceKind::Custom:
    case QuoteSourceKind::Demo:
        return source(m_kind); // asked at every tick, no back-off
    case QuoteSourceKind::Tencent:
    case QuoteSourceKind::Sina: {
        QuoteFormat *chosen = source(m_kind);
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

QuoteFormat *SourcePolicy::fallbackFor(const QuoteFormat *failed)
{
    if (m_kind != QuoteSourceKind::Auto || failed->kind() != QuoteSourceKind::Tencent)
        return nullptr;
    QuoteFormat *second = source(QuoteSourceKind::Sina);
    return backoff(second).mayAsk(steadyMs()) ? second : nullptr;
}

void SourcePolicy::reportFailure(const QuoteFormat *source, std::int64_t sentAtMs,
                                 std::optional<int> retryAfter)
{
    if (source->isPublic())
        backoff(source).failed(steadyMs(), sentAtMs, m_intervalSeconds, retryAfter);
}

void SourcePolicy::reportSuccess(const QuoteFormat *source)
{
    if (source->isPublic())
        backoff(source).succeeded();
}

std::int64_t SourcePolicy::nextTry() const
{
    std::optional<std::int64_t> earliestMs;
    for (const auto &[kind, backoff] : m_backoff) {
        const bool used = kind == m_kind || (m_kind == QuoteSourceKind::Auto &&
                                             (kind == QuoteSourceKind::Tencent ||
                                              kind == QuoteSourceKind::Sina));
        if (used && backoff.failuresInARow() > 0)
            earliestMs = std::min(earliestMs.value_or(backoff.nextTryMs()), backoff.nextTryMs());
    }
    if (!earliestMs)
        return 0;
    // The wait runs on the steady clock; the wall clock only names the moment.
    const std::int64_t leftMs = std::max<std::int64_t>(0, *earliestMs - steadyMs());
    return now() + (leftMs + 999) / 1000;
}

std::int64_t SourcePolicy::now() const
{
    return m_clock();
}

std::int64_t SourcePolicy::steadyMs() const
{
    return m_steadyClock();
}

void SourcePolicy::setClock(std::function<std::int64_t()> wallSeconds,
                            std::function<std::int64_t()> steadyMs)
{
    if (!steadyMs)
        steadyMs = [wallSeconds] { return wallSeconds() * 1000; };
    m_clock = std::move(wallSeconds);
    m_steadyClock = std::move(steadyMs);
}

} // namespace velmora
