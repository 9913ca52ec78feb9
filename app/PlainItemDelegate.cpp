#include "app/PlainItemDelegate.h"

TPlainItemDelegate::TPlainItemDelegate(int itemHeight, QObject* parent)
    : QStyledItemDelegate(parent), itemHeight_(itemHeight) {}

QSize TPlainItemDelegate::sizeHint(const QStyleOptionViewItem& option,
                                   const QModelIndex& index) const {
    return {QStyledItemDelegate::sizeHint(option, index).width(), itemHeight_};
}
