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
// the header) from simulated prices, and serves "/gonggao.htm", "/", "/huiyuan/" and
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
    // code is the raw code as it arrives in the request, percent-decoding undone.
    void setFault(const QByteArray &code, DemoFault fault);
    // A fault for every code at once (a service that has gone bad as a whole).
    void setFaultForEveryCode(DemoFault fault);
    // Quote requests seen since start.
    int quoteRequests() const { return m_quoteRequests; }

signals:
    void quoteRequested(const QByteArray &code);

private:
    void answerQuote(const QHttpServerRequest &request, QHttpServerResponder &&responder);
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
};

} // namespace velmora
