#include "ui/labelfit.h"

#include <QFontMetrics>
#include <QLabel>

namespace velmora {

bool TextFits(const QLabel *label)
{
    const QRect room = label->contentsRect();
    const int flags = int(label->alignment()) | (label->wordWrap() ? Qt::TextWordWrap : 0);
    const QRect needed = QFontMetrics(label->font()).boundingRect(room, flags, label->text());
    return needed.width() <= room.width() && needed.height() <= room.height();
}

void FitLabelText(QLabel *label)
{
    QFont font = label->font();
    // A face sized in pixels is left as it is: only point sizes scale with the screen.
    for (double size = font.pointSizeF(); size > 4 && !TextFits(label); size -= 0.25) {
        font.setPointSizeF(size - 0.25);
        label->setFont(font);
    }
}

} // namespace velmora
