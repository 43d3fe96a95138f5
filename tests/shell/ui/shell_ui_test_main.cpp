// The shell's Qt tests run inside a QApplication. Started as `--second-start ARGS…`, the
// program is instead a second start of the editor: the start-up guard, then the hand-over.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>
#include <string>
#include <vector>

#include "shell/startup_sequence.h"
#include "shell/ui/instance_channel.h"

namespace {

// Exit status 0 when the running editor took the arguments, 3 when there was none to take them.
int secondStart(int argc, char** argv) {
  std::vector<std::string> arguments = {argv[0]};
  arguments.insert(arguments.end(), argv + 2, argv + argc);
  quillon::StartupSequence startup(arguments);
  startup.takeGuard();
  return quillon::handOverToRunningInstance(startup.arguments()) ? 0 : 3;
}

}  // namespace

int main(int argc, char** argv) {
  // No test plays on or records from the sound card.
  ::setenv("QUILLON_AUDIO_OUT", "null", 1);
  ::setenv("QUILLON_AUDIO_IN", "null", 1);
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  if (argc >= 2 && std::string(argv[1]) == "--second-start") return secondStart(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
