#include "shell/ui/form_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>
#include <limits>

#include "shell/value_control.h"

namespace quillon::ui {
namespace {

constexpr int32_t kLowest = std::numeric_limits<int32_t>::min();
constexpr int32_t kHighest = std::numeric_limits<int32_t>::max();

bool unbounded(const FormField& field) {
  return field.minimum == kLowest && field.maximum == kHighest;
}

// The number field of a form: it takes any typed number that the form's checks may refuse, while
// its up-down stays within the field's range and, for a value control, speeds up while held.
class ValueSpinBox : public QSpinBox {
 public:
  ValueSpinBox(int32_t lowest, int32_t highest, int32_t step, bool accelerate, bool typeAnything,
               const QString& unit, const QString& special, QWidget* parent)
      : QSpinBox(parent), lowest_(lowest), highest_(highest), step_(step), accelerate_(accelerate) {
    setRange(lowest, highest);
    if (!unit.isEmpty()) setSuffix(" " + unit);
    if (!special.isEmpty()) setSpecialValueText(special);
    // Wide enough for the longest value of the range with its unit.
    hint_ = QSpinBox::sizeHint();
    if (typeAnything) setRange(kLowest, kHighest);
    setKeyboardTracking(true);
  }

  QSize sizeHint() const override { return hint_; }
  QSize minimumSizeHint() const override { return hint_; }

  void stepBy(int steps) override {
    const int64_t step =
        accelerate_ && held_.isValid() ? acceleratedStep(step_, held_.elapsed()) : int64_t{step_};
    const int64_t from = std::clamp<int64_t>(value(), lowest_, highest_);
    setValue(int(std::clamp<int64_t>(from + steps * step, lowest_, highest_)));
    selectAll();
  }

 protected:
  StepEnabled stepEnabled() const override {
    StepEnabled enabled = StepNone;
    if (value() < highest_) enabled |= StepUpEnabled;
    if (value() > lowest_) enabled |= StepDownEnabled;
    return enabled;
  }
  // Holding starts with a press of the up-down (mouse or key) and ends with its release.
  void mousePressEvent(QMouseEvent* event) override {
    held_.start();
    QSpinBox::mousePressEvent(event);
  }
  void mouseReleaseEvent(QMouseEvent* event) override {
    held_.invalidate();
    QSpinBox::mouseReleaseEvent(event);
  }
  void keyPressEvent(QKeyEvent* event) override {
    if (!event->isAutoRepeat()) held_.start();
    QSpinBox::keyPressEvent(event);
  }
  void keyReleaseEvent(QKeyEvent* event) override {
    if (!event->isAutoRepeat()) held_.invalidate();
    QSpinBox::keyReleaseEvent(event);
  }

 private:
  int32_t lowest_, highest_, step_;
  bool accelerate_;
  QElapsedTimer held_;
  QSize hint_;
};

QString text(const char* s) {
  return QString::fromUtf8(s);
}

}  // namespace

FormDialog::FormDialog(const Form& form, const DialogValues& values, QWidget* parent)
    : QDialog(parent), form_(form), initial_(values) {
  setWindowTitle(text(form.caption));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  setObjectName(text(form.dialog));
  refusal_ = [this](const Refusal& refusal) {
    QMessageBox box(refusal.icon == MessageIcon::Information ? QMessageBox::Information
                    : refusal.icon == MessageIcon::Error     ? QMessageBox::Critical
                                                             : QMessageBox::Warning,
                    QString::fromStdString(refusal.caption), QString::fromStdString(refusal.text),
                    QMessageBox::Ok, this);
    box.exec();
  };
  build();
  settingControls_ = true;
  for (const FieldControls& controls : fields_) {
    auto it = values.values.find(controls.field->name);
    if (it != values.values.end()) setControlText(controls, it->second);
  }
  settingControls_ = false;
}

FormDialog::~FormDialog() {
  if (previewer_) previewer_->stop();
}

void FormDialog::build() {
  auto* layout = new QVBoxLayout(this);
  auto* rows = new QFormLayout;
  rows->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
  rows->setLabelAlignment(Qt::AlignLeft | Qt::AlignVCenter);

  if (!form_.presets.empty()) {
    presets_ = new QComboBox(this);
    presets_->setObjectName("presets");
    presets_->addItem(text(kSelectPreset));
    for (const FormPreset& preset : form_.presets)
      presets_->addItem(text(preset.name));
    connect(presets_, &QComboBox::activated, this, &FormDialog::choosePreset);
    rows->addRow(tr("Preset:"), presets_);
  }

  fields_.resize(form_.fields.size());
  for (size_t i = 0; i < form_.fields.size(); ++i) {
    FieldControls& controls = fields_[i];
    controls.field = &form_.fields[i];
    QWidget* widget = makeControl(controls);
    if (controls.field->kind == FieldKind::Check) {
      rows->addRow(widget);
    } else {
      rows->addRow(text(controls.field->label) + ":", widget);
    }
  }
  // The number fields share one width, so that the sliders beside them line up.
  int numberWidth = 0;
  for (const FieldControls& controls : fields_) {
    if (auto* spin = qobject_cast<QSpinBox*>(controls.control))
      numberWidth = std::max(numberWidth, spin->sizeHint().width());
  }
  for (const FieldControls& controls : fields_) {
    if (auto* spin = qobject_cast<QSpinBox*>(controls.control)) spin->setFixedWidth(numberWidth);
  }
  layout->addLayout(rows);
  layout->addStretch(1);

  buttons_ = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons_, &QDialogButtonBox::accepted, this, &FormDialog::accept);
  connect(buttons_, &QDialogButtonBox::rejected, this, &FormDialog::reject);
  if (!form_.defaults.empty()) {
    defaults_ = buttons_->addButton(tr("Defaults"), QDialogButtonBox::ResetRole);
    connect(defaults_, &QPushButton::clicked, this, [this] {
      settingControls_ = true;
      for (const FormValue& value : form_.defaults) {
        if (const FormField* field = form_.field(value.field)) setFieldValue(*field, value.value);
      }
      settingControls_ = false;
      valueChanged();
    });
  }
  if (form_.preview) {
    preview_ = buttons_->addButton(tr("Preview"), QDialogButtonBox::ActionRole);
    preview_->hide();  // until a previewer is plugged in
    connect(preview_, &QPushButton::clicked, this, &FormDialog::togglePreview);
  }
  if (form_.helpPage) {
    helpButton_ = buttons_->addButton(QDialogButtonBox::Help);
    connect(helpButton_, &QPushButton::clicked, this, [this] {
      if (help_) help_(form_.helpPage);
    });
  }
  layout->addWidget(buttons_);
  setMinimumWidth(form_.presets.empty() ? 320 : 400);
}

QWidget* FormDialog::makeControl(FieldControls& controls) {
  const FormField& field = *controls.field;
  const QString unit = *field.unit ? text(field.unit) : QString();
  QWidget* widget = nullptr;
  switch (field.kind) {
    case FieldKind::Number: {
      if (!field.choices.empty()) {
        // An editable list of numbers (sample rates): any number may be typed.
        auto* box = new QComboBox(this);
        box->setEditable(true);
        box->setValidator(new QIntValidator(box));
        for (const FormChoice& choice : field.choices)
          box->addItem(text(choice.text));
        box->setInsertPolicy(QComboBox::NoInsert);
        connect(box, &QComboBox::currentTextChanged, this, &FormDialog::valueChanged);
        controls.control = box;
        break;
      }
      // Numbers whose checks refuse typed values take any number; the up-down keeps the range.
      bool checked = false;
      for (const FormCheck& check : form_.checks)
        checked = checked || std::string_view(check.field) == field.name;
      const int32_t step = field.step > 0 ? field.step : unbounded(field) ? 1 : field.upDownStep();
      auto* spin = new ValueSpinBox(field.minimum, field.maximum, step, field.slider, checked, unit,
                                    QString(), this);
      controls.control = spin;
      if (field.slider) {
        auto* slider = new QSlider(Qt::Horizontal, this);
        slider->setRange(0, kSliderLastPosition);
        slider->setMinimumWidth(180);
        controls.slider = slider;
        connect(slider, &QSlider::valueChanged, this, [this, spin, &field](int position) {
          if (settingControls_) return;
          settingControls_ = true;
          spin->setValue(valueAtSliderPosition(position, field.minimum, field.maximum));
          settingControls_ = false;
          valueChanged();
        });
      }
      connect(spin, &QSpinBox::valueChanged, this, [this, &controls](int value) {
        if (controls.slider && !settingControls_) {
          const QSignalBlocker quiet(controls.slider);
          controls.slider->setValue(
              sliderPositionOf(value, controls.field->minimum, controls.field->maximum));
        }
        if (!settingControls_) valueChanged();
      });
      break;
    }
    case FieldKind::Decibel: {
      auto* spin = new ValueSpinBox(field.minimum, field.maximum, 1, false, false, unit,
                                    field.minimum == kDecibelOff ? tr("off") : QString(), this);
      connect(spin, &QSpinBox::valueChanged, this, &FormDialog::valueChanged);
      controls.control = spin;
      break;
    }
    case FieldKind::Choice: {
      auto* box = new QComboBox(this);
      if (field.choiceTexts) {
        for (const std::string& entry : field.choiceTexts())
          box->addItem(QString::fromStdString(entry));
      } else {
        for (const FormChoice& choice : field.choices)
          box->addItem(text(choice.text), choice.value);
      }
      connect(box, &QComboBox::currentIndexChanged, this, &FormDialog::valueChanged);
      controls.control = box;
      break;
    }
    case FieldKind::Check: {
      auto* box = new QCheckBox(text(field.label), this);
      connect(box, &QCheckBox::toggled, this, &FormDialog::valueChanged);
      controls.control = box;
      break;
    }
    case FieldKind::Text: {
      auto* edit = new QLineEdit(this);
      connect(edit, &QLineEdit::textChanged, this, &FormDialog::valueChanged);
      controls.control = edit;
      break;
    }
  }
  controls.control->setObjectName(text(field.name));
  widget = controls.control;
  const bool unitBeside = field.kind == FieldKind::Number && !field.choices.empty() && *field.unit;
  if (controls.slider || unitBeside) {
    auto* row = new QWidget(this);
    auto* line = new QHBoxLayout(row);
    line->setContentsMargins(0, 0, 0, 0);
    line->addWidget(controls.control);
    if (unitBeside) line->addWidget(new QLabel(unit, row));
    if (controls.slider) line->addWidget(controls.slider, 1);
    if (!controls.slider) line->addStretch(1);
    widget = row;
  }
  return widget;
}

void FormDialog::setControlText(const FieldControls& controls, const std::string& value) {
  const FormField& field = *controls.field;
  if (auto* spin = qobject_cast<QSpinBox*>(controls.control)) {
    spin->setValue(field.kind == FieldKind::Decibel ? field.controlValue(value)
                                                    : field.typedValue(value));
    if (controls.slider) {
      controls.slider->setValue(sliderPositionOf(spin->value(), field.minimum, field.maximum));
    }
  } else if (auto* box = qobject_cast<QComboBox*>(controls.control)) {
    if (box->isEditable()) {
      box->setCurrentText(QString::number(field.typedValue(value)));
    } else if (field.choiceTexts) {
      box->setCurrentIndex(std::max(box->findText(QString::fromStdString(value)), 0));
    } else {
      box->setCurrentIndex(std::max(box->findData(field.controlValue(value)), 0));
    }
  } else if (auto* check = qobject_cast<QCheckBox*>(controls.control)) {
    check->setChecked(field.typedValue(value) != 0);
  } else if (auto* edit = qobject_cast<QLineEdit*>(controls.control)) {
    edit->setText(QString::fromStdString(value));
  }
}

std::string FormDialog::controlText(const FieldControls& controls) const {
  if (auto* spin = qobject_cast<QSpinBox*>(controls.control)) {
    return std::to_string(spin->value());
  }
  if (auto* box = qobject_cast<QComboBox*>(controls.control)) {
    if (box->isEditable() || controls.field->choiceTexts) return box->currentText().toStdString();
    return std::to_string(box->currentData().toInt());
  }
  if (auto* check = qobject_cast<QCheckBox*>(controls.control)) {
    return check->isChecked() ? "1" : "0";
  }
  if (auto* edit = qobject_cast<QLineEdit*>(controls.control)) return edit->text().toStdString();
  return {};
}

void FormDialog::setFieldValue(const FormField& field, int32_t value) {
  for (const FieldControls& controls : fields_) {
    if (controls.field == &field) setControlText(controls, std::to_string(value));
  }
}

DialogValues FormDialog::values() const {
  DialogValues values = initial_;
  values.dialog = form_.dialog;
  for (const FieldControls& controls : fields_)
    values.set(controls.field->name, controlText(controls));
  return values;
}

void FormDialog::choosePreset(int index) {
  if (index <= 0 || size_t(index) > form_.presets.size()) return;  // "Select Preset"
  if (presets_ && presets_->currentIndex() != index) presets_->setCurrentIndex(index);
  settingControls_ = true;
  for (const FormValue& value : form_.presets[size_t(index) - 1].values) {
    if (const FormField* field = form_.field(value.field)) setFieldValue(*field, value.value);
  }
  settingControls_ = false;
  valueChanged();
}

QWidget* FormDialog::control(const std::string& field) const {
  for (const FieldControls& controls : fields_) {
    if (field == controls.field->name) return controls.control;
  }
  return nullptr;
}

QSlider* FormDialog::slider(const std::string& field) const {
  for (const FieldControls& controls : fields_) {
    if (field == controls.field->name) return controls.slider;
  }
  return nullptr;
}

QPushButton* FormDialog::okButton() const {
  return buttons_->button(QDialogButtonBox::Ok);
}

QPushButton* FormDialog::cancelButton() const {
  return buttons_->button(QDialogButtonBox::Cancel);
}

void FormDialog::accept() {
  if (std::optional<Refusal> refusal = refusalFor(form_, values())) {
    if (refusal_) refusal_(*refusal);
    return;
  }
  QDialog::accept();
}

void FormDialog::done(int result) {
  if (previewer_) previewer_->stop();
  QDialog::done(result);
}

void FormDialog::setPreviewer(std::unique_ptr<FormPreviewer> previewer) {
  if (previewer_) previewer_->stop();
  previewer_ = std::move(previewer);
  if (!preview_) return;
  preview_->setVisible(bool(previewer_));
  if (previewer_) previewer_->stateChanged = [this] { showPreviewState(); };
  showPreviewState();
}

void FormDialog::valueChanged() {
  if (settingControls_) return;
  // A running preview starts again with the new values.
  if (previewer_ && previewer_->isPlaying()) {
    previewer_->stop();
    previewer_->start(values());
  }
}

void FormDialog::togglePreview() {
  if (!previewer_) return;
  if (previewer_->isPlaying()) {
    previewer_->stop();
  } else {
    previewer_->start(values());
  }
  showPreviewState();
}

void FormDialog::showPreviewState() {
  if (preview_ && previewer_)
    preview_->setText(previewer_->isPlaying() ? tr("Stop") : tr("Preview"));
}

}  // namespace quillon::ui
