// The PNG reader's own rows for plain pictures against libpng's, and the vector row kernels
// against the portable ones.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "cli/formats/png_filter.h"
#include "cli/formats/png_io.h"
#include "tests/cli/tool_run.h"

using namespace toolrun;

namespace {

// The picture read from `bytes`, or why not.
struct Read {
  std::vector<uint8_t> picture;
  std::string error;
  bool operator==(const Read&) const = default;
  friend void PrintTo(const Read& r, std::ostream* out) {
    *out << r.picture.size() << " bytes of picture" << (r.error.empty() ? "" : ", ") << r.error;
  }
};
Read ReadFrom(const std::vector<uint8_t>& bytes, bool keepAlpha, bool libpngRows) {
  PngNotes notes;
  Read read;
  OwnedBlock block(
      ReadPng(MemorySource(bytes.data(), bytes.size()), keepAlpha, notes, read.error, libpngRows));
  if (block) read.picture = testimg::Bytes(block.get());
  return read;
}

// Every PNG seed of the fuzz target (a picture of each kind and row filter, and files changed in
// each way that makes the reader leave a file to libpng) reads as libpng alone reads it.
TEST(PngRead, OwnRowsEqualLibpngs) {
  size_t seeds = 0;
  for (const auto& entry : std::filesystem::directory_iterator(PNG_SEEDS)) {
    const auto bytes = ReadAll(entry.path().string());
    for (bool keepAlpha : {true, false})
      EXPECT_EQ(ReadFrom(bytes, keepAlpha, false), ReadFrom(bytes, keepAlpha, true))
          << entry.path().filename() << (keepAlpha ? "" : " without alpha");
    ++seeds;
  }
  EXPECT_GE(seeds, 50u);
}

// The vector kernels byte for byte against the portable ones, on rows of every length up to a
// few registers: random ones, and ones whose filters tie (the first of equals must win).
TEST(PngRead, VectorKernelsMatchThePortableOnes) {
#if IMAGE_SSE2
  std::mt19937 random(5);
  for (unsigned bpp : {1u, 3u, 4u})
    for (size_t bytes = bpp; bytes <= 70 * bpp; bytes += bpp)
      for (int kind = 0; kind < 4; ++kind) {
        SCOPED_TRACE(testimg::Cat(bpp, " bytes a pixel, ", bytes, " bytes, kind ", kind));
        // Random bytes, small ones, the row above repeated, zeros.
        std::vector<uint8_t> raw(bytes), prior(bytes), scratch(4 * bytes);
        for (size_t i = 0; i < bytes; ++i) {
          prior[i] = uint8_t(kind == 3 ? 0 : kind == 1 ? random() % 3 : random());
          raw[i] = uint8_t(kind == 2   ? prior[i]
                           : kind == 3 ? 0
                           : kind == 1 ? random() % 3
                                       : random());
        }
        if (bpp > 1) {
          EXPECT_EQ(ChoosePngFilterSse2(raw.data(), prior.data(), bytes, bpp, scratch.data()),
                    ChoosePngFilterPortable(raw.data(), prior.data(), bytes, bpp, scratch.data()));
          std::vector<uint8_t> portable(bytes), vector(bytes);
          SwapRedBluePortable(raw.data(), bytes, bpp, portable.data());
          SwapRedBlueSse2(raw.data(), bytes, bpp, vector.data());
          EXPECT_EQ(vector, portable);
        }
        for (uint8_t type = 0; type <= 4; ++type) {
          std::vector<uint8_t> portable = raw, vector = raw;
          UnfilterPngRowPortable(type, portable.data(), prior.data(), bytes, bpp);
          UnfilterPngRowSse2(type, vector.data(), prior.data(), bytes, bpp);
          EXPECT_EQ(vector, portable) << "filter " << int(type);
        }
      }
#else
  GTEST_SKIP() << "this build has the portable kernels only";
#endif
}

}  // namespace
