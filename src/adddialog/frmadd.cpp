#include "adddialog/frmadd.h"

#include "adddialog/namelookup.h"
#include "mainwin/form1.h"
#include "mainwin/storefailure.h"
#include "mainwin/watchlistmodel.h"
#include "platform/fonts.h"
#include "platform/linklabel.h"
#include "platform/messages.h"
#include "platform/openurl.h"
#include "platform/screenmetrics.h"
#include "platform/textcodec.h"
#include "quotes/quotereply.h"
#include "store/watchliststore.h"

#include <QApplication>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>

namespace velmora {

namespace {

template <typename Label>
Label *makeLabel(QWidget *parent, const char *name, const QString &text, QRect rect,
                 std::optional<double> pointSize)
{
    auto *label = new Label(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setGeometry(rect);
    if (pointSize)
        label->setFont(SongTiFont(*pointSize));
    return label;
}

const QString kTakeProfitPlaceholder = QStringLiteral("现价的5%");
const QString kStopLossPlaceholder = QStringLiteral("现价的-5%");

} // namespace

FrmAdd::FrmAdd(Form1 &form) : QWidget(nullptr, Qt::Dialog), m_form(&form)
{
    setObjectName(QStringLiteral("frmAdd"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("添加黑马"));
    setWindowIcon(AppIcon());
    setFixedSize(TwipsToPixels(3960), TwipsToPixels(2880));
    buildControls();
    formLoad();
}

FrmAdd::~FrmAdd()
{
    // Children are destroyed after this body; none of their last events may reach us.
    for (QObject *watched : std::initializer_list<QObject *>{m_text1, m_command1})
        watched->removeEventFilter(this);
}

void FrmAdd::buildControls()
{
    auto makeText = [this](const char *name, const QString &text, QRect rect, double pointSize) {
        auto *edit = new QLineEdit(text, this);
        edit->setObjectName(QString::fromLatin1(name));
        edit->setGeometry(rect);
        edit->setFont(SongTiFont(pointSize));
        return edit;
    };

    m_label1 = makeLabel<QLabel>(this, "Label1", QStringLiteral("股票编号："),
                                 TwipsRect(120, 120, 1455, 255), 12);
    m_text1 = makeText("Text1", QString(), TwipsRect(1320, 120, 1695, 375), 14.25);
    m_text2 = makeText("Text2", QString(), TwipsRect(1320, 600, 1695, 375), 12);
    m_label2 = makeLabel<QLabel>(this, "Label2", QStringLiteral("股票名称："),
                                 TwipsRect(120, 600, 1455, 255), 12);

    m_command1 = new QPushButton(QStringLiteral("添加股票"), this);
    m_command1->setObjectName(QStringLiteral("Command1"));
    m_command1->setGeometry(TwipsRect(480, 2040, 2655, 375));
    m_command1->setFont(SongTiFont(12));
    QPalette buttonPalette = m_command1->palette();
    buttonPalette.setColor(QPalette::Button, QColor(255, 128, 128));
    m_command1->setPalette(buttonPalette);
    m_command1->setAutoFillBackground(true);

    m_label3 = makeLabel<QLabel>(this, "Label3", QStringLiteral("止盈价："),
                                 TwipsRect(120, 1080, 1095, 255), 12);
    m_label4 = makeLabel<QLabel>(this, "Label4", QStringLiteral("止损价："),
                                 TwipsRect(120, 1560, 1095, 255), 12);
    m_text4 = makeText("Text4", kTakeProfitPlaceholder, TwipsRect(1320, 1080, 1695, 375), 14.25);
    m_text5 = makeText("Text5", kStopLossPlaceholder, TwipsRect(1320, 1560, 1695, 375), 14.25);

    m_label5 = makeLabel<LinkLabel>(this, "Label5", QStringLiteral("Tesquin"),
                                    TwipsRect(3120, 240, 735, 255), 10.5);
    m_label6 = makeLabel<LinkLabel>(this, "Label6",
                                    QStringLiteral("Orlentis最新传闻实时解盘大盘预测个股点评"),
                                    TwipsRect(3120, 600, 735, 1095), std::nullopt);
    m_label6->setWordWrap(true);
    m_label6->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    const QString domain = m_form ? m_form->settings().siteHost() : QString();
    m_label7 =
        makeLabel<LinkLabel>(this, "Label7", domain, TwipsRect(3120, 1800, 855, 375), std::nullopt);
    m_label8 = makeLabel<QLabel>(this, "Label8",
                                 QStringLiteral("默认止盈价是现价的5%，止损位是-5%，可修改"),
                                 TwipsRect(120, 2520, 3735, 375), std::nullopt);

    // Screen readers name each box by the label in front of it.
    m_label1->setBuddy(m_text1);
    m_label2->setBuddy(m_text2);
    m_label3->setBuddy(m_text4);
    m_label4->setBuddy(m_text5);

    // Label5_Click, Label6_Click, Label7_Click: the maker's site, the dialog stays open.
    for (LinkLabel *link : {m_label5, m_label6, m_label7})
        connect(link, &LinkLabel::activated, this, &FrmAdd::openSite);

    // The labels take no focus, so these five make the whole focus chain.
    setTabOrder(m_text1, m_text2);
    setTabOrder(m_text2, m_command1);
    setTabOrder(m_command1, m_text4);
    setTabOrder(m_text4, m_text5);
    m_text1->setFocus(Qt::OtherFocusReason);

    m_inet1 = new QuoteFetcher(this);
    m_inet1->setObjectName(QStringLiteral("Inet1"));
    connect(m_inet1, &QuoteFetcher::finished, this, &FrmAdd::lookupAnswered);

    connect(m_text1, &QLineEdit::textChanged, this, &FrmAdd::text1Change);
    m_text1->installEventFilter(this);
    m_command1->installEventFilter(this);
    connect(m_command1, &QPushButton::clicked, this, &FrmAdd::command1Click);
    connect(m_text4, &QLineEdit::textEdited, this, [this] {
        if (lookupRunning())
            m_text4EditedDuringLookup = true;
    });
    connect(m_text5, &QLineEdit::textEdited, this, [this] {
        if (lookupRunning())
            m_text5EditedDuringLookup = true;
    });
}

// Form_Load: directly below the main window, left edges aligned, nothing clamped to the screen.
void FrmAdd::formLoad()
{
    if (!m_form)
        return;
    const QRect main = m_form->frameGeometry();
    move(main.left(), main.top() + main.height());
}

// Text1_Change: only the length counts. While a lookup is out the button stays disabled; the
// lookup enables it at its end whatever the length.
void FrmAdd::text1Change()
{
    if (lookupRunning() || m_committing)
        return;
    m_command1->setEnabled(m_text1->text().size() == 6);
}

bool FrmAdd::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_text1 && event->type() == QEvent::FocusOut) {
        // Text1_LostFocus fires when the focus goes to another control of this dialog, not
        // when another window or a pop-up menu takes it.
        const auto reason = static_cast<QFocusEvent *>(event)->reason();
        const QWidget *next = QApplication::focusWidget();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason && next &&
            next != m_text1 && next->window() == this && !m_committing)
            text1LostFocus();
        return false;
    }
    if (watched == m_command1)
        return watchCommand1(event);
    return QWidget::eventFilter(watched, event);
}

// With the focus in Text1, a press on Command1 first moves the focus, which starts the lookup
// and disables the button before the press reaches it. The click is not lost: it is noted here
// and carried out once the lookup has written its results.
bool FrmAdd::watchCommand1(QEvent *event)
{
    if (event->type() != QEvent::MouseButtonPress && event->type() != QEvent::MouseButtonRelease)
        return false;
    const auto *mouse = static_cast<QMouseEvent *>(event);
    if (mouse->button() != Qt::LeftButton)
        return false;
    if (event->type() == QEvent::MouseButtonPress) {
        m_pressDuringLookup = lookupRunning();
        return false;
    }
    if (!m_pressDuringLookup)
        return false;
    m_pressDuringLookup = false;
    if (!m_command1->rect().contains(mouse->position().toPoint()))
        return false; // released elsewhere: no click
    if (lookupRunning())
        m_commitPending = true;
    else if (!m_committing)
        command1Click(); // the lookup ended between press and release
    return true;
}

// Text1_LostFocus: the name lookup. The fetch runs in the background; Text2 and Command1 stay
// disabled until its answer (or failure) has been written.
void FrmAdd::text1LostFocus()
{
    m_text2->setEnabled(false);
    m_command1->setEnabled(false);
    m_text2->setText(QStringLiteral("获取名称中"));

    // A lookup started anew replaces one still out: only the latest code's answer counts.
    m_inet1->abortAll();
    m_text4EditedDuringLookup = false;
    m_text5EditedDuringLookup = false;
    const QUrl base = m_form ? m_form->settings().quoteBase : QUrl();
    const std::string url = BuildQuoteUrl(base.toString(QUrl::FullyEncoded).toStdString(),
                                          EncodeTyped(m_text1->text()));
    m_lookup = m_inet1->fetch(QUrl::fromEncoded(QByteArray::fromStdString(url)));
}

void FrmAdd::lookupAnswered(QuoteFetcher::Ticket ticket, const FetchResult &result)
{
    if (!m_lookup || ticket != *m_lookup)
        return;
    m_lookup.reset();

    // A failed fetch is read as the empty reply: no name, both thresholds "0".
    const std::string reply = result.ok ? result.body.toStdString() : std::string();
    const NameLookupResult read = ReadNameLookup(ParseQuoteReply(reply));
    m_text2->setText(QString::fromStdString(read.name));
    if (read.takeProfit && !m_text4EditedDuringLookup)
        m_text4->setText(QString::fromStdString(*read.takeProfit));
    if (read.stopLoss && !m_text5EditedDuringLookup)
        m_text5->setText(QString::fromStdString(*read.stopLoss));
    m_text2->setEnabled(true);
    m_command1->setEnabled(true);
    const QPointer<FrmAdd> alive(this);
    emit lookupFinished();
    if (!alive)
        return;

    if (m_commitPending) {
        m_commitPending = false;
        command1Click();
    }
}

// Command1_Click: the three boxes as they stand go into the files (all three or none), then
// the row at the end of the list, then the dialog is gone. Nothing typed is checked.
void FrmAdd::command1Click()
{
    if (!m_form || m_committing || lookupRunning())
        return;
    m_committing = true;
    m_text1->setEnabled(false);
    m_text2->setEnabled(false);
    m_command1->setEnabled(false);

    const WatchEntry entry{EncodeTyped(m_text1->text()), EncodeTyped(m_text4->text()),
                           EncodeTyped(m_text5->text())};
    if (const auto error = m_form->files().append(entry)) {
        // Nothing was stored, so nothing is shown in the list; the user may try again.
        m_text1->setEnabled(true);
        m_text2->setEnabled(true);
        m_command1->setEnabled(true);
        m_committing = false;
        Messages::warn(this, StoreFailureText(*error, WatchListChange::Add));
        return;
    }
    m_form->model()->appendAdded(entry);
    close();
}

void FrmAdd::openSite()
{
    if (m_form)
        OpenInBrowser(m_form->settings().siteBase);
}

} // namespace velmora
