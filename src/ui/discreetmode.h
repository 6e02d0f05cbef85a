#pragma once

#include <QObject>
#include <QPoint>
#include <QPointer>

#include <utility>
#include <vector>

class QWidget;

namespace velmora {

// Discreet mode, switched from anywhere by the global key or the tray's 隐身模式: every window
// of the program out of sight until it ends, when the ones that were showing come back as they
// were. What else changes meanwhile (the tray, the amounts, the alerts held) follows changed().
class DiscreetMode final : public QObject
{
    Q_OBJECT

public:
    explicit DiscreetMode(QObject *parent = nullptr);

    bool active() const { return m_active; }
    void setActive(bool active);
    void toggle() { setActive(!m_active); }

signals:
    void changed(bool active);

private:
    bool m_active = false;
    // Shown when discreet mode began, and where.
    std::vector<std::pair<QPointer<QWidget>, QPoint>> m_hidden;
};

} // namespace velmora
