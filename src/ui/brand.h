#pragma once

#include <QRect>
#include <QString>

#include <optional>

class QWidget;

namespace velmora {

class LinkLabel;

// The maker's texts that the windows carry, in one place.

// Ends every caption and the tray tip while the built-in demo service answers, so nobody takes
// the simulated prices for real ones; empty otherwise.
QString DemoSuffix(bool demo);

// The three link labels of the alert window and the add dialog: the brand ("Label5"), the
// advertisement wrapped over several lines ("Label6") and the site's domain ("Label7"). Each
// emits LinkLabel::activated, for the maker's home page. The brand is set in "宋体" 10.5 points;
// the other two keep the window's font.
struct BrandLabels
{
    LinkLabel *brand;
    LinkLabel *advert;
    LinkLabel *domain;
};
BrandLabels AddBrandLabels(QWidget *window, const QString &siteDomain, QRect brand, QRect advert,
                           QRect domain);

} // namespace velmora
