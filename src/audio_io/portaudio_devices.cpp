#include "audio_io/portaudio_devices.h"

#include <dlfcn.h>
#include <portaudio.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace quillon {
namespace {

// The libraries under PortAudio print their probing (missing cards, no JACK server) on stderr.
// Those lines mean nothing to a user; PortAudio's own error texts say what failed. They are
// kept when QUILLON_AUDIO_DEBUG is set.
extern "C" void quietAlsa(const char*, int, const char*, int, const char*, ...) {}
extern "C" void quietJack(const char*) {}

void silenceLibraries() {
  if (std::getenv("QUILLON_AUDIO_DEBUG")) return;
  using AlsaHandler = void (*)(const char*, int, const char*, int, const char*, ...);
  using SetAlsaHandler = int (*)(AlsaHandler);
  using SetJackHandler = void (*)(void (*)(const char*));
  if (auto set = reinterpret_cast<SetAlsaHandler>(dlsym(RTLD_DEFAULT, "snd_lib_error_set_handler")))
    set(quietAlsa);
  if (auto set = reinterpret_cast<SetJackHandler>(dlsym(RTLD_DEFAULT, "jack_set_error_function")))
    set(quietJack);
  if (auto set = reinterpret_cast<SetJackHandler>(dlsym(RTLD_DEFAULT, "jack_set_info_function")))
    set(quietJack);
}

std::string errorText(PaError error) {
  std::string text = std::string("PortAudio: ") + Pa_GetErrorText(error);
  if (error == paUnanticipatedHostError) {
    const PaHostErrorInfo* host = Pa_GetLastHostErrorInfo();
    if (host && host->errorText && *host->errorText)
      text += std::string(" (") + host->errorText + ")";
  }
  return text;
}

// PortAudio, started once per process on first use and ended at exit.
class Host {
 public:
  static Host& instance() {
    static Host host;
    return host;
  }
  bool ready() const { return error_ == paNoError; }
  std::string failure() const { return errorText(error_); }

  // Device indexes in PortAudio's order, with their names.
  struct Entry {
    PaDeviceIndex index;
    std::string name;
  };
  std::vector<Entry> devices(bool output) const {
    std::vector<Entry> list;
    if (!ready()) return list;
    for (PaDeviceIndex i = 0, n = Pa_GetDeviceCount(); i < n; ++i) {
      const PaDeviceInfo* info = Pa_GetDeviceInfo(i);
      if (info && (output ? info->maxOutputChannels : info->maxInputChannels) > 0)
        list.push_back({i, info->name ? info->name : ""});
    }
    return list;
  }

 private:
  Host() {
    silenceLibraries();
    error_ = Pa_Initialize();
  }
  ~Host() {
    if (ready()) Pa_Terminate();
  }
  PaError error_ = paNoError;
};

// The device a number or a forced name stands for: paNoDevice when there is none.
PaDeviceIndex chooseDevice(bool output, int number, const std::string& forced) {
  const std::vector<Host::Entry> list = Host::instance().devices(output);
  if (!forced.empty()) {
    for (const Host::Entry& entry : list)
      if (entry.name == forced) return entry.index;
    return paNoDevice;
  }
  if (number >= 1 && size_t(number) <= list.size()) return list[size_t(number) - 1].index;
  return output ? Pa_GetDefaultOutputDevice() : Pa_GetDefaultInputDevice();
}

DeviceOpen openResult(PaError error) {
  switch (error) {
    case paNoError:
      return DeviceOpen::Opened;
    case paInvalidSampleRate:
    case paInvalidChannelCount:
    case paSampleFormatNotSupported:
    case paBadIODeviceCombination:
      return DeviceOpen::BadFormat;
    default:
      return DeviceOpen::Failed;
  }
}

// The engine's buffers on their way to the callback: one producer (the engine), one consumer
// (the callback); no lock.
class BufferRing {
 public:
  bool push(DeviceBuffer* buffer) {
    const uint32_t tail = tail_.load(std::memory_order_relaxed);
    if (tail - head_.load(std::memory_order_acquire) >= slots_.size()) return false;
    slots_[tail % slots_.size()] = buffer;
    tail_.store(tail + 1, std::memory_order_release);
    return true;
  }
  DeviceBuffer* front() const {
    const uint32_t head = head_.load(std::memory_order_relaxed);
    if (head == tail_.load(std::memory_order_acquire)) return nullptr;
    return slots_[head % slots_.size()];
  }
  void pop() { head_.store(head_.load(std::memory_order_relaxed) + 1, std::memory_order_release); }
  // Only while the callback does not run: hands every buffer back.
  template <class F>
  void drain(F&& each) {
    while (DeviceBuffer* buffer = front()) {
      each(*buffer);
      pop();
    }
  }

 private:
  std::array<DeviceBuffer*, 64> slots_{};
  std::atomic<uint32_t> head_{0};
  std::atomic<uint32_t> tail_{0};
};

// What the last callback played, for the position: written by the callback, read anywhere
// (a sequence lock: the reader retries while a write is under way).
class PlayedRecord {
 public:
  struct Values {
    int64_t first = 0;  // the device frame the callback started with
    int32_t real = 0;   // frames of buffers it played (silence after them does not count)
    double dacTime = 0;
  };
  // Sequentially consistent throughout: a reader that sees the same even count before and
  // after its reads saw one write whole.
  void store(const Values& values) {
    const uint32_t s = sequence_.load();
    sequence_.store(s + 1);
    first_.store(values.first);
    real_.store(values.real);
    dacTime_.store(values.dacTime);
    sequence_.store(s + 2);
  }
  Values load() const {
    for (;;) {
      const uint32_t s = sequence_.load();
      const Values values{first_.load(), real_.load(), dacTime_.load()};
      if (!(s & 1) && sequence_.load() == s) return values;
    }
  }

 private:
  std::atomic<uint32_t> sequence_{0};
  std::atomic<int64_t> first_{0};
  std::atomic<int32_t> real_{0};
  std::atomic<double> dacTime_{0};
};

class PortAudioOutput final : public OutputDevice {
 public:
  PortAudioOutput(int number, std::string forced) : number_(number), forced_(std::move(forced)) {}
  ~PortAudioOutput() override { close(); }

  DeviceOpen open(const DeviceFormat& format, bool fallback) override {
    close();
    Host& host = Host::instance();
    if (!host.ready()) {
      error_ = host.failure();
      return DeviceOpen::Failed;
    }
    const PaDeviceIndex device =
        fallback ? Pa_GetDefaultOutputDevice() : chooseDevice(true, number_, forced_);
    const PaDeviceInfo* info = device == paNoDevice ? nullptr : Pa_GetDeviceInfo(device);
    if (!info) {
      error_ = forced_.empty() ? "there is no sound output device"
                               : "there is no sound output device named \"" + forced_ + "\"";
      return DeviceOpen::Failed;
    }
    PaStreamParameters parameters{device, format.channels, paInt16, info->defaultHighOutputLatency,
                                  nullptr};
    const PaError error = Pa_OpenStream(&stream_, nullptr, &parameters, format.sampleRate,
                                        paFramesPerBufferUnspecified, paNoFlag, &callback, this);
    if (error != paNoError) {
      stream_ = nullptr;
      error_ = errorText(error);
      return openResult(error);
    }
    format_ = format;
    const PaStreamInfo* stream = Pa_GetStreamInfo(stream_);
    latency_ = stream ? int32_t(std::lround(stream->outputLatency * format.sampleRate)) : 0;
    base_ = consumed_ = 0;
    offset_ = loopOffset_ = 0;
    paused_.store(false);
    loop_.store(nullptr);
    played_.store({});
    return DeviceOpen::Opened;
  }

  void close() override {
    if (!stream_) return;
    reset();
    Pa_CloseStream(stream_);
    stream_ = nullptr;
  }

  void write(DeviceBuffer& buffer) override {
    if (!stream_ || !ring_.push(&buffer)) {
      buffer.done.store(true, std::memory_order_release);
      signal_.notify();
      return;
    }
    if (!startIfNeeded()) {
      // A stream that will not run hands the buffers straight back: nobody waits for them.
      ring_.drain([](DeviceBuffer& b) { b.done.store(true, std::memory_order_release); });
      signal_.notify();
    }
  }

  void loop(DeviceBuffer& buffer) override {
    loop_.store(buffer.frames > 0 ? &buffer : nullptr, std::memory_order_release);
    if (stream_) startIfNeeded();
  }

  int64_t reset() override {
    if (!stream_) return base_;
    if (started_) {
      const int64_t heard = framesPlayed();  // the rest is dropped with the stream
      Pa_AbortStream(stream_);
      base_ = heard;
      started_ = false;
    }
    // The callback does not run now.
    ring_.drain([](DeviceBuffer& buffer) { buffer.done.store(true, std::memory_order_release); });
    loop_.store(nullptr);
    offset_ = loopOffset_ = 0;
    consumed_ = base_;
    played_.store({base_, 0, 0});
    signal_.notify();
    return base_;
  }

  void pause() override { paused_.store(true, std::memory_order_release); }
  void restart() override { paused_.store(false, std::memory_order_release); }

  int64_t framesPlayed() override {
    if (!stream_ || !started_) return base_;
    const PlayedRecord::Values last = played_.load();
    const int64_t end = last.first + last.real;
    const int64_t base = base_.load();
    int64_t heard;
    if (last.dacTime > 0) {
      const double now = Pa_GetStreamTime(stream_);
      heard = last.first + int64_t(std::floor((now - last.dacTime) * format_.sampleRate));
    } else {
      heard = end - latency_;
    }
    return std::clamp(heard, base, std::max(base, end));
  }

  int32_t latencyFrames() override { return latency_; }
  std::string lastError() const override { return error_; }

 private:
  bool startIfNeeded() {
    if (started_) return true;
    const PaError error = Pa_StartStream(stream_);
    if (error != paNoError) {
      error_ = errorText(error);
      return false;
    }
    started_ = true;
    return true;
  }

  static int callback(const void*, void* output, unsigned long frameCount,
                      const PaStreamCallbackTimeInfo* time, PaStreamCallbackFlags, void* self) {
    static_cast<PortAudioOutput*>(self)->fill(static_cast<int16_t*>(output), int32_t(frameCount),
                                              time ? time->outputBufferDacTime : 0);
    return paContinue;
  }

  // The audio callback: copies from the queued buffers, then from the loop, then silence. No
  // lock, no allocation, no I/O.
  void fill(int16_t* out, int32_t frames, double dacTime) {
    const int ch = format_.channels;
    const int64_t first = consumed_;
    int32_t real = 0;
    if (!paused_.load(std::memory_order_acquire)) {
      while (frames > 0) {
        if (DeviceBuffer* buffer = ring_.front()) {
          const int32_t n = std::min(frames, buffer->frames - offset_);
          std::memcpy(out, buffer->samples + size_t(offset_) * ch, size_t(n) * ch * 2);
          out += size_t(n) * ch;
          frames -= n;
          offset_ += n;
          real += n;
          if (offset_ >= buffer->frames) {
            offset_ = 0;
            ring_.pop();
            buffer->done.store(true, std::memory_order_release);
            signal_.notify();
          }
        } else if (DeviceBuffer* loop = loop_.load(std::memory_order_acquire)) {
          const int32_t n = std::min(frames, loop->frames - loopOffset_);
          std::memcpy(out, loop->samples + size_t(loopOffset_) * ch, size_t(n) * ch * 2);
          out += size_t(n) * ch;
          frames -= n;
          loopOffset_ = (loopOffset_ + n) % loop->frames;
        } else {
          break;
        }
      }
    }
    std::memset(out, 0, size_t(std::max(frames, 0)) * ch * 2);
    consumed_ = first + real;
    played_.store({first, real, dacTime});
  }

  int number_;
  std::string forced_;
  PaStream* stream_ = nullptr;
  DeviceFormat format_;
  std::string error_;
  int32_t latency_ = 0;
  // Also read by framesPlayed, which the engine's owner may ask from its own thread.
  std::atomic<bool> started_{false};
  std::atomic<int64_t> base_{0};  // frames heard when the stream last stopped
  BufferRing ring_;
  std::atomic<bool> paused_{false};
  std::atomic<DeviceBuffer*> loop_{nullptr};
  PlayedRecord played_;
  // The callback's own (touched elsewhere only while the stream is stopped).
  int64_t consumed_ = 0;
  int32_t offset_ = 0;
  int32_t loopOffset_ = 0;
};

class PortAudioInput final : public InputDevice {
 public:
  PortAudioInput(int number, std::string forced) : number_(number), forced_(std::move(forced)) {}
  ~PortAudioInput() override { close(); }

  DeviceOpen open(const DeviceFormat& format, bool fallback) override {
    close();
    Host& host = Host::instance();
    if (!host.ready()) {
      error_ = host.failure();
      return DeviceOpen::Failed;
    }
    const PaDeviceIndex device =
        fallback ? Pa_GetDefaultInputDevice() : chooseDevice(false, number_, forced_);
    const PaDeviceInfo* info = device == paNoDevice ? nullptr : Pa_GetDeviceInfo(device);
    if (!info) {
      error_ = forced_.empty() ? "there is no sound input device"
                               : "there is no sound input device named \"" + forced_ + "\"";
      return DeviceOpen::Failed;
    }
    PaStreamParameters parameters{device, format.channels, paInt16, info->defaultHighInputLatency,
                                  nullptr};
    const PaError error = Pa_OpenStream(&stream_, &parameters, nullptr, format.sampleRate,
                                        paFramesPerBufferUnspecified, paNoFlag, &callback, this);
    if (error != paNoError) {
      stream_ = nullptr;
      error_ = errorText(error);
      return openResult(error);
    }
    format_ = format;
    fill_ = pendingLost_ = 0;
    expectedAdcTime_ = 0;
    return DeviceOpen::Opened;
  }

  void close() override {
    if (!stream_) return;
    reset();
    Pa_CloseStream(stream_);
    stream_ = nullptr;
  }

  void queue(DeviceBuffer& buffer) override {
    buffer.recorded = 0;
    buffer.lostBefore = 0;
    if (!stream_ || !ring_.push(&buffer)) {
      buffer.done.store(true, std::memory_order_release);
      signal_.notify();
    }
  }

  void start() override {
    if (!stream_ || started_) return;
    const PaError error = Pa_StartStream(stream_);
    if (error == paNoError) {
      started_ = true;
    } else {
      error_ = errorText(error);
    }
  }

  void reset() override {
    if (!stream_) return;
    if (started_) {
      Pa_AbortStream(stream_);
      started_ = false;
    }
    bool first = true;
    ring_.drain([&](DeviceBuffer& buffer) {
      buffer.recorded = first ? fill_ : 0;
      first = false;
      buffer.done.store(true, std::memory_order_release);
    });
    fill_ = 0;
    signal_.notify();
  }

  std::string lastError() const override { return error_; }

 private:
  static int callback(const void* input, void*, unsigned long frameCount,
                      const PaStreamCallbackTimeInfo* time, PaStreamCallbackFlags flags,
                      void* self) {
    static_cast<PortAudioInput*>(self)->take(
        static_cast<const int16_t*>(input), int32_t(frameCount),
        time ? time->inputBufferAdcTime : 0, (flags & paInputOverflow) != 0);
    return paContinue;
  }

  // The audio callback: copies into the queued buffers; frames with no buffer to go to are
  // counted as lost, and so is a gap the system reports (an overflow before this callback,
  // measured by its capture times). No lock, no allocation, no I/O.
  void take(const int16_t* in, int32_t frames, double adcTime, bool overflow) {
    const int ch = format_.channels;
    if (overflow && adcTime > 0 && expectedAdcTime_ > 0) {
      const double gap = (adcTime - expectedAdcTime_) * format_.sampleRate;
      if (gap >= 1) pendingLost_ += int32_t(std::lround(gap));
    }
    if (adcTime > 0) expectedAdcTime_ = adcTime + double(frames) / format_.sampleRate;
    while (frames > 0) {
      DeviceBuffer* buffer = ring_.front();
      if (!buffer) {
        pendingLost_ += frames;
        return;
      }
      if (fill_ == 0) {
        buffer->lostBefore = pendingLost_;
        pendingLost_ = 0;
      }
      const int32_t n = std::min(frames, buffer->frames - fill_);
      int16_t* to = buffer->samples + size_t(fill_) * ch;
      if (in) {
        std::memcpy(to, in, size_t(n) * ch * 2);
        in += size_t(n) * ch;
      } else {
        std::memset(to, 0, size_t(n) * ch * 2);
      }
      fill_ += n;
      frames -= n;
      if (fill_ >= buffer->frames) {
        buffer->recorded = fill_;
        fill_ = 0;
        ring_.pop();
        buffer->done.store(true, std::memory_order_release);
        signal_.notify();
      }
    }
  }

  int number_;
  std::string forced_;
  PaStream* stream_ = nullptr;
  DeviceFormat format_;
  std::string error_;
  bool started_ = false;
  BufferRing ring_;
  // The callback's own (touched elsewhere only while the stream is stopped).
  int32_t fill_ = 0;
  int32_t pendingLost_ = 0;
  double expectedAdcTime_ = 0;
};

std::vector<std::string> namesOf(const std::vector<Host::Entry>& list) {
  std::vector<std::string> names;
  for (const Host::Entry& entry : list)
    names.push_back(entry.name);
  return names;
}

}  // namespace

PortAudioDevices::PortAudioDevices(std::string forcedOutput, std::string forcedInput)
    : forcedOutput_(std::move(forcedOutput)), forcedInput_(std::move(forcedInput)) {}

std::vector<std::string> PortAudioDevices::outputNames() {
  return namesOf(Host::instance().devices(true));
}

std::vector<std::string> PortAudioDevices::inputNames() {
  return namesOf(Host::instance().devices(false));
}

std::unique_ptr<OutputDevice> PortAudioDevices::makeOutput(int number) {
  return std::make_unique<PortAudioOutput>(number, forcedOutput_);
}

std::unique_ptr<InputDevice> PortAudioDevices::makeInput(int number) {
  return std::make_unique<PortAudioInput>(number, forcedInput_);
}

}  // namespace quillon
