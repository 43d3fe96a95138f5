#include "shell/cli_session.h"

#include <signal.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <iterator>
#include <limits>
#include <map>
#include <optional>
#include <ostream>

#include "document/block_store.h"
#include "document/edit_commands.h"
#include "effects/effect_commands.h"
#include "formats/format_table.h"
#include "formats/open_pipeline.h"
#include "formats/raw_file.h"
#include "formats/wav.h"
#include "platform/file.h"
#include "platform/form.h"
#include "platform/paths.h"
#include "platform/scripted_interaction.h"
#include "platform/xdg_dirs.h"
#include "shell/block_folder.h"
#include "shell/cli_sound.h"
#include "shell/command_table.h"
#include "shell/default_view.h"
#include "shell/editor.h"

namespace quillon {

namespace {

volatile std::sig_atomic_t interrupted = 0;

void onInterrupt(int) {
  interrupted = 1;
}

// The document view of the command line: remembers saved files like the editor's.
class HeadlessView : public SoundingView {
 public:
  HeadlessView(Interaction& interaction, Ref<WaveDocument> document, RecentFiles& recent,
               CliSound& sound)
      : SoundingView(interaction, std::move(document), sound), recent_(recent) {}
  void documentSaved(WaveDocument& document) override { recent_.add(document.path); }
  void rememberFile(const std::string& path) override { recent_.add(path); }

 private:
  RecentFiles& recent_;
};

class HeadlessWindow : public MainWindow {
 public:
  explicit HeadlessWindow(std::ostream& err) : sound(err, interrupted) {}
  Interaction& interaction() override { return ui; }
  std::unique_ptr<DocumentView> createView(Ref<WaveDocument> document) override {
    return std::make_unique<HeadlessView>(ui, std::move(document), editor->recentFiles(), sound);
  }
  void setCaption(const std::string&, bool) override {}

  ScriptedInteraction ui;
  CliSound sound;
  Editor* editor = nullptr;
};

// One step of the command line: its name, its positional arguments, its name=value words and the
// form they answer.
struct Step {
  std::string name;
  std::vector<std::string> arguments;
  std::map<std::string, std::string> words;
  const Form* form = nullptr;
};

// What a step takes: its positional arguments and the dialog its name=value words answer (the
// words are the form's fields). Save steps take the words of their target's format settings.
struct StepForm {
  int arguments = 0;
  const Form* form = nullptr;
  bool formOfTarget = false;
};

bool isPathStep(const std::string& name) {
  return name == "open" || name == "save-as" || name == "save-region" ||
         name.rfind("insert-file-", 0) == 0;
}

std::vector<CliStep>& addedSteps() {
  static std::vector<CliStep> steps;
  return steps;
}

const CliStep* addedStep(const std::string& name) {
  for (const CliStep& step : addedSteps()) {
    if (step.name == name) return &step;
  }
  return nullptr;
}

// The form of a step, or nothing when there is no such step.
std::optional<StepForm> stepFormOf(const std::string& name) {
  if (name == "open") return StepForm{1, &kRawAudioLayoutForm};
  if (const CliStep* added = addedStep(name)) return StepForm{added->arguments};
  if (name == "new" || name == "select") return StepForm{2};
  if (name == "cursor") return StepForm{1};
  if (name == "info" || name == "play") return StepForm{0};
  if (name == "record") return StepForm{0, &kRecordStepForm};
  if (name == "save-as" || name == "save-region") return StepForm{1, nullptr, true};
  const int id = commandIdByName(name);
  if (!id) return std::nullopt;
  if (name.rfind("insert-file-", 0) == 0 || name.rfind("insert-silence-", 0) == 0) {
    return StepForm{1};
  }
  const EffectCommand* effect = findEffectCommand(id);
  return StepForm{0, effect ? effect->form : nullptr};
}

// The settings form that saving to `path` shows (null: none).
const Form* settingsFormFor(const std::string& path) {
  const FileFormat* format = formatOf(path);
  return format ? format->settings : nullptr;
}

// How a field's word is written in the help: its choices, or its range and unit.
std::string wordHelp(const FormField& field) {
  std::string text = std::string(field.name) + "=";
  if (field.choiceTexts) return text + "NAME";
  if (field.kind == FieldKind::Choice) {
    bool plain = field.choices.size() <= 8;
    for (const FormChoice& choice : field.choices)
      plain = plain && std::string(choice.text).find(' ') == std::string::npos;
    if (!plain) {
      return text + std::to_string(field.lowest()) + ".." + std::to_string(field.highest());
    }
    for (size_t i = 0; i < field.choices.size(); ++i)
      text.append(i ? "|" : "").append(field.choices[i].text);
    return text;
  }
  if (field.kind == FieldKind::Text) return text + "TEXT";
  if (field.kind == FieldKind::Check) return text + "0|1";
  if (field.minimum == std::numeric_limits<int32_t>::min()) {
    std::string unit = *field.unit ? field.unit : "n";
    for (char& c : unit)
      c = char(std::toupper(static_cast<unsigned char>(c)));
    return text + unit;
  }
  if (field.kind == FieldKind::Decibel && field.minimum == kDecibelOff) {
    return text + "off|" + std::to_string(kDecibelOff + 1) + ".." + std::to_string(field.maximum) +
           field.unit;
  }
  return text + std::to_string(field.minimum) + ".." + std::to_string(field.maximum) + field.unit;
}

std::string wordsHelp(const Form& form) {
  std::string text;
  for (const FormField& field : form.fields) {
    if (!text.empty()) text += ' ';
    text += wordHelp(field);
  }
  return text;
}

// Adds words as lines of at most 96 columns, indented by two.
void wrapWords(std::string& out, const std::vector<std::string>& words) {
  std::string line;
  for (const std::string& word : words) {
    if (!line.empty() && line.size() + 1 + word.size() > 94) {
      out.append("  ").append(line).append("\n");
      line.clear();
    }
    if (!line.empty()) line += ' ';
    line += word;
  }
  if (!line.empty()) out.append("  ").append(line).append("\n");
}

void writeJsonString(std::ostream& out, const std::string& text) {
  out << '"';
  for (unsigned char c : text) {
    switch (c) {
      case '"':
        out << "\\\"";
        break;
      case '\\':
        out << "\\\\";
        break;
      case '\n':
        out << "\\n";
        break;
      case '\r':
        out << "\\r";
        break;
      case '\t':
        out << "\\t";
        break;
      default:
        if (c < 0x20) {
          static const char kHex[] = "0123456789abcdef";
          out << "\\u00" << kHex[c >> 4] << kHex[c & 15];
        } else {
          out << char(c);
        }
    }
  }
  out << '"';
}

void writeInfo(std::ostream& out, WaveDocument& d) {
  out << "{\"path\": ";
  writeJsonString(out, d.path);
  out << ", \"rate\": " << d.audio.sampleRate << ", \"channels\": " << int(d.audio.channels)
      << ", \"length\": " << d.audio.length() << ", \"selection\": {\"start\": " << d.selectionStart
      << ", \"end\": " << d.selectionEnd
      << ", \"exists\": " << (d.hasSelection() ? "true" : "false") << "}, \"cursor\": " << d.cursor
      << ", \"modified\": " << (d.modified ? "true" : "false")
      << ", \"canUndo\": " << (d.canUndo() ? "true" : "false") << ", \"undo\": ";
  writeJsonString(out, d.undoRing.undoName());
  out << ", \"canRedo\": " << (d.canRedo() ? "true" : "false") << ", \"redo\": ";
  writeJsonString(out, d.undoRing.redoName());
  out << ", \"tags\": {";
  const char* separator = "";
  for (const TagList::Entry& tag : d.tags.entries()) {
    out << separator;
    writeJsonString(out, tag.key);
    out << ": ";
    writeJsonString(out, tag.value);
    separator = ", ";
  }
  out << "}, \"markers\": [";
  separator = "";
  for (const Bookmark& marker : d.markers) {
    out << separator << "{\"name\": ";
    writeJsonString(out, marker.name);
    out << ", \"position\": " << marker.position << "}";
    separator = ", ";
  }
  out << "]}\n";
}

// Paths on the command line are taken relative to the current folder; the editor keeps them
// absolute (a path without a folder is an unsaved document's name).
std::string absolutePath(const std::string& path) {
  if (path.empty() || path[0] == '/') return path;
  char buffer[PATH_MAX];
  if (!::getcwd(buffer, sizeof buffer)) return path;
  return platform::joinPath(buffer, path);
}

class Session {
 public:
  Session(std::ostream& out, std::ostream& err, bool yes, bool quiet)
      : out_(out), err_(err), window_(err) {
    window_.ui.echo = true;
    window_.ui.echoTo = &err;
    window_.ui.showProgress = !quiet;
    window_.ui.defaultAnswer = yes ? Answer::Yes : Answer::No;
    window_.ui.cancelFlag = &interrupted;
    editor_ = std::make_unique<Editor>(window_);
    window_.editor = editor_.get();
  }

  ~Session() {
    editor_.reset();
    clipboard().clear();
  }

  JobResult run(const Step& step) {
    window_.ui.clearQueues();
    return perform(step);
  }

 private:
  JobResult perform(const Step& step) {
    ScriptedInteraction& ui = window_.ui;
    const size_t boxes = ui.shown.size();
    // A command that did not do its work failed when it said so in a notice (an error or a
    // refused value), else it was cancelled.
    auto outcome = [&](bool done) {
      if (done) return JobResult::Done;
      for (size_t i = boxes; i < ui.shown.size(); ++i) {
        if (ui.shown[i].buttons == MessageButtons::Ok) return JobResult::Failed;
      }
      return JobResult::Cancelled;
    };

    if (step.name == "open") {
      if (!step.words.empty()) ui.queueDialog(step.form->dialog, step.words);
      return outcome(editor_->openFile(step.arguments[0]));
    }
    if (step.name == "new") return newDocument(step);
    if (!editor_->hasDocument()) return fail("\"" + step.name + "\" needs an open document");
    WaveDocument& d = editor_->document();
    if (step.name == "info") {
      writeInfo(out_, d);
      return JobResult::Done;
    }
    if (step.name == "play") return window_.sound.playStep(*editor_);
    if (step.name == "record") return window_.sound.recordStep(*editor_, step.words);
    if (step.name == "select") {
      int32_t a = 0, b = 0;
      if (!position(step.arguments[0], a) || !position(step.arguments[1], b))
        return JobResult::Failed;
      setSelection(editor_->view(), a, b, std::min(a, b));
      return JobResult::Done;
    }
    if (step.name == "cursor") {
      int32_t p = 0;
      if (!position(step.arguments[0], p)) return JobResult::Failed;
      placeCursor(editor_->view(), p);
      return JobResult::Done;
    }
    if (const CliStep* added = addedStep(step.name)) {
      return added->run(d, step.arguments, step.words, out_, err_);
    }

    std::map<std::string, std::string> words = step.words;
    if (step.name == "save-as" || step.name == "save-region") keepDocumentLayout(d, step, words);
    if (step.form && !words.empty()) ui.queueDialog(step.form->dialog, words);
    if (step.name == "save-as" || step.name == "save-region" ||
        step.name.rfind("insert-file-", 0) == 0) {
      ui.queueFile(step.arguments[0]);
    }
    if (step.name.rfind("insert-silence-", 0) == 0) {
      int32_t ms = 0;
      if (!parseInteger(step.arguments[0], ms)) {
        return fail("\"" + step.arguments[0] + "\" is not a number of milliseconds");
      }
      ui.queueDialog(kSilenceDurationForm.dialog, {{"time", std::to_string(ms)}});
    }
    const int id = commandIdByName(step.name);
    if (!editor_->dispatchCommand(id)) {
      return fail("\"" + step.name + "\" is not available now" +
                  (d.hasSelection() ? "" : " (it needs a selection)"));
    }
    return outcome(editor_->lastCommandDone());
  }

  // No dialog shows here for the user to see what it holds: a save's rate and channels left out
  // are the document's own, not those stored by an earlier run (the stored codec and bit depth
  // stay, where they can carry them).
  static void keepDocumentLayout(const WaveDocument& d, const Step& step,
                                 std::map<std::string, std::string>& words) {
    if (!step.form) return;
    if (step.form->field("rate") && !words.count("rate"))
      words["rate"] = std::to_string(d.audio.sampleRate);
    if (step.form->field("channels") && !words.count("channels"))
      words["channels"] = std::to_string(int(d.audio.channels));
  }

  // The rate and channels go through New File's checks even when the editor does not ask.
  JobResult newDocument(const Step& step) {
    DialogValues values(kNewFileForm.dialog,
                        {{"rate", step.arguments[0]}, {"channels", step.arguments[1]}});
    int32_t rate = 0, channels = 0;
    if (!parseInteger(step.arguments[0], rate)) return fail("the rate must be a whole number");
    if (std::optional<Refusal> refusal = refusalFor(kNewFileForm, values)) {
      return fail(refusal->text);
    }
    const FormField& channelField = *kNewFileForm.field("channels");
    channels = channelField.typedValue(step.arguments[1]);
    if (channels != channelField.controlValue(step.arguments[1])) {
      return fail("the channels must be " + wordHelp(channelField) + " (or a number " +
                  std::to_string(channelField.lowest()) + ".." +
                  std::to_string(channelField.highest()) + ")");
    }
    window_.ui.queueDialog(kNewFileForm.dialog, {{"rate", std::to_string(rate)},
                                                 {"channels", std::to_string(channels)}});
    if (!editor_->newFile()) return JobResult::Cancelled;
    // Without the prompt the document takes the default format; it is empty, so set it.
    Clip& audio = editor_->document().audio;
    audio.sampleRate = int32_t(rate);
    audio.channels = int(channels);
    return JobResult::Done;
  }

  bool parseInteger(const std::string& text, int32_t& ms) {
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end || errno || value < INT32_MIN || value > INT32_MAX) return false;
    ms = int32_t(value);
    return true;
  }

  bool position(const std::string& text, int32_t& frames) {
    if (parseCliPosition(text, editor_->document().audio.sampleRate, frames)) return true;
    fail("\"" + text + "\" is not a position (frames, or seconds with s, or ms)");
    return false;
  }

  JobResult fail(const std::string& text) {
    err_ << "quillon-cli: " << text << "\n";
    return JobResult::Failed;
  }

  std::ostream& out_;
  std::ostream& err_;
  HeadlessWindow window_;
  std::unique_ptr<Editor> editor_;
};

}  // namespace

std::string cliUsage() {
  std::string text =
      "Usage: quillon-cli [options] STEP...\n"
      "\n"
      "Runs the editor's commands without a window, in order, on one document.\n"
      "\n"
      "Options (anywhere on the line):\n"
      "  --yes, --no   answer every question (save changes, overwrite, unsupported format)\n"
      "                with Yes or No; the default is No\n"
      "  -q            no progress on stderr\n"
      "  --timings     print each step's wall time on stderr\n"
      "  --help        show this text\n"
      "  --version     print the version\n"
      "\n"
      "Steps:\n"
      "  open PATH [" +
      wordsHelp(kRawAudioLayoutForm) +
      "]\n"
      "      open a file (the words answer the layout of .raw, .snd and .vox files)\n"
      "  new RATE CHANNELS    a new empty document\n"
      "  select A B           select from A to B\n"
      "  cursor P             put the cursor at P\n"
      "  info                 print the document as JSON on stdout\n"
      "  play                 play the selection, or from the cursor to the end "
      "(QUILLON_AUDIO_OUT:\n"
      "                       null, file:PATH or a device name); Ctrl-C stops\n"
      "  record [" +
      wordsHelp(kRecordStepForm) +
      "]\n"
      "      record from the input (QUILLON_AUDIO_IN) in place of the selection, as \"Record\";\n"
      "      Ctrl-C ends the recording and keeps it\n"
      "  Positions are frames (4410), seconds (1.5s) or milliseconds (250ms).\n"
      "\n"
      "Commands, as in the editor's menus:\n";
  std::vector<std::string> plain;
  for (const CommandRow& row : commandTable()) {
    if (row.name && !findEffectCommand(row.first) && std::string(row.name) != "save-as" &&
        std::string(row.name) != "save-region") {
      plain.push_back(row.name);
    }
  }
  wrapWords(text, plain);
  text +=
      "  insert-file-begin|cursor|end PATH   insert-silence-begin|cursor|end MS\n"
      "  save-as PATH [WORDS]   save-region PATH [WORDS]\n"
      "      the words answer the format's settings:\n";
  for (const FileFormat& format : fileFormats()) {
    if (!format.saves || !format.settings) continue;
    std::string extensions;
    for (const FormatExtension& e : format.extensions) {
      if (e.saveText) extensions += std::string(extensions.empty() ? "" : " ") + e.extension;
    }
    text += "      " + extensions + ": " + wordsHelp(*format.settings) + "\n";
    if (format.settings == &kWavFormatForm) {
      std::vector<std::string> codecs = wavCodecWords();
      codecs.front() = "codec NAME, any case: " + codecs.front();
      for (size_t i = 0; i + 1 < codecs.size(); ++i)
        codecs[i] += ",";
      std::string lines;
      wrapWords(lines, codecs);
      for (size_t at = 0; at < lines.size(); at = lines.find('\n', at) + 1)
        text += "      " + lines.substr(at, lines.find('\n', at) + 1 - at);
    }
  }
  text += "      rate and channels left out are the document's own\n";
  text += "\nEffects, with the words of their dialogs:\n";
  std::vector<std::string> withoutDialog;
  for (const EffectCommand& effect : effectCommands()) {
    if (!effect.form) {
      withoutDialog.push_back(effect.name);
      continue;
    }
    text += "  " + std::string(effect.name) + " [" + wordsHelp(*effect.form) + "]\n";
  }
  wrapWords(text, withoutDialog);
  text +=
      "  Effects work on the selection, or on everything when nothing is selected. Words left\n"
      "  out keep the values used last, as pressing OK on an unchanged dialog does. A choice is\n"
      "  its name or its number.\n"
      "\n"
      "Message boxes are printed on stderr with their caption. Exit status: 0 done, 1 cancelled\n"
      "(a question answered No, Ctrl-C), 2 failed (a refused value, an error, a command that is\n"
      "not available); the run stops at the first step that does not succeed.\n";
  for (const CliStep& step : addedSteps())
    text += step.usage;
  return text;
}

void addCliStep(CliStep step) {
  std::erase_if(addedSteps(), [&](const CliStep& s) { return s.name == step.name; });
  addedSteps().push_back(std::move(step));
}

bool parseCliPosition(const std::string& text, int32_t sampleRate, int32_t& frames) {
  if (text.empty() || !(std::isdigit(static_cast<unsigned char>(text[0])) || text[0] == '.')) {
    return false;
  }
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  const std::string unit = end;
  double result = 0;
  if (unit.empty()) {
    if (text.find_first_not_of("0123456789") != std::string::npos) return false;
    result = value;
  } else if (unit == "s") {
    result = value * sampleRate;
  } else if (unit == "ms") {
    result = value * sampleRate / 1000.0;
  } else {
    return false;
  }
  if (!std::isfinite(result) || result > INT32_MAX) return false;
  frames = int32_t(std::llround(result));
  return true;
}

int runCli(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
  bool yes = false, quiet = false, timings = false;
  std::vector<Step> steps;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& word = arguments[i];
    if (word == "--yes" || word == "--no") {
      yes = word == "--yes";
      continue;
    }
    if (word == "-q") {
      quiet = true;
      continue;
    }
    if (word == "--timings") {
      timings = true;
      continue;
    }
    if (word == "--help") {
      out << cliUsage();
      return 0;
    }
    const std::optional<StepForm> form = stepFormOf(word);
    if (!form) {
      err << "quillon-cli: unknown step \"" << word << "\"\n" << cliUsage();
      return 2;
    }
    Step step{word, {}, {}, form->form};
    for (int n = 0; n < form->arguments; ++n) {
      if (++i >= arguments.size()) {
        err << "quillon-cli: \"" << word << "\" needs " << form->arguments << " argument(s)\n";
        return 2;
      }
      const CliStep* added = addedStep(word);
      const bool isPath = isPathStep(word) || (added && added->pathArgument && n == 0);
      step.arguments.push_back(isPath ? absolutePath(arguments[i]) : arguments[i]);
    }
    if (form->formOfTarget) step.form = settingsFormFor(step.arguments[0]);
    while (i + 1 < arguments.size() && arguments[i + 1].find('=') != std::string::npos &&
           arguments[i + 1][0] != '-') {
      const std::string& pair = arguments[++i];
      const size_t eq = pair.find('=');
      const std::string name = pair.substr(0, eq);
      const CliStep* added = addedStep(word);
      if (added ? !added->words.count(name) : !step.form || !step.form->field(name)) {
        err << "quillon-cli: \"" << word << "\" takes no value \"" << name << "\"\n";
        return 2;
      }
      step.words[name] = pair.substr(eq + 1);
    }
    steps.push_back(std::move(step));
  }
  if (steps.empty()) {
    out << cliUsage();
    return 0;
  }

  // Each run keeps its blocks in a folder of its own inside the editor's working folder,
  // "cli-<pid>", so that it never writes over the block files of an editor or of another run.
  const std::string base = platform::XdgDirs::cacheFolder();
  removeAbandonedBlockFolders(base);
  BlockFolderClaim folder;
  if (!folder.claimPrivate(base, "cli")) {
    err << "quillon-cli: cannot make a working folder in " << base << "\n";
    return 2;
  }
  BlockStore::instance().setFolder(folder.folder());
  interrupted = 0;
  // Ctrl+C, a kill and a closed terminal all cancel the running job, so that a save in progress
  // removes its temporary file and leaves the target as it was.
  constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};
  struct sigaction action = {}, previous[std::size(kStopSignals)] = {};
  action.sa_handler = onInterrupt;
  sigemptyset(&action.sa_mask);
  for (size_t i = 0; i < std::size(kStopSignals); ++i)
    ::sigaction(kStopSignals[i], &action, &previous[i]);
  JobResult result = JobResult::Done;
  {
    Session session(out, err, yes, quiet);
    for (const Step& step : steps) {
      const auto start = std::chrono::steady_clock::now();
      result = session.run(step);
      if (timings) {
        const std::chrono::duration<double, std::milli> took =
            std::chrono::steady_clock::now() - start;
        err << "time " << step.name << " " << took.count() << " ms\n";
      }
      if (result != JobResult::Done) break;
    }
  }
  for (size_t i = 0; i < std::size(kStopSignals); ++i)
    ::sigaction(kStopSignals[i], &previous[i], nullptr);
  BlockStore::instance().purgeAll();
  folder.release();
  return static_cast<int>(result);  // the exit status: 0 done, 1 cancelled, 2 failed
}

}  // namespace quillon
