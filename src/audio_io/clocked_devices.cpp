#include "audio_io/clocked_devices.h"

#include <algorithm>
#include <cstring>

#include "effects/format_conversion.h"
#include "formats/wav.h"

namespace quillon {
namespace {

bool accepts(const ClockedDeviceOptions& options, const DeviceFormat& format) {
  auto allowed = [](const auto& list, auto value) {
    return list.empty() || std::find(list.begin(), list.end(), value) != list.end();
  };
  return format.sampleRate > 0 && format.channels > 0 &&
         allowed(options.sampleRates, format.sampleRate) &&
         allowed(options.channelCounts, format.channels);
}

int32_t periodFor(const ClockedDeviceOptions& options, int32_t sampleRate) {
  return options.periodFrames > 0 ? options.periodFrames : std::max(sampleRate / 100, 1);
}

// When period `tick` (counted from 0) ends, in microseconds after the schedule's start.
int64_t periodEnd(int64_t tick, int32_t period, int32_t sampleRate) {
  return (tick + 1) * period * 1000000 / sampleRate;
}

}  // namespace

// Output.

ClockedOutputDevice::ClockedOutputDevice(AudioClock& clock, ClockedDeviceOptions options)
    : clock_(clock), options_(std::move(options)) {}

ClockedOutputDevice::~ClockedOutputDevice() {
  close();
}

DeviceOpen ClockedOutputDevice::open(const DeviceFormat& format, bool) {
  close();
  if (!accepts(options_, format)) {
    error_ = "the device does not play this format";
    return DeviceOpen::BadFormat;
  }
  if (!options_.path.empty()) {
    file_ = CreatePcmWavSink(options_.path, format.sampleRate, format.channels, 2);
    if (file_->status() != 0) {
      error_ = "cannot create " + options_.path;
      file_ = nullptr;
      return DeviceOpen::Failed;
    }
  }
  format_ = format;
  period_ = periodFor(options_, format.sampleRate);
  words_.assign(size_t(period_) * format.channels, 0);
  {
    std::lock_guard lock(mutex_);
    open_ = true;
    closing_ = false;
    paused_ = false;
    played_ = emitted_ = 0;
  }
  thread_ = std::thread([this] { run(); });
  return DeviceOpen::Opened;
}

void ClockedOutputDevice::close() {
  if (!thread_.joinable()) return;
  {
    std::lock_guard lock(mutex_);
    closing_ = true;
    changed_.notify_all();
  }
  clock_.kick();
  thread_.join();
  reset();
  std::lock_guard lock(mutex_);
  open_ = false;
  if (file_) {
    file_->finish();
    file_ = nullptr;
  }
}

void ClockedOutputDevice::write(DeviceBuffer& buffer) {
  {
    std::lock_guard lock(mutex_);
    queue_.push_back(&buffer);
    changed_.notify_all();
  }
  clock_.kick();
}

void ClockedOutputDevice::loop(DeviceBuffer& buffer) {
  {
    std::lock_guard lock(mutex_);
    loop_ = buffer.frames > 0 ? &buffer : nullptr;
    loopOffset_ = 0;
    changed_.notify_all();
  }
  clock_.kick();
}

int64_t ClockedOutputDevice::reset() {
  int64_t played;
  {
    std::lock_guard lock(mutex_);
    for (DeviceBuffer* buffer : queue_)
      buffer->done.store(true, std::memory_order_release);
    queue_.clear();
    offset_ = 0;
    loop_ = nullptr;
    loopOffset_ = 0;
    ++resets_;
    played = played_;
    changed_.notify_all();
  }
  clock_.kick();
  signal_.notify();
  return played;
}

void ClockedOutputDevice::pause() {
  {
    std::lock_guard lock(mutex_);
    paused_ = true;
    changed_.notify_all();
  }
  clock_.kick();
}

void ClockedOutputDevice::restart() {
  {
    std::lock_guard lock(mutex_);
    paused_ = false;
    changed_.notify_all();
  }
  clock_.kick();
}

int64_t ClockedOutputDevice::framesPlayed() {
  std::lock_guard lock(mutex_);
  return played_;
}

int64_t ClockedOutputDevice::framesEmitted() {
  std::lock_guard lock(mutex_);
  return emitted_;
}

// One period at a time at the clock's pace. With nothing to play the device waits without
// keeping time (a real device plays silence meanwhile, which the file does not hold) and picks
// up the pace from the moment it has something again.
void ClockedOutputDevice::run() {
  std::unique_lock lock(mutex_);
  bool idle = true;
  int64_t start = 0, tick = 0;
  while (!closing_) {
    if (paused_ || (queue_.empty() && !loop_)) {
      idle = true;
      changed_.wait(lock);
      continue;
    }
    if (idle) {
      idle = false;
      start = clock_.now();
      tick = 0;
    }
    const int64_t due = start + periodEnd(tick, period_, format_.sampleRate);
    if (clock_.now() < due) {
      clock_.waitUntil(due, lock, changed_);
      continue;
    }
    ++tick;
    play(lock, period_);
  }
}

void ClockedOutputDevice::play(std::unique_lock<std::mutex>& lock, int32_t frames) {
  const int ch = format_.channels;
  while (frames > 0) {
    if (!queue_.empty()) {
      DeviceBuffer* buffer = queue_.front();
      const int32_t n = std::min(frames, buffer->frames - offset_);
      emit(buffer->samples + size_t(offset_) * ch, n);
      offset_ += n;
      played_ += n;
      frames -= n;
      if (offset_ >= buffer->frames) {
        queue_.pop_front();
        offset_ = 0;
        buffer->done.store(true, std::memory_order_release);
        signal_.notify();
      }
    } else if (loop_) {
      const int32_t n = std::min(frames, loop_->frames - loopOffset_);
      emit(loop_->samples + size_t(loopOffset_) * ch, n);
      loopOffset_ = (loopOffset_ + n) % loop_->frames;
      frames -= n;
    } else if (clock_.isVirtual()) {
      // Time stands still until the engine has given the rest of this period.
      const uint64_t resets = resets_;
      changed_.wait(lock, [&] {
        return !queue_.empty() || loop_ || closing_ || paused_ || resets_ != resets;
      });
      if (closing_ || paused_ || resets_ != resets) return;
    } else {
      return;  // the rest of the period is silence, which the file does not hold
    }
  }
}

void ClockedOutputDevice::emit(const int16_t* samples, int32_t frames) {
  emitted_ += frames;
  if (!file_ || frames <= 0) return;
  const int ch = format_.channels;
  for (int32_t done = 0; done < frames;) {
    const int32_t n = std::min(frames - done, period_);
    const int16_t* from = samples + size_t(done) * ch;
    for (size_t i = 0; i < size_t(n) * ch; ++i)
      words_[i] = Sample(from[i]) * 16;
    file_->write(words_.data(), n);
    done += n;
  }
}

// Input.

ClockedInputDevice::ClockedInputDevice(AudioClock& clock, ClockedDeviceOptions options)
    : clock_(clock), options_(std::move(options)) {}

ClockedInputDevice::~ClockedInputDevice() {
  close();
}

DeviceOpen ClockedInputDevice::open(const DeviceFormat& format, bool) {
  close();
  if (!accepts(options_, format)) {
    error_ = "the device does not record this format";
    return DeviceOpen::BadFormat;
  }
  if (!options_.path.empty()) {
    Ref<SampleSource> file = OpenWavSource(options_.path);
    if (file->status() != 0) {
      error_ = "cannot read " + options_.path;
      return DeviceOpen::Failed;
    }
    file_ = convertFormat(file, format.sampleRate, format.channels);
  }
  format_ = format;
  period_ = periodFor(options_, format.sampleRate);
  words_.assign(size_t(period_) * format.channels, 0);
  period16_.assign(size_t(period_) * format.channels, 0);
  {
    std::lock_guard lock(mutex_);
    open_ = true;
    closing_ = running_ = exhausted_ = fileEnded_ = false;
    finalBuffer_ = nullptr;
    fill_ = pendingLost_ = 0;
    toLose_ = lost_ = produced_ = 0;
  }
  thread_ = std::thread([this] { run(); });
  return DeviceOpen::Opened;
}

void ClockedInputDevice::close() {
  if (!thread_.joinable()) return;
  {
    std::lock_guard lock(mutex_);
    closing_ = true;
    changed_.notify_all();
  }
  clock_.kick();
  thread_.join();
  reset();
  std::lock_guard lock(mutex_);
  open_ = false;
  file_ = nullptr;
}

void ClockedInputDevice::queue(DeviceBuffer& buffer) {
  {
    std::lock_guard lock(mutex_);
    if (&buffer == finalBuffer_) exhausted_ = true;
    buffer.recorded = 0;
    buffer.lostBefore = 0;
    queue_.push_back(&buffer);
    changed_.notify_all();
  }
  clock_.kick();
}

void ClockedInputDevice::start() {
  {
    std::lock_guard lock(mutex_);
    running_ = true;
    changed_.notify_all();
  }
  clock_.kick();
}

void ClockedInputDevice::reset() {
  {
    std::lock_guard lock(mutex_);
    running_ = false;
    for (DeviceBuffer* buffer : queue_) {
      buffer->recorded = buffer == queue_.front() ? fill_ : 0;
      buffer->done.store(true, std::memory_order_release);
    }
    queue_.clear();
    fill_ = 0;
    changed_.notify_all();
  }
  clock_.kick();
  signal_.notify();
}

bool ClockedInputDevice::exhausted() {
  std::lock_guard lock(mutex_);
  return exhausted_;
}

void ClockedInputDevice::loseFrames(int32_t frames) {
  std::lock_guard lock(mutex_);
  toLose_ += std::max(frames, 0);
}

int64_t ClockedInputDevice::framesLost() {
  std::lock_guard lock(mutex_);
  return lost_;
}

int64_t ClockedInputDevice::framesProduced() {
  std::lock_guard lock(mutex_);
  return produced_;
}

void ClockedInputDevice::run() {
  std::unique_lock lock(mutex_);
  bool idle = true;
  int64_t start = 0, tick = 0;
  while (!closing_) {
    if (!running_) {
      idle = true;
      changed_.wait(lock);
      continue;
    }
    if (idle) {
      idle = false;
      start = clock_.now();
      tick = 0;
    }
    const int64_t due = start + periodEnd(tick, period_, format_.sampleRate);
    if (clock_.now() < due) {
      clock_.waitUntil(due, lock, changed_);
      continue;
    }
    ++tick;
    bool last = false;
    if (file_) {
      file_->read(words_.data(), period_);
      for (size_t i = 0; i < period16_.size(); ++i)
        period16_[i] = int16_t(std::clamp((words_[i] + 8) >> 4, -32768, 32767));
      last = !fileEnded_ && file_->position() >= file_->length();
      fileEnded_ = fileEnded_ || last;
    }
    deliver(lock, period16_.data(), period_, last);
  }
}

// Puts one period into the queued buffers. Frames with no buffer to go to are lost, as on a
// real device; on a virtual clock, though, time stands still until the engine gives a buffer
// back, so that only a loss asked for happens there.
void ClockedInputDevice::deliver(std::unique_lock<std::mutex>& lock, const int16_t* samples,
                                 int32_t frames, bool last) {
  DeviceBuffer* receiver = nullptr;  // the buffer that got the period's last frames
  const int ch = format_.channels;
  produced_ += frames;
  for (int32_t i = 0; i < frames;) {
    if (toLose_ > 0) {
      const int32_t n = int32_t(std::min<int64_t>(toLose_, frames - i));
      toLose_ -= n;
      pendingLost_ += n;
      lost_ += n;
      i += n;
      continue;
    }
    if (queue_.empty()) {
      if (clock_.isVirtual()) {
        changed_.wait(lock, [&] { return !queue_.empty() || !running_ || closing_; });
        if (!running_ || closing_) return;
        continue;
      }
      pendingLost_ += frames - i;
      lost_ += frames - i;
      break;
    }
    DeviceBuffer* buffer = queue_.front();
    if (fill_ == 0) {
      buffer->lostBefore = pendingLost_;
      pendingLost_ = 0;
    }
    const int32_t n = std::min(frames - i, buffer->frames - fill_);
    std::memcpy(buffer->samples + size_t(fill_) * ch, samples + size_t(i) * ch,
                size_t(n) * ch * sizeof(int16_t));
    fill_ += n;
    i += n;
    receiver = buffer;
    if (fill_ >= buffer->frames) {
      buffer->recorded = fill_;
      fill_ = 0;
      queue_.pop_front();
      buffer->done.store(true, std::memory_order_release);
      signal_.notify();
    }
  }
  // The file is used up once the engine has taken the buffer with its last frames.
  if (last) {
    finalBuffer_ = receiver;
    exhausted_ = !receiver;
  }
}

// The set.

ClockedDevices::ClockedDevices(AudioClock& clock, ClockedDeviceOptions output,
                               ClockedDeviceOptions input, std::vector<std::string> names)
    : clock_(clock),
      output_(std::move(output)),
      input_(std::move(input)),
      names_(std::move(names)) {}

std::unique_ptr<OutputDevice> ClockedDevices::makeOutput(int number) {
  auto device = std::make_unique<ClockedOutputDevice>(clock_, output_);
  lastOutput_ = device.get();
  lastOutputNumber_ = number;
  return device;
}

std::unique_ptr<InputDevice> ClockedDevices::makeInput(int number) {
  auto device = std::make_unique<ClockedInputDevice>(clock_, input_);
  lastInput_ = device.get();
  lastInputNumber_ = number;
  return device;
}

}  // namespace quillon
