#include "app/QtSelectorModel.h"

void QtSelectorModel::Show(const SelectorList& list) {
  beginResetModel();
  list_ = list;
  count_ = list.Count();
  endResetModel();
}

int QtSelectorModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : count_;
}

QVariant QtSelectorModel::data(const QModelIndex& index, int role) const {
  if (!list_ || !index.isValid() || index.row() >= count_) return {};
  if (role != Qt::DisplayRole && role != Qt::EditRole) return {};
  // Names are 7-bit text from the switcher, one character per byte.
  return QString::fromLatin1(list_->Entry(index.row()));
}
