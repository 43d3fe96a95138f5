#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "document/sample_stream.h"
#include "platform/ref_counted.h"

namespace quillon::testing {

// True when a command-line peer (sox, toast…) is on the PATH.
bool haveTool(const std::string& name);
// Runs a shell command, quietly; answers its exit status.
int runCommand(const std::string& command);
// Quotes a path for the shell.
std::string quoted(const std::string& path);

std::vector<uint8_t> readBytes(const std::string& path);
void writeBytes(const std::string& path, const std::vector<uint8_t>& bytes);
// Headerless signed 32-bit little-endian samples, as `sox -t raw -e signed -b 32 -L` has them.
std::vector<int32_t> readRaw32(const std::string& path);
void writeRaw32(const std::string& path, const std::vector<int32_t>& samples);

// The speech band (300–3400 Hz) of a signal: fourth-order Butterworth high- and low-pass.
std::vector<double> speechBand(const std::vector<double>& signal, double sampleRate);
// The signal-to-noise ratio of `measured` against `reference` after the least-squares gain that
// best maps one onto the other, in dB.
double snrAfterGain(const std::vector<double>& reference, const std::vector<double>& measured);

// Pushes interleaved words into a sink and finishes it; answers whether it succeeded.
bool writeAll(const Ref<SampleSink>& sink, const std::vector<Sample>& words);
// Reads a source to its length.
std::vector<Sample> readSource(const Ref<SampleSource>& source);

}  // namespace quillon::testing
