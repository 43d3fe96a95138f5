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
#include <map>
#include <ostream>
#include <set>

#include "document/block_store.h"
#include "document/edit_commands.h"
#include "formats/open_pipeline.h"
#include "platform/file.h"
#include "platform/scripted_interaction.h"
#include "platform/xdg_dirs.h"
#include "shell/block_folder.h"
#include "shell/cli_sound.h"
#include "shell/command_table.h"
#include "shell/default_view.h"
#include "shell/editor.h"

namespace quillon {

const char kCliUsage[] =
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
    "  open PATH [rate=R channels=C codec=N]   open a file (the words answer the layout of\n"
    "                                          .raw, .snd and .vox files)\n"
    "  new RATE CHANNELS                       a new empty document\n"
    "  select A B                              select from A to B\n"
    "  cursor P                                put the cursor at P\n"
    "  info                                    print the document as JSON on stdout\n"
    "  play                                    play the selection, or from the cursor to the\n"
    "                                          end (QUILLON_AUDIO_OUT: null, file:PATH or a\n"
    "                                          device name); Ctrl-C stops\n"
    "  record [seconds=N autotrim=0|1 vor=0|1 threshold=DB autostart=0|1]\n"
    "                                          record from the input (QUILLON_AUDIO_IN) in\n"
    "                                          place of the selection, as \"Record\"; Ctrl-C\n"
    "                                          ends the recording and keeps it\n"
    "  Positions are frames (4410), seconds (1.5s) or milliseconds (250ms).\n"
    "\n"
    "Commands, as in the editor's menus:\n"
    "  delete cut copy paste trim trim-start trim-end auto-trim silence select-all\n"
    "  select-to-start select-to-end go-to-start go-to-end undo redo save close\n"
    "  insert-file-begin|cursor|end PATH      insert-silence-begin|cursor|end MS\n"
    "  save-as PATH [codec= rate= channels= bits=]   save-region PATH [same words]\n"
    "  amplify [gain=PERCENT]                 normalize [level=PERCENT]\n"
    "  agc   reverse   fade-in   fade-out   fade-out-trim\n"
    "  compressor [threshold=DB ratio=1:1|3:2|2:1|3:1|4:1|5:1|Limit|INDEX limit=DB]\n"
    "  high-pass [freq=HZ]                    echo [time=MS gain=PERCENT]\n"
    "  reverb [decay=MS predelay=MS diffusion=PERCENT wet=DB dry=DB]\n"
    "  Effects work on the selection, or on everything when nothing is selected. Words left\n"
    "  out keep the values used last, as pressing OK on an unchanged dialog does.\n"
    "\n"
    "Message boxes are printed on stderr with their caption. Exit status: 0 done, 1 cancelled\n"
    "(a question answered No, Ctrl-C), 2 failed (a refused value, an error, a command that is\n"
    "not available); the run stops at the first step that does not succeed.\n";

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

// One step of the command line: its name, its positional arguments and its name=value words.
struct Step {
  std::string name;
  std::vector<std::string> arguments;
  std::map<std::string, std::string> words;
};

struct StepForm {
  const char* name;
  int arguments;
  std::set<std::string> words;
  const char* dialog;  // the dialog the words answer, when fixed
};

const std::set<std::string> kSaveWords = {"codec", "rate", "channels", "bits"};

const std::vector<StepForm>& stepForms() {
  static const std::vector<StepForm> forms = {
      {"open", 1, {"rate", "channels", "codec"}, "LRAWDlg"},
      {"new", 2, {}, nullptr},
      {"select", 2, {}, nullptr},
      {"cursor", 1, {}, nullptr},
      {"info", 0, {}, nullptr},
      {"play", 0, {}, nullptr},
      {"record", 0, {"seconds", "autotrim", "vor", "threshold", "autostart"}, nullptr},
      {"save-as", 1, kSaveWords, nullptr},
      {"save-region", 1, kSaveWords, nullptr},
      {"insert-file-begin", 1, {}, nullptr},
      {"insert-file-cursor", 1, {}, nullptr},
      {"insert-file-end", 1, {}, nullptr},
      {"insert-silence-begin", 1, {}, nullptr},
      {"insert-silence-cursor", 1, {}, nullptr},
      {"insert-silence-end", 1, {}, nullptr},
      {"amplify", 0, {"gain"}, "LEfAmplifyDlg"},
      {"normalize", 0, {"level"}, "LEfNormalizeDlg"},
      {"compressor", 0, {"threshold", "ratio", "limit"}, "LEfCompressorDlg"},
      {"high-pass", 0, {"freq"}, "LEfHighPassFilterDlg"},
      {"echo", 0, {"time", "gain"}, "LEfEchoDlg"},
      {"reverb", 0, {"decay", "predelay", "diffusion", "wet", "dry"}, "LEfReverb2Dlg"},
  };
  return forms;
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

const StepForm* formOf(const std::string& name) {
  for (const StepForm& form : stepForms()) {
    if (name == form.name) return &form;
  }
  if (const CliStep* added = addedStep(name)) {
    static std::map<std::string, StepForm> forms;
    StepForm& form = forms[name];
    form = {added->name.c_str(), added->arguments, added->words, nullptr};
    return &form;
  }
  static const StepForm plain = {"", 0, {}, nullptr};
  return commandIdByName(name) ? &plain : nullptr;
}

// The format dialog that Save As shows for a target.
const char* saveDialogFor(const std::string& path) {
  const std::string extension = extensionOf(path);
  if (extension == ".wav") return "LWaveEncodeDlg";
  if (extension == ".au") return "LAuSettingsDlg";
  if (extension == ".aif" || extension == ".aiff") return "LAIFFEncodeDlg";
  if (extension == ".raw" || extension == ".vox") return "LRAWDlg";
  return nullptr;
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

  int run(const Step& step) {
    window_.ui.clearQueues();
    return perform(step);
  }

 private:
  // 0 done, 1 cancelled, 2 failed.
  int perform(const Step& step) {
    ScriptedInteraction& ui = window_.ui;
    const size_t boxes = ui.shown.size();
    // A command that did not do its work failed when it said so in a notice (an error or a
    // refused value), else it was cancelled.
    auto outcome = [&](bool done) {
      if (done) return 0;
      for (size_t i = boxes; i < ui.shown.size(); ++i) {
        if (ui.shown[i].buttons == MessageButtons::Ok) return 2;
      }
      return 1;
    };

    if (step.name == "open") {
      if (!step.words.empty()) ui.queueDialog("LRAWDlg", step.words);
      return outcome(editor_->openFile(step.arguments[0]));
    }
    if (step.name == "new") return newDocument(step);
    if (!editor_->hasDocument()) return fail("\"" + step.name + "\" needs an open document");
    WaveDocument& d = editor_->document();
    if (step.name == "info") {
      writeInfo(out_, d);
      return 0;
    }
    if (step.name == "play") return window_.sound.playStep(*editor_);
    if (step.name == "record") return window_.sound.recordStep(*editor_, step.words);
    if (step.name == "select") {
      int32_t a = 0, b = 0;
      if (!position(step.arguments[0], a) || !position(step.arguments[1], b)) return 2;
      setSelection(editor_->view(), a, b, std::min(a, b));
      return 0;
    }
    if (step.name == "cursor") {
      int32_t p = 0;
      if (!position(step.arguments[0], p)) return 2;
      placeCursor(editor_->view(), p);
      return 0;
    }
    if (const CliStep* added = addedStep(step.name)) {
      return added->run(d, step.arguments, step.words, out_, err_);
    }

    const StepForm* form = formOf(step.name);
    if (form->dialog && !step.words.empty()) ui.queueDialog(form->dialog, step.words);
    if (step.name == "save-as" || step.name == "save-region") {
      ui.queueFile(step.arguments[0]);
      const char* dialog = saveDialogFor(step.arguments[0]);
      if (dialog && !step.words.empty()) ui.queueDialog(dialog, step.words);
    } else if (step.name.rfind("insert-file-", 0) == 0) {
      ui.queueFile(step.arguments[0]);
    }
    if (step.name.rfind("insert-silence-", 0) == 0) {
      int32_t ms = 0;
      if (!parseMilliseconds(step.arguments[0], ms)) {
        return fail("\"" + step.arguments[0] + "\" is not a number of milliseconds");
      }
      ui.queueDialog("51", {{"time", std::to_string(ms)}});
    }
    const int id = commandIdByName(step.name);
    if (!editor_->dispatchCommand(id)) {
      return fail("\"" + step.name + "\" is not available now" +
                  (d.hasSelection() ? "" : " (it needs a selection)"));
    }
    return outcome(editor_->lastCommandDone());
  }

  int newDocument(const Step& step) {
    char* end = nullptr;
    const long rate = std::strtol(step.arguments[0].c_str(), &end, 10);
    if (*end || rate < 6000 || rate > 96000) {
      return fail("the rate must be between 6000 and 96000");
    }
    const long channels = std::strtol(step.arguments[1].c_str(), &end, 10);
    if (*end || channels < 1 || channels > 2) return fail("channels must be 1 or 2");
    window_.ui.queueDialog("New File",
                           {{"rate", step.arguments[0]}, {"channels", step.arguments[1]}});
    if (!editor_->newFile()) return 1;
    // Without the prompt the document takes the default format; it is empty, so set it.
    Clip& audio = editor_->document().audio;
    audio.sampleRate = int32_t(rate);
    audio.channels = int(channels);
    return 0;
  }

  bool parseMilliseconds(const std::string& text, int32_t& ms) {
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

  int fail(const std::string& text) {
    err_ << "quillon-cli: " << text << "\n";
    return 2;
  }

  std::ostream& out_;
  std::ostream& err_;
  HeadlessWindow window_;
  std::unique_ptr<Editor> editor_;
};

void usage(std::ostream& out) {
  out << kCliUsage;
  for (const CliStep& step : addedSteps())
    out << step.usage;
}

}  // namespace

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
      usage(out);
      return 0;
    }
    const StepForm* form = formOf(word);
    if (!form) {
      err << "quillon-cli: unknown step \"" << word << "\"\n";
      usage(err);
      return 2;
    }
    Step step{word, {}, {}};
    for (int n = 0; n < form->arguments; ++n) {
      if (++i >= arguments.size()) {
        err << "quillon-cli: \"" << word << "\" needs " << form->arguments << " argument(s)\n";
        return 2;
      }
      const CliStep* added = addedStep(word);
      const bool isPath = word == "open" || word == "save-as" || word == "save-region" ||
                          word.rfind("insert-file-", 0) == 0 ||
                          (added && added->pathArgument && n == 0);
      step.arguments.push_back(isPath ? absolutePath(arguments[i]) : arguments[i]);
    }
    while (i + 1 < arguments.size() && arguments[i + 1].find('=') != std::string::npos &&
           arguments[i + 1][0] != '-') {
      const std::string& pair = arguments[++i];
      const size_t eq = pair.find('=');
      const std::string name = pair.substr(0, eq);
      if (!form->words.count(name)) {
        err << "quillon-cli: \"" << word << "\" takes no value \"" << name << "\"\n";
        return 2;
      }
      step.words[name] = pair.substr(eq + 1);
    }
    steps.push_back(std::move(step));
  }
  if (steps.empty()) {
    usage(out);
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
  struct sigaction action = {}, previous = {};
  action.sa_handler = onInterrupt;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGINT, &action, &previous);
  int status = 0;
  {
    Session session(out, err, yes, quiet);
    for (const Step& step : steps) {
      const auto start = std::chrono::steady_clock::now();
      status = session.run(step);
      if (timings) {
        const std::chrono::duration<double, std::milli> took =
            std::chrono::steady_clock::now() - start;
        err << "time " << step.name << " " << took.count() << " ms\n";
      }
      if (status != 0) break;
    }
  }
  ::sigaction(SIGINT, &previous, nullptr);
  BlockStore::instance().purgeAll();
  folder.release();
  return status;
}

}  // namespace quillon
