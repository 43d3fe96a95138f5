#pragma once

#include <QWidget>
#include <optional>

#include "view/time_texts.h"

namespace quillon::view::ui {

// The six status fields in three columns of two rows: Start and End, Sel and File, Curr and
// Left. Each label is 25 pixels wide; its value starts 26 pixels into the column. The labels are
// drawn in a condensed font that ends them a few pixels before their values.
class StatusFieldsWidget : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kLabelWidth = 25;

  explicit StatusFieldsWidget(QWidget* parent = nullptr);
  void setTexts(const StatusTexts& texts);
  const StatusTexts& texts() const { return texts_; }
  const QFont& labelFont() const { return labelFont_; }
  // Where a field's label and value go (index 0 … 5 in the order of the texts).
  QRect labelRect(int field) const;
  QRect valueRect(int field) const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  StatusTexts texts_ = emptyStatusTexts();
  QFont labelFont_;
};

// The caption bar above the wave view: the document's file name.
class CaptionBar : public QWidget {
  Q_OBJECT

 public:
  explicit CaptionBar(QWidget* parent = nullptr);
  void setText(const QString& text);
  QString text() const { return text_; }
  // The text turns red while the document is modified and blue otherwise.
  void setModified(bool modified);
  std::optional<bool> modified() const { return modified_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QString text_;
  std::optional<bool> modified_;
};

}  // namespace quillon::view::ui
