// Exact turns against per-pixel references written in screen terms (y from the top), round trips,
// and agreement with ImageMagick's -rotate on 24-bit files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "rotate/rotate.h"
#include "tests/support/images.h"
#include "tests/support/recorder.h"

namespace {

using testimg::GetPixel;

// A test image whose two resolutions differ, so that swapping them would show.
HostBlock Make(unsigned bits, uint32_t width, uint32_t height, uint32_t seed) {
  HostBlock block = testimg::Make(bits, width, height, seed);
  testimg::View v(block);
  v.v.header->biXPelsPerMeter = 1000, v.v.header->biYPelsPerMeter = 3000;
  return block;
}

void ExpectTurned(HostBlock source, HostBlock result, int k) {
  testimg::View s(source), d(result);
  ASSERT_NE(d.v.header, nullptr) << "the result is a well-formed image";
  const uint32_t w = s.v.width, h = s.v.height;
  // Everything but the size fields is the source's, resolution unswapped, colour table included.
  BitmapInfoHeader expected = *s.v.header;
  expected.biWidth = static_cast<int32_t>(k == 2 ? w : h);
  expected.biHeight = static_cast<int32_t>(k == 2 ? h : w);
  expected.biSizeImage = static_cast<uint32_t>(RowStride(s.v.bits, d.v.width) * d.v.height);
  ASSERT_EQ(0, std::memcmp(&expected, d.v.header, sizeof expected));
  ASSERT_EQ(HP_Size(result), PackedDibSize(s.v.colorCount * 4, s.v.bits, d.v.width, d.v.height));
  if (s.v.colorCount) {
    ASSERT_EQ(0, std::memcmp(s.v.colors, d.v.colors, s.v.colorCount * 4));
  }
  for (uint32_t y = 0; y < h; ++y)
    for (uint32_t x = 0; x < w; ++x) {
      // Clockwise the left column becomes the top row; counter-clockwise the top row becomes
      // the left column.
      const uint32_t tx = k == 1 ? h - 1 - y : k == 2 ? w - 1 - x : y;
      const uint32_t ty = k == 1 ? x : k == 2 ? h - 1 - y : w - 1 - x;
      ASSERT_EQ(GetPixel(d.v, tx, ty), GetPixel(s.v, x, y))
          << "turn " << k << ", " << s.v.bits << " bits, " << w << " x " << h << ", source pixel (" << x << ", " << y << ")";
    }
  // Every bit after the last pixel of each row, padding bytes included, is 0.
  for (uint32_t row = 0; row < d.v.height; ++row)
    for (uint64_t bit = uint64_t{d.v.bits} * d.v.width; bit < d.v.stride * 8; ++bit)
      ASSERT_EQ((d.v.Row(row)[bit / 8] >> (7 - bit % 8)) & 1, 0) << "row " << row << " bit " << bit;
}

class RightAngle : public testing::TestWithParam<unsigned> {};

// Widths and heights around every byte, word and block boundary, and sizes beyond a tile (256
// rows, 512 at 24 bits) and a 1-bit block (128 columns) with ragged ends.
TEST_P(RightAngle, MovesEveryPixel) {
  std::vector<std::pair<uint32_t, uint32_t>> sizes = {{150, 300}, {201, 20}, {72, 9}, {21, 600}};
  for (uint32_t w = 1; w <= 33; ++w)
    for (uint32_t h : {1, 2, 3, 7, 8, 9, 16, 17}) sizes.emplace_back(w, h);
  for (const auto& [w, h] : sizes) {
    OwnedBlock source(Make(GetParam(), w, h, w * 100 + h));
    const auto before = testimg::Bytes(source.get());
    for (int k = 1; k <= 3; ++k) {
      OwnedBlock result(ROT_RightAngle(source.get(), k));
      ExpectTurned(source.get(), result.get(), k);
    }
    ASSERT_EQ(testimg::Bytes(source.get()), before) << "the source is never changed";
  }
}

TEST_P(RightAngle, RoundTripsGiveTheSourceBack) {
  OwnedBlock source(Make(GetParam(), 19, 11, 3));
  const auto original = testimg::Bytes(source.get());
  auto turns = [&](std::initializer_list<int> ks) {
    OwnedBlock image(ROT_RightAngle(source.get(), *ks.begin()));
    for (auto k = ks.begin() + 1; k != ks.end(); ++k) image = OwnedBlock(ROT_RightAngle(image.get(), *k));
    return testimg::Bytes(image.get());
  };
  EXPECT_EQ(turns({1, 1, 1, 1}), original);
  EXPECT_EQ(turns({3, 3, 3, 3}), original);
  EXPECT_EQ(turns({1, 3}), original);
  EXPECT_EQ(turns({2, 2}), original);
  EXPECT_EQ(turns({1, 1}), turns({2}));
}

TEST_P(RightAngle, FailsCleanlyWhenMemoryIsShort) {
  OwnedBlock source(Make(GetParam(), 9, 5, 2));
  const auto before = testimg::Bytes(source.get());
  const int live = recorder::LiveBlocks();
  OwnedBlock result;
  const int points = testimg::ForEachAllocationFailure(
      [&] { result = OwnedBlock(ROT_RightAngle(source.get(), 1)); },
      [&](int) {
        EXPECT_FALSE(result);
        EXPECT_EQ(recorder::ProgressAndMessages(), std::vector<std::string>{"message 2306"});
        EXPECT_EQ(recorder::LiveBlocks(), live);
        EXPECT_EQ(recorder::OpenLocks(), 0);
      });
  EXPECT_EQ(points, 1);
  EXPECT_EQ(testimg::Bytes(source.get()), before);
}

INSTANTIATE_TEST_SUITE_P(Depths, RightAngle, testing::ValuesIn(testimg::kDepths),
                         [](const auto& info) { return std::to_string(info.param) + "bit"; });

#ifndef _WIN32
// ImageMagick turns clockwise for positive angles, like the engine. Its files are compared pixel
// by pixel, so details of its BMP writer do not matter.
TEST(RightAngleImageMagick, AgreesWithRotateOn24BitFiles) {
  const char* convert = "/usr/bin/convert-im6.q16";
  if (!std::filesystem::exists(convert)) GTEST_SKIP() << convert << " not installed (scripts/setup.sh)";
  char name[] = "/tmp/rotate-test-XXXXXX";
  ASSERT_NE(mkdtemp(name), nullptr);
  const std::filesystem::path dir = name;
  struct Cleanup {
    std::filesystem::path dir;
    ~Cleanup() { std::filesystem::remove_all(dir); }
  } cleanup{dir};  // also when an assertion ends the test early
  OwnedBlock source(testimg::Make(24, 37, 22, 11));
  {
    const auto bytes = testimg::Bytes(source.get());
    const uint32_t fileSize = static_cast<uint32_t>(14 + bytes.size()), offset = 14 + 40;
    uint8_t head[14] = {'B', 'M'};
    std::memcpy(head + 2, &fileSize, 4);
    std::memcpy(head + 10, &offset, 4);
    std::ofstream out(dir / "in.bmp", std::ios::binary);
    out.write(reinterpret_cast<const char*>(head), 14);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  for (int k = 1; k <= 3; ++k) {
    const std::string out = (dir / ("out" + std::to_string(k) + ".bmp")).string();
    const std::string command = std::string(convert) + " " + (dir / "in.bmp").string() + " -rotate " +
                                std::to_string(90 * k) + " -type TrueColor BMP3:" + out;
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    std::ifstream in(out, std::ios::binary);
    const std::vector<uint8_t> f{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    ASSERT_GE(f.size(), 54u);
    uint32_t offset;
    int32_t width, height;
    std::memcpy(&offset, &f[10], 4);
    std::memcpy(&width, &f[18], 4);
    std::memcpy(&height, &f[22], 4);
    ASSERT_EQ(f[28], 24) << "ImageMagick wrote a 24-bit file";
    OwnedBlock ours(ROT_RightAngle(source.get(), k));
    testimg::View v(ours.get());
    ASSERT_EQ(width, static_cast<int32_t>(v.v.width));
    ASSERT_EQ(std::abs(height), static_cast<int32_t>(v.v.height));
    const size_t stride = RowStride(24, v.v.width);
    ASSERT_GE(f.size(), offset + stride * v.v.height);
    for (uint32_t y = 0; y < v.v.height; ++y) {
      const uint8_t* row = &f[offset + stride * (height > 0 ? v.v.height - 1 - y : y)];
      for (uint32_t x = 0; x < v.v.width; ++x)
        ASSERT_EQ(GetPixel(v.v, x, y), row[3 * x] | row[3 * x + 1] << 8 | row[3 * x + 2] << 16)
            << "-rotate " << 90 * k << " at " << x << ", " << y;
    }
  }
}
#endif

}  // namespace
