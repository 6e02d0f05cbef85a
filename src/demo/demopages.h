#pragma once

#include "demo/demomarket.h"

#include <string>
#include <string_view>

namespace velmora {

// The web pages of the built-in demo service, as UTF-8 HTML. Each says plainly that it belongs
// to a demonstration, so nobody takes the simulated prices for real ones.

// The announcement and the chart are sent as GBK, the two site pages as UTF-8; each page's
// <meta> names the same charset as the header.

// "/gonggao.htm": one short line for the strip at the bottom of the main window.
std::string DemoAnnouncementPage();
// "/": the maker's home page.
std::string DemoHomePage();
// "/huiyuan/": the membership page.
std::string DemoMembershipPage();
// "/cn/<code>/index_kp.shtml": the intraday chart, drawn as inline SVG from the same series the
// quotes come from. code is shown as text (escaped), never as markup.
std::string DemoChartPage(std::string_view code, const DemoSeries &series);

// &, <, >, " and ' as entities.
std::string EscapeHtml(std::string_view text);

} // namespace velmora
