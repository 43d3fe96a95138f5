#include "shell/ui/progress_dialog.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

namespace quillon::ui {
namespace {

// Events are dispatched at most this often while a job reports: the window still repaints well
// within a frame or two, and a job reporting every 8,192 frames does not spend its time in the
// event loop.
constexpr qint64 kPumpIntervalMs = 8;
// The bar takes a new value at most this often, the newest one. QProgressBar repaints (and
// flushes to the screen) at once on every new value, which for a job going through its 100
// percents in well under a second cost a quarter of its time; 20 values a second still move
// smoothly.
constexpr qint64 kBarIntervalMs = 50;

}  // namespace

ProgressDialog::ProgressDialog(const QString& title, QWidget* owner) : QDialog(owner) {
  setWindowTitle(title);
  setWindowModality(Qt::ApplicationModal);
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);

  for (QLabel*& line : lines_) {
    line = new QLabel(this);
    line->setTextFormat(Qt::PlainText);
    line->setBackgroundRole(QPalette::Window);
    line->setMinimumWidth(320);
  }
  QFont headline = lines_[0]->font();
  headline.setPixelSize(16);
  headline.setWeight(QFont::DemiBold);  // 600
  lines_[0]->setFont(headline);

  bar_ = new QProgressBar(this);
  bar_->setRange(0, 100);
  bar_->setValue(0);
  bar_->setTextVisible(true);

  auto* product = new QLabel(QString::fromUtf8(kProgressProductLine), this);
  product->setEnabled(false);
  cancel_ = new QPushButton(tr("Cancel"), this);
  connect(cancel_, &QPushButton::clicked, this, &ProgressDialog::reject);

  auto* bottom = new QHBoxLayout;
  bottom->addWidget(product, 1);
  bottom->addWidget(cancel_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(lines_[0]);
  layout->addWidget(lines_[1]);
  layout->addSpacing(4);
  layout->addWidget(bar_);
  layout->addSpacing(4);
  layout->addLayout(bottom);
  setFixedSize(sizeHint().expandedTo(QSize(380, 0)));
  sincePump_.start();
}

ProgressDialog::~ProgressDialog() = default;

void ProgressDialog::setLine(int line, const std::string& text) {
  if (line < 0 || line > 1) return;
  lines_[line]->setText(QString::fromStdString(text));
}

void ProgressDialog::setPercent(int percent) {
  if (bar_->maximum() == 0) bar_->setRange(0, 100);
  percent_ = std::clamp(percent, 0, 100);
  percentShown_ = false;
  if (barDue()) showPercent();  // else at the first pump that is due
}

bool ProgressDialog::barDue() const {
  return !sinceBar_.isValid() || sinceBar_.elapsed() >= kBarIntervalMs;
}

void ProgressDialog::showPercent() {
  percentShown_ = true;
  sinceBar_.start();
  bar_->setValue(percent_);
}

void ProgressDialog::setMarquee(bool on) {
  percentShown_ = true;  // a value not shown yet is dropped
  // A bar without a range is Qt's endless one.
  if (on) {
    bar_->setRange(0, 0);
  } else {
    bar_->setRange(0, 100);
  }
}

bool ProgressDialog::pump() {
  if (!closed_ && sincePump_.elapsed() >= kPumpIntervalMs) {
    if (!percentShown_ && barDue()) showPercent();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    sincePump_.restart();
  }
  return !closed_;
}

void ProgressDialog::reject() {
  closed_ = true;
  hide();
}

}  // namespace quillon::ui
