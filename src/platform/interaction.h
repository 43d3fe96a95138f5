#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quillon {

// The product title, the caption of most message boxes.
inline constexpr char kProductTitle[] = "Pocket Quillon";

enum class MessageIcon { None, Information, Exclamation, Question, Error };
// SaveDontSaveCancel answers Yes for "Save", No for "Don't Save" and Cancel; OverwriteCancel
// answers Ok for "Overwrite".
enum class MessageButtons { Ok, OkCancel, YesNo, YesNoCancel, SaveDontSaveCancel, OverwriteCancel };
enum class Answer { Ok, Cancel, Yes, No };
// The answer a box with `buttons` can give that is closest to the one wanted.
Answer fitAnswer(Answer wanted, MessageButtons buttons);

// The progress dialog of one running job, as the job sees it. Closing it (the user's Cancel)
// is noticed by the job at its next `pump`.
class ProgressDisplay {
 public:
  virtual ~ProgressDisplay() = default;
  virtual void setLine(int line, const std::string& text) = 0;  // line 0 headline, 1 detail
  virtual void setPercent(int percent) = 0;
  virtual void setMarquee(bool on) = 0;
  // Dispatches pending user-interface events; false once the dialog has been closed.
  virtual bool pump() = 0;
};

// The file chooser: open or save mode, with the file types it offers.
struct FileChooserRequest {
  enum class Mode { Open, Save } mode = Mode::Open;
  std::string title;
  std::string folder;
  std::string proposedName;  // save mode: the name shown at first
  struct FileType {
    std::string text;       // "Wave (*.wav)"
    std::string extension;  // ".wav"
  };
  std::vector<FileType> types;
  std::string preferredExtension;  // the type selected at first
};

// A dialog that edits named values (settings, layouts, effect parameters), identified by its
// resource name ("LRAWDlg", "LAuSettingsDlg"…). Values are text, numbers in decimal.
struct DialogValues {
  DialogValues() = default;
  explicit DialogValues(std::string name, std::map<std::string, std::string> preset = {})
      : dialog(std::move(name)), values(std::move(preset)) {}

  std::string dialog;
  std::map<std::string, std::string> values;

  std::string text(const std::string& name) const;
  int32_t number(const std::string& name, int32_t fallback = 0) const;
  void set(const std::string& name, const std::string& value) { values[name] = value; }
  void set(const std::string& name, int64_t value) { values[name] = std::to_string(value); }

  // The range that the dialog's control for a number offers; `bounded` reads a number kept
  // within it, as the control would keep it.
  struct Range {
    int32_t minimum;
    int32_t maximum;
  };
  std::map<std::string, Range> ranges;
  void setRange(const std::string& name, int32_t minimum, int32_t maximum) {
    ranges[name] = {minimum, maximum};
  }
  int32_t bounded(const std::string& name) const;
};

// What a dialog says when OK is pressed on values it cannot take: the dialog stays open.
struct Refusal {
  std::string caption;
  std::string text;
};
// Checks a dialog's values on OK: nothing to accept them, else the refusal to show.
using DialogCheck = std::function<std::optional<Refusal>(const DialogValues&)>;

// Everything that must ask or tell the user goes through this: the Qt windows implement it,
// and a scripted answerer stands in for tests and the command-line program.
class Interaction {
 public:
  virtual ~Interaction() = default;
  virtual Answer messageBox(const std::string& caption, const std::string& text, MessageIcon icon,
                            MessageButtons buttons) = 0;
  // Shows the progress dialog for a job titled `title`; nothing when it cannot be shown.
  virtual std::unique_ptr<ProgressDisplay> openProgress(const std::string& title) = 0;
  // The chosen path, or nothing when the user cancels.
  virtual std::optional<std::string> chooseFile(const FileChooserRequest& request) = 0;
  // Shows a dialog on `values`; true on OK with the values as the user left them (they passed
  // `check`), false on Cancel.
  virtual bool editDialog(DialogValues& values, const DialogCheck& check) = 0;
};

}  // namespace quillon
