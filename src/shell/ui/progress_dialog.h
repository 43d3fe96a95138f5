#pragma once

#include <QDialog>
#include <QElapsedTimer>

#include "platform/interaction.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace quillon::ui {

// The progress dialog of a running job: the job's title as caption, the headline (semi-bold) and
// the detail line, the bar (0 … 100, or the endless marquee), the product line and Cancel. It is
// modal, so its owner takes no input while the job runs and still repaints; Cancel (or closing
// it) ends it, which the job notices at its next `pump`.
class ProgressDialog : public QDialog, public ProgressDisplay {
  Q_OBJECT

 public:
  explicit ProgressDialog(const QString& title, QWidget* owner = nullptr);
  ~ProgressDialog() override;

  // ProgressDisplay.
  void setLine(int line, const std::string& text) override;
  // The bar takes the newest value at most 20 times a second (at once when it has not taken one
  // for that long, else at the first pump that is due).
  void setPercent(int percent) override;
  void setMarquee(bool on) override;
  // Dispatches what is pending (at most every few milliseconds, so that a job reporting every
  // block does not spend its time in the event loop); false once the dialog has been closed.
  bool pump() override;

  bool closedByUser() const { return closed_; }
  QLabel* headline() const { return lines_[0]; }
  QLabel* detail() const { return lines_[1]; }
  QProgressBar* bar() const { return bar_; }
  QPushButton* cancelButton() const { return cancel_; }

  void reject() override;

 private:
  // Whether the bar may take a new value now; gives it the newest.
  bool barDue() const;
  void showPercent();

  QLabel* lines_[2];
  QProgressBar* bar_;
  QPushButton* cancel_;
  QElapsedTimer sincePump_;
  QElapsedTimer sinceBar_;    // since the bar last took a value
  int percent_ = 0;           // the newest value
  bool percentShown_ = true;  // whether the bar has it
  bool closed_ = false;
};

// The product line under the bar.
inline constexpr char kProgressProductLine[] = "Quillon audio editor";

}  // namespace quillon::ui
