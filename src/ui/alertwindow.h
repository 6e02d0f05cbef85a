#pragma once


#include <QSize>
#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;

namespace velmora {

struct AlertNotice;

// The alert window ("tx"): one for the whole program, created by the first alert and kept until
// the program ends. It places itself at the bottom-right of the screen when it is first shown
// and after the user closed it through its frame, never on a later showing, so a window the
// user moved stays where it was put. Its two buttons hide it.
class AlertWindow final : public QWidget
{
    Q_OBJECT

public:
    AlertWindow(const QString &siteDomain, bool demo, QWidget *parent = nullptr);
    ~AlertWindow() override;

    static QString captionFor(bool demo);
    void setDemo(bool demo);

    // One alert: shown first, then its fields written.
    void presentAlert(const AlertNotice &alert);

    // Show: visible and raised above the other windows, without taking the keyboard focus from
    // whatever the user is typing into, and not kept on top.
    void showAlert();
    // What one alert writes: the four fields and the caption of the threshold's label.
    void setAlert(const QString &code, const QString &name, const QString &price,
                  const QString &threshold, const QString &thresholdCaption);

signals:
    // "关闭预警": alerts must be off before the window hides.
    void alertsOffRequested();
    // One of the three brand labels: the maker's home page.
    void siteRequested();

protected:
    void closeEvent(QCloseEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void buildControls(const QString &siteDomain);
    void placeAtBottomRight();
    void followFrame();

    QLineEdit *m_codeEdit = nullptr;
    QLineEdit *m_nameEdit = nullptr;
    QLineEdit *m_priceEdit = nullptr;
    QLineEdit *m_thresholdEdit = nullptr;
    QLabel *m_thresholdLabel = nullptr; // "止盈价：" or "止损价："
    bool m_placeOnShow = true;  // first showing, or the first after a close
    bool m_followFrame = false; // placed before the window manager framed it
    QSize m_placedOuter;
};

} // namespace velmora
