#pragma once

#include <QStyledItemDelegate>

namespace velmora {

// The editor of a take-profit or stop-loss cell, where it stands: a line edit that starts with
// the cell's text and keeps what the user types while it is open (a quote refresh repaints the
// row every few seconds), and whose Enter asks for the change rather than writing the model.
class ThresholdDelegate final : public QStyledItemDelegate
{
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override;
    void setEditorData(QWidget *editor, const QModelIndex &index) const override;
    void setModelData(QWidget *editor, QAbstractItemModel *model,
                      const QModelIndex &index) const override;

signals:
    // Enter in the editor of index, with what it holds.
    void editFinished(const QModelIndex &index, const QString &text);
};

} // namespace velmora
