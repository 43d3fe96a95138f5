#include "shell_fixture.h"

#include "platform/settings.h"

namespace quillon::testing {

ShellTest::ShellTest() {
  clipboard().clear();
  settings::kPromptSampleAndChannels.write(false);
  editor = std::make_unique<Editor>(window);
}

void ShellTest::TearDown() {
  window.ui.defaultAnswer = Answer::No;  // closing never saves
  editor.reset();
  clipboard().clear();
  DocumentTest::TearDown();
}

WaveDocument& ShellTest::openSamples(const std::vector<Sample>& samples, int channels,
                                     int32_t rate) {
  EXPECT_TRUE(editor->newFile());
  WaveDocument& d = editor->document();
  d.audio = writeClip(samples, channels, rate);
  d.modified = false;
  return d;
}

}  // namespace quillon::testing
