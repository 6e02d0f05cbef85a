#pragma once

#include "platform/userconfig.h"

#include <QString>
#include <QUrl>
#include <QWidget>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QSpinBox;

namespace velmora {

// The settings window "设置": a small ordinary window, opened from the tray, in which every
// change applies at once. It emits each new valid combination once; the caller applies it and
// saves the file. There is no OK button to forget, and nothing to apply on close.
class SettingsWindow final : public QWidget
{
    Q_OBJECT

public:
    explicit SettingsWindow(const UserSettings &current, QWidget *parent = nullptr);
    ~SettingsWindow() override;

    // Fills the controls from current without emitting, then shows the window in front.
    void showSettings(const UserSettings &current);

    // What the window stands for: the controls, with the service address last accepted. While
    // 自定义服务 is chosen but has no valid address yet, the source stays the one applied before.
    UserSettings settings() const;

    static QString invalidAddressText();
    // Why the hotkey typed last could not be taken (empty: it was), shown under the box.
    void setHotkeyProblem(const QString &problem);

signals:
    void settingsChanged(const velmora::UserSettings &settings);

private:
    void buildControls();
    void fill(const UserSettings &current);
    void sourceChosen();
    void addressEdited();
    void hotkeyEdited();
    void followSwitches();
    // Emits settings() when it is valid and differs from what was applied last.
    void apply();
    QuoteSourceKind chosenSource() const;

    QComboBox *m_sourceBox = nullptr;
    QLineEdit *m_customBaseEdit = nullptr;
    QSpinBox *m_intervalBox = nullptr;
    QCheckBox *m_slowDownBox = nullptr;
    QCheckBox *m_notificationsBox = nullptr;
    QCheckBox *m_soundBox = nullptr;
    QDoubleSpinBox *m_deadBandBox = nullptr;
    QDoubleSpinBox *m_changeStepBox = nullptr;
    QCheckBox *m_hideAmountsBox = nullptr;
    QCheckBox *m_trendBox = nullptr;
    QComboBox *m_trayShowBox = nullptr;
    QLineEdit *m_hotkeyEdit = nullptr;
    QLabel *m_hotkeyProblem = nullptr;
    QCheckBox *m_discreetAtStartBox = nullptr;

    UserSettings m_applied;         // filled in or emitted last
    QUrl m_base;                    // the service address last accepted
    bool m_awaitingAddress = false; // 自定义服务 chosen, no valid address given since
    // The address text judged last: a warning takes the focus from the edit, and the second
    // editingFinished that follows must not judge (and warn about) the same text again.
    QString m_judgedText;
    bool m_judged = false;
};

} // namespace velmora
