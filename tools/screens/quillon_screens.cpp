// quillon-screens: renders the editor's screens offscreen into PNG files, for docs/screenshots
// (tools/screenshots.sh runs it). Each screen has a name; a new screen is one more row in
// `screens()`. Usage: quillon-screens OUTPUT_FOLDER [SCREEN...] (all screens when none is
// named); quillon-screens --list.
#include <QApplication>
#include <QDir>
#include <QImage>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QTabWidget>
#include <QThread>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "audio_io/audio_clock.h"
#include "audio_io/audio_settings.h"
#include "audio_io/clocked_devices.h"
#include "audio_io/player.h"
#include "audio_io/record_control.h"
#include "audio_io/ui/play_control_dialog.h"
#include "audio_io/ui/preferences_dialog.h"
#include "audio_io/ui/record_control_dialog.h"
#include "audio_io/ui/transport_strip.h"
#include "document/block_writer.h"
#include "document/clip_reader.h"
#include "document/wave_document.h"
#include "effects/effect_commands.h"
#include "formats/wav.h"
#include "platform/job.h"
#include "platform/scripted_interaction.h"
#include "shell/editor.h"
#include "shell/ui/form_dialog.h"
#include "shell/ui/main_window.h"
#include "shell/ui/progress_dialog.h"
#include "support/audio_signals.h"
#include "support/peer_tools.h"
#include "support/sound_test_support.h"
#include "support/temp_environment.h"
#include "view/bookmark_edit.h"
#include "view/ui/document_pane.h"
#include "view/ui/edit_bookmark_dialog.h"
#include "view/ui/qt_notice_poster.h"

namespace quillon::screens {
namespace {

constexpr int kWidth = 1280, kHeight = 720;
constexpr int32_t kRate = 44100;

// Writes interleaved samples into a new block.
Clip blockOf(const std::vector<Sample>& samples, int channels) {
  Clip clip;
  {
    auto writer = makeRef<BlockWriter>(clip, kRate, channels);
    writer->write(samples.data(), int32_t(samples.size() / size_t(channels)));
  }
  return clip;
}

// The test documents, made when a screen first needs them.
class Fixtures {
 public:
  // One minute of speech-like stereo.
  const Clip& speech() {
    if (speech_.segments.empty()) {
      speech_ = blockOf(testing::speechLike(kRate, int64_t{60} * kRate, 2, 11), 2);
    }
    return speech_;
  }
  // An hour of music-like stereo: four pieces of 90 seconds, each played ten times at different
  // levels with short gaps, as an album would have them. The hour lies on disk as four blocks
  // that its Segments share.
  const Clip& music() {
    if (music_.segments.empty()) {
      std::vector<Clip> pieces;
      for (uint32_t seed = 1; seed <= 4; ++seed)
        pieces.push_back(blockOf(testing::musicLike(kRate, int64_t{90} * kRate, 2, seed), 2));
      music_.channels = 2;
      const int64_t hour = int64_t{3600} * kRate;
      int64_t at = 0;
      for (int i = 0; at < hour; ++i) {
        Segment s = pieces[size_t(i * 3 % 4)].segments[0];
        s.length = int32_t(std::min<int64_t>(s.length - (i * 7919 % 20) * kRate / 4, hour - at));
        s.gain = int32_t(kUnityGain * (0.55 + 0.45 * ((i * 5) % 7) / 6.0));
        music_.segments.push_back(s);
        at += s.length;
        if (at + kRate < hour) {
          music_.segments.push_back(Segment::silence(kRate));
          at += kRate;
        }
      }
    }
    return music_;
  }

 private:
  Clip speech_, music_;
};

// A document over a clip with a selection, a cursor and two bookmarks.
Ref<WaveDocument> documentOf(const Clip& audio, int mode, bool verticalZoom) {
  auto document = WaveDocument::createUntitled(1, kRate, 2);
  document->audio = audio;
  const int32_t length = audio.length();
  document->selectionStart = int32_t(int64_t{length} * 22 / 100);
  document->selectionEnd = int32_t(int64_t{length} * 37 / 100);
  document->cursor = int32_t(int64_t{length} * 55 / 100);
  document->waveFormMode = mode;
  document->verticalZoom = verticalZoom;
  document->markers.push_back(
      view::makeBookmark({"Intro", {150, 60, 200}}, int64_t{length} * 8 / 100, kRate, 1));
  document->markers.push_back(
      view::makeBookmark({"Chorus", {40, 170, 60}}, int64_t{length} * 71 / 100, kRate, 2));
  return document;
}

QImage grabPane(view::ui::DocumentPane& pane) {
  pane.resize(kWidth, kHeight);
  pane.show();
  for (int i = 0; i < 10; ++i) {
    pane.waveModel().worker().waitIdle(60000);
    QCoreApplication::processEvents();
  }
  return pane.grab().toImage();
}

struct Options {
  bool music = false;
  int mode = 0;
  bool classic = false;
  bool verticalZoom = false;
  double visibleSeconds = 0;  // 0: the whole document
  double startSeconds = -1;   // where the visible range starts; −1: a third before the cursor
};

QImage documentWindow(Fixtures& fixtures, const Options& o) {
  view::ui::DocumentPane pane;
  pane.resize(kWidth, kHeight);
  auto document =
      documentOf(o.music ? fixtures.music() : fixtures.speech(), o.mode, o.verticalZoom);
  pane.setDocument(document);
  pane.setCaption(o.music ? "album.wav" : "speech.wav");
  pane.setClassicColours(o.classic);
  if (o.visibleSeconds > 0) {
    const int64_t length = int64_t(o.visibleSeconds * kRate);
    const int64_t start =
        o.startSeconds >= 0 ? int64_t(o.startSeconds * kRate) : document->cursor - length / 3;
    pane.display().setVisibleRange(start, start + length);
    pane.refresh(false);
  }
  return grabPane(pane);
}

QImage editBookmarkDialog(Fixtures&) {
  view::ui::EditBookmarkDialog dialog({"Chorus", {40, 170, 60}});
  dialog.show();
  QCoreApplication::processEvents();
  return dialog.grab().toImage();
}

// Sound on the null devices, on a clock that moves only when a screen lets it: a player shows
// levels after the clock has run 300 ms, then holds them still for the picture.
struct QuietSound {
  QuietSound() { clock.hold(); }
  ~QuietSound() { clock.release(); }
  // Lets the devices run `milliseconds`, then runs the notices they posted.
  void run(int milliseconds, int devicesRunning = 1) {
    clock.advance(int64_t{milliseconds} * 1000);
    clock.waitForBlocked(devicesRunning);
    for (int i = 0; i < 20; ++i) {
      QCoreApplication::processEvents();
      QThread::msleep(2);
    }
  }
  VirtualClock clock;
  ClockedDevices devices{clock, {}, {}, {"Built-in Audio Analog Stereo", "USB Headset"}};
  ScriptedInteraction interaction;
};

void settle(QWidget& widget) {
  widget.show();
  for (int i = 0; i < 10; ++i) {
    QCoreApplication::processEvents();
    QThread::msleep(5);
  }
}

// The document window with its transport strip while the main player plays the document.
QImage transportStripPlaying(Fixtures& fixtures) {
  QuietSound sound;
  view::ui::QtNoticePoster poster;
  Player player(poster, sound.devices);
  player.setVolume(-6);
  view::ui::DocumentPane pane;
  pane.resize(kWidth, kHeight);
  auto document = documentOf(fixtures.speech(), 0, false);
  pane.setDocument(document);
  pane.setCaption("speech.wav");
  pane.setTransportStrip(new audio_io::ui::TransportStrip(player));
  auto reader = makeRef<ClipReader>(document->audio);
  reader->seek(document->cursor);
  player.start(reader);
  sound.run(300);
  pane.setPlayPosition(player.position());
  QImage image = grabPane(pane);
  player.stop();
  return image;
}

QImage playControlDialog(Fixtures& fixtures) {
  QuietSound sound;
  const Clip& audio = fixtures.speech();
  audio_io::ui::PlayControlDialog dialog(audio, 12 * kRate, "speech.wav", sound.interaction,
                                         sound.devices);
  settle(dialog);
  dialog.control().play();
  sound.run(400);
  QThread::msleep(300);  // the wave strip's worker
  settle(dialog);
  QImage image = dialog.grab().toImage();
  dialog.control().stop();
  return image;
}

QImage recordControlDialog(Fixtures&) {
  QuietSound sound;
  const std::string input = QDir::tempPath().toStdString() + "/voice.wav";
  testing::writeAll(CreatePcmWavSink(input, kRate, 2, 2),
                    testing::speechLike(kRate, 5 * kRate, 2, 3));
  sound.devices.inputOptions().path = input;
  audio_io::ui::RecordControlDialog dialog(kRate, 2, "speech.wav", sound.interaction,
                                           sound.devices);
  settle(dialog);
  dialog.control().record();
  sound.run(2500);
  QThread::msleep(300);
  settle(dialog);
  QImage image = dialog.grab().toImage();
  dialog.control().stop();
  return image;
}

QImage preferencesDialog(int page) {
  QuietSound sound;
  const std::string input = QDir::tempPath().toStdString() + "/voice.wav";
  testing::writeAll(CreatePcmWavSink(input, kRate, 2, 2),
                    testing::speechLike(kRate, 5 * kRate, 2, 3));
  sound.devices.inputOptions().path = input;
  audio_io::ui::PreferencesDialog dialog(sound.interaction, nullptr, sound.devices);
  dialog.pages()->setCurrentIndex(page);
  settle(dialog);
  if (page == audio_io::ui::PreferencesDialog::kMicrophone) sound.run(1500);
  settle(dialog);
  return dialog.grab().toImage();
}

// The main window at the screen's size with a minute of speech open, a third of it selected.
std::unique_ptr<ui::MainWindow> mainWindow(Fixtures&) {
  auto window = std::make_unique<ui::MainWindow>();
  window->resize(kWidth, kHeight);
  window->show();
  const std::string path = QDir::tempPath().toStdString() + "/speech.wav";
  testing::writeWav16(path, testing::speechLike(kRate, int64_t{60} * kRate, 2, 11), kRate, 2);
  window->editor().openFile(path);
  WaveDocument& document = window->editor().document();
  document.selectionStart = 12 * kRate;
  document.selectionEnd = 31 * kRate;
  document.cursor = document.selectionStart;
  window->editor().refreshCommandStates();
  window->editor().view().refresh(true);
  for (int i = 0; i < 20; ++i) {
    QCoreApplication::processEvents();
    QThread::msleep(20);
  }
  return window;
}

QImage mainWindowScreen(Fixtures& f) {
  return mainWindow(f)->grab().toImage();
}

// The window with one menu of the menu bar open below its title.
QImage menuScreen(Fixtures& f, int index) {
  std::unique_ptr<ui::MainWindow> window = mainWindow(f);
  QAction* title = window->menuBar()->actions().value(index);
  QMenu* menu = title->menu();
  const QPoint at = window->menuBar()->actionGeometry(title).bottomLeft() +
                    window->menuBar()->mapTo(window.get(), QPoint(0, 0));
  menu->popup(window->mapToGlobal(at));
  QCoreApplication::processEvents();
  QImage image = window->grab().toImage();
  QPainter painter(&image);
  painter.drawImage(at, menu->grab().toImage());
  menu->hide();
  return image;
}

// Draws a dialog over the window's picture, framed with its caption as a window manager would
// (offscreen there is none).
void drawDialog(QImage& image, QWidget& dialog) {
  constexpr int kCaption = 26;
  const QImage face = dialog.grab().toImage();
  const QPoint at((kWidth - face.width()) / 2, (kHeight - face.height()) / 3);
  QPainter painter(&image);
  const QRect frame(at.x() - 1, at.y() - kCaption - 1, face.width() + 2,
                    face.height() + kCaption + 2);
  painter.fillRect(frame.adjusted(4, 4, 4, 4), QColor(0, 0, 0, 60));
  painter.fillRect(frame, QColor(60, 72, 96));
  painter.setPen(Qt::white);
  QFont font = painter.font();
  font.setBold(true);
  painter.setFont(font);
  painter.drawText(QRect(at.x() + 8, at.y() - kCaption, face.width() - 16, kCaption),
                   Qt::AlignLeft | Qt::AlignVCenter, dialog.windowTitle());
  painter.drawImage(at, face);
}

// A preview that never plays: the Preview button shows as the editor shows it.
class StillPreviewer final : public FormPreviewer {
 public:
  bool start(const DialogValues&) override { return false; }
  void stop() override {}
  bool isPlaying() const override { return false; }
};

// A form's dialog as the window shows it, over the main window.
QImage formScreen(Fixtures& f, const Form& form, DialogValues values) {
  std::unique_ptr<ui::MainWindow> window = mainWindow(f);
  ui::FormDialog dialog(form, values, window.get());
  if (form.preview) dialog.setPreviewer(std::make_unique<StillPreviewer>());
  dialog.show();
  QCoreApplication::processEvents();
  QImage image = window->grab().toImage();
  drawDialog(image, dialog);
  return image;
}

// The progress dialog of an effect, half-way, over the main window.
QImage progressScreen(Fixtures& f) {
  std::unique_ptr<ui::MainWindow> window = mainWindow(f);
  ui::ProgressDialog dialog("Reverb", window.get());
  dialog.setLine(0, "Applying Reverb");
  dialog.setLine(1, "speech.wav, 0:00:12.000 to 0:00:31.000");
  dialog.setPercent(57);
  dialog.show();
  QCoreApplication::processEvents();
  QImage image = window->grab().toImage();
  drawDialog(image, dialog);
  return image;
}

using Render = std::function<QImage(Fixtures&)>;

std::vector<std::pair<std::string, Render>> screens() {
  std::vector<std::pair<std::string, Render>> list;
  for (bool music : {false, true}) {
    for (int mode : {0, 1, 2}) {
      for (bool classic : {false, true}) {
        const std::string name = std::string("wave-") + (music ? "music" : "speech") + "-mode" +
                                 std::to_string(mode) + (classic ? "-classic" : "-standard");
        list.emplace_back(name, [=](Fixtures& f) {
          return documentWindow(f, {music, mode, classic, false, 0});
        });
      }
    }
  }
  list.emplace_back("wave-speech-zoomed", [](Fixtures& f) {
    return documentWindow(f, {false, 0, false, false, 3.0});
  });
  list.emplace_back("wave-speech-samples", [](Fixtures& f) {
    return documentWindow(f, {false, 0, false, false, 0.012, 33.18});
  });
  list.emplace_back("wave-speech-vertical-zoom", [](Fixtures& f) {
    return documentWindow(f, {false, 0, false, true, 3.0});
  });
  list.emplace_back("edit-bookmark-dialog", editBookmarkDialog);
  list.emplace_back("transport-strip-playing", transportStripPlaying);
  list.emplace_back("play-control-dialog", playControlDialog);
  list.emplace_back("record-control-dialog", recordControlDialog);
  list.emplace_back("preferences-sound-output", [](Fixtures&) {
    return preferencesDialog(audio_io::ui::PreferencesDialog::kSoundOutput);
  });
  list.emplace_back("preferences-microphone", [](Fixtures&) {
    return preferencesDialog(audio_io::ui::PreferencesDialog::kMicrophone);
  });
  list.emplace_back("main-window", mainWindowScreen);
  const char* menus[] = {"file", "edit", "view", "play", "help"};
  for (int i = 0; i < 5; ++i) {
    list.emplace_back(std::string("menu-") + menus[i],
                      [i](Fixtures& f) { return menuScreen(f, i); });
  }
  list.emplace_back("progress-dialog", progressScreen);
  list.emplace_back("new-file-dialog", [](Fixtures& f) {
    DialogValues values;
    values.set("rate", 44100);
    values.set("channels", 2);
    return formScreen(f, kNewFileForm, values);
  });
  list.emplace_back("wav-settings-dialog", [](Fixtures& f) {
    DialogValues values;
    values.set("codec", "PCM");
    values.set("rate", 44100);
    values.set("channels", 2);
    values.set("bits", 16);
    return formScreen(f, kWavFormatForm, values);
  });
  // The effect dialogs and Advanced Settings with their stored values (the defaults here).
  std::vector<std::pair<std::string, const Form*>> stored;
  for (const EffectCommand& effect : effectCommands()) {
    if (effect.form) stored.emplace_back(std::string("effect-") + effect.name, effect.form);
  }
  stored.emplace_back("advanced-record-settings", &kAdvancedRecordSettingsForm);
  for (const auto& [name, form] : stored) {
    list.emplace_back(name, [form = form](Fixtures& f) {
      DialogValues values;
      presetFromSettings(*form, values);
      return formScreen(f, *form, values);
    });
  }
  return list;
}

}  // namespace
}  // namespace quillon::screens

int main(int argc, char** argv) {
  using namespace quillon::screens;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const QStringList arguments = app.arguments().mid(1);
  if (arguments.value(0) == "--list") {
    for (const auto& [name, render] : screens())
      std::printf("%s\n", name.c_str());
    return 0;
  }
  if (arguments.isEmpty()) {
    std::fprintf(stderr, "usage: quillon-screens OUTPUT_FOLDER [SCREEN...] | --list\n");
    return 2;
  }
  const QString folder = arguments[0];
  QDir().mkpath(folder);
  const QStringList wanted = arguments.mid(1);
  quillon::testing::TempEnvironment environment;  // block files and settings of its own
  Fixtures fixtures;
  int written = 0;
  for (const auto& [name, render] : screens()) {
    if (!wanted.isEmpty() && !wanted.contains(QString::fromStdString(name))) continue;
    const QString path = folder + "/" + QString::fromStdString(name) + ".png";
    if (!render(fixtures).save(path, "PNG")) {
      std::fprintf(stderr, "quillon-screens: cannot write %s\n", qPrintable(path));
      return 1;
    }
    std::printf("%s\n", qPrintable(path));
    ++written;
  }
  if (written == 0) {
    std::fprintf(stderr, "quillon-screens: no such screen\n");
    return 2;
  }
  return 0;
}
