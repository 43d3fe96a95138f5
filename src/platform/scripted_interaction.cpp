#include "platform/scripted_interaction.h"

#include <ostream>

#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "platform/form.h"

namespace quillon {
namespace {

class ScriptedProgress : public ProgressDisplay {
 public:
  ScriptedProgress(ScriptedInteraction& owner, std::string title)
      : owner_(owner), title_(std::move(title)), drawBar_(owner.showProgress && isatty(2)) {
    ++owner_.openProgressDialogs;
  }

  ~ScriptedProgress() override {
    --owner_.openProgressDialogs;
    if (drawn_) std::fputc('\n', stderr);
  }

  void setLine(int line, const std::string& text) override {
    if (line == 0 || line == 1) owner_.lines[line] = text;
  }

  void setPercent(int percent) override {
    owner_.percents.push_back(percent);
    reportPending_ = true;
    if (drawBar_) draw(percent);
  }

  void setMarquee(bool) override {}

  bool pump() override {
    if (reportPending_) {
      reportPending_ = false;
      ++owner_.progressReports;
    }
    if (owner_.cancelAfterReports >= 0 && owner_.progressReports >= owner_.cancelAfterReports) {
      closed_ = true;
    }
    if (owner_.cancelFlag && *owner_.cancelFlag) closed_ = true;
    return !closed_;
  }

 private:
  void draw(int percent) {
    constexpr int kWidth = 30;
    int filled = std::min(std::max(percent, 0), 100) * kWidth / 100;
    std::fprintf(stderr, "\r%s [%.*s%*s] %3d%%", title_.c_str(), filled,
                 "##############################", kWidth - filled, "", std::min(percent, 100));
    std::fflush(stderr);
    drawn_ = true;
  }

  ScriptedInteraction& owner_;
  std::string title_;
  bool drawBar_;
  bool drawn_ = false;
  bool reportPending_ = false;
  bool closed_ = false;
};

}  // namespace

Answer ScriptedInteraction::messageBox(const std::string& caption, const std::string& text,
                                       MessageIcon icon, MessageButtons buttons) {
  Answer wanted = defaultAnswer;
  if (!answers_.empty()) {
    wanted = answers_.front();
    answers_.pop_front();
  }
  Answer answer = fitAnswer(wanted, buttons);
  shown.push_back({caption, text, icon, buttons, answer});
  if (echo && echoTo) {
    *echoTo << caption << ": " << text << "\n";
  } else if (echo) {
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
  }
  return answer;
}

std::unique_ptr<ProgressDisplay> ScriptedInteraction::openProgress(const std::string& title) {
  if (progressUnavailable) return nullptr;
  jobTitles.push_back(title);
  return std::make_unique<ScriptedProgress>(*this, title);
}

std::optional<std::string> ScriptedInteraction::chooseFile(const FileChooserRequest& request) {
  fileRequests.push_back(request);
  if (files_.empty()) return std::nullopt;
  std::string path = std::move(files_.front());
  files_.pop_front();
  return path;
}

// A scripted answer cannot be corrected: a refusal is shown (as the dialog would show it) and
// the dialog counts as cancelled. No control keeps a scripted word to its field, so a word that
// is not a value its field takes is refused too.
bool ScriptedInteraction::editForm(const Form& form, DialogValues& values) {
  values.dialog = form.dialog;
  dialogsShown.push_back(values);
  auto it = std::find_if(dialogs_.begin(), dialogs_.end(),
                         [&](const DialogValues& d) { return d.dialog == values.dialog; });
  std::vector<std::string> typed;
  if (it == dialogs_.end()) {
    if (cancelDialogs) return false;
  } else {
    for (const auto& [name, value] : it->values) {
      values.values[name] = value;
      typed.push_back(name);
    }
    dialogs_.erase(it);
  }
  if (std::optional<Refusal> refusal = refusalForWords(form, values, typed)) {
    messageBox(refusal->caption, refusal->text, refusal->icon, MessageButtons::Ok);
    return false;
  }
  return true;
}

}  // namespace quillon
