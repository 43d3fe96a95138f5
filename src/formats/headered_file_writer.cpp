#include "formats/headered_file_writer.h"

#include <algorithm>
#include <cerrno>

#include "platform/form.h"

namespace quillon {
namespace {

constexpr int32_t kFramesPerStep = 8192;

}  // namespace

bool SampleDataEncoder::encode(const Sample* words, int32_t frames, std::vector<uint8_t>& out) {
  const size_t start = out.size();
  const size_t count = size_t(frames) * size_t(channels_);
  out.resize(start + count * size_t(bytesPerSample(encoding_)));
  encodeSamples(encoding_, words, count, out.data() + start);
  return true;
}

HeaderedFileWriter::HeaderedFileWriter(const std::string& path, int32_t sampleRate, int channels,
                                       std::unique_ptr<DataEncoder> encoder, HeaderBuilder header,
                                       int64_t maxDataBytes)
    : SampleSink(sampleRate, channels),
      encoder_(std::move(encoder)),
      header_(std::move(header)),
      maxDataBytes_(maxDataBytes) {
  if (header_ && (sampleRate < kLowestSampleRate || sampleRate > kHighestSampleRate)) {
    setStatusBits(kSinkNull);  // our readers would call such a file corrupt
    fail(EINVAL);
    return;
  }
  if (!file_.open(path, platform::File::Mode::Create, 0644)) {
    setStatusBits(kSinkNull);
    fail(file_.error());
    return;
  }
  writeHeader(false);
}

HeaderedFileWriter::~HeaderedFileWriter() {
  finish();
}

bool HeaderedFileWriter::writeHeader(bool final) {
  const std::vector<uint8_t> header =
      header_ ? header_(final, dataBytes_, framesWritten()) : std::vector<uint8_t>();
  if (!final) {
    headerSize_ = int64_t(header.size());
  } else if (int64_t(header.size()) != headerSize_) {
    fail(EINVAL);
    return false;
  }
  if (!header.empty() && !file_.writeAt(header.data(), header.size(), 0)) {
    fail(file_.error());
    return false;
  }
  return true;
}

bool HeaderedFileWriter::canHold(int64_t frames) const {
  return maxDataBytes_ < 0 || encoder_->bytesFor(frames) <= maxDataBytes_;
}

bool HeaderedFileWriter::append(const std::vector<uint8_t>& bytes) {
  if (bytes.empty()) return true;
  if (maxDataBytes_ >= 0 && dataBytes_ + int64_t(bytes.size()) > maxDataBytes_) {
    fail(EFBIG);
    return false;
  }
  if (!file_.writeAt(bytes.data(), bytes.size(), headerSize_ + dataBytes_)) {
    fail(file_.error());
    return false;
  }
  dataBytes_ += int64_t(bytes.size());
  return true;
}

bool HeaderedFileWriter::write(const Sample* buffer, int32_t frames) {
  if (frames <= 0) return !failed();
  addFramesWritten(frames);
  if (failed() || finished_) return false;
  for (int32_t done = 0; done < frames;) {
    const int32_t step = std::min(frames - done, kFramesPerStep);
    bytes_.clear();
    if (!encoder_->encode(buffer + size_t(done) * channels(), step, bytes_)) {
      fail(EIO);
      return false;
    }
    if (!append(bytes_)) return false;
    done += step;
  }
  return true;
}

void HeaderedFileWriter::seek(int32_t frame) {
  const int bytesPerFrame = encoder_->bytesPerFrame();
  if (finished_ || failed() || bytesPerFrame == 0) return;
  if (frame > framesWritten()) return;
  frame = std::max(frame, 0);
  setFramesWritten(frame);
  dataBytes_ = int64_t{frame} * bytesPerFrame;
  if (!file_.truncate(headerSize_ + dataBytes_)) fail(file_.error());
}

bool HeaderedFileWriter::finish() {
  if (finished_) return !failed();
  finished_ = true;
  if (!file_.isOpen()) return false;
  if (!failed()) {
    bytes_.clear();
    if (!encoder_->finish(bytes_)) fail(EIO);
    if (!failed() && append(bytes_)) writeHeader(true);
  }
  file_.close();
  return !failed();
}

}  // namespace quillon
