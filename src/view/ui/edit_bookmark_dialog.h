#pragma once

#include <QColor>
#include <QDialog>

#include "view/bookmark_edit.h"

class QLineEdit;
class QToolButton;

namespace quillon::view::ui {

// "Edit Bookmark": the bookmark's name and its colour, which the standard colour dialog picks.
class EditBookmarkDialog : public QDialog {
  Q_OBJECT

 public:
  EditBookmarkDialog(const BookmarkFields& fields, QWidget* parent = nullptr);

  BookmarkFields fields() const;
  void setName(const QString& name);
  void setColour(const QColor& colour);
  QColor colour() const { return colour_; }
  QLineEdit* nameEdit() const { return name_; }
  QToolButton* colourButton() const { return colourButton_; }

  // Shows the dialog; on OK the fields hold what was entered.
  static bool ask(QWidget* parent, BookmarkFields& fields);

 private:
  void chooseColour();

  QLineEdit* name_;
  QToolButton* colourButton_;
  QColor colour_;
};

}  // namespace quillon::view::ui
