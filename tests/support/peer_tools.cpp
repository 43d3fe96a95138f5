#include "support/peer_tools.h"

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <numbers>

namespace quillon::testing {

bool haveTool(const std::string& name) {
  return runCommand("command -v " + name) == 0;
}

int runCommand(const std::string& command) {
  const int status = std::system((command + " >/dev/null 2>&1").c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string quoted(const std::string& path) {
  return "'" + path + "'";
}

std::vector<uint8_t> readBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

std::vector<int32_t> readRaw32(const std::string& path) {
  const std::vector<uint8_t> bytes = readBytes(path);
  std::vector<int32_t> samples(bytes.size() / 4);
  for (size_t i = 0; i < samples.size(); ++i) {
    samples[i] = int32_t(uint32_t(bytes[4 * i]) | uint32_t(bytes[4 * i + 1]) << 8 |
                         uint32_t(bytes[4 * i + 2]) << 16 | uint32_t(bytes[4 * i + 3]) << 24);
  }
  return samples;
}

void writeRaw32(const std::string& path, const std::vector<int32_t>& samples) {
  std::vector<uint8_t> bytes;
  for (int32_t s : samples) {
    for (int shift = 0; shift < 32; shift += 8)
      bytes.push_back(uint8_t(uint32_t(s) >> shift));
  }
  writeBytes(path, bytes);
}

namespace {

// One second-order section of the audio-EQ cookbook (Q = 1/√2).
void biquad(std::vector<double>& x, double rate, double corner, bool highPass) {
  const double w = 2 * std::numbers::pi * corner / rate;
  const double alpha = std::sin(w) / std::sqrt(2.0);
  const double c = std::cos(w);
  const double b0 = highPass ? (1 + c) / 2 : (1 - c) / 2;
  const double b1 = highPass ? -(1 + c) : 1 - c;
  const double a0 = 1 + alpha, a1 = -2 * c, a2 = 1 - alpha;
  double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
  for (double& v : x) {
    const double y = (b0 * v + b1 * x1 + b0 * x2 - a1 * y1 - a2 * y2) / a0;
    x2 = x1, x1 = v, y2 = y1, y1 = y;
    v = y;
  }
}

}  // namespace

std::vector<double> speechBand(const std::vector<double>& signal, double sampleRate) {
  std::vector<double> out = signal;
  for (int i = 0; i < 2; ++i) {
    biquad(out, sampleRate, 300, true);
    biquad(out, sampleRate, 3400, false);
  }
  return out;
}

double snrAfterGain(const std::vector<double>& reference, const std::vector<double>& measured) {
  double xy = 0, yy = 0, xx = 0;
  for (size_t i = 0; i < reference.size(); ++i) {
    xy += reference[i] * measured[i];
    yy += measured[i] * measured[i];
    xx += reference[i] * reference[i];
  }
  const double gain = yy > 0 ? xy / yy : 0;
  double noise = 0;
  for (size_t i = 0; i < reference.size(); ++i)
    noise += std::pow(reference[i] - gain * measured[i], 2);
  return 10 * std::log10(xx / std::max(noise, 1e-30));
}

bool writeAll(const Ref<SampleSink>& sink, const std::vector<Sample>& words) {
  const int ch = sink->channels();
  for (size_t done = 0; done < words.size() / ch;) {
    const size_t n = std::min<size_t>(words.size() / ch - done, 5000);
    if (!sink->write(words.data() + done * ch, int32_t(n))) return false;
    done += n;
  }
  return sink->finish();
}

std::vector<Sample> readSource(const Ref<SampleSource>& source) {
  std::vector<Sample> words(size_t(source->length()) * source->channels());
  source->read(words.data(), source->length());
  return words;
}

}  // namespace quillon::testing
