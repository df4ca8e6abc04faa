// Runs a fuzz target without libFuzzer: every file of the given extension in the folders given,
// every prefix of each, and a fixed number of seeded random mutations of each. A regression test
// for compilers without libFuzzer; the sanitizers of the build catch what goes wrong.
//
// usage: <target>_replay [--mutations N] [--extension .EXT] FOLDER...   (default .wmf)
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

// Runs one input from a buffer of exactly its size, so that a read past the end is caught.
void Run(const std::vector<uint8_t>& input, size_t size) {
  std::vector<uint8_t> exact(input.begin(), input.begin() + static_cast<long>(size));
  LLVMFuzzerTestOneInput(size ? exact.data() : nullptr, size);
}

}  // namespace

int main(int argc, char** argv) {
  long mutations = 500;
  std::string extension = ".wmf";
  std::vector<std::filesystem::path> folders;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--mutations") == 0 && i + 1 < argc)
      mutations = std::atol(argv[++i]);
    else if (std::strcmp(argv[i], "--extension") == 0 && i + 1 < argc)
      extension = argv[++i];
    else
      folders.emplace_back(argv[i]);
  }
  std::mt19937 rng(20240607);
  size_t files = 0, runs = 0;
  for (const auto& folder : folders) {
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
      if (!entry.is_regular_file() || entry.path().extension() != extension) continue;
      std::ifstream in(entry.path(), std::ios::binary);
      const std::vector<uint8_t> seed((std::istreambuf_iterator<char>(in)),
                                      std::istreambuf_iterator<char>());
      ++files;
      for (size_t n = 0; n <= seed.size(); ++n, ++runs) Run(seed, n);
      for (long m = 0; m < mutations && !seed.empty(); ++m, ++runs) {
        std::vector<uint8_t> mutant = seed;
        const int changes = 1 + static_cast<int>(rng() % 8);
        for (int c = 0; c < changes; ++c) {
          const size_t at = rng() % mutant.size();
          switch (rng() % 4) {
            case 0:
              mutant[at] = static_cast<uint8_t>(rng());
              break;
            case 1:
              mutant[at] ^= static_cast<uint8_t>(1u << (rng() % 8));
              break;
            case 2:
              mutant[at] = rng() % 2 ? 0xFF : 0x00;
              break;
            default:
              mutant[at] = static_cast<uint8_t>(mutant[at] + 1);
              break;
          }
        }
        Run(mutant, rng() % 4 ? mutant.size() : rng() % (mutant.size() + 1));
      }
    }
    if (ec) {
      std::fprintf(stderr, "%s: %s: %s\n", argv[0], folder.string().c_str(), ec.message().c_str());
      return 1;
    }
  }
  if (files == 0) {
    std::fprintf(stderr, "%s: no input files\n", argv[0]);
    return 1;
  }
  std::printf("%s: %zu files, %zu runs, no fault\n", argv[0], files, runs);
  return 0;
}
