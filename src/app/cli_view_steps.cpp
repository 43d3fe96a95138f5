#include "app/cli_view_steps.h"

#include <QGuiApplication>
#include <QImage>
#include <charconv>
#include <memory>
#include <ostream>

#include "document/wave_document.h"
#include "platform/job.h"
#include "platform/settings.h"
#include "view/offline_wave_view.h"
#include "view/ui/wave_image.h"

namespace quillon {
namespace {

using Words = std::map<std::string, std::string>;

// A whole number word within [low, high]; `fallback` when the word is absent. False (with the
// reason on err) when it is present but not such a number.
bool numberWord(const Words& words, const std::string& name, int low, int high, int fallback,
                int& value, std::ostream& err) {
  const auto it = words.find(name);
  if (it == words.end()) {
    value = fallback;
    if (fallback >= low) return true;
    err << "quillon-cli: " << name << "= is needed\n";
    return false;
  }
  const std::string& text = it->second;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < low || value > high) {
    err << "quillon-cli: " << name << "= must be a whole number from " << low << " to " << high
        << "\n";
    return false;
  }
  return true;
}

// The request common to both steps: the selection or everything, at the words' size and style.
bool requestOf(const WaveDocument& document, const Words& words, bool withHeight,
               view::OfflineWaveView::Request& request, std::ostream& err) {
  int mode = 0, zoom = 0, classic = 0;
  if (!numberWord(words, "width", 1, 65536, -1, request.width, err) ||
      (withHeight && !numberWord(words, "height", 1, 16384, -1, request.height, err)) ||
      !numberWord(words, "mode", 0, 2, settings::kWaveFormMode.read(), mode, err) ||
      !numberWord(words, "zoom", 0, 1, settings::kVerticalZoom.read(), zoom, err) ||
      !numberWord(words, "classic", 0, 1, settings::kUseClassic.read(), classic, err)) {
    return false;
  }
  request.mode = mode;
  request.verticalZoom = zoom != 0;
  request.classic = classic != 0;
  if (document.hasSelection()) {
    request.first = document.selectionStart;
    request.length = int64_t{document.selectionEnd} - document.selectionStart;
  } else {
    request.first = 0;
    request.length = 0;
  }
  return true;
}

void writeArray(std::ostream& out, const std::vector<uint8_t>& bytes) {
  out << '[';
  for (size_t i = 0; i < bytes.size(); ++i)
    out << (i ? "," : "") << int(bytes[i]);
  out << ']';
}

JobResult peaks(WaveDocument& document, const std::vector<std::string>&, const Words& words,
                std::ostream& out, std::ostream& err) {
  view::OfflineWaveView::Request request;
  if (!requestOf(document, words, false, request, err)) return JobResult::Failed;
  request.height = 200;
  view::OfflineWaveView view;
  if (!view.show(document.audio, request)) {
    err << "quillon-cli: the peaks were not ready in time\n";
    return JobResult::Failed;
  }
  const view::WaveViewModel& model = view.model();
  out << "{\"start\": " << model.firstVisibleFrame() << ", \"length\": " << model.visibleLength()
      << ", \"width\": " << request.width << ", \"framesPerColumn\": " << model.samplesPerPixel()
      << ", \"mode\": " << model.displayMode() << ", \"zoom\": " << (request.verticalZoom ? 1 : 0)
      << ", \"fromPeakFiles\": " << (model.usesPeakFiles() ? "true" : "false") << ", \"upper\": ";
  writeArray(out, view.peaks().upper);
  out << ", \"lower\": ";
  writeArray(out, view.peaks().lower);
  out << "}\n";
  return JobResult::Done;
}

JobResult render(WaveDocument& document, const std::vector<std::string>& arguments,
                 const Words& words, std::ostream&, std::ostream& err) {
  view::OfflineWaveView::Request request;
  if (!requestOf(document, words, true, request, err)) return JobResult::Failed;
  // A display only for this step: the offscreen platform, gone when the step ends.
  std::unique_ptr<QGuiApplication> application;
  if (!QGuiApplication::instance()) {
    static int argc = 3;
    static char name[] = "quillon-cli", option[] = "-platform", platform[] = "offscreen";
    static char* argv[] = {name, option, platform, nullptr};
    application = std::make_unique<QGuiApplication>(argc, argv);
  }
  const QImage image = view::ui::renderWaveImage(document.audio, request);
  if (image.isNull() || !image.save(QString::fromStdString(arguments[0]), "PNG")) {
    err << "quillon-cli: cannot write \"" << arguments[0] << "\"\n";
    return JobResult::Failed;
  }
  return JobResult::Done;
}

}  // namespace

CliStep peaksCliStep() {
  return {
      "peaks",
      0,
      false,
      {"width", "mode", "zoom"},
      "  peaks width=N [mode=0|1|2 zoom=0|1]   print the wave view's two peak arrays for the\n"
      "                                        selection (or everything) at N columns, as JSON\n",
      peaks};
}

CliStep renderCliStep() {
  return {
      "render",
      1,
      true,
      {"width", "height", "mode", "zoom", "classic"},
      "  render PATH width=W height=H [mode= zoom= classic=0|1]   write the wave view's\n"
      "                                        picture of the selection (or everything) as PNG\n",
      render};
}

void addViewCliSteps() {
  addCliStep(peaksCliStep());
  addCliStep(renderCliStep());
}

}  // namespace quillon
