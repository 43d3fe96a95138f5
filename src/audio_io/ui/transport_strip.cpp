#include "audio_io/ui/transport_strip.h"

#include <QToolButton>

#include "audio_io/ui/db_slider.h"
#include "audio_io/ui/level_meter.h"
#include "audio_io/ui/transport_icons.h"
#include "platform/settings.h"

namespace quillon::audio_io::ui {
namespace {

struct StripButton {
  int command;
  TransportIcon icon;
  const char* tip;
};
constexpr StripButton kButtons[] = {
    {TransportStrip::kGoToStart, TransportIcon::Start, "Go To Start"},
    {TransportStrip::kPlay, TransportIcon::Play, "Play"},
    {TransportStrip::kStop, TransportIcon::Stop, "Stop"},
    {TransportStrip::kGoToEnd, TransportIcon::End, "Go To End"},
    {TransportStrip::kLoopPlay, TransportIcon::Loop, "Loop Play"},
};
constexpr int kButtonSize = 18;
constexpr int kButtonStep = 19;
constexpr int kSlidersLeft = 96;
constexpr int kBarHeight = 8;
constexpr int kMeterTop = 9;

}  // namespace

TransportStrip::TransportStrip(Player& player, QWidget* parent)
    : QWidget(parent),
      player_(player),
      volume_(new DbSlider(-36, 10, this)),
      meter_(new LevelMeter(this)) {
  for (int i = 0; i < 5; ++i) {
    auto* button = new QToolButton(this);
    button->setIcon(transportIcon(kButtons[i].icon));
    button->setIconSize(QSize(14, 14));
    button->setToolTip(QString::fromLatin1(kButtons[i].tip));
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setGeometry(1 + i * kButtonStep, 1, kButtonSize, kButtonSize);
    const int command = kButtons[i].command;
    if (command == kLoopPlay) button->setCheckable(true);
    connect(button, &QToolButton::clicked, this, [this, command] { run(command); });
    buttons_[i] = button;
  }
  volume_->setToolTip(QStringLiteral("Volume"));
  volume_->setFocusPolicy(Qt::ClickFocus);
  connect(volume_, &DbSlider::valueChanged, this,
          [this](int decibels) { player_.setVolume(decibels); });
  showLoopPlay();
  player_.addListener(this);  // hears the volume at once
}

TransportStrip::~TransportStrip() {
  player_.removeListener(this);
}

QToolButton* TransportStrip::button(int command) const {
  for (int i = 0; i < 5; ++i)
    if (kButtons[i].command == command) return buttons_[i];
  return nullptr;
}

void TransportStrip::run(int command) {
  if (handler_) handler_(command);
  if (command == kLoopPlay) showLoopPlay();
}

void TransportStrip::showLoopPlay() {
  button(kLoopPlay)->setChecked(settings::kPlayRepeat.read());
}

void TransportStrip::resizeEvent(QResizeEvent*) {
  const int w = std::max(width() - kSlidersLeft, 1);
  volume_->setGeometry(kSlidersLeft, 0, w, kBarHeight);
  meter_->setGeometry(kSlidersLeft, kMeterTop, w, kBarHeight);
}

void TransportStrip::playerStopped(intptr_t) {
  meter_->clearLevels();
}

void TransportStrip::playerLevels(intptr_t, const LevelRecord& levels) {
  meter_->setLevels(levels);
}

void TransportStrip::playerVolume(intptr_t, int decibels) {
  volume_->setValue(decibels);
}

}  // namespace quillon::audio_io::ui
