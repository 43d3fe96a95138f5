#pragma once

#include <cstdint>
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

struct Form;

// The values of a form's dialog (settings, layouts, effect parameters) by field name, and the
// dialog's resource name ("LRAWDlg", "LAuSettingsDlg"…). Values are text, numbers in decimal.
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
};

// What a dialog says when OK is pressed on values it cannot take: the dialog stays open.
struct Refusal {
  std::string caption;
  std::string text;
  MessageIcon icon = MessageIcon::Exclamation;
};

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
  // Shows the form's dialog on `values`; true on OK with the values as the user left them (OK
  // first shows `refusalFor` the form and stays open while it refuses), false on Cancel.
  virtual bool editForm(const Form& form, DialogValues& values) = 0;
};

}  // namespace quillon
