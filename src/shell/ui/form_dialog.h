#pragma once

#include <QDialog>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/form.h"
#include "platform/form_previewer.h"

class QComboBox;
class QDialogButtonBox;
class QPushButton;
class QSlider;

namespace quillon::ui {

// The dialog of any declared form, built from its fields: a number field (with its range and
// up-down step; with the slider of 101 positions beside it for a value control, whose up-down
// speeds up tenfold after a second held and a hundredfold after five), a decibel field ("off"
// at −127), a choice list (fixed, or filled at run time), an editable list of numbers (sample
// rates), a check box or a text. Above them the preset list ("Select Preset" first) when the
// form has presets; below OK, Cancel, and Defaults, Preview and Help when the form has them.
// OK shows the form's refusal and stays open while it refuses.
class FormDialog : public QDialog {
  Q_OBJECT

 public:
  FormDialog(const Form& form, const DialogValues& values, QWidget* parent = nullptr);
  ~FormDialog() override;

  // The values as the controls hold them (numbers as typed, choices as their values, run-time
  // choices as their texts, check boxes 1 or 0).
  DialogValues values() const;
  const Form& form() const { return form_; }

  // How a refusal is shown (by default a message box over the dialog).
  void setRefusalHandler(std::function<void(const Refusal&)> handler) {
    refusal_ = std::move(handler);
  }
  // What Help does with the form's help page (by default nothing; the window opens the page).
  void setHelpHandler(std::function<void(const std::string& page)> handler) {
    help_ = std::move(handler);
  }
  // Shows the Preview button, for a form with a preview, over this previewer.
  void setPreviewer(std::unique_ptr<FormPreviewer> previewer);

  // Sets a field's control to a value (a choice: the entry with that value), as a preset does.
  void setFieldValue(const FormField& field, int32_t value);
  // Chooses the preset at `index` of the list (0 is "Select Preset", which changes nothing).
  void choosePreset(int index);

  // The parts, for tests and pictures.
  QWidget* control(const std::string& field) const;
  QSlider* slider(const std::string& field) const;
  QComboBox* presetList() const { return presets_; }
  QPushButton* okButton() const;
  QPushButton* cancelButton() const;
  QPushButton* defaultsButton() const { return defaults_; }
  QPushButton* previewButton() const { return preview_; }
  QPushButton* helpButton() const { return helpButton_; }

  void accept() override;
  void done(int result) override;

 private:
  struct FieldControls {
    const FormField* field = nullptr;
    QWidget* control = nullptr;
    QSlider* slider = nullptr;
  };

  void build();
  QWidget* makeControl(FieldControls& controls);
  void setControlText(const FieldControls& controls, const std::string& text);
  std::string controlText(const FieldControls& controls) const;
  void valueChanged();
  void togglePreview();
  void showPreviewState();

  const Form& form_;
  DialogValues initial_;
  std::vector<FieldControls> fields_;
  QComboBox* presets_ = nullptr;
  QDialogButtonBox* buttons_ = nullptr;
  QPushButton* defaults_ = nullptr;
  QPushButton* preview_ = nullptr;
  QPushButton* helpButton_ = nullptr;
  std::unique_ptr<FormPreviewer> previewer_;
  std::function<void(const Refusal&)> refusal_;
  std::function<void(const std::string&)> help_;
  bool settingControls_ = false;
};

}  // namespace quillon::ui
