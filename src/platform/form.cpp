#include "platform/form.h"

#include <strings.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

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

namespace {

constexpr char kInvalidValueCaption[] = "Invalid value";

// A whole decimal number with an optional sign that fits 32 bits, or nothing.
std::optional<int32_t> wholeNumber(const std::string& text) {
  if (text.empty() || text.find_first_not_of("+-0123456789") != std::string::npos) {
    return std::nullopt;
  }
  char* end = nullptr;
  errno = 0;
  const long long value = std::strtoll(text.c_str(), &end, 10);
  if (*end || errno || value < std::numeric_limits<int32_t>::min() ||
      value > std::numeric_limits<int32_t>::max()) {
    return std::nullopt;
  }
  return int32_t(value);
}

// The number a typed word stands for, when it is a value the field takes at all (its range
// aside): a choice's text or value, a decibel field's "off", a whole number (0 standing for
// `zeroAs`).
std::optional<int32_t> wordValue(const FormField& field, const std::string& text) {
  if (field.kind == FieldKind::Choice) {
    for (const FormChoice& choice : field.choices) {
      if (::strcasecmp(text.c_str(), choice.text) == 0) return choice.value;
    }
    const std::optional<int32_t> number = wholeNumber(text);
    for (const FormChoice& choice : field.choices) {
      if (number && *number == choice.value) return number;
    }
    return std::nullopt;
  }
  if (field.kind == FieldKind::Decibel && field.minimum == kDecibelOff &&
      ::strcasecmp(text.c_str(), "off") == 0) {
    return kDecibelOff;
  }
  const std::optional<int32_t> number = wholeNumber(text);
  if (number && *number == 0 && field.zeroAs != 0) return field.zeroAs;
  return number;
}

std::string quotedIfSpaced(const char* text) {
  const std::string t = text;
  return t.find(' ') == std::string::npos ? t : "\"" + t + "\"";
}

Refusal wordRefused(const FormField& field, const std::string& text) {
  return {kInvalidValueCaption, "\"" + text + "\" is not a value for " + field.name +
                                    ": it takes " + fieldTakes(field) + "."};
}

}  // namespace

std::string fieldTakes(const FormField& field) {
  if (field.kind == FieldKind::Check) return "0 or 1";
  if (field.kind == FieldKind::Choice) {
    std::string names, numbers;
    for (size_t i = 0; i < field.choices.size(); ++i) {
      const char* separator = i == 0 ? "" : i + 1 == field.choices.size() ? " or " : ", ";
      names.append(separator).append(quotedIfSpaced(field.choices[i].text));
      numbers.append(separator).append(std::to_string(field.choices[i].value));
    }
    return names + " (or " + numbers + ")";
  }
  std::string text = "a whole number";
  if (field.kind == FieldKind::Decibel && field.minimum == kDecibelOff) {
    text = "off or " + text + " from " + std::to_string(kDecibelOff + 1);
  } else if (field.minimum != std::numeric_limits<int32_t>::min()) {
    text += " from " + std::to_string(field.minimum);
  }
  if (field.maximum != std::numeric_limits<int32_t>::max()) {
    text += " to " + std::to_string(field.maximum);
  }
  if (*field.unit) text += std::string(" ") + field.unit;
  return text;
}

std::optional<Refusal> refusalForWords(const Form& form, const DialogValues& values,
                                       const std::vector<std::string>& typed) {
  for (const std::string& name : typed) {
    const FormField* field = form.field(name);
    if (field && field->isNumber() && !wordValue(*field, values.text(name))) {
      return wordRefused(*field, values.text(name));
    }
  }
  if (std::optional<Refusal> refusal = refusalFor(form, values)) return refusal;
  for (const std::string& name : typed) {
    const FormField* field = form.field(name);
    if (!field || !field->isNumber()) continue;
    const int32_t value = *wordValue(*field, values.text(name));
    const auto [low, high] = field->range();
    if (value < low || value > high) return wordRefused(*field, values.text(name));
  }
  return std::nullopt;
}

void presetFromSettings(const Form& form, DialogValues& values) {
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
}

bool askForm(Interaction& owner, const Form& form, DialogValues& values) {
  presetFromSettings(form, values);
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
