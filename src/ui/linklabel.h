#pragma once

#include <QLabel>

namespace velmora {

// A caption that acts as a link: a left click inside it, or Return/Space while it has the
// focus (callers that want it reachable by keyboard give it a focus policy).
class LinkLabel : public QLabel
{
    Q_OBJECT

public:
    explicit LinkLabel(const QString &text, QWidget *parent = nullptr);

signals:
    void activated();

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
};

} // namespace velmora
