#pragma once

#include "platform/settings.h"

#include <QSize>
#include <QUrl>
#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;

namespace velmora {

// The alert window tx: one for the whole program, created by the first alert and kept until the
// program ends. It places itself at the bottom-right of the screen when it is loaded and after
// the user closed it through its frame, never on a later showing, so a window the user moved
// stays where it was put. The alert monitor fills it; its two buttons hide it.
class AlertWindow : public QWidget
{
    Q_OBJECT

public:
    explicit AlertWindow(const AppSettings &settings, QWidget *parent = nullptr);
    ~AlertWindow() override;

    static QString captionFor(const AppSettings &settings);

    // Show: visible and raised above the other windows, without taking the keyboard focus from
    // whatever the user is typing into, and not kept on top.
    void showAlert();
    // What one alert writes: Text1..Text4 and the caption of Label4.
    void setAlert(const QString &code, const QString &name, const QString &price,
                  const QString &threshold, const QString &thresholdCaption);

    QUrl siteRoot() const { return m_siteRoot; }

signals:
    // Command1_Click "关闭预警": alerts must be off before the window hides.
    void alertsOffRequested();

protected:
    void closeEvent(QCloseEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void buildControls();
    void placeAtBottomRight();
    void followFrame();
    void openSiteRoot();

    QUrl m_siteRoot;
    QLineEdit *m_text[4] = {};
    QLabel *m_label4 = nullptr;
    bool m_placeOnShow = true;  // Form_Load still to come (first showing, or after a close)
    bool m_followFrame = false; // placed before the window manager framed it
    QSize m_placedOuter;
};

} // namespace velmora
