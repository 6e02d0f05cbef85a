#include "ui/thresholddelegate.h"

#include <QLineEdit>

namespace velmora {

namespace {
const char kFilled[] = "velmoraFilled";
}

QWidget *ThresholdDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &,
                                         const QModelIndex &) const
{
    auto *editor = new QLineEdit(parent);
    editor->setObjectName(QStringLiteral("thresholdEditor"));
    editor->setAccessibleName(QStringLiteral("修改价格"));
    return editor;
}

void ThresholdDelegate::setEditorData(QWidget *editor, const QModelIndex &index) const
{
    // Filled once, when it opens: what the user typed since must survive a refresh.
    if (editor->property(kFilled).toBool())
        return;
    editor->setProperty(kFilled, true);
    static_cast<QLineEdit *>(editor)->setText(index.data(Qt::DisplayRole).toString());
}

void ThresholdDelegate::setModelData(QWidget *editor, QAbstractItemModel *,
                                     const QModelIndex &index) const
{
    // The change goes through the list's own all-or-nothing edit, never through setData.
    emit const_cast<ThresholdDelegate *>(this)->editFinished(
        index, static_cast<QLineEdit *>(editor)->text());
}

} // namespace velmora
