#pragma once

#include "demo/demomarket.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QUrl>

#include <memory>
#include <vector>

class QHttpServer;
class QHttpServerRequest;
class QHttpServerResponder;

namespace velmora {

struct DemoServiceOptions
{
    std::uint64_t seed = 20240603; // same seed, same prices
    int latencyMs = 0;             // added before every answer (tests, benchmarks)
    int stepMs = 4000;             // the random walk takes one step per this much time
};

enum class DemoFault
{
    None,
    ServerError, // 500 with an HTML page
    Hang,        // never answers; the connection stays open until the client gives up
};

// The built-in demo quote service: QHttpServer on 127.0.0.1 and a free port, inside the
// program. It answers "/msq?cn_<code>" for any code in the quote layout (GBK, charset named in
// the header) from simulated prices, the two public batch shapes "/q=<symbols>" (tencent) and
// "/list=<symbols>" (sina, which like the real page answers 403 without its Referer) from the
// same prices, and serves "/gonggao.htm", "/", "/huiyuan/" and
// "/cn/<code>/index_kp.shtml" so that the whole program works without any real service.
// Tests and benchmarks start the same service with added latency and chosen faults.
// Everything happens on the thread the object lives on; nothing blocks it.
class DemoQuoteService : public QObject
{
    Q_OBJECT

public:
    explicit DemoQuoteService(const DemoServiceOptions &options = {}, QObject *parent = nullptr);
    ~DemoQuoteService() override;

    // Listens on 127.0.0.1 on a port the system picks; false when that is refused.
    bool start();
    // "http://127.0.0.1:<port>", the base for quotes, charts and the site alike.
    QUrl baseUrl() const;

    void setLatencyMs(int ms);
    // The moment the public pages date their quotes at (Unix seconds), for a benchmark on a
    // fixed clock; 0 goes back to the machine's clock.
    void setClock(std::int64_t unixSeconds);
    // code is the raw code as it arrives in the request, percent-decoding undone. A batch
    // request takes the fault of any symbol in it, or of that symbol's six digits.
    void setFault(const QByteArray &code, DemoFault fault);
    // A fault for every code at once (a service that has gone bad as a whole).
    void setFaultForEveryCode(DemoFault fault);
    // Quote requests seen since start, one per HTTP request, a batch of sixty included.
    int quoteRequests() const { return m_quoteRequests; }

signals:
    // The code, or a batch's symbols as listed ("sh600519,sz000001").
    void quoteRequested(const QByteArray &code);

private:
    enum class BatchShape
    {
        Tencent,
        Sina,
    };
    void answerQuote(const QHttpServerRequest &request, QHttpServerResponder &&responder);
    void answerBatch(BatchShape shape, const QHttpServerRequest &request,
                     QHttpServerResponder &&responder);
    // Hangs or answers 500 when the fault says so, taking the responder over; true then.
    bool answerFault(DemoFault fault, QHttpServerResponder &responder);
    void answerChart(const QHttpServerRequest &request, QHttpServerResponder &&responder);
    void answer(QHttpServerResponder &&responder, const QByteArray &contentType,
                const QByteArray &body, int status = 200);
    void hold(QHttpServerResponder &&responder);
    std::int64_t currentStep() const;

    DemoServiceOptions m_options;
    DemoMarket m_market;
    QElapsedTimer m_clock;
    QHash<QByteArray, DemoFault> m_faults;
    DemoFault m_faultForEveryCode = DemoFault::None;
    int m_quoteRequests = 0;
    QHttpServer *m_server;
    quint16 m_port = 0;
    struct Held;
    std::vector<std::shared_ptr<Held>> m_held;
    std::int64_t m_fixedNow = 0;
};

} // namespace velmora
