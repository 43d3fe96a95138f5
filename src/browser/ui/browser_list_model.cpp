#include "browser/ui/browser_list_model.h"

#include <QApplication>
#include <QStyle>

#include "browser/file_filter.h"

namespace quillon::browser {

BrowserListModel::BrowserListModel(const BrowserController& controller, QObject* parent)
    : QAbstractTableModel(parent), controller_(controller) {
  QStyle* style = QApplication::style();
  folderIcon_ = QIcon::fromTheme("folder", style->standardIcon(QStyle::SP_DirIcon));
  folderLinkIcon_ = style->standardIcon(QStyle::SP_DirLinkIcon);
  fileIcon_ = QIcon::fromTheme("text-x-generic", style->standardIcon(QStyle::SP_FileIcon));
  fileLinkIcon_ = style->standardIcon(QStyle::SP_FileLinkIcon);
  audioIcon_ = QIcon::fromTheme("audio-x-generic", fileIcon_);
}

void BrowserListModel::reload() {
  beginResetModel();
  endResetModel();
}

std::optional<QString> BrowserListModel::takeEditedText() {
  std::optional<QString> text = std::move(editedText_);
  editedText_.reset();
  return text;
}

bool BrowserListModel::showsAudio() const {
  return controller_.hasTypeBox() &&
         !controller_.setup().filters[size_t(controller_.filter())].matchAll;
}

int BrowserListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : int(controller_.rows().size());
}

int BrowserListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : 2;
}

QVariant BrowserListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || size_t(index.row()) >= controller_.rows().size()) return {};
  const BrowserEntry& entry = controller_.rows()[size_t(index.row())];
  const bool isLink = entry.kind == BrowserEntry::Kind::Link;
  if (index.column() == NameColumn) {
    switch (role) {
      case Qt::DisplayRole:
      case Qt::EditRole:
        return QString::fromStdString(entry.name);
      case Qt::DecorationRole:
        if (entry.opensAsFolder) return isLink ? folderLinkIcon_ : folderIcon_;
        if (isLink) return fileLinkIcon_;
        return showsAudio() ? audioIcon_ : fileIcon_;
      default:
        return {};
    }
  }
  if (role == Qt::DisplayRole && !entry.opensAsFolder && entry.real) {
    return QString::fromStdString(sizeText(entry.size));
  }
  if (role == Qt::TextAlignmentRole) return int(Qt::AlignRight | Qt::AlignVCenter);
  return {};
}

QVariant BrowserListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal) return {};
  if (role == Qt::DisplayRole) return section == NameColumn ? tr("Name") : tr("Size");
  if (role == Qt::TextAlignmentRole && section == SizeColumn) {
    return int(Qt::AlignRight | Qt::AlignVCenter);
  }
  return {};
}

Qt::ItemFlags BrowserListModel::flags(const QModelIndex& index) const {
  Qt::ItemFlags flags = QAbstractTableModel::flags(index);
  if (index.column() == NameColumn && controller_.editedRow() == size_t(index.row())) {
    flags |= Qt::ItemIsEditable;
  }
  return flags;
}

bool BrowserListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (role != Qt::EditRole || index.column() != NameColumn) return false;
  editedText_ = value.toString();
  return true;
}

}  // namespace quillon::browser
