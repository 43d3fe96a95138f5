#pragma once

#include <memory>
#include <string>

namespace quillon {

// The product title, the caption of most message boxes.
inline constexpr char kProductTitle[] = "Pocket Quillon";

enum class MessageIcon { None, Information, Exclamation, Question, Error };
enum class MessageButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class Answer { Ok, Cancel, Yes, No };

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

// Everything that must ask or tell the user goes through this: the Qt windows implement it,
// and a scripted answerer stands in for tests and the command-line program.
class Interaction {
 public:
  virtual ~Interaction() = default;
  virtual Answer messageBox(const std::string& caption, const std::string& text, MessageIcon icon,
                            MessageButtons buttons) = 0;
  // Shows the progress dialog for a job titled `title`; nothing when it cannot be shown.
  virtual std::unique_ptr<ProgressDisplay> openProgress(const std::string& title) = 0;
};

}  // namespace quillon
