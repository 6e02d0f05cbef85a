#include "demo/demoservice.h"

#include "demo/demopages.h"

#include "core/marketsymbol.h"
#include "core/tradingclock.h"

#include <QDateTime>
#include <QHttpServer>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QPointer>
#include <QStringEncoder>
#include <QTcpSocket>
#include <QTimer>

namespace velmora {

namespace {

const QByteArray kQuoteType = "text/plain; charset=GBK";
const QByteArray kPageType = "text/html; charset=GBK";
const QByteArray kUtf8PageType = "text/html; charset=utf-8";

// GBK is what such services send; GB18030 writes the same bytes for every GBK character, and
// unlike "GBK" its name is always known to the converter.
QByteArray toGbk(const std::string &utf8)
{
    QStringEncoder encoder("GB18030");
    return encoder.encode(QString::fromStdString(utf8));
}

QByteArray bytes(const std::string &text)
{
    return QByteArray::fromStdString(text);
}

// The Referer the real sina page insists on; without it, it answers 403.
const QByteArray kSinaReferer = "https://finance.sina.com.cn/";

} // namespace

// A responder kept for a later answer, with a guard on its socket: the server deletes the
// socket when the client leaves, and writing through the responder after that would crash.
struct DemoQuoteService::Held
{
    explicit Held(QHttpServerResponder &&r) : responder(std::move(r)), socket(responder.socket())
    {
    }
    bool clientStillThere() const
    {
        return socket && socket->state() == QAbstractSocket::ConnectedState;
    }
    QHttpServerResponder responder;
    QPointer<QTcpSocket> socket;
};

DemoQuoteService::DemoQuoteService(const DemoServiceOptions &options, QObject *parent)
    : QObject(parent), m_options(options), m_market(options.seed), m_server(new QHttpServer(this))
{
    setObjectName(QStringLiteral("demoQuoteService"));
    m_clock.start();

    m_server->route(QStringLiteral("/msq"), QHttpServerRequest::Method::Get,
                    [this](const QHttpServerRequest &request, QHttpServerResponder &&responder) {
                        answerQuote(request, std::move(responder));
                    });
    // The batch pages put everything in one path segment ("/q=sh600519,sz000001"). A route
    // pattern is a regular expression with <arg> standing for "[^/]+" here, so "=" and ","
    // match as themselves; the handler reads the symbols from the path it was given.
    m_server->route(QStringLiteral("/q=<arg>"), QHttpServerRequest::Method::Get,
                    [this](const QString &, const QHttpServerRequest &request,
                           QHttpServerResponder &&responder) {
                        answerBatch(BatchShape::Tencent, request, std::move(responder));
                    });
    m_server->route(QStringLiteral("/list=<arg>"), QHttpServerRequest::Method::Get,
                    [this](const QString &, const QHttpServerRequest &request,
                           QHttpServerResponder &&responder) {
                        answerBatch(BatchShape::Sina, request, std::move(responder));
                    });
    m_server->route(QStringLiteral("/cn/<arg>/index_kp.shtml"), QHttpServerRequest::Method::Get,
                    [this](const QString &, const QHttpServerRequest &request,
                           QHttpServerResponder &&responder) {
                        answerChart(request, std::move(responder));
                    });
    const struct
    {
        const char *path;
        std::string (*page)();
        bool gbk;
    } pages[] = {{"/gonggao.htm", &DemoAnnouncementPage, true},
                 {"/", &DemoHomePage, false},
                 {"/huiyuan/", &DemoMembershipPage, false}};
    for (const auto &page : pages) {
        const auto make = page.page;
        const bool gbk = page.gbk;
        m_server->route(QString::fromLatin1(page.path), QHttpServerRequest::Method::Get,
                        [this, make, gbk](const QHttpServerRequest &,
                                          QHttpServerResponder &&responder) {
                            const std::string html = make();
                            if (gbk)
                                answer(std::move(responder), kPageType, toGbk(html));
                            else
                                answer(std::move(responder), kUtf8PageType, bytes(html));
                        });
    }
}

DemoQuoteService::~DemoQuoteService()
{
    // The held responders go before the server and its sockets.
    m_held.clear();
}

bool DemoQuoteService::start()
{
    m_port = m_server->listen(QHostAddress::LocalHost, 0);
    return m_port != 0;
}

QUrl DemoQuoteService::baseUrl() const
{
    QUrl url;
    url.setScheme(QStringLiteral("http"));
    url.setHost(QStringLiteral("127.0.0.1"));
    url.setPort(m_port);
    return url;
}

void DemoQuoteService::setLatencyMs(int ms)
{
    m_options.latencyMs = ms;
}

void DemoQuoteService::setFault(const QByteArray &code, DemoFault fault)
{
    if (fault == DemoFault::None)
        m_faults.remove(code);
    else
        m_faults.insert(code, fault);
}

void DemoQuoteService::setFaultForEveryCode(DemoFault fault)
{
    m_faultForEveryCode = fault;
}

std::int64_t DemoQuoteService::currentStep() const
{
    return m_options.stepMs > 0 ? m_clock.elapsed() / m_options.stepMs : 0;
}

void DemoQuoteService::answerQuote(const QHttpServerRequest &request,
                                   QHttpServerResponder &&responder)
{
    const QByteArray query = request.url().query(QUrl::FullyEncoded).toLatin1();
    if (!query.startsWith("cn_")) {
        answer(std::move(responder), kUtf8PageType, "<html><body>404</body></html>", 404);
        return;
    }
    const QByteArray code = QByteArray::fromPercentEncoding(query.mid(3));
    ++m_quoteRequests;
    emit quoteRequested(code);

    const DemoFault fault =
        m_faultForEveryCode != DemoFault::None ? m_faultForEveryCode : m_faults.value(code);
    if (answerFault(fault, responder))
        return;
    const std::string codeText = code.toStdString();
    const DemoSeries &series = m_market.at(codeText, currentStep());
    const QDateTime now = QDateTime::currentDateTime();
    const std::string reply =
        DemoReply(codeText, series, now.toString(QStringLiteral("yyyy-MM-dd")).toStdString(),
                  now.toString(QStringLiteral("HH:mm:ss")).toStdString());
    answer(std::move(responder), kQuoteType, toGbk(reply));
}

bool DemoQuoteService::answerFault(DemoFault fault, QHttpServerResponder &responder)
{
    if (fault == DemoFault::Hang) {
        hold(std::move(responder));
        return true;
    }
    if (fault == DemoFault::ServerError) {
        answer(std::move(responder), kPageType,
               toGbk("<html><body><h1>500</h1><p>服务器内部错误,请稍后再试,"
                     "a,b,c,d,e,f,g,h,i,j,k,l,m</p></body></html>"),
               500);
        return true;
    }
    return false;
}

void DemoQuoteService::answerBatch(BatchShape shape, const QHttpServerRequest &request,
                                   QHttpServerResponder &&responder)
{
    const QByteArray path = request.url().path(QUrl::FullyEncoded).toLatin1();
    const QByteArray list = QByteArray::fromPercentEncoding(path.mid(path.indexOf('=') + 1));
    ++m_quoteRequests;
    emit quoteRequested(list);

    if (shape == BatchShape::Sina && request.value("Referer") != kSinaReferer) {
        answer(std::move(responder), kUtf8PageType,
               "<html><body><h1>403 Forbidden</h1></body></html>", 403);
        return;
    }
    const QList<QByteArray> symbols = list.split(',');
    // The worst fault of any symbol asked for, looked up as written and by its six digits.
    DemoFault fault = m_faultForEveryCode;
    for (const QByteArray &symbol : symbols) {
        const QByteArray digits = symbol.size() == 8 ? symbol.mid(2) : symbol;
        for (const DemoFault one : {m_faults.value(symbol), m_faults.value(digits)}) {
            if (one == DemoFault::Hang || fault == DemoFault::None)
                fault = one;
        }
    }
    if (answerFault(fault, responder))
        return;

    // Each line is dated on its own market's clock, whatever the machine's own zone.
    const std::int64_t now = m_fixedNow ? m_fixedNow : QDateTime::currentSecsSinceEpoch();
    std::string reply;
    for (const QByteArray &symbol : symbols) {
        const std::string text = symbol.toStdString();
        const auto demo = shape == BatchShape::Tencent ? DemoTencentSymbol(text) : DemoSinaSymbol(text);
        if (!demo) {
            reply += shape == BatchShape::Tencent ? std::string(kDemoTencentNoMatch)
                                                  : DemoSinaEmptyLine(text);
            continue;
        }
        const DemoSeries &series = m_market.at(demo->code, currentStep());
        reply += shape == BatchShape::Tencent ? DemoTencentLine(text, series, now)
                                              : DemoSinaLine(text, series, now);
    }
    answer(std::move(responder), kQuoteType, toGbk(reply));
}

void DemoQuoteService::answerChart(const QHttpServerRequest &request,
                                   QHttpServerResponder &&responder)
{
    // The code's raw bytes, as the quote route sees them, so both draw on the same series.
    const QByteArray path = request.url().path(QUrl::FullyEncoded).toLatin1();
    const QByteArray prefix = "/cn/";
    const QByteArray suffix = "/index_kp.shtml";
    const QByteArray code = QByteArray::fromPercentEncoding(
        path.mid(prefix.size(), path.size() - prefix.size() - suffix.size()));
    const std::string codeText = code.toStdString();
    const DemoSeries &series = m_market.at(codeText, currentStep());
    answer(std::move(responder), kPageType, toGbk(DemoChartPage(codeText, series)));
}

void DemoQuoteService::setClock(std::int64_t unixSeconds)
{
    m_fixedNow = unixSeconds;
}

void DemoQuoteService::answer(QHttpServerResponder &&responder, const QByteArray &contentType,
                              const QByteArray &body, int status)
{
    const auto code = static_cast<QHttpServerResponder::StatusCode>(status);
    if (m_options.latencyMs <= 0) {
        responder.write(body, contentType, code);
        return;
    }
    auto held = std::make_shared<Held>(std::move(responder));
    QTimer::singleShot(m_options.latencyMs, this, [held, contentType, body, code] {
        if (held->clientStillThere())
            held->responder.write(body, contentType, code);
    });
}

void DemoQuoteService::hold(QHttpServerResponder &&responder)
{
    // Forget the ones whose clients have given up, so a long hang does not pile up memory.
    std::erase_if(m_held, [](const auto &held) { return !held->clientStillThere(); });
    m_held.push_back(std::make_shared<Held>(std::move(responder)));
}

} // namespace velmora
