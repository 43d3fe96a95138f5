#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "audio_io/audio_device.h"
#include "audio_io/player.h"
#include "audio_io/recorder.h"
#include "document/clip.h"
#include "document/wave_document.h"
#include "platform/notice_poster.h"

namespace quillon {

// What the main window plays and records, for any document view (the editor's window, the
// command line's): Play, Stop, moving the cursor while playing, the play speed, Loop Play, the
// volume and Record, over one player and one recorder made when sound is first used (so that
// starting the program lists no devices). Everything runs on the thread that owns it; the
// engines' notices reach it through the poster.
class Transport : private PlayerListener {
 public:
  explicit Transport(NoticePoster& poster, AudioDevices& devices);
  ~Transport() override;
  Transport(const Transport&) = delete;
  Transport& operator=(const Transport&) = delete;

  // Play: nothing while the player is open; else the document from the cursor, with the stored
  // play speed and loop (see playSource). False when the device did not open (lastError says
  // why; the main window stays silent about it).
  bool play(WaveDocument& document);
  void stop();
  bool isPlaying() const { return player_ && player_->isPlaying(); }
  // While playing, a new cursor moves the player.
  void seek(int32_t frame);
  // Volume Up and Down: one decibel a step.
  void changeVolume(int steps);
  // The frame being heard (while playing), else where playing last ended.
  int32_t position() { return player_ ? player_->position() : 0; }
  // Called with the play position, in frames, whenever the player reports one: the main window
  // moves its cursor there.
  void setPositionFollower(std::function<void(int32_t)> follower) {
    follower_ = std::move(follower);
  }

  // What Play plays: with a selection the frames [0, selection end), else the whole document;
  // from the cursor when it lies before the document's end, else from the selection start (or
  // 0); at half speed for speed index 0 and 1.5 times for 2; over and over from the selection
  // start (or 0) to the document's end when `loop` is on.
  static Ref<SampleSource> playSource(WaveDocument& document, int speedIndex, bool loop);

  // Record: a new recording in this format, with the recorder options of the settings
  // ("Recorder": Autotrim, Vor, Threshold; "Settings": RecordDevice, RecordVolume). `timeLimit`
  // in ms, 0 for none. False when no input opens (lastError says why).
  bool startRecording(int32_t sampleRate, int channels, int32_t timeLimit);
  // Stops and completes the recording; the Clip holds it.
  void stopRecording();
  const Clip& recording() const { return recording_; }

  Player& player();
  Recorder& recorder();
  const std::string& lastError() const { return error_; }

 private:
  void playerPosition(intptr_t user, int32_t milliseconds) override;

  NoticePoster& poster_;
  AudioDevices& devices_;
  std::unique_ptr<Player> player_;
  std::unique_ptr<Recorder> recorder_;
  Ref<WaveDocument> playing_;
  std::function<void(int32_t)> follower_;
  Clip recording_;
  Ref<SampleSink> writer_;
  std::string error_;
};

}  // namespace quillon
