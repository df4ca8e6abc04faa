// Exact turns against per-pixel references written in screen terms (y from the top), round trips,
// and agreement with ImageMagick's -rotate on 24-bit files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "resources/text_ids.h"
#include "rotate/rotate.h"
#include "tests/support/images.h"
#include "tests/support/recorder.h"

namespace {

using testimg::GetPixel;

// Where source pixel (x, y) of a w × h picture lands after turn k, on screen.
struct Point {
  uint32_t x, y;
};
Point Turned(int k, uint32_t x, uint32_t y, uint32_t w, uint32_t h) {
  switch (k) {
    case 1: return {h - 1 - y, x};          // clockwise: the left column becomes the top row
    case 2: return {w - 1 - x, h - 1 - y};  // half turn
    default: return {y, w - 1 - x};         // counter-clockwise: the top row becomes the left column
  }
}

// Every bit after the last pixel of each row, padding bytes included, is 0.
void ExpectCleanRowEnds(const DibView& v) {
  const uint64_t usedBits = uint64_t{v.bits} * v.width;
  for (uint32_t k = 0; k < v.height; ++k)
    for (uint64_t bit = usedBits; bit < v.stride * 8; ++bit)
      ASSERT_EQ((v.Row(k)[bit / 8] >> (7 - bit % 8)) & 1, 0) << "row " << k << " bit " << bit;
}

void ExpectTurned(HostBlock source, HostBlock result, int k) {
  testimg::View s(source), d(result);
  ASSERT_NE(d.v.header, nullptr) << "the result is a well-formed image";
  const bool quarter = k != 2;
  EXPECT_EQ(d.v.width, quarter ? s.v.height : s.v.width);
  EXPECT_EQ(d.v.height, quarter ? s.v.width : s.v.height);
  EXPECT_EQ(d.v.bits, s.v.bits);
  // Everything but the size fields is the source's, resolution unswapped.
  BitmapInfoHeader expected = *s.v.header;
  expected.biWidth = static_cast<int32_t>(d.v.width);
  expected.biHeight = static_cast<int32_t>(d.v.height);
  expected.biSizeImage = static_cast<uint32_t>(RowStride(s.v.bits, d.v.width) * d.v.height);
  EXPECT_EQ(0, std::memcmp(&expected, d.v.header, sizeof expected));
  ASSERT_EQ(HP_Size(result), PackedDibSize(s.v.colorCount * 4, s.v.bits, d.v.width, d.v.height));
  if (s.v.colorCount) {
    EXPECT_EQ(0, std::memcmp(s.v.colors, d.v.colors, s.v.colorCount * 4));
  }
  for (uint32_t y = 0; y < s.v.height; ++y)
    for (uint32_t x = 0; x < s.v.width; ++x) {
      const Point p = Turned(k, x, y, s.v.width, s.v.height);
      ASSERT_EQ(GetPixel(d.v, p.x, p.y), GetPixel(s.v, x, y))
          << "turn " << k << ", " << s.v.bits << " bits, " << s.v.width << " x " << s.v.height
          << ", source pixel (" << x << ", " << y << ")";
    }
  ExpectCleanRowEnds(d.v);
}

class RightAngle : public testing::TestWithParam<unsigned> {};

// Widths and heights around every byte, word and 8-pixel block boundary.
TEST_P(RightAngle, MovesEveryPixelAtManySizes) {
  const unsigned bits = GetParam();
  const uint32_t heights[] = {1, 2, 3, 7, 8, 9, 16, 17};
  for (uint32_t w = 1; w <= 33; ++w)
    for (uint32_t h : heights) {
      OwnedBlock source(testimg::Make(bits, w, h, w * 100 + h));
      const auto before = testimg::Bytes(source.get());
      for (int k = 1; k <= 3; ++k) {
        OwnedBlock result(ROT_RightAngle(source.get(), k));
        ASSERT_TRUE(result);
        ExpectTurned(source.get(), result.get(), k);
      }
      ASSERT_EQ(testimg::Bytes(source.get()), before) << "the source is never changed";
    }
}

// Larger than a tile (256 rows, 512 at 24 bits) and a 1-bit block (128 columns), with ragged
// ends, so that tiles, blocks and the edges left over meet.
TEST_P(RightAngle, MovesEveryPixelAcrossTiles) {
  const uint32_t sizes[][2] = {{150, 300}, {201, 20}, {72, 9}, {21, 600}};
  for (const auto& size : sizes) {
    OwnedBlock source(testimg::Make(GetParam(), size[0], size[1], 5));
    for (int k = 1; k <= 3; ++k) {
      OwnedBlock result(ROT_RightAngle(source.get(), k));
      ASSERT_TRUE(result);
      ExpectTurned(source.get(), result.get(), k);
    }
  }
}

TEST_P(RightAngle, RoundTripsGiveTheSourceBack) {
  OwnedBlock source(testimg::Make(GetParam(), 19, 11, 3));
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
  OwnedBlock source(testimg::Make(GetParam(), 9, 5, 2));
  const auto before = testimg::Bytes(source.get());
  const int live = recorder::LiveBlocks();
  OwnedBlock result;
  const int points = testimg::ForEachAllocationFailure(
      [&] { result = OwnedBlock(ROT_RightAngle(source.get(), 1)); },
      [&](int) {
        EXPECT_FALSE(result);
        EXPECT_EQ(recorder::Messages(), std::vector<unsigned>{IDS_ROTATE_NO_MEMORY});
        EXPECT_EQ(recorder::LiveBlocks(), live);
        EXPECT_EQ(recorder::OpenLocks(), 0);
      });
  EXPECT_EQ(points, 1);
  EXPECT_EQ(testimg::Bytes(source.get()), before);
}

INSTANTIATE_TEST_SUITE_P(Depths, RightAngle, testing::ValuesIn(testimg::kDepths),
                         [](const auto& info) { return std::to_string(info.param) + "bit"; });

TEST(RightAngleHeader, KeepsTheResolutionOfTheSource) {
  OwnedBlock source(testimg::Make(8, 6, 4, 1));
  {
    BlockLock lock(source.get());
    auto* h = reinterpret_cast<BitmapInfoHeader*>(lock.get());
    h->biXPelsPerMeter = 1000;
    h->biYPelsPerMeter = 3000;
  }
  OwnedBlock result(ROT_RightAngle(source.get(), 1));
  testimg::View d(result.get());
  EXPECT_EQ(d.v.header->biXPelsPerMeter, 1000);
  EXPECT_EQ(d.v.header->biYPelsPerMeter, 3000);
}

TEST(RightAngleHeader, RefusesAResultTooLargeForTheHeader) {
  // One 1-bit row of 2^30 pixels (128 MiB) turns into 2^30 rows of 4 bytes: 4 GiB, more than
  // biSizeImage can say.
  OwnedBlock source(HP_Alloc(PackedDibSize(8, 1, uint64_t{1} << 30, 1), HP_MOVEABLE | HP_ZEROINIT));
  ASSERT_TRUE(source);
  {
    BlockLock lock(source.get());
    BitmapInfoHeader h{40, 1 << 30, 1, 1, 1, 0, static_cast<uint32_t>(RowStride(1, 1u << 30)), 0, 0, 2, 0};
    std::memcpy(lock.get(), &h, sizeof h);
  }
  recorder::Reset();
  EXPECT_EQ(ROT_RightAngle(source.get(), 1), nullptr);
  EXPECT_EQ(recorder::Messages(), std::vector<unsigned>{IDS_IMAGE_TOO_LARGE});
  EXPECT_EQ(recorder::AllocationCount(), 0);
}

#ifndef _WIN32
// ImageMagick turns clockwise for positive angles, like the engine. It writes the same pixels;
// the files are compared pixel by pixel, so header details of its writer do not matter.
constexpr char kConvert[] = "/usr/bin/convert-im6.q16";

void WriteBmp(const std::string& path, HostBlock dib) {
  const auto bytes = testimg::Bytes(dib);
  const uint32_t fileSize = static_cast<uint32_t>(14 + bytes.size()), offset = 14 + 40;
  uint8_t head[14] = {'B', 'M'};
  std::memcpy(head + 2, &fileSize, 4);
  std::memcpy(head + 10, &offset, 4);
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(head), 14);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// The 24-bit pixels of a BMP file, as 0xRRGGBB values from the top row down.
std::vector<uint32_t> ReadBmp24(const std::string& path, int32_t& width, int32_t& height) {
  std::ifstream in(path, std::ios::binary);
  std::vector<uint8_t> f{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (f.size() < 54) return {};
  uint32_t offset;
  uint16_t bits;
  std::memcpy(&offset, &f[10], 4);
  std::memcpy(&width, &f[18], 4);
  std::memcpy(&height, &f[22], 4);
  std::memcpy(&bits, &f[28], 2);
  if (bits != 24 || width <= 0 || height == 0) return {};
  const bool bottomUp = height > 0;
  height = std::abs(height);
  const size_t stride = RowStride(24, static_cast<uint32_t>(width));
  if (offset + stride * static_cast<size_t>(height) > f.size()) return {};
  std::vector<uint32_t> pixels;
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* row = &f[offset + stride * static_cast<size_t>(bottomUp ? height - 1 - y : y)];
    for (int32_t x = 0; x < width; ++x)
      pixels.push_back(uint32_t{row[3 * x]} | uint32_t{row[3 * x + 1]} << 8 | uint32_t{row[3 * x + 2]} << 16);
  }
  return pixels;
}

TEST(RightAngleImageMagick, AgreesWithRotateOn24BitFiles) {
  if (!std::filesystem::exists(kConvert)) GTEST_SKIP() << kConvert << " not installed (scripts/setup.sh)";
  char name[] = "/tmp/rotate-test-XXXXXX";
  ASSERT_NE(mkdtemp(name), nullptr);
  const std::filesystem::path dir = name;
  OwnedBlock source(testimg::Make(24, 37, 22, 11));
  WriteBmp((dir / "in.bmp").string(), source.get());
  for (int k = 1; k <= 3; ++k) {
    const std::string out = (dir / ("out" + std::to_string(k) + ".bmp")).string();
    const std::string command = std::string(kConvert) + " " + (dir / "in.bmp").string() + " -rotate " +
                                std::to_string(90 * k) + " -type TrueColor BMP3:" + out;
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    int32_t w = 0, h = 0;
    const std::vector<uint32_t> theirs = ReadBmp24(out, w, h);
    ASSERT_FALSE(theirs.empty()) << out << " is not a 24-bit BMP file";
    OwnedBlock ours(ROT_RightAngle(source.get(), k));
    testimg::View v(ours.get());
    ASSERT_EQ(w, static_cast<int32_t>(v.v.width));
    ASSERT_EQ(h, static_cast<int32_t>(v.v.height));
    for (uint32_t y = 0; y < v.v.height; ++y)
      for (uint32_t x = 0; x < v.v.width; ++x)
        ASSERT_EQ(GetPixel(v.v, x, y), theirs[y * v.v.width + x]) << "-rotate " << 90 * k << " at " << x << ", " << y;
  }
  std::filesystem::remove_all(dir);
}
#endif

}  // namespace
