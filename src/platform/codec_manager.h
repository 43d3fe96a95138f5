#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace quillon::platform {

// A wave format as a RIFF "fmt " chunk holds it: the 18 bytes of a WAVEFORMATEX and its extra
// bytes (cbSize = extra.size()).
struct WaveFormat {
  uint16_t tag = 1;  // 1 PCM, 2 MS ADPCM, 3 float, 6 A-law, 7 µ-law, 0x11 IMA ADPCM, 49 GSM …
  uint16_t channels = 1;
  uint32_t sampleRate = 44100;
  uint32_t averageBytesPerSecond = 0;
  uint16_t blockAlign = 0;
  uint16_t bitsPerSample = 0;
  std::vector<uint8_t> extra;

  // 16-bit PCM: block align channels × 2, average bytes rate × block align, no extra bytes.
  static WaveFormat pcm16(uint32_t sampleRate, uint16_t channels);
  bool operator==(const WaveFormat&) const = default;
};

// Flags of CodecManager::open, as the compression manager has them.
enum CodecOpenFlags : unsigned {
  kCodecOpenNonRealtime = 0x4,  // the caller does not need real-time conversion
};

// Flags of CodecStream::convert.
enum CodecConvertFlags : unsigned {
  kCodecConvertBlockAlign = 0x4,  // convert whole source blocks only; leave the rest unused
  kCodecConvertStart = 0x10,      // the first conversion of a stream
  kCodecConvertEnd = 0x20,        // the last one: a final partial block is padded and converted
};

struct CodecConversion {
  bool ok = false;
  size_t sourceUsed = 0;       // bytes of the source consumed
  size_t destinationUsed = 0;  // bytes written to the destination
};

// One open conversion between two formats (one side is always 16-bit PCM).
class CodecStream {
 public:
  virtual ~CodecStream() = default;
  // The destination bytes that `sourceBytes` of source can produce at most (0: cannot convert).
  virtual size_t destinationSizeFor(size_t sourceBytes) const = 0;
  // Converts what it can. Without kCodecConvertEnd only whole blocks of the compressed side are
  // handled; the unused source bytes must be offered again with the next call.
  virtual CodecConversion convert(const uint8_t* source, size_t sourceBytes, uint8_t* destination,
                                  size_t destinationBytes, unsigned flags) = 0;
};

// A codec driver: one family of compressed formats, both directions.
class CodecDriver {
 public:
  virtual ~CodecDriver() = default;
  virtual uint16_t manufacturerId() const = 0;
  virtual uint16_t productId() const = 0;
  virtual std::string name() const = 0;
  // The format tags it handles.
  virtual std::vector<uint16_t> formatTags() const = 0;
  // The formats it offers for a tag, for a format picker (complete records, extra bytes too).
  virtual std::vector<WaveFormat> standardFormats(uint16_t tag) const = 0;
  // A stream from 16-bit PCM to one of its formats or back; null when it cannot convert between
  // the two (different rates or channel counts, an unsupported layout, a malformed record).
  virtual std::unique_ptr<CodecStream> open(const WaveFormat& source, const WaveFormat& destination,
                                            unsigned flags) const = 0;
};

// The registry of codec drivers, standing in for the system's compression manager. Our own
// drivers (IMA ADPCM, Microsoft ADPCM, A-law, µ-law) are registered when it is first used.
class CodecManager {
 public:
  static CodecManager& instance();

  const std::vector<std::unique_ptr<CodecDriver>>& drivers() const { return drivers_; }
  const CodecDriver* findDriver(uint16_t manufacturerId, uint16_t productId) const;
  // The first driver that converts between the two formats; null when none does.
  std::unique_ptr<CodecStream> open(const WaveFormat& source, const WaveFormat& destination,
                                    unsigned flags = 0) const;

  void addDriver(std::unique_ptr<CodecDriver> driver) { drivers_.push_back(std::move(driver)); }

 private:
  CodecManager();
  std::vector<std::unique_ptr<CodecDriver>> drivers_;
};

}  // namespace quillon::platform
