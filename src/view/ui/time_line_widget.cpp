#include "view/ui/time_line_widget.h"

#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QIcon>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QToolButton>
#include <QWheelEvent>

#include "view/ui/edit_bookmark_dialog.h"
#include "view/ui/wave_painter.h"

// The icons are compiled into this static library; its resources need registering by hand.
static void initViewIcons() {
  Q_INIT_RESOURCE(view_icons);
}

namespace quillon::view::ui {
namespace {

constexpr QColor kFramePen{154, 154, 154};
constexpr QColor kBaseline{236, 238, 245};
constexpr QColor kGradientTop{187, 201, 225};
constexpr QColor kGradientBottom{167, 186, 217};
constexpr QColor kLabel{128, 128, 128};
constexpr QColor kCursor{237, 59, 31};

struct ButtonSpec {
  int command;
  const char* icon;
  const char* tip;
};
constexpr ButtonSpec kButtons[] = {
    {zoom_command::kZoomOut, ":/icons/zoom-out.svg", "Zoom Out"},
    {zoom_command::kZoomIn, ":/icons/zoom-in.svg", "Zoom In"},
    {zoom_command::kZoomFull, ":/icons/zoom-full.svg", "Zoom Full"},
    {zoom_command::kZoomToSelection, ":/icons/zoom-selection.svg", "Zoom To Selection"},
    {zoom_command::kVerticalZoom, ":/icons/vertical-zoom.svg", "Vertical Zoom"},
};

QFont rulerFont() {
  QFont font("Arial");
  font.setPixelSize(11);
  font.setWeight(QFont::Thin);
  return font;
}

}  // namespace

TimeLineWidget::TimeLineWidget(TimeLineModel& model, DocumentDisplay* display, QWidget* parent)
    : QWidget(parent),
      model_(model),
      display_(display),
      scrollBar_(new QScrollBar(Qt::Horizontal, this)) {
  initViewIcons();
  setFont(rulerFont());
  setMinimumHeight(TimeLineModel::kButtonRowHeight);
  for (size_t i = 0; i < buttons_.size(); ++i) {
    auto* button = new QToolButton(this);
    button->setIcon(QIcon(kButtons[i].icon));
    button->setIconSize(QSize(14, 14));
    button->setToolTip(tr(kButtons[i].tip));
    button->setAutoRaise(true);
    button->setFixedSize(kButtonSize, kButtonSize);
    button->setFocusPolicy(Qt::NoFocus);
    if (kButtons[i].command == zoom_command::kVerticalZoom) button->setCheckable(true);
    const int command = kButtons[i].command;
    connect(button, &QToolButton::clicked, this,
            [this, command] { Q_EMIT commandRequested(command); });
    buttons_[i] = button;
  }
  scrollBar_->setRange(0, 0);
  scrollBar_->setFocusPolicy(Qt::NoFocus);
  connect(scrollBar_, &QScrollBar::actionTriggered, this, &TimeLineWidget::scrollAction);
}

QToolButton* TimeLineWidget::button(int command) const {
  for (size_t i = 0; i < buttons_.size(); ++i) {
    if (kButtons[i].command == command) return buttons_[i];
  }
  return nullptr;
}

void TimeLineWidget::resizeEvent(QResizeEvent*) {
  model_.setSize(width(), height());
  const int row = model_.rulerHeight();
  for (size_t i = 0; i < buttons_.size(); ++i)
    buttons_[i]->move(1 + int(i) * (kButtonSize + 1), row + 2);
  const int barHeight = (logicalDpiY() + 3) * 16 / 96;
  scrollBar_->setGeometry(kScrollBarLeft, row + (TimeLineModel::kButtonRowHeight - barHeight) / 2,
                          std::max(width() - kScrollBarLeft - 1, 1), barHeight);
}

void TimeLineWidget::refresh() {
  refreshing_ = true;
  const bool document = display_ && display_->document();
  for (size_t i = 0; i < buttons_.size(); ++i) {
    const int command = kButtons[i].command;
    buttons_[i]->setEnabled(command == zoom_command::kVerticalZoom
                                ? document
                                : document && display_->zoomEnabled(command));
    if (command == zoom_command::kVerticalZoom) {
      buttons_[i]->setChecked(document && display_->document()->verticalZoom);
    }
  }
  const TimeLineModel::ScrollBar bar = model_.scrollBar();
  scrollBar_->setEnabled(bar.thumb);
  if (bar.thumb) {
    scrollBar_->setRange(0, TimeLineModel::kScrollRange - bar.page);
    scrollBar_->setPageStep(std::max(bar.page, 1));
    scrollBar_->setSingleStep(1);
    scrollBar_->setValue(bar.position);
  } else {
    scrollBar_->setRange(0, 0);
  }
  refreshing_ = false;
  update();
}

void TimeLineWidget::changed() {
  refresh();
  if (changed_) changed_();
}

void TimeLineWidget::scrollAction(int action) {
  if (refreshing_) return;
  using Scroll = TimeLineModel::Scroll;
  switch (action) {
    case QAbstractSlider::SliderSingleStepAdd:
      model_.scroll(Scroll::LineRight);
      break;
    case QAbstractSlider::SliderSingleStepSub:
      model_.scroll(Scroll::LineLeft);
      break;
    case QAbstractSlider::SliderPageStepAdd:
      model_.scroll(Scroll::PageRight);
      break;
    case QAbstractSlider::SliderPageStepSub:
      model_.scroll(Scroll::PageLeft);
      break;
    case QAbstractSlider::SliderToMinimum:
      model_.scroll(Scroll::Top);
      break;
    case QAbstractSlider::SliderToMaximum:
      model_.scroll(Scroll::Bottom);
      break;
    case QAbstractSlider::SliderMove:
      model_.scroll(Scroll::Track, scrollBar_->sliderPosition());
      break;
    default:
      return;
  }
  // The slider shows where the model put the range, not its own step.
  scrollBar_->setSliderPosition(model_.scrollBar().position);
  changed();
}

void TimeLineWidget::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const RulerPlan plan = model_.buildRuler([this](const std::string& text) {
    return fontMetrics().horizontalAdvance(QString::fromStdString(text));
  });
  p.setPen(kFramePen);
  p.setBrush(Qt::white);
  p.drawRect(rect().adjusted(0, 0, -1, -1));
  const int b = plan.baseline, bottom = plan.rulerHeight;
  if (bottom <= 0) return;
  p.setPen(kBaseline);
  p.drawLine(1, b, width() - 2, b);
  const int rows = std::max(bottom - b - 1, 1);
  for (int y = b + 1; y < bottom; ++y) {
    const double t = rows > 1 ? double(y - b - 1) / (rows - 1) : 0;
    auto mix = [t](int a, int c) { return int(std::lround(a + (c - a) * t)); };
    p.setPen(QColor(mix(kGradientTop.red(), kGradientBottom.red()),
                    mix(kGradientTop.green(), kGradientBottom.green()),
                    mix(kGradientTop.blue(), kGradientBottom.blue())));
    p.drawLine(1, y, width() - 2, y);
  }
  for (const RulerPlan::Tick& tick : plan.ticks) {
    const int up = tick.major ? 11 : 6, down = tick.major ? 7 : 3;
    p.setPen(kGradientBottom);
    p.drawLine(tick.x, b - up, tick.x, b - 1);
    p.setPen(kBaseline);
    p.drawLine(tick.x, b, tick.x, std::min(b + down, bottom - 1));
  }
  p.setPen(kLabel);
  const QFontMetrics metrics = fontMetrics();
  for (const RulerPlan::Label& label : plan.labels) {
    p.drawText(label.x, metrics.ascent(), QString::fromStdString(label.text));
  }
  if (plan.hasCursor) {
    p.setPen(kCursor);
    p.drawLine(plan.cursorX, 0, plan.cursorX, bottom - 1);
  }
  for (const RulerPlan::Flag& flag : plan.flags) {
    p.setPen(toQColor(flag.colour));
    p.drawLine(flag.x, 0, flag.x, bottom - 1);
    for (int row = 0; row < 9; ++row) {
      const int w = TimeLineModel::bookmarkRowWidth(row);
      p.setPen(toQColor(TimeLineModel::bookmarkRowColour(flag.colour, row)));
      p.drawLine(flag.x - w / 2, bottom - 1 - row, flag.x - w / 2 + w - 1, bottom - 1 - row);
    }
  }
}

void TimeLineWidget::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  model_.press(int(event->position().x()), int(event->position().y()));
  changed();
}

void TimeLineWidget::mouseMoveEvent(QMouseEvent* event) {
  if (!(event->buttons() & Qt::LeftButton) || !model_.tracking()) return;
  model_.move(int(event->position().x()), int(event->position().y()));
  changed();
}

void TimeLineWidget::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  model_.release(int(event->position().x()), int(event->position().y()));
  changed();
}

void TimeLineWidget::wheelEvent(QWheelEvent* event) {
  wheelAngle_ += event->angleDelta().y();
  const int notches = wheelAngle_ / 120;
  if (notches == 0) return;
  wheelAngle_ -= notches * 120;
  model_.wheel(notches * 120, int(event->position().x()));
  changed();
  event->accept();
}

void TimeLineWidget::contextMenuEvent(QContextMenuEvent* event) {
  if (event->pos().y() >= model_.rulerHeight()) return;
  showContextMenu(event->pos());
}

void TimeLineWidget::showContextMenu(const QPoint& at) {
  if (!display_ || !display_->document()) return;
  model_.setContextPoint(at.x());
  const int64_t frame = model_.contextFrame();
  const int picked = model_.contextBookmark();
  QMenu menu(this);
  QAction* zoomIn = menu.addAction(tr("Zoom in"), [this, frame] { model_.zoomIn(frame); });
  zoomIn->setEnabled(model_.zoomInEnabled());
  QAction* zoomOut = menu.addAction(tr("Zoom out"), [this, frame] { model_.zoomOut(frame); });
  zoomOut->setEnabled(model_.zoomOutEnabled());
  QAction* zoomFull = menu.addAction(tr("Zoom full"), [this, frame] { model_.zoomFull(frame); });
  zoomFull->setEnabled(model_.zoomFullEnabled());
  menu.addSeparator();
  QAction* add = menu.addAction(tr("New Bookmark..."), [this] { newBookmark(); });
  add->setEnabled(display_->canAddBookmark());
  QAction* edit = menu.addAction(tr("Edit Bookmark..."), [this, picked] { editBookmark(picked); });
  edit->setEnabled(picked >= 0);
  QAction* remove =
      menu.addAction(tr("Delete Bookmark"), [this, picked] { display_->removeBookmark(picked); });
  remove->setEnabled(picked >= 0);
  menu.addSeparator();
  QAction* time = menu.addAction(tr("Show Times"), [this] { model_.chooseUnit(TimeUnit::Time); });
  time->setCheckable(true);
  time->setChecked(model_.unit() == TimeUnit::Time);
  QAction* frames =
      menu.addAction(tr("Show Frame Numbers"), [this] { model_.chooseUnit(TimeUnit::Frames); });
  frames->setCheckable(true);
  frames->setChecked(model_.unit() == TimeUnit::Frames);
  menu.exec(mapToGlobal(at));
  changed();
}

void TimeLineWidget::newBookmark() {
  const int64_t frame = model_.contextFrame();
  BookmarkFields fields = newBookmarkFields(QRandomGenerator::global()->generate());
  if (!EditBookmarkDialog::ask(this, fields)) return;
  display_->addBookmark(frame, fields);
}

void TimeLineWidget::editBookmark(int index) {
  WaveDocument* document = display_->document();
  if (!document || index < 0 || size_t(index) >= document->markers.size()) return;
  BookmarkFields fields = fieldsOf(document->markers[size_t(index)]);
  if (!EditBookmarkDialog::ask(this, fields)) return;
  display_->editBookmark(index, fields);
}

}  // namespace quillon::view::ui
