// The crop of a 24-bit image agrees with ImageMagick's -crop of the same file.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "crop/crop.h"
#include "tests/support/images.h"

namespace {

constexpr char kConvert[] = "/usr/bin/convert-im6.q16";

TEST(CropAgainstImageMagick, TrueColourCropsAgree) {
  if (!std::filesystem::exists(kConvert)) GTEST_SKIP() << kConvert << " is not installed";
  char name[] = "/tmp/crop-test-XXXXXX";
  ASSERT_NE(mkdtemp(name), nullptr);
  struct Cleanup {
    std::filesystem::path path;
    ~Cleanup() { std::filesystem::remove_all(path); }
  } dir{name};
  const std::string in = (dir.path / "in.bmp").string(), out = (dir.path / "im.bmp").string();

  constexpr uint32_t W = 41, H = 29;
  OwnedBlock source(testimg::Make(24, W, H, 2024));
  {
    // The BMP file of a packed image: a 14-byte file header before the block's own bytes.
    const std::vector<uint8_t> block = testimg::Bytes(source.get());
    const uint32_t fileHeader[3] = {static_cast<uint32_t>(14 + block.size()), 0, 54};
    std::ofstream file(in, std::ios::binary);
    file.write("BM", 2).write(reinterpret_cast<const char*>(fileHeader), 12);
    file.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(block.size()));
  }
  const uint32_t rects[][4] = {{0, 0, W, H}, {1, 0, 40, 29}, {5, 3, 17, 9}, {40, 28, 1, 1}, {0, 28, 41, 1}, {13, 2, 3, 25}};
  for (const auto& [x, y, w, h] : rects) {
    const std::string what = std::to_string(w) + "x" + std::to_string(h) + "+" + std::to_string(x) + "+" + std::to_string(y);
    const std::string command = std::string(kConvert) + " " + in + " -crop " + what + " +repage -type TrueColor BMP3:" + out;
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    std::ifstream file(out, std::ios::binary);
    const std::vector<uint8_t> theirs{std::istreambuf_iterator<char>(file), {}};
    ASSERT_GE(theirs.size(), 54u) << what;
    auto le32 = [&](size_t at) {
      uint32_t v;
      std::memcpy(&v, &theirs[at], 4);
      return v;
    };
    ASSERT_EQ(le32(18), w) << what;
    ASSERT_EQ(le32(22), h) << what << " (bottom-up rows)";
    ASSERT_EQ(theirs[28], 24) << what;
    OwnedBlock ours(CRP_CropDIB(source.get(), x, W - x - w, y, H - y - h));
    ASSERT_TRUE(ours) << what;
    testimg::View v(ours.get());
    ASSERT_GE(theirs.size(), le32(10) + v.v.stride * h) << what;
    for (uint32_t k = 0; k < h; ++k)
      EXPECT_EQ(0, std::memcmp(v.v.Row(k), &theirs[le32(10) + v.v.stride * k], w * 3)) << what << ", stored row " << k;
  }
}

}  // namespace
#endif
