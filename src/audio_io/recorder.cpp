#include "audio_io/recorder.h"

#include <algorithm>
#include <chrono>

#include "audio_io/audio_messages.h"
#include "audio_io/converting_sink.h"
#include "effects/decibel_table.h"
#include "effects/frame_time.h"
#include "effects/gain_math.h"

namespace quillon {
namespace {

constexpr int32_t kMinimumFrames = 32;
constexpr int kBufferTimeoutMs = 25000;
constexpr int32_t kKeptAfterLoudMs = 450;  // what a voice-activated pause keeps
constexpr int32_t kTrailMs = 50;           // what Stop keeps after the last loud buffer
constexpr int32_t kFallbackRates[] = {44100, 22050, 11025, 8000};

int32_t recordGainFor(int decibels) {
  if (decibels < -35) return 0;
  return DecibelTable::instance().amplitude(std::min(decibels, 127));
}

int32_t millisecondsOf(int64_t frames, int32_t rate) {
  rate = std::max(rate, 1);
  return int32_t(std::min<int64_t>(frames / rate * 1000 + frames % rate * 1000 / rate, INT32_MAX));
}

}  // namespace

Recorder::Recorder(NoticePoster& poster, AudioDevices& devices)
    : poster_(poster),
      devices_(devices),
      self_(std::make_shared<Recorder*>(this)),
      gain_(kUnityGain) {}

Recorder::~Recorder() {
  stop();
  self_.reset();
}

void Recorder::setVolume(int decibels) {
  volume_ = std::clamp(decibels, -127, 127);
  gain_ = recordGainFor(volume_);
}

void Recorder::setDeviceByName(const std::string& name) {
  deviceName_ = name;
  nameToResolve_ = true;  // looked up when recording starts: no device list before that
}

std::vector<std::string> Recorder::deviceNames() {
  std::vector<std::string> names = {messages::kDefaultSoundIn};
  for (std::string& name : devices_.inputNames())
    names.push_back(name.empty() ? messages::kUnknownDevice : std::move(name));
  return names;
}

LevelRecord Recorder::levels() const {
  std::lock_guard lock(levelsMutex_);
  return levels_;
}

// Starting and stopping.

bool Recorder::start(Ref<SampleSink> sink, int32_t timeLimit, int startThreshold,
                     int32_t silenceTime, int flags) {
  stop();
  error_.clear();
  if (!sink || sink->status() != 0) {
    error_ = "the recording cannot be written";
    return false;
  }
  startThreshold_ = std::clamp(startThreshold, -127, 127);
  stopThreshold_ = stopThresholdFor(startThreshold_);
  silenceTime_ = silenceTime;
  timeLimit_ = std::max(timeLimit, 0);
  if (!openDevice(sink)) return false;

  lastLoud_ = millisecondsOf(target_->framesWritten(), target_->sampleRate());
  state_ = flags & kBeginRecording ? kRecording : kWaiting;
  preRollFrames_ = 0;
  dc_.assign(size_t(deviceFormat_.channels), 0);
  dcFactor_ = 192000 / deviceFormat_.sampleRate + 1;
  dropouts_ = 0;
  framesLost_ = 0;
  framesCaptured_ = 0;
  stopRequested_ = restartRequested_ = false;
  timeLimitReached_ = levelsChanged_ = stateChanged_ = false;
  {
    std::lock_guard lock(levelsMutex_);
    levels_ = LevelRecord{uint8_t(deviceFormat_.channels), {}};
    levels_.decibels.fill(int8_t(kSilentLevel));
  }
  go_ = !(flags & kDeferDevice);
  active_ = true;
  thread_ = std::thread([this] { run(); });

  if (listener_) {
    if (state_ == kWaiting) {
      listener_->recorderWaiting();
    } else {
      listener_->recorderRecording();
    }
    listener_->recorderPosition(lastLoud_);
  }
  return true;
}

// The recording's own format, else the fallback search: the same rate with fewer channels,
// then 44,100, 22,050, 11,025 and 8,000 Hz, from the recording's channel count down to one.
// A format other than the recording's goes through the converters.
bool Recorder::openDevice(const Ref<SampleSink>& sink) {
  if (nameToResolve_) {
    const std::vector<std::string> names = devices_.inputNames();
    const auto found = std::find(names.begin(), names.end(), deviceName_);
    deviceNumber_ =
        found == names.end() || deviceName_.empty() ? 0 : int(found - names.begin()) + 1;
    nameToResolve_ = false;
  }
  device_ = devices_.makeInput(deviceNumber_);
  const DeviceFormat wanted{sink->sampleRate(), std::max<int>(sink->channels(), 1)};
  DeviceOpen opened = device_->open(wanted, false);
  if (opened != DeviceOpen::Opened) opened = device_->open(wanted, true);
  DeviceFormat format = wanted;
  for (int n = wanted.channels; opened == DeviceOpen::BadFormat && n >= 1; --n) {
    std::vector<int32_t> rates(std::begin(kFallbackRates), std::end(kFallbackRates));
    if (n != wanted.channels) rates.insert(rates.begin(), wanted.sampleRate);
    for (int32_t rate : rates) {
      format = DeviceFormat{rate, n};
      opened = device_->open(format, true);
      if (opened == DeviceOpen::Opened) break;
    }
  }
  if (opened != DeviceOpen::Opened) {
    error_ = device_->lastError();
    if (error_.empty()) error_ = messages::kSoundDeviceError;
    device_.reset();
    return false;
  }
  deviceFormat_ = format;
  target_ = sink;
  if (format == wanted) {
    sink_ = sink;
  } else {
    converter_ = makeRef<ConvertingSink>(sink, format.sampleRate, format.channels);
    sink_ = converter_;
  }

  framesPerBuffer_ = framesPerBufferFor(format.sampleRate, kMinimumFrames);
  const size_t words = size_t(framesPerBuffer_) * format.channels;
  samples_.assign(words * kBuffers, 0);
  work_.assign(words, 0);
  preRoll_.assign(words, 0);
  silence_.assign(words, 0);
  for (int i = 0; i < kBuffers; ++i) {
    slots_[i].buffer.samples = samples_.data() + words * i;
    slots_[i].buffer.frames = framesPerBuffer_;
    slots_[i].buffer.done.store(false);
    device_->queue(slots_[i].buffer);
  }
  fillIndex_ = 0;
  return true;
}

void Recorder::go() {
  std::lock_guard lock(goMutex_);
  go_ = true;
  goChanged_.notify_all();
}

void Recorder::restart() {
  if (active_) restartRequested_ = true;
}

void Recorder::stop() {
  if (!active_) return;
  stopRequested_ = true;
  {
    std::lock_guard lock(goMutex_);
    goChanged_.notify_all();
  }
  device_->signal().notify();
  thread_.join();
  device_.reset();
  if (converter_) converter_->drain();
  // The trailing silence goes, but for 50 ms after the last loud buffer.
  const int32_t keep = lastLoud_ + kTrailMs;
  if (keep < millisecondsOf(target_->framesWritten(), target_->sampleRate())) {
    target_->seek(millisecondsToFrames(target_->sampleRate(), keep));
  }
  converter_ = nullptr;
  sink_ = nullptr;
  target_ = nullptr;
  state_ = kIdle;
  active_ = false;
  timeLimitReached_ = levelsChanged_ = stateChanged_ = false;
  if (listener_) listener_->recorderStopped();
}

// The capture thread.

void Recorder::run() {
  {
    std::unique_lock lock(goMutex_);
    goChanged_.wait(lock, [this] { return go_ || stopRequested_; });
  }
  DeviceSignal& signal = device_->signal();
  if (!stopRequested_) device_->start();
  auto progress = std::chrono::steady_clock::now();
  while (!stopRequested_) {
    const uint32_t seen = signal.generation();
    Slot& slot = slots_[size_t(fillIndex_)];
    if (!slot.buffer.done.load(std::memory_order_acquire)) {
      if (std::chrono::steady_clock::now() - progress >
          std::chrono::milliseconds(kBufferTimeoutMs)) {
        break;  // the device has stopped delivering: end as if stopped
      }
      signal.wait(seen, 1000);
      continue;
    }
    progress = std::chrono::steady_clock::now();
    const int32_t lost = slot.buffer.lostBefore;
    const int32_t frames = take(slot);
    device_->queue(slot.buffer);
    fillIndex_ = (fillIndex_ + 1) % kBuffers;
    process(frames, lost);
  }
  device_->reset();
  if (state_ == kRecording) drain();
  device_->close();
  state_ = kIdle;
  stateChanged_ = true;
  postNotice();
}

int32_t Recorder::take(Slot& slot) {
  DeviceBuffer& buffer = slot.buffer;
  const int32_t frames = std::clamp(buffer.recorded, 0, framesPerBuffer_);
  const size_t count = size_t(frames) * deviceFormat_.channels;
  const int32_t gain = gain_.load(std::memory_order_relaxed);
  for (size_t i = 0; i < count; ++i) {
    const Sample word = Sample(buffer.samples[i]) * 16;
    work_[i] = gain == kUnityGain ? word : splitMultiply(gain, word);
  }
  buffer.done.store(false, std::memory_order_relaxed);
  framesCaptured_ += frames + buffer.lostBefore;
  return frames;
}

// What the device had filled when it was reset goes in too, after the usual DC removal.
void Recorder::drain() {
  for (int i = 0; i < kBuffers; ++i) {
    Slot& slot = slots_[size_t(fillIndex_)];
    if (!slot.buffer.done.load(std::memory_order_acquire) || slot.buffer.recorded <= 0) break;
    const int32_t lost = slot.buffer.lostBefore;
    const int32_t frames = take(slot);
    fillIndex_ = (fillIndex_ + 1) % kBuffers;
    if (lost > 0) {
      ++dropouts_;
      framesLost_ += lost;
      writeSilence(lost);
    }
    removeDc(frames);
    write(work_.data(), frames);
    LevelRecord record;
    measureLevels(work_.data(), frames, deviceFormat_.channels, record);
    if (overallLevel(record) >= stopThreshold_) lastLoud_ = recordedMilliseconds();
  }
}

void Recorder::process(int32_t frames, int32_t lost) {
  if (restartRequested_.exchange(false)) {
    sink_->seek(0);
    lastLoud_ = 0;
    preRollFrames_ = 0;
    state_ = kWaiting;
    stateChanged_ = true;
  }
  if (lost > 0) {
    ++dropouts_;
    framesLost_ += lost;
    if (state_ != kWaiting) writeSilence(lost);
  }
  removeDc(frames);
  LevelRecord record;
  measureLevels(work_.data(), frames, deviceFormat_.channels, record);
  {
    std::lock_guard lock(levelsMutex_);
    levels_ = record;
  }
  const int level = overallLevel(record);
  const int ch = deviceFormat_.channels;

  if (state_ != kWaiting) {
    write(work_.data(), frames);
    const int32_t t = recordedMilliseconds();
    if (level < stopThreshold_) {
      if (t - lastLoud_ > silenceTime_) {
        cutTo(lastLoud_ + kKeptAfterLoudMs);
        std::copy_n(work_.begin(), size_t(frames) * ch, preRoll_.begin());
        preRollFrames_ = frames;
        state_ = kWaiting;
        stateChanged_ = true;
      }
    } else {
      lastLoud_ = t;
    }
    if (timeLimit_ > 0 && t >= timeLimit_) timeLimitReached_ = true;
  } else if (level < startThreshold_) {
    std::copy_n(work_.begin(), size_t(frames) * ch, preRoll_.begin());
    preRollFrames_ = frames;
  } else {
    LevelRecord firstHalf;
    measureLevels(work_.data(), std::min(frames, framesPerBuffer_ / 2), ch, firstHalf);
    if (overallLevel(firstHalf) >= startThreshold_ && preRollFrames_ > 0) {
      const int32_t half = framesPerBuffer_ / 2;
      const int32_t from = std::min(half, preRollFrames_);
      write(preRoll_.data() + size_t(from) * ch, preRollFrames_ - from);
    }
    write(work_.data(), frames);
    // This buffer is loud: what follows is measured from its end.
    lastLoud_ = recordedMilliseconds();
    state_ = kRecording;
    stateChanged_ = true;
    if (timeLimit_ > 0 && lastLoud_ >= timeLimit_) timeLimitReached_ = true;
  }
  levelsChanged_ = true;
  postNotice();
}

// Per channel: x' = x − (m >> 12), m = m + k × x', with k = 192,000 / rate + 1 and m kept
// from buffer to buffer (64 bits, so a loud offset cannot overflow it).
void Recorder::removeDc(int32_t frames) {
  const int ch = deviceFormat_.channels;
  for (int c = 0; c < ch; ++c) {
    int64_t m = dc_[size_t(c)];
    for (int32_t f = 0; f < frames; ++f) {
      Sample& x = work_[size_t(f) * ch + c];
      const int64_t removed = int64_t{x} - (m >> 12);
      x = Sample(std::clamp<int64_t>(removed, INT32_MIN, INT32_MAX));
      m += dcFactor_ * removed;
    }
    dc_[size_t(c)] = m;
  }
}

// Writes into the recording, never past the time limit.
bool Recorder::write(const Sample* words, int32_t frames) {
  if (frames <= 0) return true;
  if (timeLimit_ > 0) {
    const int64_t room =
        int64_t{millisecondsToFrames(sink_->sampleRate(), timeLimit_)} - sink_->framesWritten();
    if (room <= frames) timeLimitReached_ = true;
    frames = int32_t(std::clamp<int64_t>(room, 0, frames));
    if (frames == 0) return true;
  }
  return sink_->write(words, frames);
}

void Recorder::writeSilence(int32_t frames) {
  while (frames > 0) {
    const int32_t n = std::min(frames, framesPerBuffer_);
    write(silence_.data(), n);
    frames -= n;
  }
}

int32_t Recorder::recordedMilliseconds() const {
  return millisecondsOf(sink_->framesWritten(), sink_->sampleRate());
}

void Recorder::cutTo(int32_t milliseconds) {
  const int32_t frame = millisecondsToFrames(sink_->sampleRate(), milliseconds);
  if (frame < sink_->framesWritten()) sink_->seek(frame);
}

// Notices.

void Recorder::postNotice() {
  if (noticePending_.exchange(true)) return;
  poster_.post([weak = std::weak_ptr<Recorder*>(self_)] {
    if (auto self = weak.lock()) (*self)->onNotice();
  });
}

void Recorder::onNotice() {
  noticePending_ = false;
  if (!active_) return;
  if (timeLimitReached_.exchange(false)) {
    stop();
    return;
  }
  if (levelsChanged_.exchange(false) && listener_) {
    listener_->recorderPosition(lastLoud_);
    listener_->recorderLevels(levels());
  }
  if (stateChanged_.exchange(false)) {
    const int state = state_;
    if (state == kIdle) {
      stop();  // the capture ended by itself (the device stopped delivering)
    } else if (listener_) {
      if (state == kWaiting) {
        listener_->recorderWaiting();
      } else {
        listener_->recorderRecording();
      }
    }
  }
}

}  // namespace quillon
