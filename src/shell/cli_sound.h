#pragma once

#include <csignal>
#include <map>
#include <memory>
#include <ostream>
#include <string>

#include "audio_io/transport.h"
#include "platform/notice_poster.h"
#include "shell/default_view.h"

namespace quillon {

class Editor;

// The command line's sound: one transport over the process's devices (QUILLON_AUDIO_OUT/IN),
// made when a step first needs it, the loop that runs its notices, and the `play` and `record`
// steps. Ctrl-C ends a playback (the run stops) or a recording (what was recorded is kept and
// the run goes on).
class CliSound {
 public:
  CliSound(std::ostream& err, volatile std::sig_atomic_t& interrupted);
  ~CliSound();

  Transport& transport();
  bool hasTransport() const { return bool(transport_); }

  // The steps: 0 done, 1 cancelled, 2 failed.
  int playStep(Editor& editor);
  int recordStep(Editor& editor, const std::map<std::string, std::string>& words);

  // What the command line's views do for Play and Record.
  void play(WaveDocument& document);
  bool record(DocumentView& view);

 private:
  int fail(const std::string& text);

  std::ostream& err_;
  volatile std::sig_atomic_t& interrupted_;
  NoticeQueue notices_;
  std::unique_ptr<Transport> transport_;
  int32_t recordSeconds_ = 0;
  bool recordFailed_ = false;
};

// A windowless view whose player and recorder are the command line's.
class SoundingView : public WindowlessView {
 public:
  SoundingView(Interaction& interaction, Ref<WaveDocument> document, CliSound& sound)
      : WindowlessView(interaction, std::move(document)), sound_(sound) {}

  void stopPlayback() override {
    if (sound_.hasTransport()) sound_.transport().stop();
  }
  void play() override { sound_.play(*document()); }
  bool isPlaying() override { return sound_.hasTransport() && sound_.transport().isPlaying(); }
  void seekPlayback(int32_t frame) override { sound_.transport().seek(frame); }
  void changeVolume(int steps) override { sound_.transport().changeVolume(steps); }
  bool record() override { return sound_.record(*this); }

 private:
  CliSound& sound_;
};

}  // namespace quillon
