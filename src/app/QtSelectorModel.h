#pragma once

#include <QAbstractListModel>
#include <optional>

#include "app/SelectorLists.h"

// What a Source or Console list shows: the entries of a SelectorList, each built when the list
// asks for it. A full name table then costs no per-entry objects or texts in the window.
class QtSelectorModel : public QAbstractListModel {
  Q_OBJECT

 public:
  using QAbstractListModel::QAbstractListModel;

  // Shows the list from its first entry, the whole list at once.
  void Show(const SelectorList& list);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

 private:
  std::optional<SelectorList> list_;
  int count_ = 0;
};
