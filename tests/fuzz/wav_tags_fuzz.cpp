// WAV files with any chunks: the INFO, DISP, bext and cart readers, and the in-place writers,
// after which the RIFF size must fit the file and the tags must read again.
#include "formats/broadcast_tags.h"
#include "formats/riff_info_tags.h"
#include "formats/riff_tag_chunks.h"
#include "fuzz_file.h"

using namespace quillon;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = fuzz::inputFile(data, size);
  TagList tags;
  readCartTags(tags, path);
  readBextTags(tags, path);
  readRiffInfoTags(tags, path);
  tags.set("TITLE", "Fuzz title");
  if (!writeRiffInfoTags(tags, path) || !writeBextTags(tags, path) || !writeCartTags(tags, path))
    return 0;

  platform::File file;
  RiffChunkList list;
  if (!file.open(path, platform::File::Mode::Read) || !listRiffChunks(file, list) ||
      list.truncated) {
    __builtin_trap();
  }
  uint8_t riffSize[4];
  file.readAt(riffSize, 4, list.riffOffset + 4);
  const int64_t declared =
      riffSize[0] | riffSize[1] << 8 | riffSize[2] << 16 | int64_t(riffSize[3]) << 24;
  if (declared != list.fileSize - list.riffOffset - 8) __builtin_trap();
  for (auto read : {readCartTags, readBextTags, readRiffInfoTags}) {
    TagList again;
    if (!read(again, path)) __builtin_trap();
    if (read != readBextTags && again.get("TITLE") != "Fuzz title") __builtin_trap();
  }
  return 0;
}
