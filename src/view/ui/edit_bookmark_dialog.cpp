#include "view/ui/edit_bookmark_dialog.h"

#include <QColorDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPixmap>
#include <QToolButton>

#include "view/ui/wave_painter.h"

namespace quillon::view::ui {

EditBookmarkDialog::EditBookmarkDialog(const BookmarkFields& fields, QWidget* parent)
    : QDialog(parent), name_(new QLineEdit(this)), colourButton_(new QToolButton(this)) {
  setWindowTitle(kEditBookmarkTitle);
  name_->setMaxLength(int(kMaxBookmarkNameChars));
  name_->setText(QString::fromStdString(fields.name));
  name_->selectAll();
  colourButton_->setIconSize(QSize(48, 14));
  colourButton_->setToolTip(tr("Choose the bookmark's colour"));
  connect(colourButton_, &QToolButton::clicked, this, &EditBookmarkDialog::chooseColour);
  setColour(toQColor(fields.colour));

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* form = new QFormLayout(this);
  form->addRow(tr("Name"), name_);
  form->addRow(tr("Color"), colourButton_);
  form->addRow(buttons);
  setMinimumWidth(360);
}

void EditBookmarkDialog::setName(const QString& name) {
  name_->setText(name);
}

void EditBookmarkDialog::setColour(const QColor& colour) {
  colour_ = colour;
  QPixmap swatch(colourButton_->iconSize());
  swatch.fill(colour);
  colourButton_->setIcon(QIcon(swatch));
}

void EditBookmarkDialog::chooseColour() {
  const QColor chosen = QColorDialog::getColor(colour_, this, tr("Color"));
  if (chosen.isValid()) setColour(chosen);
}

BookmarkFields EditBookmarkDialog::fields() const {
  return {acceptedBookmarkName(name_->text().toStdString()),
          {uint8_t(colour_.red()), uint8_t(colour_.green()), uint8_t(colour_.blue())}};
}

bool EditBookmarkDialog::ask(QWidget* parent, BookmarkFields& fields) {
  EditBookmarkDialog dialog(fields, parent);
  if (dialog.exec() != QDialog::Accepted) return false;
  fields = dialog.fields();
  return true;
}

}  // namespace quillon::view::ui
