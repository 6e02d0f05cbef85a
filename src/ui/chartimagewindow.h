#pragma once

#include <QWidget>

class QImage;
class QLabel;

namespace velmora {

class ChartImageFeed;

// "查看分时" with a public quote source: the public intraday chart image of one stock in a
// light window of our own, with one line under it saying which stock and when it was updated.
// It fetches nothing itself (ChartImageFeed does); closing it says so, so the fetching stops.
class ChartImageWindow final : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kMinWidth = 545;
    static constexpr int kMinHeight = 300;

    explicit ChartImageWindow(const QString &siteDomain, QWidget *parent = nullptr);
    ~ChartImageWindow() override;

    // Shows what feed brings, and stops it when the window is closed.
    void follow(ChartImageFeed &feed);
    // Another stock was asked for: the window comes up in front, saying it is on its way.
    void present(const QString &symbol);

    // A newly fetched image of symbol, at its own size; the window grows to fit it.
    void showImage(const QString &symbol, const QImage &image);
    // The image of symbol could not be had. The last image stays when it shows the same stock.
    void showFailure(const QString &symbol, const QString &why);
    // Another stock was asked for and is on its way.
    void showPending(const QString &symbol);

signals:
    void closed();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void forgetOtherStock(const QString &symbol);

    QLabel *m_image = nullptr;
    QLabel *m_status = nullptr;
    QString m_shownSymbol; // whose image m_image holds
};

} // namespace velmora
