// The crop of 24-bit images agrees with ImageMagick's -crop of the same file.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "crop/crop.h"
#include "tests/support/images.h"
#endif

namespace {

#ifdef _WIN32
TEST(CropAgainstImageMagick, RunsInTheNativeBuildOnly) {
  GTEST_SKIP() << "ImageMagick is a Linux program";
}
#else

constexpr char kConvert[] = "/usr/bin/convert-im6.q16";

// A fresh folder, removed with its contents when the test ends.
struct TempDir {
  TempDir() {
    char name[] = "/tmp/crop-test-XXXXXX";
    if (mkdtemp(name)) path = name;
  }
  ~TempDir() {
    std::error_code ec;
    if (!path.empty()) std::filesystem::remove_all(path, ec);
  }
  std::string File(const char* name) const { return (path / name).string(); }
  std::filesystem::path path;
};

uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

// A PackedDib as a BMP file: the 14-byte file header, then the block as it is.
void WriteBmp(const std::string& path, HostBlock dib) {
  const std::vector<uint8_t> block = testimg::Bytes(dib);
  const uint32_t size = static_cast<uint32_t>(14 + block.size()), offset = 14 + 40;
  uint8_t file[14] = {'B', 'M'};
  std::memcpy(file + 2, &size, 4);
  std::memcpy(file + 10, &offset, 4);
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(file), sizeof file);
  out.write(reinterpret_cast<const char*>(block.data()),
            static_cast<std::streamsize>(block.size()));
}

// The pixel bytes of a 24-bit uncompressed BMP file, one vector per row, bottom row first.
std::vector<std::vector<uint8_t> > ReadRows24(const std::string& path, uint32_t& width) {
  std::ifstream in(path, std::ios::binary);
  const std::vector<uint8_t> b{std::istreambuf_iterator<char>(in),
                               std::istreambuf_iterator<char>()};
  if (b.size() < 54 || b[28] != 24 || Le32(b, 30) != 0) return {};
  width = Le32(b, 18);
  const int32_t height = static_cast<int32_t>(Le32(b, 22));
  const uint32_t rows = static_cast<uint32_t>(height < 0 ? -height : height);
  const size_t stride = (width * 3 + 3) / 4 * 4;
  std::vector<std::vector<uint8_t> > out;
  for (uint32_t k = 0; k < rows; ++k) {
    const size_t at = Le32(b, 10) + stride * (height < 0 ? rows - 1 - k : k);
    if (at + width * 3 > b.size()) return {};
    out.emplace_back(b.begin() + static_cast<ptrdiff_t>(at),
                     b.begin() + static_cast<ptrdiff_t>(at + width * 3));
  }
  return out;
}

TEST(CropAgainstImageMagick, TrueColourCropsAgree) {
  if (!std::filesystem::exists(kConvert))
    GTEST_SKIP() << kConvert << " is not installed (scripts/setup.sh)";
  TempDir dir;
  ASSERT_FALSE(dir.path.empty());
  constexpr uint32_t W = 41, H = 29;
  OwnedBlock source(testimg::Make(24, W, H, 2024));
  WriteBmp(dir.File("in.bmp"), source.get());
  struct Rect {
    uint32_t x, y, w, h;
  } rects[] = {{0, 0, W, H},   {1, 0, 40, 29}, {5, 3, 17, 9},
               {40, 28, 1, 1}, {0, 28, 41, 1}, {13, 2, 3, 25}};
  for (const Rect& r : rects) {
    const std::string what = std::to_string(r.w) + "x" + std::to_string(r.h) + "+" +
                             std::to_string(r.x) + "+" + std::to_string(r.y);
    const std::string command = std::string(kConvert) + " " + dir.File("in.bmp") + " -crop " +
                                what + " +repage -type TrueColor BMP3:" + dir.File("im.bmp");
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    uint32_t width = 0;
    const auto theirs = ReadRows24(dir.File("im.bmp"), width);
    ASSERT_EQ(width, r.w) << what;
    ASSERT_EQ(theirs.size(), r.h) << what;

    OwnedBlock ours(CRP_CropDIB(source.get(), r.x, W - r.x - r.w, r.y, H - r.y - r.h));
    ASSERT_TRUE(ours) << what;
    testimg::View v(ours.get());
    for (uint32_t k = 0; k < r.h; ++k)
      EXPECT_EQ(std::vector<uint8_t>(v.v.Row(k), v.v.Row(k) + r.w * 3), theirs[k])
          << what << ", stored row " << k;
  }
}

#endif

}  // namespace
