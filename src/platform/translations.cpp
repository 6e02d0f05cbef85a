#include "platform/translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include <memory>

namespace velmora {

int InstallChineseTranslations(const QStringList &catalogues)
{
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    int installed = 0;
    for (const QString &catalogue : catalogues) {
        auto translator = std::make_unique<QTranslator>();
        if (translator->load(catalogue + QStringLiteral("_zh_CN"), folder) &&
            QCoreApplication::installTranslator(translator.get())) {
            translator.release()->setParent(QCoreApplication::instance());
            ++installed;
        }
    }
    return installed;
}

} // namespace velmora
