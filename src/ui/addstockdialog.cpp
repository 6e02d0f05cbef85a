#include "ui/addstockdialog.h"

#include "core/lookupthresholds.h"
#include "platform/appicon.h"
#include "platform/fonts.h"
#include "platform/screenmetrics.h"
#include "platform/textcodec.h"
#include "services/stocklookup.h"
#include "ui/brand.h"
#include "ui/labelfit.h"
#include "ui/linklabel.h"
#include "core/watchentry.h"

#include <QApplication>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>

namespace velmora {

namespace {

const QString kTakeProfitPlaceholder = QStringLiteral("现价的5%");
const QString kStopLossPlaceholder = QStringLiteral("现价的-5%");

} // namespace

AddStockDialog::AddStockDialog(StockLookup *lookup, const QString &siteDomain)
    : QWidget(nullptr, Qt::Dialog), m_lookup(lookup)
{
    setObjectName(QStringLiteral("frmAdd"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("添加黑马"));
    setWindowIcon(AppIcon());
    setFixedSize(TwipsToPixels(3960), TwipsToPixels(2880));
    m_lookup->setParent(this);
    connect(m_lookup, &StockLookup::answered, this, &AddStockDialog::showLookup);
    buildControls(siteDomain);
}

AddStockDialog::~AddStockDialog()
{
    // Children are destroyed after this body; none of their last events may reach us.
    for (QObject *watched : std::initializer_list<QObject *>{m_codeEdit, m_addButton})
        watched->removeEventFilter(this);
}

void AddStockDialog::buildControls(const QString &siteDomain)
{
    auto makeLabel = [this](const char *name, const QString &text, QRect rect) {
        auto *label = new QLabel(text, this);
        label->setObjectName(QString::fromLatin1(name));
        label->setGeometry(rect);
        label->setFont(SongTiFont(12));
        return label;
    };
    auto makeEdit = [this](const char *name, const QString &text, QRect rect, double pointSize) {
        auto *edit = new QLineEdit(text, this);
        edit->setObjectName(QString::fromLatin1(name));
        edit->setGeometry(rect);
        edit->setFont(SongTiFont(pointSize));
        return edit;
    };

    QLabel *codeLabel = makeLabel("Label1", QStringLiteral("股票编号："), TwipsRect(120, 120, 1455, 255));
    m_codeEdit = makeEdit("Text1", QString(), TwipsRect(1320, 120, 1695, 375), 14.25);
    m_nameEdit = makeEdit("Text2", QString(), TwipsRect(1320, 600, 1695, 375), 12);
    QLabel *nameLabel = makeLabel("Label2", QStringLiteral("股票名称："), TwipsRect(120, 600, 1455, 255));

    m_addButton = new QPushButton(QStringLiteral("添加股票"), this);
    m_addButton->setObjectName(QStringLiteral("Command1"));
    m_addButton->setGeometry(TwipsRect(480, 2040, 2655, 375));
    m_addButton->setFont(SongTiFont(12));
    QPalette buttonPalette = m_addButton->palette();
    buttonPalette.setColor(QPalette::Button, QColor(255, 128, 128));
    m_addButton->setPalette(buttonPalette);
    m_addButton->setAutoFillBackground(true);

    QLabel *takeProfitLabel = makeLabel("Label3", QStringLiteral("止盈价："), TwipsRect(120, 1080, 1095, 255));
    QLabel *stopLossLabel = makeLabel("Label4", QStringLiteral("止损价："), TwipsRect(120, 1560, 1095, 255));
    m_takeProfitEdit = makeEdit("Text4", kTakeProfitPlaceholder, TwipsRect(1320, 1080, 1695, 375), 14.25);
    m_stopLossEdit = makeEdit("Text5", kStopLossPlaceholder, TwipsRect(1320, 1560, 1695, 375), 14.25);

    const BrandLabels brand =
        AddBrandLabels(this, siteDomain, TwipsRect(3120, 240, 735, 255),
                       TwipsRect(3120, 600, 735, 1095), TwipsRect(3120, 1800, 855, 375));
    auto *hint = new QLabel(QStringLiteral("默认止盈价是现价的5%，止损位是-5%，可修改"), this);
    hint->setObjectName(QStringLiteral("Label8"));
    hint->setGeometry(TwipsRect(120, 2520, 3735, 375));

    // Screen readers name each box by the label in front of it.
    codeLabel->setBuddy(m_codeEdit);
    nameLabel->setBuddy(m_nameEdit);
    takeProfitLabel->setBuddy(m_takeProfitEdit);
    stopLossLabel->setBuddy(m_stopLossEdit);

    // The brand labels open the maker's site; the dialog stays open.
    for (LinkLabel *link : {brand.brand, brand.advert, brand.domain})
        connect(link, &LinkLabel::activated, this, &AddStockDialog::siteRequested);

    // The labels take no focus, so these five make the whole focus chain.
    setTabOrder(m_codeEdit, m_nameEdit);
    setTabOrder(m_nameEdit, m_addButton);
    setTabOrder(m_addButton, m_takeProfitEdit);
    setTabOrder(m_takeProfitEdit, m_stopLossEdit);
    m_codeEdit->setFocus(Qt::OtherFocusReason);

    // Every caption shows its whole text with the faces we ship.
    for (QLabel *label : findChildren<QLabel *>())
        FitLabelText(label);

    connect(m_codeEdit, &QLineEdit::textChanged, this, &AddStockDialog::codeEdited);
    m_codeEdit->installEventFilter(this);
    m_addButton->installEventFilter(this);
    connect(m_addButton, &QPushButton::clicked, this, &AddStockDialog::commit);
    connect(m_takeProfitEdit, &QLineEdit::textEdited, this, [this] {
        if (lookupRunning())
            m_takeProfitTypedDuringLookup = true;
    });
    connect(m_stopLossEdit, &QLineEdit::textEdited, this, [this] {
        if (lookupRunning())
            m_stopLossTypedDuringLookup = true;
    });
}

void AddStockDialog::placeBelow(const QRect &mainWindowFrame)
{
    move(mainWindowFrame.left(), mainWindowFrame.top() + mainWindowFrame.height());
}

bool AddStockDialog::lookupRunning() const
{
    return m_lookup->isRunning();
}

// Only the length counts. While a lookup is out the button stays disabled; the lookup enables
// it at its end whatever the length.
void AddStockDialog::codeEdited()
{
    if (lookupRunning() || m_committing)
        return;
    m_addButton->setEnabled(m_codeEdit->text().size() == 6);
}

bool AddStockDialog::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_codeEdit && event->type() == QEvent::FocusOut) {
        // The lookup runs when the focus goes to another control of this dialog, not when
        // another window or a pop-up menu takes it.
        const auto reason = static_cast<QFocusEvent *>(event)->reason();
        const QWidget *next = QApplication::focusWidget();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason && next &&
            next != m_codeEdit && next->window() == this && !m_committing)
            startLookup();
        return false;
    }
    if (watched == m_addButton)
        return watchAddButton(event);
    return QWidget::eventFilter(watched, event);
}

// With the focus in the code box, a press on the add button first moves the focus, which starts
// the lookup and disables the button before the press reaches it. The click is not lost: it is
// noted here and carried out once the lookup has written its results.
bool AddStockDialog::watchAddButton(QEvent *event)
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
    if (!m_addButton->rect().contains(mouse->position().toPoint()))
        return false; // released elsewhere: no click
    if (lookupRunning())
        m_commitPending = true;
    else if (!m_committing)
        commit(); // the lookup ended between press and release
    return true;
}

// The fetch runs in the background; the name box and the add button stay disabled until its
// answer (or failure) has been written.
void AddStockDialog::startLookup()
{
    m_nameEdit->setEnabled(false);
    m_addButton->setEnabled(false);
    m_nameEdit->setText(QStringLiteral("获取名称中"));
    m_takeProfitTypedDuringLookup = false;
    m_stopLossTypedDuringLookup = false;
    m_lookup->lookUp(EncodeTyped(m_codeEdit->text()));
}

void AddStockDialog::showLookup(const NameLookupResult &result)
{
    m_nameEdit->setText(QString::fromStdString(result.name));
    if (result.takeProfit && !m_takeProfitTypedDuringLookup)
        m_takeProfitEdit->setText(QString::fromStdString(*result.takeProfit));
    if (result.stopLoss && !m_stopLossTypedDuringLookup)
        m_stopLossEdit->setText(QString::fromStdString(*result.stopLoss));
    m_nameEdit->setEnabled(true);
    m_addButton->setEnabled(true);
    const QPointer<AddStockDialog> alive(this);
    emit lookupFinished();
    if (!alive)
        return;

    if (m_commitPending) {
        m_commitPending = false;
        commit();
    }
}

// The three boxes as they stand are asked to go into the list; the dialog waits for what came
// of it (addFinished). Nothing typed is checked.
void AddStockDialog::commit()
{
    if (m_committing || lookupRunning())
        return;
    m_committing = true;
    m_codeEdit->setEnabled(false);
    m_nameEdit->setEnabled(false);
    m_addButton->setEnabled(false);

    const WatchEntry entry{EncodeTyped(m_codeEdit->text()), EncodeTyped(m_takeProfitEdit->text()),
                           EncodeTyped(m_stopLossEdit->text())};
    emit addRequested(entry);
}

void AddStockDialog::addFinished(bool done)
{
    if (done) {
        close();
        return;
    }
    // Nothing was stored, so nothing is shown in the list; the user may try again.
    m_codeEdit->setEnabled(true);
    m_nameEdit->setEnabled(true);
    m_addButton->setEnabled(true);
    m_committing = false;
}

} // namespace velmora
