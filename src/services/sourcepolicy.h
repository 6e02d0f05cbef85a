#pragma once

#include "core/refreshpolicy.h"
#include "platform/userconfig.h"
#include "services/quoteformat.h"

#include <QObject>
#include <QUrl>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>

namespace velmora {

// The chosen quote source, its neighbours, and how politely each public page is asked: one
// object shared by the refresh, the alert monitor and the add dialog's lookup, so a page that
// fails backs off for all of them. In auto, the first page is asked while it answers; when it
// fails, the second takes over for the same codes at once, and the first is left alone for 2,
// 4, 8 … intervals (at most 5 minutes, or as long as its Retry-After says).
class SourcePolicy final : public QObject
{
    Q_OBJECT

public:
    struct Bases
    {
        QUrl custom;
        QUrl demo;
        QUrl tencent;
        QUrl sina;
    };

    SourcePolicy(const Bases &bases, const UserSettings &settings, QObject *parent = nullptr);
    ~SourcePolicy() override;

    // What the settings window changed: the source (with the custom service's address),
    // the interval and the slow-down. changed() follows when anything did.
    void apply(const UserSettings &settings);
    // Where the built-in demo service answers, once it runs.
    void setDemoBase(const QUrl &base);

    QuoteSourceKind kind() const { return m_kind; }
    bool isPublic() const;
    int intervalSeconds() const { return m_intervalSeconds; }
    bool slowDownOutsideHours() const { return m_slowDown; }

    // The source to ask now; nullptr while every source the choice may use is backing off.
    QuoteFormat *sourceToAsk();
    // In auto, the page that stands in right away for one that failed; nullptr otherwise.
    QuoteFormat *fallbackFor(const QuoteFormat *failed);
    // A request sent at sentAtMs (steadyMs()) failed now.
    void reportFailure(const QuoteFormat *source, std::int64_t sentAtMs, std::optional<int> retryAfter);
    void reportSuccess(const QuoteFormat *source);
    // When a backing-off source of the choice may be asked again, in Unix seconds (0 when none
    // backs off).
    std::int64_t nextTry() const;

    // The wall clock (Unix seconds), which says which day and hour it is, and a steady clock
    // (ms) that never steps back, on which every wait is measured. Tests set clocks of their
    // own; one given alone serves as both.
    std::int64_t now() const;
    std::int64_t steadyMs() const;
    void setClock(std::function<std::int64_t()> wallSeconds,
                  std::function<std::int64_t()> steadyMs = {});

signals:
    void changed();

private:
    QuoteFormat *source(QuoteSourceKind kind) const;
    SourceBackoff &backoff(const QuoteFormat *source);

    Bases m_bases;
    QuoteSourceKind m_kind;
    int m_intervalSeconds;
    bool m_slowDown;
    std::map<QuoteSourceKind, std::unique_ptr<QuoteFormat>> m_formats;
    std::map<QuoteSourceKind, SourceBackoff> m_backoff;
    std::function<std::int64_t()> m_clock;
    std::function<std::int64_t()> m_steadyClock;
};

} // namespace velmora
