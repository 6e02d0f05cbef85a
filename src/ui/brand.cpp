#include "ui/brand.h"

#include "platform/fonts.h"
#include "ui/linklabel.h"

namespace velmora {

QString DemoSuffix(bool demo)
{
    return demo ? QStringLiteral("（演示行情）") : QString();
}

BrandLabels AddBrandLabels(QWidget *window, const QString &siteDomain, QRect brand, QRect advert,
                           QRect domain)
{
    BrandLabels labels{new LinkLabel(QStringLiteral("Tesquin"), window),
                       new LinkLabel(QStringLiteral("Orlentis最新传闻实时解盘大盘预测个股点评"), window),
                       new LinkLabel(siteDomain, window)};
    labels.brand->setObjectName(QStringLiteral("Label5"));
    labels.brand->setFont(SongTiFont(10.5));
    labels.brand->setGeometry(brand);
    labels.advert->setObjectName(QStringLiteral("Label6"));
    labels.advert->setWordWrap(true);
    labels.advert->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    labels.advert->setGeometry(advert);
    labels.domain->setObjectName(QStringLiteral("Label7"));
    labels.domain->setGeometry(domain);
    for (LinkLabel *link : {labels.brand, labels.advert, labels.domain}) {
        link->setAccessibleName(link->text());
        link->setAccessibleDescription(QStringLiteral("在浏览器中打开官网"));
    }
    return labels;
}

} // namespace velmora
