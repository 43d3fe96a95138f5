#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "document/edit_commands.h"
#include "shell/command_table.h"
#include "shell/editor.h"
#include "support/fake_document_view.h"
#include "support/temp_environment.h"

namespace quillon::testing {

// A main window for tests: every view it creates is a FakeDocumentView answering through the
// window's one scripted interaction.
class FakeMainWindow : public MainWindow {
 public:
  Interaction& interaction() override { return ui; }
  std::unique_ptr<DocumentView> createView(Ref<WaveDocument> document) override {
    auto view = std::make_unique<SharedFakeView>(ui, std::move(document));
    current = view.get();
    return view;
  }
  void setCaption(const std::string& text, bool modified) override {
    caption = text;
    captionModified = modified;
  }
  void showCommandStates(const CommandStates& states) override { shownStates = states; }
  void setBusy(bool busy) override { busyChanges.push_back(busy); }
  void showFallbackMenu() override { ++fallbackMenus; }

  // A fake view whose questions go to the window's interaction.
  class SharedFakeView : public FakeDocumentView {
   public:
    SharedFakeView(ScriptedInteraction& shared, Ref<WaveDocument> document)
        : FakeDocumentView(std::move(document)), shared_(shared) {}
    Interaction& interaction() override { return shared_; }

   private:
    ScriptedInteraction& shared_;
  };

  ScriptedInteraction ui;
  FakeDocumentView* current = nullptr;  // the last view created
  std::string caption;
  bool captionModified = false;
  CommandStates shownStates;
  std::vector<bool> busyChanges;
  int fallbackMenus = 0;
};

// An editor over a fake main window in a private environment. Documents are made by New File
// without the prompt and then given their audio.
class ShellTest : public DocumentTest {
 protected:
  ShellTest();
  void TearDown() override;

  // A new document holding these interleaved samples.
  WaveDocument& openSamples(const std::vector<Sample>& samples, int channels = 1,
                            int32_t rate = kDefaultSampleRate);
  FakeDocumentView& view() { return *window.current; }
  WaveDocument& doc() { return editor->document(); }
  bool run(int id, int code = 0) { return editor->dispatchCommand(id, code); }
  std::vector<Sample> audio() { return readAll(doc().audio); }

  FakeMainWindow window;
  std::unique_ptr<Editor> editor;
};

}  // namespace quillon::testing
