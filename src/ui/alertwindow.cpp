#include "ui/alertwindow.h"

#include "core/alertplacement.h"
#include "platform/appicon.h"
#include "platform/fonts.h"
#include "platform/screenmetrics.h"
#include "services/alertmonitor.h"
#include "ui/brand.h"
#include "ui/labelfit.h"
#include "ui/linklabel.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>

#include <functional>

namespace velmora {

QString AlertWindow::captionFor(bool demo)
{
    return QStringLiteral("股价预警！") + DemoSuffix(demo);
}

AlertWindow::AlertWindow(const QString &siteDomain, bool demo, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("tx"));
    setWindowTitle(captionFor(demo));
    setAccessibleName(windowTitle());
    setWindowIcon(AppIcon());
    // An alert must not steal the keystrokes of whatever the user is typing into.
    setAttribute(Qt::WA_ShowWithoutActivating);
    // The main window is usually hidden in the tray: closing the alert must not end the program.
    setAttribute(Qt::WA_QuitOnClose, false);
    setFixedSize(TwipsToPixels(3825), TwipsToPixels(2505));
    buildControls(siteDomain);
}

AlertWindow::~AlertWindow() = default;

void AlertWindow::buildControls(const QString &siteDomain)
{
    const QFont fieldFont = SongTiFont(10.5);

    struct Field
    {
        const char *labelName;
        const char *caption;
        const char *textName;
        const char *accessibleName;
        int top;
    };
    const Field fields[] = {
        {"Label1", "股票代码", "Text1", "股票代码", 120},
        {"Label2", "股票名称", "Text2", "股票名称", 600},
        {"Label3", "最新价：", "Text3", "最新价", 1080},
        {"Label4", "止盈价：", "Text4", "预警价", 1560},
    };
    QLineEdit **edits[] = {&m_codeEdit, &m_nameEdit, &m_priceEdit, &m_thresholdEdit};
    for (int i = 0; i < 4; ++i) {
        const Field &field = fields[i];
        auto *label = new QLabel(QString::fromUtf8(field.caption), this);
        label->setObjectName(QString::fromLatin1(field.labelName));
        label->setFont(fieldFont);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        label->setGeometry(TwipsRect(120, field.top, 975, 375));

        auto *edit = new QLineEdit(this);
        edit->setObjectName(QString::fromLatin1(field.textName));
        edit->setFont(fieldFont);
        // Nothing ever reads the fields back; they are for reading and copying.
        edit->setReadOnly(true);
        edit->setAccessibleName(QString::fromUtf8(field.accessibleName));
        edit->setGeometry(TwipsRect(1200, field.top, 1575, 375));
        label->setBuddy(edit);
        *edits[i] = edit;
        m_thresholdLabel = label; // the last one names the threshold
    }

    const BrandLabels brand =
        AddBrandLabels(this, siteDomain, TwipsRect(2880, 120, 735, 255),
                       TwipsRect(2880, 600, 735, 975), TwipsRect(2880, 1680, 855, 375));
    // The brand labels can also be reached without a mouse (Tab, then Return or Space).
    for (LinkLabel *link : {brand.brand, brand.advert, brand.domain}) {
        link->setFocusPolicy(Qt::TabFocus);
        connect(link, &LinkLabel::activated, this, &AlertWindow::siteRequested);
    }

    // Every caption shows its whole text with the faces we ship.
    for (QLabel *label : findChildren<QLabel *>())
        FitLabelText(label);

    auto makeButton = [this](const char *name, const char *caption, int left) {
        auto *button = new QPushButton(QString::fromUtf8(caption), this);
        button->setObjectName(QString::fromLatin1(name));
        QPalette palette = button->palette();
        palette.setColor(QPalette::Button, QColor(255, 128, 128));
        button->setPalette(palette);
        button->setAutoDefault(false);
        button->setGeometry(TwipsRect(left, 2040, 1455, 375));
        return button;
    };
    QPushButton *remindLater = makeButton("Command2", "稍后提示", 240);
    QPushButton *closeAlerts = makeButton("Command1", "关闭预警", 2040);

    // 稍后提示: hide only; the next tick shows the window again while a price stays
    // beyond its threshold.
    connect(remindLater, &QPushButton::clicked, this, &QWidget::hide);
    // 关闭预警: alerts off first, then hide, so no tick can show the window in between.
    connect(closeAlerts, &QPushButton::clicked, this, [this] {
        emit alertsOffRequested();
        hide();
    });
}

void AlertWindow::showAlert()
{
    if (m_placeOnShow) {
        // Its first showing: place once now from the size known so far, and again when the window
        // manager has put its frame around the window.
        m_placeOnShow = false;
        m_followFrame = true;
        placeAtBottomRight();
    }
    show();
    raise();
}

void AlertWindow::setDemo(bool demo)
{
    setWindowTitle(captionFor(demo));
    setAccessibleName(windowTitle());
}

void AlertWindow::presentAlert(const AlertNotice &alert)
{
    showAlert();
    setAlert(alert.code, alert.name, alert.price, alert.threshold, alert.thresholdCaption);
}

void AlertWindow::setAlert(const QString &code, const QString &name, const QString &price,
                           const QString &threshold, const QString &thresholdCaption)
{
    m_codeEdit->setText(code);
    m_nameEdit->setText(name);
    m_priceEdit->setText(price);
    m_thresholdEdit->setText(threshold);
    m_thresholdLabel->setText(thresholdCaption);
}

void AlertWindow::placeAtBottomRight()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    // The whole display, not the work area: the window sits over panels and task bars.
    const QRect display = screen->geometry();
    const QRect outer = frameGeometry();
    const TwipsPoint topLeft =
        AlertWindowTopLeft(static_cast<float>(PixelsToTwips(display.width())),
                           static_cast<float>(PixelsToTwips(display.height())),
                           static_cast<float>(PixelsToTwips(outer.width())),
                           static_cast<float>(PixelsToTwips(outer.height())));
    m_placedOuter = outer.size();
    // move() positions a window by its frame.
    move(display.x() + TwipsToPixels(topLeft.left), display.y() + TwipsToPixels(topLeft.top));
    if (frameGeometry().size() != geometry().size())
        m_followFrame = false; // placed from the real frame: this was the last time
}

// The frame's size is only known once the window manager has framed the mapped window; the
// first placement used the bare client size, so it is redone once, from the real frame. The
// frame's size never changes when the user moves the window, so a moved window stays put.
void AlertWindow::followFrame()
{
    if (m_followFrame && isVisible() && frameGeometry().size() != m_placedOuter)
        placeAtBottomRight();
}

void AlertWindow::moveEvent(QMoveEvent *event)
{
    QWidget::moveEvent(event);
    followFrame();
}

void AlertWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    followFrame();
}

// Closing through the frame only hides the window, like 稍后提示; the next alert loads it anew
// and so places it again at the bottom-right.
void AlertWindow::closeEvent(QCloseEvent *event)
{
    m_placeOnShow = true;
    m_followFrame = false;
    QWidget::closeEvent(event);
}

} // namespace velmora
