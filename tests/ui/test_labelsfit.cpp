#include "platform/fonts.h"
#include "services/stocklookup.h"
#include "support/sources.h"
#include "support/tempdir.h"
#include "ui/addstockdialog.h"
#include "ui/alertwindow.h"
#include "ui/labelfit.h"
#include "watchlist/watchlist.h"

#include <QApplication>
#include <QLabel>
#include <QScreen>
#include <QTest>

using namespace velmora;

// Every fixed-size label of the two windows that carry many shows its whole text with the faces
// we ship: each is measured against its own rectangle. Run at 96 and at 192 dpi.
class TestLabelsFit : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void wholeTextInItsRectangle_data();
    void wholeTextInItsRectangle();
};

void TestLabelsFit::initTestCase()
{
    // The program's own face, as main() sets it.
    QApplication::setFont(SongTiFont(kDefaultPointSize));
    qInfo("logical dpi %.0f", QGuiApplication::primaryScreen()->logicalDotsPerInchY());
}

void TestLabelsFit::wholeTextInItsRectangle_data()
{
    QTest::addColumn<QString>("window");
    QTest::newRow("add dialog") << "frmAdd";
    QTest::newRow("alert window") << "tx";
}

void TestLabelsFit::wholeTextInItsRectangle()
{
    QFETCH(QString, window);
    QTemporaryDir dir;
    WatchList list(testing::pathOf(dir));
    const auto sources = testing::MakeSources(QUrl());
    std::unique_ptr<QWidget> shown;
    if (window == QLatin1String("frmAdd"))
        shown = std::make_unique<AddStockDialog>(new StockLookup(*sources), "www.tesquin.example");
    else
        shown = std::make_unique<AlertWindow>("www.tesquin.example", true);
    const auto labels = shown->findChildren<QLabel *>();
    QVERIFY(labels.size() >= 7);
    for (const QLabel *label : labels) {
        const QFontMetrics metrics(label->font());
        QVERIFY2(TextFits(label),
                 qPrintable(QStringLiteral("%1 \"%2\" needs %3 x %4 px, has %5 x %6")
                                .arg(label->objectName(), label->text())
                                .arg(metrics.boundingRect(label->contentsRect(),
                                                          int(label->alignment()) | Qt::TextWordWrap,
                                                          label->text()).width())
                                .arg(metrics.boundingRect(label->contentsRect(),
                                                          int(label->alignment()) | Qt::TextWordWrap,
                                                          label->text()).height())
                                .arg(label->contentsRect().width())
                                .arg(label->contentsRect().height())));
    }
}

QTEST_MAIN(TestLabelsFit)
#include "test_labelsfit.moc"
