// quillon: the editor. One editor per user: a second start hands its file to the running one and
// ends. The running one prepares its working folder, shows the main window, opens argument 1 and
// runs until the window closes; at exit its block files go.
#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "app/version.h"
#include "audio_io/system_audio_devices.h"
#include "audio_io/transport.h"
#include "audio_io/ui/effect_previewer.h"
#include "audio_io/ui/record_control_dialog.h"
#include "audio_io/ui/transport_strip.h"
#include "platform/file.h"
#include "shell/command_table.h"
#include "shell/menu_layout.h"
#include "shell/startup_sequence.h"
#include "shell/storage_card_monitor.h"
#include "shell/ui/document_window.h"
#include "shell/ui/instance_channel.h"
#include "shell/ui/main_window.h"
#include "shell/ui/storage_card_watch.h"

namespace {

// The resident set of this process in kilobytes.
long residentKilobytes() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  }
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace quillon;
  QElapsedTimer sinceStart;
  sinceStart.start();
  // `--measure` (first argument): once the window is shown and argument 2 is open, prints the
  // milliseconds since start, the resident kilobytes and the longest time in milliseconds that
  // the window went without handling events while it opened the file (a heartbeat of 10 ms
  // measures it), then quits (bench/editor_start.sh).
  const bool measure = argc >= 2 && std::string(argv[1]) == "--measure";
  if (measure) {
    for (int i = 1; i + 1 < argc; ++i)
      argv[i] = argv[i + 1];
    --argc;
  }
  QApplication app(argc, argv);
  QCoreApplication::setApplicationName("quillon");
  QCoreApplication::setApplicationVersion(QUILLON_VERSION);
  QGuiApplication::setApplicationDisplayName("Quillon");
  QGuiApplication::setDesktopFileName("quillon");
  platform::markUiThread();

  std::vector<std::string> arguments;
  for (const QString& argument : QCoreApplication::arguments())
    arguments.push_back(argument.toStdString());
  // The file is named from the folder the editor was started in; the document keeps its full path
  // (a bare name would be taken for an unsaved document's name).
  if (arguments.size() >= 2 && !arguments[1].empty() && arguments[1][0] != '/' &&
      arguments[1][0] != '-')
    arguments[1] = QFileInfo(QString::fromStdString(arguments[1])).absoluteFilePath().toStdString();
  if (arguments.size() >= 2 && (arguments[1] == "--version" || arguments[1] == "--help")) {
    std::printf("quillon %s\nUsage: quillon [FILE]\n", QUILLON_VERSION);
    return 0;
  }

  StartupSequence startup(arguments);
  startup.takeGuard();
  if (handOverToRunningInstance(arguments)) return 0;  // the running editor has the file now
  InstanceServer server;
  if (!server.listen()) {
    std::fprintf(stderr, "quillon: another editor answers on %s\n", instanceSocketPath().c_str());
  }
  if (!startup.prepareWorkingFolder()) {
    std::fprintf(stderr, "quillon: no working folder could be claimed\n");
    return 2;
  }
  {
    ui::MainWindow window;
    // The sound controls: the transport strip under each document, Record Control for Record.
    window.setTransportStripFactory([&window](ui::DocumentWindow&) -> QWidget* {
      auto* strip = new audio_io::ui::TransportStrip(window.transport().player());
      strip->setCommandHandler([&window](int id) { window.runCommand(id); });
      return strip;
    });
    window.setRecorder([&window](DocumentView& view, Transport& transport, Interaction&) {
      transport.stop();
      return audio_io::ui::recordIntoDocument(&window, view, systemAudioDevices()) ==
             audio_io::ui::RecordResult::Recorded;
    });
    // The effect dialogs' Preview plays the selection on the Play Control's device.
    window.qtInteraction().setPreviewerFactory(
        [&window](const Form& form) -> std::unique_ptr<FormPreviewer> {
          if (!window.editor().hasDocument()) return nullptr;
          return audio_io::ui::makeEffectPreviewer(form, window.editor().document(),
                                                   systemAudioDevices());
        });
    server.setHandler(
        [&window](const std::vector<std::string>& handed) { window.handOver(handed); });
    CardNoticeHooks hooks;
    hooks.isPlaying = [&window] {
      return window.editor().hasDocument() && window.editor().view().isPlaying();
    };
    hooks.stopPlayback = [&window] { window.editor().view().stopPlayback(); };
    hooks.bringToFront = [&window] {
      window.raise();
      window.activateWindow();
    };
    hooks.resumePlayback = [&window] {
      QTimer::singleShot(0, &window, [&window] { window.runCommand(command::kPlay); });
    };
    hooks.quit = [] { QCoreApplication::quit(); };
    StorageCardWatch watch(startup.cardMonitor(), [&] {
      handleStorageCardNotice(startup.cardMonitor(), window.interaction(), hooks);
    });
    window.show();
    if (takeFirstStartGreeting(arguments)) {
      QTimer::singleShot(0, &window, [&] {
        if (welcomeSequence(window.interaction(), startup.cardMonitor().cardFolder()))
          window.runCommand(command::kHelpContents);
      });
    }
    QTimer heartbeat;
    QElapsedTimer sinceBeat;
    qint64 longestGap = 0;
    if (measure) {
      heartbeat.setInterval(10);
      QObject::connect(&heartbeat, &QTimer::timeout,
                       [&] { longestGap = std::max(longestGap, sinceBeat.restart()); });
      sinceBeat.start();
      heartbeat.start();
    }
    window.handOver(arguments);
    startup.releaseGuard();
    if (measure) {
      longestGap = std::max(longestGap, sinceBeat.elapsed());
      heartbeat.stop();
      QTimer::singleShot(0, &window, [&] {
        std::printf("shown_ms %lld rss_kb %ld longest_gap_ms %lld\n",
                    static_cast<long long>(sinceStart.elapsed()), residentKilobytes(),
                    static_cast<long long>(longestGap));
        std::fflush(stdout);
        QCoreApplication::quit();
      });
    }
    app.exec();
  }
  startup.finishExit();
  return 0;
}
