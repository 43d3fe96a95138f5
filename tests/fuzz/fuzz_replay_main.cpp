// Replays a fuzz target's corpus without libFuzzer: every file of the given folders, then a few
// thousand cheap mutations of them (truncations, flipped and inserted bytes).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

void run(const std::string& bytes) {
  LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> seeds;
  for (int i = 1; i < argc; ++i) {
    std::error_code error;
    std::filesystem::recursive_directory_iterator files(argv[i], error);
    if (error) {
      std::fprintf(stderr, "cannot read the corpus %s: %s\n", argv[i], error.message().c_str());
      return 2;
    }
    for (const auto& entry : files) {
      if (!entry.is_regular_file()) continue;
      std::ifstream in(entry.path(), std::ios::binary);
      seeds.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
  }
  seeds.emplace_back();
  std::mt19937 random(1);
  for (const std::string& seed : seeds)
    run(seed);
  for (int round = 0; round < 5000; ++round) {
    std::string bytes = seeds[random() % seeds.size()];
    for (int edits = 1 + int(random() % 4); edits > 0; --edits) {
      const size_t at = bytes.empty() ? 0 : random() % bytes.size();
      switch (random() % 3) {
        case 0:
          bytes.resize(at);
          break;
        case 1:
          if (!bytes.empty()) bytes[at] = char(random());
          break;
        case 2:
          bytes.insert(bytes.begin() + long(at), char(random()));
          break;
      }
    }
    run(bytes);
  }
  return 0;
}
