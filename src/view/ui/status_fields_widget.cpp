#include "view/ui/status_fields_widget.h"

#include <QFontMetrics>
#include <QLinearGradient>
#include <QPainter>
#include <algorithm>

namespace quillon::view::ui {

namespace {

// The panel is 24 pixels high: two rows of 12.
constexpr int kRowHeight = 12;
// What the widest label leaves free before its value.
constexpr int kLabelGap = 4;

int widestLabel(const QFont& font) {
  const QFontMetrics metrics(font);
  int widest = 0;
  for (const StatusField& text : emptyStatusTexts())
    widest = std::max(widest, metrics.horizontalAdvance(QString::fromUtf8(text.label)));
  return widest;
}

}  // namespace

StatusFieldsWidget::StatusFieldsWidget(QWidget* parent) : QWidget(parent) {
  // The values: as large as a row holds.
  QFont values = font();
  values.setStretch(QFont::SemiCondensed);
  for (int pixels = 11; pixels >= 8; --pixels) {
    values.setPixelSize(pixels);
    if (QFontMetrics(values).height() <= kRowHeight) break;
  }
  setFont(values);
  // The labels: narrower, so that the widest one ends a few pixels before its value (a label as
  // wide as its 25 pixels ran into the value).
  labelFont_ = values;
  labelFont_.setStretch(QFont::Condensed);
  for (int pixels = values.pixelSize(); pixels >= 7; --pixels) {
    labelFont_.setPixelSize(pixels);
    if (widestLabel(labelFont_) <= kLabelWidth - kLabelGap) break;
  }
}

void StatusFieldsWidget::setTexts(const StatusTexts& texts) {
  bool same = true;
  for (size_t i = 0; i < texts.size(); ++i)
    same = same && texts[i].value == texts_[i].value;
  if (same) return;
  texts_ = texts;
  update();
}

// Fields go down the columns: Start, End | Sel, File | Curr, Left.
QRect StatusFieldsWidget::labelRect(int field) const {
  const int column = field / 2, row = field % 2;
  const int w = width() / 3, h = height() / 2;
  return QRect(column * w + 1, row * h, kLabelWidth, h);
}

QRect StatusFieldsWidget::valueRect(int field) const {
  const int column = field / 2, row = field % 2;
  const int w = width() / 3, h = height() / 2;
  return QRect(column * w + 1 + kLabelWidth, row * h, w - kLabelWidth, h);
}

void StatusFieldsWidget::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), palette().color(QPalette::Window));
  for (int i = 0; i < 6; ++i) {
    p.setFont(labelFont_);
    p.setPen(palette().color(QPalette::PlaceholderText));
    p.drawText(labelRect(i), Qt::AlignLeft | Qt::AlignVCenter, texts_[size_t(i)].label);
    p.setFont(font());
    p.setPen(palette().color(QPalette::WindowText));
    p.drawText(valueRect(i), Qt::AlignLeft | Qt::AlignVCenter,
               QString::fromStdString(texts_[size_t(i)].value));
  }
}

CaptionBar::CaptionBar(QWidget* parent) : QWidget(parent) {
  QFont bold = font();
  bold.setPixelSize(12);
  bold.setBold(true);
  setFont(bold);
}

void CaptionBar::setText(const QString& text) {
  if (text == text_) return;
  text_ = text;
  update();
}

void CaptionBar::setModified(bool modified) {
  if (modified_ == modified) return;
  modified_ = modified;
  update();
}

void CaptionBar::paintEvent(QPaintEvent*) {
  QPainter p(this);
  QLinearGradient gradient(0, 0, 0, height());
  gradient.setColorAt(0, QColor(187, 201, 225));
  gradient.setColorAt(1, QColor(167, 186, 217));
  p.fillRect(rect(), gradient);
  p.setPen(!modified_ ? QColor(30, 40, 60) : *modified_ ? QColor(200, 0, 0) : QColor(0, 0, 160));
  p.drawText(rect().adjusted(6, 0, -6, 0), Qt::AlignLeft | Qt::AlignVCenter,
             fontMetrics().elidedText(text_, Qt::ElideMiddle, width() - 12));
}

}  // namespace quillon::view::ui
