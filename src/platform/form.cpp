#include "platform/form.h"

#include <strings.h>
#include <algorithm>

namespace quillon {

int32_t FormField::upDownStep() const {
  if (step > 0) return step;
  return int32_t(std::max<int64_t>((int64_t{maximum} - minimum) / 32, 1));
}

std::pair<int32_t, int32_t> FormField::range() const {
  if (kind == FieldKind::Check) return {0, 1};
  if (kind != FieldKind::Choice || choices.empty()) return {minimum, maximum};
  const auto [low, high] =
      std::minmax_element(choices.begin(), choices.end(),
                          [](const auto& a, const auto& b) { return a.value < b.value; });
  return {low->value, high->value};
}

int32_t FormField::typedValue(const std::string& text) const {
  if (kind == FieldKind::Choice) {
    for (const FormChoice& choice : choices) {
      if (::strcasecmp(text.c_str(), choice.text) == 0) return choice.value;
    }
  }
  if (kind == FieldKind::Decibel && ::strcasecmp(text.c_str(), "off") == 0) return kDecibelOff;
  const int32_t value = settings::parseLeadingNumber(text);
  return value == 0 && zeroAs != 0 ? zeroAs : value;
}

int32_t FormField::controlValue(const std::string& text) const {
  const auto [low, high] = range();
  return std::clamp(typedValue(text), low, high);
}

const FormField* Form::field(std::string_view name) const {
  for (const FormField& f : fields) {
    if (name == f.name) return &f;
  }
  return nullptr;
}

std::optional<Refusal> refusalFor(const Form& form, const DialogValues& values) {
  for (const FormCheck& check : form.checks) {
    const FormField* field = form.field(check.field);
    const std::string text = values.text(check.field);
    const int32_t value = field ? field->typedValue(text) : settings::parseLeadingNumber(text);
    if (value < check.minimum || value > check.maximum) {
      return Refusal{check.caption, check.text, check.icon};
    }
  }
  return form.check ? form.check(values) : std::nullopt;
}

bool askForm(Interaction& owner, const Form& form, DialogValues& values) {
  values.dialog = form.dialog;
  for (const FormField& field : form.fields) {
    if (values.values.count(field.name)) continue;
    if (field.flag) {
      values.set(field.name, field.flag->read() ? 1 : 0);
    } else if (field.setting) {
      values.set(field.name, field.isNumber()
                                 ? field.controlValue(std::to_string(field.setting->read()))
                                 : field.setting->read());
    }
  }
  if (!owner.editForm(form, values)) return false;
  for (const FormField& field : form.fields) {
    if (!values.values.count(field.name) || !field.isNumber()) continue;
    const int32_t value = field.controlValue(values.text(field.name));
    values.set(field.name, value);
    if (field.setting) field.setting->write(value);
    if (field.flag) field.flag->write(value != 0);
  }
  return true;
}

}  // namespace quillon
