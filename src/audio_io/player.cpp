#include "audio_io/player.h"

#include <algorithm>
#include <chrono>
#include <limits>

#include "audio_io/audio_messages.h"
#include "effects/decibel_table.h"
#include "effects/frame_time.h"
#include "effects/gain_math.h"
#include "effects/peak_limiter.h"

namespace quillon {
namespace {

constexpr int kMinimumFrames = 20;
constexpr int kWaitMilliseconds = 1000;

int16_t toSixteenBits(int64_t word) {
  return int16_t(std::clamp<int64_t>((word + 8) >> 4, -32768, 32767));
}

}  // namespace

Player::Player(NoticePoster& poster, AudioDevices& devices, PlayerSettings stored)
    : poster_(poster),
      devices_(devices),
      stored_(stored),
      self_(std::make_shared<Player*>(this)),
      volumeWord_(volumeWordFor(std::clamp(stored.volume.read(), -127, 127))),
      gain_(gainOfVolumeWord(volumeWord_)) {}

Player::~Player() {
  stop();
  self_.reset();
  if (choiceKnown_) stored_.device.write(choice_.name);
  stored_.volume.write(volume());
}

int32_t Player::volumeWordFor(int decibels) {
  if (decibels < -35) return 0;
  return std::min(0xFFFF, decibels * 1424 + 51264);
}

int32_t Player::gainOfVolumeWord(int32_t word) {
  if (word <= 0) return 0;
  return DecibelTable::instance().amplitude(decibelsOfVolumeWord(word));
}

// Starting and stopping.

bool Player::start(Ref<SampleSource> source, int flags) {
  stop();
  error_.clear();
  if (!source) source = makeRef<NullSource>();
  source = limitTo(std::move(source), kFullScale16);
  if (!openDevice(source, flags)) return false;
  startWorker();
  tell([](PlayerListener* l, intptr_t user) { l->playerStarted(user); });
  return true;
}

bool Player::openDevice(const Ref<SampleSource>& source, int flags) {
  resolveDevice();
  channels_ = std::max<int>(source->channels(), 1);
  sampleRate_ = source->sampleRate();
  device_ = devices_.makeOutput(choice_.number);
  const DeviceFormat format{sampleRate_, channels_};
  DeviceOpen opened = device_->open(format, false);
  if (opened != DeviceOpen::Opened) opened = device_->open(format, true);
  if (opened != DeviceOpen::Opened) {
    error_ = device_->lastError();
    if (error_.empty()) error_ = messages::kSoundDeviceError;
    device_.reset();
    return false;
  }
  framesPerBuffer_ = framesPerBufferFor(sampleRate_, kMinimumFrames);
  const size_t words = size_t(channels_) * framesPerBuffer_;
  samples_.assign(words * kBuffers, 0);
  work_.assign(words, 0);
  for (int i = 0; i < kBuffers; ++i) {
    slots_[i].buffer.samples = samples_.data() + words * i;
    slots_[i].buffer.frames = framesPerBuffer_;
    slots_[i].free = true;
  }
  source_ = source;
  open_ = true;
  if (flags & kOpenPaused) {
    device_->pause();
    devicePaused_ = true;
  }
  const int32_t frame = source_->position();
  restartTimeline(device_->framesPlayed(), frame);
  std::lock_guard lock(mutex_);
  playPosition_ = frame;
  lastLevels_ = LevelRecord{};
  return true;
}

void Player::stop() {
  positionChanged_ = false;
  finished_ = false;
  if (!open_) return;
  stopWorker();
  const int32_t heard = sourceFrameHeard(device_->reset());
  {
    std::lock_guard lock(mutex_);
    playPosition_ = heard;
    spanCount_ = 0;
    timelineStart_ = heard;
  }
  closeDevice();
}

void Player::closeDevice() {
  device_->close();
  device_.reset();
  source_ = nullptr;
  open_ = false;
  devicePaused_ = false;
  pauseLoop_ = false;
  positionChanged_ = false;
  finished_ = false;
  tell([](PlayerListener* l, intptr_t user) { l->playerStopped(user); });
}

void Player::seek(int32_t frame) {
  if (!open_) return;
  stopWorker();
  const int64_t played = device_->reset();
  source_->seek(frame);
  restartTimeline(played, frame);
  {
    std::lock_guard lock(mutex_);
    playPosition_ = frame;
  }
  positionChanged_ = false;
  finished_ = false;
  const int32_t ms = toMilliseconds(frame);
  tell([ms](PlayerListener* l, intptr_t user) { l->playerPosition(user, ms); });
  if (pauseLoop_) {
    primeLoop(frame);
  } else {
    startWorker();
  }
}

void Player::seekMilliseconds(int32_t milliseconds) {
  seek(millisecondsToFrames(sampleRate_, milliseconds));
}

void Player::pause() {
  if (!open_ || pauseLoop_) return;
  if (devicePaused_) {
    device_->restart();
    devicePaused_ = false;
  }
  stopWorker();
  const int64_t played = device_->reset();
  const int32_t frame = sourceFrameHeard(played);
  restartTimeline(played, frame);
  primeLoop(frame);
  pauseLoop_ = true;
  const int32_t ms = toMilliseconds(frame);
  const LevelRecord record = levels();
  tell([](PlayerListener* l, intptr_t user) { l->playerPaused(user); });
  tell([ms](PlayerListener* l, intptr_t user) { l->playerPosition(user, ms); });
  tell([&record](PlayerListener* l, intptr_t user) { l->playerLevels(user, record); });
}

// The pause loop: a quarter buffer from `frame`, four times over (the last copy shortened) in
// buffer 0, which the device repeats until it is reset.
void Player::primeLoop(int32_t frame) {
  source_->seek(frame);
  const int32_t quarter = (framesPerBuffer_ + 3) / 4;
  if (source_->read(work_.data(), quarter) < 0) std::fill(work_.begin(), work_.end(), 0);
  Slot& slot = slots_[0];
  const size_t quarterWords = size_t(quarter) * channels_;
  convert(work_.data(), slot.buffer.samples, quarterWords);
  for (int32_t at = quarter; at < framesPerBuffer_; at += quarter) {
    const int32_t n = std::min(quarter, framesPerBuffer_ - at);
    std::copy_n(slot.buffer.samples, size_t(n) * channels_,
                slot.buffer.samples + size_t(at) * channels_);
  }
  measureLevels(work_.data(), quarter, channels_, slot.levels);
  {
    std::lock_guard lock(mutex_);
    lastLevels_ = slot.levels;
    playPosition_ = frame;
  }
  slot.buffer.frames = framesPerBuffer_;
  slot.buffer.done.store(false);
  slot.free = false;
  device_->loop(slot.buffer);
}

void Player::resume() {
  if (!open_) return;
  if (pauseLoop_) {
    const int64_t played = device_->reset();
    pauseLoop_ = false;
    int32_t frame;
    {
      std::lock_guard lock(mutex_);
      frame = timelineStart_;
    }
    // The loop read ahead of the pause position: go on from the position itself.
    source_->seek(frame);
    restartTimeline(played, frame);
    startWorker();
  } else if (!worker_.joinable()) {
    startWorker();
  }
  if (devicePaused_) {
    device_->restart();
    devicePaused_ = false;
  }
  tell([](PlayerListener* l, intptr_t user) { l->playerStarted(user); });
}

// The worker.

void Player::startWorker() {
  for (Slot& slot : slots_) {
    slot.free = true;
    slot.buffer.done.store(false);
  }
  fillIndex_ = doneIndex_ = 0;
  lastWritten_ = -1;
  stopRequested_ = false;
  positionChanged_ = false;
  finished_ = false;
  worker_ = std::thread([this] { run(); });
}

void Player::stopWorker() {
  if (!worker_.joinable()) return;
  stopRequested_ = true;
  device_->signal().notify();
  worker_.join();
  stopRequested_ = false;
  playingOut_ = false;
}

void Player::run() {
  DeviceSignal& signal = device_->signal();
  while (!stopRequested_) {
    const uint32_t seen = signal.generation();
    takeDoneBuffers();
    const int64_t remaining =
        std::min<int64_t>(int64_t{source_->length()} - source_->position(), kMaxRead);
    if (remaining <= 0) {
      if (!source_->lengthUnknown()) {
        playOut();
        return;
      }
      source_->pause(150);  // a file still being written: wait for more
      continue;
    }
    Slot& slot = slots_[size_t(fillIndex_)];
    if (slot.free) {
      fill(slot, int32_t(std::min<int64_t>(remaining, framesPerBuffer_)));
      continue;
    }
    signal.wait(seen, kWaitMilliseconds);
  }
}

// The buffers the device has handed back, in the order they were written.
void Player::takeDoneBuffers() {
  bool took = false;
  for (;;) {
    Slot& slot = slots_[size_t(doneIndex_)];
    if (slot.free || !slot.buffer.done.load(std::memory_order_acquire)) break;
    {
      std::lock_guard lock(mutex_);
      playPosition_ = slot.stamp;
      lastLevels_ = slot.levels;
    }
    slot.free = true;
    doneIndex_ = (doneIndex_ + 1) % kBuffers;
    took = true;
  }
  if (took) {
    positionChanged_ = true;
    postNotice();
  }
}

// The source has ended: wait until the device has played everything, including what sits in
// its latency after the last buffer came back, then report the end.
void Player::playOut() {
  playingOut_ = true;
  DeviceSignal& signal = device_->signal();
  const auto latency =
      std::chrono::milliseconds(int64_t{device_->latencyFrames()} * 1000 / sampleRate_ + 500);
  std::chrono::steady_clock::time_point emptied{};
  while (!stopRequested_) {
    const uint32_t seen = signal.generation();
    takeDoneBuffers();
    const bool allBack = lastWritten_ < 0 || slots_[size_t(lastWritten_)].free;
    if (allBack) {
      const auto now = std::chrono::steady_clock::now();
      if (emptied == std::chrono::steady_clock::time_point{}) emptied = now;
      if (device_->framesPlayed() >= writeIndex_ || now - emptied > latency) break;
    }
    positionChanged_ = true;
    postNotice();
    signal.wait(seen, allBack ? 10 : kWaitMilliseconds);
  }
  if (!stopRequested_) {
    finalLength_ = source_->length();
    positionChanged_ = false;
    finished_ = true;
    postNotice();
  }
}

void Player::fill(Slot& slot, int32_t frames) {
  const int32_t from = source_->position();
  if (source_->read(work_.data(), frames) < 0) std::fill(work_.begin(), work_.end(), 0);
  const int32_t to = source_->position();
  convert(work_.data(), slot.buffer.samples, size_t(frames) * channels_);
  measureLevels(work_.data(), frames, channels_, slot.levels);
  slot.stamp = to;
  slot.buffer.frames = frames;
  slot.buffer.done.store(false, std::memory_order_relaxed);
  slot.free = false;
  {
    std::lock_guard lock(mutex_);
    spans_[size_t(nextSpan_)] = Span{writeIndex_, frames, from, to};
    nextSpan_ = (nextSpan_ + 1) % int(spans_.size());
    spanCount_ = std::min(spanCount_ + 1, int(spans_.size()));
  }
  writeIndex_ += frames;
  lastWritten_ = fillIndex_;
  device_->write(slot.buffer);
  fillIndex_ = (fillIndex_ + 1) % kBuffers;
}

// 16-bit samples: (v + 8) >> 4 after the volume. Within 16-bit full scale at unity nothing
// clips; a volume above unity saturates instead of wrapping.
void Player::convert(const Sample* words, int16_t* samples, size_t count) const {
  const int32_t gain = gain_.load(std::memory_order_relaxed);
  if (gain == kUnityGain) {
    for (size_t i = 0; i < count; ++i)
      samples[i] = toSixteenBits(words[i]);
  } else {
    for (size_t i = 0; i < count; ++i)
      samples[i] = toSixteenBits(splitMultiply(gain, words[i]));
  }
}

// Positions.

void Player::restartTimeline(int64_t deviceFrame, int32_t frame) {
  writeIndex_ = deviceFrame;
  std::lock_guard lock(mutex_);
  spanCount_ = 0;
  nextSpan_ = 0;
  timelineStart_ = frame;
  timelineDeviceStart_ = deviceFrame;
}

int32_t Player::sourceFrameHeard(int64_t deviceFrame) const {
  std::lock_guard lock(mutex_);
  if (spanCount_ == 0 || deviceFrame <= timelineDeviceStart_) return timelineStart_;
  const Span* before = nullptr;  // the latest span that ended by `deviceFrame`
  const Span* earliest = nullptr;
  for (int i = 0; i < spanCount_; ++i) {
    const Span& span = spans_[size_t(i)];
    const int64_t offset = deviceFrame - span.deviceStart;
    if (offset >= 0 && offset < span.frames) {
      if (span.to >= span.from)
        return int32_t(span.from + (span.to - span.from) * offset / span.frames);
      // A loop went back to its start inside this buffer.
      const int64_t fromEnd = span.to - (span.frames - offset);
      return int32_t(fromEnd >= 0 ? fromEnd : span.from + offset);
    }
    if (offset >= span.frames && (!before || span.deviceStart > before->deviceStart))
      before = &span;
    if (!earliest || span.deviceStart < earliest->deviceStart) earliest = &span;
  }
  return before ? before->to : earliest->from;
}

int32_t Player::position() {
  if (!open_) {
    std::lock_guard lock(mutex_);
    return playPosition_;
  }
  if (pauseLoop_) {
    std::lock_guard lock(mutex_);
    return timelineStart_;
  }
  return sourceFrameHeard(device_->framesPlayed());
}

int32_t Player::positionMilliseconds() {
  return toMilliseconds(position());
}

LevelRecord Player::levels() const {
  std::lock_guard lock(mutex_);
  return lastLevels_;
}

int32_t Player::toMilliseconds(int64_t frames) const {
  const int64_t rate = std::max(sampleRate_, 1);
  const int64_t ms = frames / rate * 1000 + frames % rate * 1000 / rate;
  return int32_t(std::clamp<int64_t>(ms, std::numeric_limits<int32_t>::min(),
                                     std::numeric_limits<int32_t>::max()));
}

// Notices: the worker sets its flags and posts one notice at a time; the notice runs on the
// owner's thread and reads the flags.

void Player::postNotice() {
  if (noticePending_.exchange(true)) return;
  poster_.post([weak = std::weak_ptr<Player*>(self_)] {
    if (auto self = weak.lock()) (*self)->onNotice();
  });
}

void Player::onNotice() {
  noticePending_ = false;
  if (!open_) return;
  if (finished_.exchange(false)) {
    const int32_t ms = toMilliseconds(finalLength_.load());
    tell([ms](PlayerListener* l, intptr_t user) { l->playerPosition(user, ms); });
    stop();
    return;
  }
  if (positionChanged_.exchange(false)) {
    const int32_t ms = positionMilliseconds();
    const LevelRecord record = levels();
    tell([ms](PlayerListener* l, intptr_t user) { l->playerPosition(user, ms); });
    tell([&record](PlayerListener* l, intptr_t user) { l->playerLevels(user, record); });
  }
}

// Device and volume.

void Player::resolveDevice() {
  if (choiceKnown_) return;
  const std::string name = stored_.device.read();
  const std::vector<std::string> names = devices_.outputNames();
  const auto found = std::find(names.begin(), names.end(), name);
  choice_ = found == names.end() || name.empty()
                ? DeviceChoice{0, messages::kDefaultSoundOut}
                : DeviceChoice{int(found - names.begin()) + 1, name};
  choiceKnown_ = true;
  const DeviceChoice choice = choice_;
  tell([&choice](PlayerListener* l, intptr_t user) { l->playerDevice(user, choice); });
}

DeviceChoice Player::device() {
  resolveDevice();
  return choice_;
}

void Player::setDevice(const DeviceChoice& device) {
  choice_ = device;
  choiceKnown_ = true;
  const DeviceChoice choice = choice_;
  tell([&choice](PlayerListener* l, intptr_t user) { l->playerDevice(user, choice); });
}

std::vector<std::string> Player::deviceNames() {
  std::vector<std::string> names = {messages::kDefaultSoundOut};
  for (std::string& name : devices_.outputNames())
    names.push_back(std::move(name));
  return names;
}

void Player::setVolume(int decibels) {
  decibels = std::clamp(decibels, -127, 127);
  if (decibels == volume()) return;
  volumeWord_ = volumeWordFor(decibels);
  gain_ = gainOfVolumeWord(volumeWord_);
  stored_.volume.write(decibels);
  const int now = volume();
  tell([now](PlayerListener* l, intptr_t user) { l->playerVolume(user, now); });
}

// Listeners.

void Player::addListener(PlayerListener* listener, intptr_t user) {
  if (!listener || listeners_.size() >= kMaxListeners) return;
  for (const auto& entry : listeners_)
    if (entry.first == listener) return;
  listeners_.emplace_back(listener, user);
  listener->playerVolume(user, volume());
  if (choiceKnown_) listener->playerDevice(user, choice_);
}

void Player::removeListener(PlayerListener* listener) {
  std::erase_if(listeners_, [listener](const auto& entry) { return entry.first == listener; });
}

void Player::setSink(PlayerListener* sink, intptr_t user) {
  sink_ = sink;
  sinkUser_ = user;
}

template <class F>
void Player::tell(F&& f) {
  if (sink_) {
    f(sink_, sinkUser_);
    return;
  }
  // A listener may remove itself (or another) while it is told.
  const auto table = listeners_;
  for (const auto& told : table) {
    const bool still = std::any_of(listeners_.begin(), listeners_.end(),
                                   [&](const auto& entry) { return entry.first == told.first; });
    if (still) f(told.first, told.second);
  }
}

}  // namespace quillon
