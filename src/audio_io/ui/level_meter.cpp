#include "audio_io/ui/level_meter.h"

#include <QPaintEvent>
#include <QPainter>
#include <QPixmap>

namespace quillon::audio_io::ui {
namespace {

// The meter's pattern brushes: lit segments two pixels wide with a darker gap, as an LED bar.
QBrush segments(QColor lit, QColor gap) {
  QPixmap pattern(3, 1);
  QPainter p(&pattern);
  p.fillRect(0, 0, 2, 1, lit);
  p.fillRect(2, 0, 1, 1, gap);
  p.end();
  return QBrush(pattern);
}

const QColor kDisabledGrey(128, 128, 128);

}  // namespace

LevelMeter::LevelMeter(QWidget* parent)
    : QWidget(parent),
      green_(segments(QColor(40, 220, 40), QColor(20, 140, 20))),
      red_(segments(QColor(235, 30, 30), QColor(150, 15, 15))) {
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void LevelMeter::setLevels(const LevelRecord& levels) {
  const int before = model_.channels();
  const std::vector<int> changed = model_.setLevels(levels);
  if (model_.channels() != before) {
    update();
    return;
  }
  for (int bar : changed) {
    const ControlBox box = model_.bar(bar, width(), height()).box;
    update(QRect(box.left, box.top, box.width(), box.height()));
  }
}

void LevelMeter::clearLevels() {
  LevelRecord silent{uint8_t(model_.channels()), {}};
  silent.decibels.fill(int8_t(kSilentLevel));
  setLevels(silent);
}

void LevelMeter::paintEvent(QPaintEvent* event) {
  QPainter p(this);
  const int w = width(), h = height();
  if (!isEnabled()) {
    p.fillRect(rect(), kDisabledGrey);
    return;
  }
  const int bars = std::max(model_.channels(), 1);
  for (int i = 0; i < bars; ++i) {
    const LevelMeterModel::Bar bar = model_.bar(i, w, h);
    const QRect rows(0, bar.box.top, w, bar.box.height());
    if (!rows.intersects(event->rect())) continue;
    p.fillRect(QRect(0, rows.top(), bar.greenEnd, rows.height()), green_);
    if (bar.redEnd > bar.redStart) {
      p.fillRect(QRect(bar.redStart, rows.top(), bar.redEnd - bar.redStart, rows.height()), red_);
    }
    p.fillRect(QRect(bar.blackStart(), rows.top(), w - bar.blackStart(), rows.height()), Qt::black);
  }
  p.setPen(Qt::black);
  p.drawLine(0, h - 1, w - 1, h - 1);
}

}  // namespace quillon::audio_io::ui
