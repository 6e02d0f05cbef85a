#include "demo/demopages.h"

#include <algorithm>
#include <cmath>

namespace velmora {

namespace {

// charset names the encoding the service sends the page in; the <meta> must agree with the
// header, or a reader that trusts the <meta> shows garbage.
std::string page(std::string_view title, std::string_view body, std::string_view charset)
{
    std::string html = "<!DOCTYPE html>\n<html><head><meta charset=\"";
    html += charset;
    html += "\"><title>";
    html += title;
    html += "</title></head>\n<body>";
    html += body;
    html += "</body></html>\n";
    return html;
}

std::string number(double value)
{
    // Whole pixels are enough for a chart and keep the markup free of locale questions.
    return std::to_string(static_cast<long long>(std::lround(value)));
}

} // namespace

std::string EscapeHtml(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            out.push_back(c);
        }
    }
    return out;
}

std::string DemoAnnouncementPage()
{
    return page("公告",
                "<p style=\"margin:2px;font-size:12px\">【演示】当前为程序内置的演示行情服务：所有价格都是"
                "随机模拟的，与真实市场无关，仅供试用。</p>",
                "gbk");
}

std::string DemoHomePage()
{
    return page("Velmora 演示站点",
                "<h1>Velmora 演示站点</h1>"
                "<p>这是程序内置的演示网站，行情数据均为模拟，仅供试用。</p>"
                "<p><a href=\"/huiyuan/\">会员服务</a> · <a href=\"/gonggao.htm\">公告</a></p>",
                "utf-8");
}

std::string DemoMembershipPage()
{
    return page("会员服务（演示）",
                "<h1>会员服务（演示）</h1>"
                "<p>演示模式下没有会员服务。连接真实行情服务后，这里显示服务商的会员页面。</p>"
                "<p><a href=\"/\">返回首页</a></p>",
                "utf-8");
}

std::string DemoChartPage(std::string_view code, const DemoSeries &series)
{
    constexpr double kWidth = 520, kHeight = 260, kLeft = 50, kTop = 10, kRight = 10,
                     kBottom = 20;
    const double plotWidth = kWidth - kLeft - kRight;
    const double plotHeight = kHeight - kTop - kBottom;

    // Symmetric around yesterday's close, so the dashed line sits in the middle as usual.
    double span = 0;
    for (double p : series.prices)
        span = std::max(span, std::fabs(p - series.previousClose));
    span = std::max(span, series.previousClose * 0.01);
    const double top = series.previousClose + span;
    const auto y = [&](double price) { return kTop + (top - price) / (2 * span) * plotHeight; };
    const std::size_t count = series.prices.size();
    const auto x = [&](std::size_t i) {
        return kLeft + (count < 2 ? 0.0 : plotWidth * static_cast<double>(i) /
                                              static_cast<double>(count - 1));
    };

    std::string points;
    for (std::size_t i = 0; i < count; ++i) {
        if (!points.empty())
            points += ' ';
        points += number(x(i)) + "," + number(y(series.prices[i]));
    }
    const std::string change = DemoChangePercent(series);
    const char *colour = change.front() == '-' ? "#0000ff" : "#ff0000";
    const std::string title = EscapeHtml(series.name) + "（" + EscapeHtml(code) + "）分时走势";

    std::string body = "<h3 style=\"margin:4px\">" + title + "（演示数据）</h3>";
    body += "<p style=\"margin:4px\">现价 " + FormatPrice(series.price()) + " 涨跌幅 " + change +
            " 最高 " + FormatPrice(series.high()) + " 最低 " + FormatPrice(series.low()) +
            " 昨收 " + FormatPrice(series.previousClose) + "</p>\n";
    body += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + number(kWidth) +
            "\" height=\"" + number(kHeight) + "\" viewBox=\"0 0 " + number(kWidth) + " " +
            number(kHeight) + "\" role=\"img\" aria-label=\"" + title + "\">\n";
    body += "<rect x=\"" + number(kLeft) + "\" y=\"" + number(kTop) + "\" width=\"" +
            number(plotWidth) + "\" height=\"" + number(plotHeight) +
            "\" fill=\"#fff\" stroke=\"#999\"/>\n";
    body += "<line x1=\"" + number(kLeft) + "\" y1=\"" + number(y(series.previousClose)) +
            "\" x2=\"" + number(kLeft + plotWidth) + "\" y2=\"" +
            number(y(series.previousClose)) + "\" stroke=\"#999\" stroke-dasharray=\"4 3\"/>\n";
    const double labels[] = {top, series.previousClose, series.previousClose - span};
    for (double label : labels) {
        body += "<text x=\"" + number(kLeft - 4) + "\" y=\"" + number(y(label) + 4) +
                "\" font-size=\"11\" text-anchor=\"end\">" + FormatPrice(label) + "</text>\n";
    }
    body += "<polyline fill=\"none\" stroke=\"" + std::string(colour) +
            "\" stroke-width=\"1.5\" points=\"" + points + "\"/>\n</svg>";
    return page(title, body, "gbk");
}

} // namespace velmora
