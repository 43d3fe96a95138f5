#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "document/sample_stream.h"
#include "formats/sample_encoding.h"
#include "formats/wave_format_record.h"
#include "platform/file.h"
#include "platform/form.h"
#include "platform/interaction.h"
#include "platform/ref_counted.h"

namespace quillon {

// Opens a RIFF/WAVE file: PCM of 8, 16, 24 and 32 bits, 32-bit float, GSM 06.10 (tag 49), any
// format a codec driver decodes, and the extensible form of PCM and float. Never null: on
// failure a NullSource with status Corrupt, CannotOpen or MissingCodec.
// A file still being written (a negative data size) opens too; its length grows as it is read.
Ref<SampleSource> OpenWavSource(const std::string& path);

// The integer or float reader on a handle positioned at the first data byte (taken over).
// `dataBytes` of −1 means that the size is not known.
Ref<SampleSource> OpenWavSourceFromHandle(platform::File file, int32_t sampleRate, int channels,
                                          SampleEncoding encoding, int64_t dataBytes);

// Chooses the writer by the record: PCM by its bits, float for tag 3 and 32 bits, GSM 06.10 for
// tag 49, anything else through the codec manager. Status bit 0 when the file cannot be created
// or no codec takes the format.
Ref<SampleSink> CreateWavSink(const std::string& path, const WaveFormatRecord& format);
// Plain PCM of 1, 2, 3 or 4 bytes per sample.
Ref<SampleSink> CreatePcmWavSink(const std::string& path, int32_t sampleRate, int channels,
                                 int bytesPerSample);

// The display name of the file's format tag; "Microsoft Unknown Wave Format" when the file or
// its "fmt " chunk cannot be read or the tag is not registered.
std::string GetWavCodecName(const std::string& path);
// The name of a format tag in the table of registered tags.
std::string wavCodecNameForTag(uint16_t tag);
// The first 18 + cbSize bytes of the file's "fmt " chunk (the rest zero); a zero record (tag 0)
// when there is none.
WaveFormatRecord ReadWavFormat(const std::string& path);

// The default WAV save format, kept in "WavCodec.wff" in the program's configuration folder:
// written with 16-bit PCM of the document's format when missing, then read back.
WaveFormatRecord readDefaultWavFormat(int32_t sampleRate, int channels);
bool writeDefaultWavFormat(const WaveFormatRecord& format);
std::string defaultWavFormatPath();

// The WAV format picker ("LWaveEncodeDlg"): "codec" ("PCM Uncompressed", "GSM6.10 Native" and the
// names of the installed drivers' formats), "rate", "channels" ("Mono" 1, "Stereo" 2) and "bits";
// OK is refused when no such format exists, and rewrites "WavCodec.wff".
// The codec may also be named by a short name, in any case ("pcm", "float", "gsm", "ima-adpcm",
// "ms-adpcm", "alaw", "mulaw"), or by its full name in any case.
extern const Form kWavFormatForm;
// Every word the codec takes: the short names of the installed codecs, then the full names
// (quoted).
std::vector<std::string> wavCodecWords();
bool EditWavFormat(Interaction& owner, int32_t documentRate, int documentChannels);
// The WAV writer for the stored default format.
Ref<SampleSink> CreateWavSinkFromSettings(const std::string& path, int32_t documentRate,
                                          int documentChannels);
// A file's WAV format adapted to another rate and channel count: a codec keeps its tag but takes
// the format its driver offers for the new layout.
WaveFormatRecord adaptWavFormat(WaveFormatRecord record, int32_t rate, int channels);

}  // namespace quillon
