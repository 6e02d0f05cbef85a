#include "ui/settingswindow.h"

#include "core/hotkey.h"
#include "platform/appicon.h"
#include "platform/globalhotkey.h"
#include "platform/messages.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QSpinBox>

namespace velmora {

namespace {

// The order the window lists them in: the demo first, the sources that need nothing set last.
constexpr QuoteSourceKind kListedSources[] = {QuoteSourceKind::Demo, QuoteSourceKind::Custom,
                                              QuoteSourceKind::Tencent, QuoteSourceKind::Sina,
                                              QuoteSourceKind::Auto};

} // namespace

QString SettingsWindow::invalidAddressText()
{
    return QStringLiteral("服务地址无效：需要以 http:// 或 https:// 开头并带有主机名，"
                          "例如 http://quotes.example:8080。");
}

SettingsWindow::SettingsWindow(const UserSettings &current, QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("settingsWindow"));
    setWindowTitle(QStringLiteral("设置"));
    setWindowIcon(AppIcon());
    // The program lives in the tray: closing its settings must not end it.
    setAttribute(Qt::WA_QuitOnClose, false);
    buildControls();
    fill(current);
}

SettingsWindow::~SettingsWindow() = default;

void SettingsWindow::buildControls()
{
    auto *form = new QFormLayout(this);

    m_sourceBox = new QComboBox(this);
    m_sourceBox->setObjectName(QStringLiteral("sourceBox"));
    for (const QuoteSourceKind kind : kListedSources)
        m_sourceBox->addItem(SourceCaption(kind), static_cast<int>(kind));
    form->addRow(QStringLiteral("行情来源："), m_sourceBox);

    m_customBaseEdit = new QLineEdit(this);
    m_customBaseEdit->setObjectName(QStringLiteral("customBaseEdit"));
    m_customBaseEdit->setPlaceholderText(QStringLiteral("http://主机名:端口"));
    m_customBaseEdit->setMinimumWidth(m_customBaseEdit->fontMetrics().horizontalAdvance(
                                          QStringLiteral("http://quotes.example:8080")) *
                                      3 / 2);
    form->addRow(QStringLiteral("服务地址："), m_customBaseEdit);

    m_intervalBox = new QSpinBox(this);
    m_intervalBox->setObjectName(QStringLiteral("intervalBox"));
    m_intervalBox->setRange(UserSettings::kMinIntervalSeconds, UserSettings::kMaxIntervalSeconds);
    m_intervalBox->setSuffix(QStringLiteral(" 秒"));
    // Typing "30" must not pass through a 3-second refresh on the way: a typed value counts
    // when the typing is done, the arrows count at once.
    m_intervalBox->setKeyboardTracking(false);
    form->addRow(QStringLiteral("刷新间隔："), m_intervalBox);

    m_slowDownBox = new QCheckBox(QStringLiteral("非交易时间放慢刷新（每 5 分钟一次）"), this);
    m_slowDownBox->setObjectName(QStringLiteral("slowDownBox"));
    form->addRow(QStringLiteral("非交易时间："), m_slowDownBox);

    m_notificationsBox = new QCheckBox(QStringLiteral("价格突破止盈或止损价时发送桌面通知"), this);
    m_notificationsBox->setObjectName(QStringLiteral("notificationsBox"));
    form->addRow(QStringLiteral("桌面通知："), m_notificationsBox);

    m_soundBox = new QCheckBox(QStringLiteral("通知时播放提示音"), this);
    m_soundBox->setObjectName(QStringLiteral("soundBox"));
    form->addRow(QStringLiteral("提示音："), m_soundBox);

    m_deadBandBox = new QDoubleSpinBox(this);
    m_deadBandBox->setObjectName(QStringLiteral("deadBandBox"));
    m_deadBandBox->setRange(0, UserSettings::kMaxDeadBandPercent);
    m_deadBandBox->setDecimals(1);
    m_deadBandBox->setSingleStep(0.1);
    m_deadBandBox->setSuffix(QStringLiteral(" %"));
    m_deadBandBox->setKeyboardTracking(false);
    m_deadBandBox->setToolTip(QStringLiteral("价格回到止盈、止损价以内超过这个幅度后，才会再次提醒"));
    form->addRow(QStringLiteral("预警回差："), m_deadBandBox);

    m_changeStepBox = new QDoubleSpinBox(this);
    m_changeStepBox->setObjectName(QStringLiteral("changeStepBox"));
    m_changeStepBox->setRange(0, UserSettings::kMaxChangeStepPercent);
    m_changeStepBox->setDecimals(1);
    m_changeStepBox->setSingleStep(0.5);
    m_changeStepBox->setSuffix(QStringLiteral(" %"));
    m_changeStepBox->setSpecialValueText(QStringLiteral("关闭"));
    m_changeStepBox->setKeyboardTracking(false);
    m_changeStepBox->setToolTip(QStringLiteral("当天涨跌幅每达到这个幅度的整数倍时提醒一次"));
    form->addRow(QStringLiteral("涨跌幅提醒："), m_changeStepBox);

    m_hideAmountsBox = new QCheckBox(QStringLiteral("隐藏金额"), this);
    m_hideAmountsBox->setObjectName(QStringLiteral("hideAmountsBox"));
    m_hideAmountsBox->setToolTip(QStringLiteral("持仓、成本价、盈亏和合计都显示为 ***"));
    form->addRow(QStringLiteral("持仓："), m_hideAmountsBox);

    m_trendBox = new QCheckBox(QStringLiteral("显示走势"), this);
    m_trendBox->setObjectName(QStringLiteral("trendBox"));
    m_trendBox->setToolTip(QStringLiteral("在列表中用一条小曲线画出当天的价格"));
    form->addRow(QStringLiteral("走势："), m_trendBox);

    m_trayShowBox = new QComboBox(this);
    m_trayShowBox->setObjectName(QStringLiteral("trayShowBox"));
    for (const TrayShow show : {TrayShow::First, TrayShow::Total, TrayShow::None})
        m_trayShowBox->addItem(TrayShowCaption(show), static_cast<int>(show));
    form->addRow(QStringLiteral("托盘显示："), m_trayShowBox);

    m_hotkeyEdit = new QLineEdit(this);
    m_hotkeyEdit->setObjectName(QStringLiteral("hotkeyEdit"));
    m_hotkeyEdit->setPlaceholderText(QStringLiteral("例如 Ctrl+Alt+H"));
    m_hotkeyEdit->setToolTip(QStringLiteral("在任何程序中按下此快捷键，进入或退出隐身模式"));
    form->addRow(QStringLiteral("隐身快捷键："), m_hotkeyEdit);
    m_hotkeyProblem = new QLabel(this);
    m_hotkeyProblem->setObjectName(QStringLiteral("hotkeyProblem"));
    m_hotkeyProblem->setWordWrap(true);
    m_hotkeyProblem->setStyleSheet(QStringLiteral("color: #c00000;"));
    m_hotkeyProblem->hide();
    form->addRow(QString(), m_hotkeyProblem);

    m_discreetAtStartBox = new QCheckBox(QStringLiteral("启动时进入隐身模式"), this);
    m_discreetAtStartBox->setObjectName(QStringLiteral("discreetAtStartBox"));
    form->addRow(QStringLiteral("隐身模式："), m_discreetAtStartBox);

    connect(m_sourceBox, &QComboBox::currentIndexChanged, this, &SettingsWindow::sourceChosen);
    connect(m_customBaseEdit, &QLineEdit::editingFinished, this, &SettingsWindow::addressEdited);
    connect(m_customBaseEdit, &QLineEdit::textEdited, this, [this] { m_judged = false; });
    connect(m_intervalBox, &QSpinBox::valueChanged, this, &SettingsWindow::apply);
    connect(m_slowDownBox, &QCheckBox::toggled, this, &SettingsWindow::apply);
    connect(m_notificationsBox, &QCheckBox::toggled, this, [this] {
        followSwitches();
        apply();
    });
    connect(m_soundBox, &QCheckBox::toggled, this, &SettingsWindow::apply);
    connect(m_hideAmountsBox, &QCheckBox::toggled, this, &SettingsWindow::apply);
    connect(m_trendBox, &QCheckBox::toggled, this, &SettingsWindow::apply);
    connect(m_deadBandBox, &QDoubleSpinBox::valueChanged, this, &SettingsWindow::apply);
    connect(m_changeStepBox, &QDoubleSpinBox::valueChanged, this, &SettingsWindow::apply);
    connect(m_trayShowBox, &QComboBox::currentIndexChanged, this, &SettingsWindow::apply);
    connect(m_hotkeyEdit, &QLineEdit::editingFinished, this, &SettingsWindow::hotkeyEdited);
    connect(m_discreetAtStartBox, &QCheckBox::toggled, this, &SettingsWindow::apply);
}

void SettingsWindow::setHotkeyProblem(const QString &problem)
{
    m_hotkeyProblem->setText(problem);
    m_hotkeyProblem->setVisible(!problem.isEmpty());
}

void SettingsWindow::hotkeyEdited()
{
    if (const auto problem = HotkeyTextProblem(m_hotkeyEdit->text())) {
        setHotkeyProblem(*problem);
        return;
    }
    // Shown as it is kept.
    m_hotkeyEdit->setText(QString::fromStdString(HotkeyText(*ParseHotkey(m_hotkeyEdit->text().toStdString()))));
    apply();
}

void SettingsWindow::showSettings(const UserSettings &current)
{
    fill(current);
    show();
    raise();
    activateWindow();
}

void SettingsWindow::fill(const UserSettings &current)
{
    {
        const QSignalBlocker source(m_sourceBox);
        const QSignalBlocker address(m_customBaseEdit);
        const QSignalBlocker interval(m_intervalBox);
        const QSignalBlocker slowDown(m_slowDownBox);
        const QSignalBlocker notifications(m_notificationsBox);
        const QSignalBlocker sound(m_soundBox);
        const QSignalBlocker hideAmounts(m_hideAmountsBox);
        const QSignalBlocker trend(m_trendBox);
        const QSignalBlocker deadBand(m_deadBandBox);
        const QSignalBlocker changeStep(m_changeStepBox);
        const QSignalBlocker trayShow(m_trayShowBox);
        const QSignalBlocker hotkey(m_hotkeyEdit);
        const QSignalBlocker discreetAtStart(m_discreetAtStartBox);
        m_sourceBox->setCurrentIndex(m_sourceBox->findData(static_cast<int>(current.source)));
        m_customBaseEdit->setText(current.customBase.toString());
        m_intervalBox->setValue(current.intervalSeconds);
        m_slowDownBox->setChecked(current.slowDownOutsideHours);
        m_notificationsBox->setChecked(current.notifications);
        m_soundBox->setChecked(current.sound);
        m_hideAmountsBox->setChecked(current.hideAmounts);
        m_trendBox->setChecked(current.trend);
        m_deadBandBox->setValue(current.deadBandPercent);
        m_changeStepBox->setValue(current.changeStepPercent);
        m_trayShowBox->setCurrentIndex(m_trayShowBox->findData(static_cast<int>(current.trayShow)));
        m_hotkeyEdit->setText(current.discreetHotkey);
        m_discreetAtStartBox->setChecked(current.discreetAtStart);
    }
    m_applied = current;
    m_base = current.customBase;
    m_awaitingAddress = false;
    m_judged = false;
    followSwitches();
}

QuoteSourceKind SettingsWindow::chosenSource() const
{
    return static_cast<QuoteSourceKind>(m_sourceBox->currentData().toInt());
}

UserSettings SettingsWindow::settings() const
{
    UserSettings settings = m_applied; // what this window does not show stays as it is
    settings.source = chosenSource();
    if (settings.source == QuoteSourceKind::Custom && m_awaitingAddress)
        settings.source = m_applied.source;
    settings.customBase = m_base;
    settings.intervalSeconds = m_intervalBox->value();
    settings.slowDownOutsideHours = m_slowDownBox->isChecked();
    settings.notifications = m_notificationsBox->isChecked();
    settings.sound = m_soundBox->isChecked();
    settings.hideAmounts = m_hideAmountsBox->isChecked();
    settings.trend = m_trendBox->isChecked();
    settings.deadBandPercent = m_deadBandBox->value();
    settings.changeStepPercent = m_changeStepBox->value();
    settings.trayShow = static_cast<TrayShow>(m_trayShowBox->currentData().toInt());
    // A hotkey that cannot be read stays the one applied before.
    if (const auto hotkey = ParseHotkey(m_hotkeyEdit->text().toStdString()))
        settings.discreetHotkey = QString::fromStdString(HotkeyText(*hotkey));
    settings.discreetAtStart = m_discreetAtStartBox->isChecked();
    return settings;
}

void SettingsWindow::sourceChosen()
{
    followSwitches();
    m_awaitingAddress = false;
    if (chosenSource() == QuoteSourceKind::Custom) {
        // Choosing the service takes the address in the box; without a good one the choice
        // waits, and the user is taken to the box to give one.
        const QString text = m_customBaseEdit->text();
        if (const auto base = ParseServiceBase(text)) {
            m_base = *base;
            m_judged = true;
            m_judgedText = text;
        } else {
            m_awaitingAddress = true;
            // An empty box is no mistake yet: the user has only just chosen the service.
            if (!text.trimmed().isEmpty()) {
                m_judged = true;
                m_judgedText = text;
                Messages::warn(this, invalidAddressText());
            }
            m_customBaseEdit->setFocus();
        }
    }
    apply();
}

void SettingsWindow::addressEdited()
{
    if (chosenSource() != QuoteSourceKind::Custom)
        return;
    const QString text = m_customBaseEdit->text();
    if (m_judged && text == m_judgedText)
        return;
    m_judged = true;
    m_judgedText = text;
    const auto base = ParseServiceBase(text);
    if (!base) {
        Messages::warn(this, invalidAddressText());
        return;
    }
    m_base = *base;
    m_awaitingAddress = false;
    apply();
}

void SettingsWindow::followSwitches()
{
    m_customBaseEdit->setEnabled(chosenSource() == QuoteSourceKind::Custom);
    m_soundBox->setEnabled(m_notificationsBox->isChecked());
}

void SettingsWindow::apply()
{
    const UserSettings next = settings();
    if (next.source == QuoteSourceKind::Custom && next.customBase.isEmpty())
        return; // a service without an address cannot be asked
    if (next == m_applied)
        return;
    m_applied = next;
    emit settingsChanged(next);
}

} // namespace velmora
