#pragma once

#include <QAbstractTableModel>
#include <QIcon>
#include <optional>

#include "browser/browser_controller.h"

namespace quillon::browser {

// The browser's rows as a Qt table: the name with its icon, and the size. Reads the controller;
// an in-place edit is kept until the dialog hands it to the controller.
class BrowserListModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  enum Column { NameColumn = 0, SizeColumn = 1 };

  explicit BrowserListModel(const BrowserController& controller, QObject* parent = nullptr);

  // The controller's rows were replaced.
  void reload();
  // The text the last in-place edit left, taken once.
  std::optional<QString> takeEditedText();

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;

 private:
  // Files of a chosen type (not "all files") are audio files.
  bool showsAudio() const;

  const BrowserController& controller_;
  std::optional<QString> editedText_;
  QIcon folderIcon_;
  QIcon folderLinkIcon_;
  QIcon fileIcon_;
  QIcon fileLinkIcon_;
  QIcon audioIcon_;
};

}  // namespace quillon::browser
