#pragma once
// Draws the items of a drop-down list as plain text lines of one fixed height, rather than in the
// style's menu look, whose rows are taller.

#include <QStyledItemDelegate>

class TPlainItemDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    TPlainItemDelegate(int itemHeight, QObject* parent);

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    int ItemHeight() const { return itemHeight_; }

private:
    int itemHeight_;
};
