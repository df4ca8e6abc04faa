// Reading and writing BMP files: normalisation to the packed model, refusal of what is not
// handled, and byte-exact round trips.
#include "cli/bmp_io.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "tests/support/images.h"
#include "tests/support/recorder.h"

namespace {

void Put(std::vector<uint8_t>& out, size_t at, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

// A BMP file written field by field, independent of the code under test.
struct BmpSpec {
  uint32_t infoSize = 40;
  int32_t width = 3;
  int32_t height = 2;
  uint16_t bits = 8;
  uint32_t compression = 0;
  uint32_t colorsUsed = 4;
  uint32_t tableEntries = 4;  // entries actually present in the file
  int32_t offBitsDelta = 0;   // added to the natural pixel offset
  int64_t sizeDelta = 0;      // added to the natural file size (negative truncates)
  uint32_t masks[3] = {0x00FF0000, 0x0000FF00, 0x000000FF};
  uint8_t pixelFill = 0x5A;
};

std::vector<uint8_t> BuildBmp(const BmpSpec& s) {
  const bool fieldMasks = s.compression == 3 && s.infoSize == 40;
  const size_t table = 14 + s.infoSize + (fieldMasks ? 12 : 0);
  const size_t pixels = table + s.tableEntries * 4;
  const uint64_t stride = (uint64_t{s.bits} * static_cast<uint32_t>(s.width) + 31) / 32 * 4;
  const uint64_t rows = static_cast<uint64_t>(s.height < 0 ? -int64_t{s.height} : s.height);
  const int64_t size = static_cast<int64_t>(pixels + std::min<uint64_t>(stride * rows, 1 << 20)) + s.sizeDelta;
  std::vector<uint8_t> out(static_cast<size_t>(std::max<int64_t>(size, 0)), s.pixelFill);
  auto put = [&](size_t at, uint32_t v, int n) {
    if (at + n <= out.size()) Put(out, at, v, n);
  };
  if (out.size() >= 2) out[0] = 'B', out[1] = 'M';
  put(2, static_cast<uint32_t>(out.size()), 4);
  put(6, 0, 4);
  put(10, static_cast<uint32_t>(pixels + s.offBitsDelta), 4);
  for (size_t i = 14; i < std::min(out.size(), table); ++i) out[i] = 0;
  put(14, s.infoSize, 4);
  put(18, static_cast<uint32_t>(s.width), 4);
  put(22, static_cast<uint32_t>(s.height), 4);
  put(26, 1, 2);
  put(28, s.bits, 2);
  put(30, s.compression, 4);
  put(38, 2835, 4);
  put(42, 2835, 4);
  put(46, s.colorsUsed, 4);
  if (s.compression == 3)
    for (int i = 0; i < 3; ++i) put(54 + 4 * i, s.masks[i], 4);
  for (uint32_t i = 0; i < s.tableEntries; ++i) put(table + 4 * i, 0x00102030u * (i + 1), 4);
  return out;
}

HostBlock Parse(const std::vector<uint8_t>& file, std::string& error) {
  return ParseBmp(file.data(), file.size(), error);
}

TEST(ParseBmp, RefusesWhatIsNotHandled) {
  struct Case {
    const char* what;
    BmpSpec params;
    const char* reason;  // a part of the message
  } cases[] = {
      {"RLE8", {.compression = 1}, "RLE"},
      {"RLE4", {.bits = 4, .compression = 2}, "RLE"},
      {"16 bits", {.bits = 16, .colorsUsed = 0, .tableEntries = 0}, "16-bit"},
      {"2 bits", {.bits = 2}, "bit depth"},
      {"OS/2 core header", {.infoSize = 12}, "OS/2"},
      {"OS/2 2.x header", {.infoSize = 64}, "OS/2"},
      {"odd header size", {.infoSize = 41}, "header size"},
      {"zero width", {.width = 0}, "size"},
      {"negative width", {.width = -3}, "size"},
      {"zero height", {.height = 0}, "size"},
      {"pixels cut short", {.sizeDelta = -1}, "truncated"},
      {"long rows", {.width = 0x10000000, .bits = 24, .colorsUsed = 0, .tableEntries = 0}, "truncated"},
      {"huge width", {.width = 0x7FFFFFFF, .bits = 32, .colorsUsed = 0, .tableEntries = 0}, "large"},
      {"huge both", {.width = 0x7FFFFFFF, .height = 0x7FFFFFFF, .bits = 32, .colorsUsed = 0, .tableEntries = 0}, "large"},
      {"pixels inside the table", {.offBitsDelta = -4}, "overlaps"},
      {"too many colours", {.bits = 1, .colorsUsed = 3, .tableEntries = 3}, "too long"},
      {"JPEG inside", {.compression = 4}, "compressed"},
      {"16-bit fields", {.bits = 16, .compression = 3, .colorsUsed = 0, .tableEntries = 0}, "16-bit"},
      {"odd 32-bit fields", {.bits = 32, .compression = 3, .colorsUsed = 0, .tableEntries = 0, .masks = {0xFF, 0xFF00, 0xFF0000}}, "bit-field"},
      {"header cut short", {.sizeDelta = -40}, "truncated"},
  };
  for (const Case& c : cases) {
    std::string error;
    const int live = recorder::LiveBlocks();
    HostBlock block = Parse(BuildBmp(c.params), error);
    EXPECT_EQ(block, nullptr) << c.what;
    HP_Free(block);
    EXPECT_NE(error.find(c.reason), std::string::npos) << c.what << ": " << error;
    EXPECT_EQ(error.find('\n'), std::string::npos) << "one line";
    EXPECT_EQ(recorder::LiveBlocks(), live) << c.what;
  }
  std::string error;
  const uint8_t notBmp[] = {'G', 'I', 'F', '8'};
  EXPECT_EQ(ParseBmp(notBmp, sizeof notBmp, error), nullptr);
  EXPECT_EQ(ParseBmp(notBmp, 0, error), nullptr);
}

// Files other programs write are brought to one form: 40-byte header, bottom-up rows, biClrUsed
// and biSizeImage filled in, zero padding.
TEST(ParseBmp, NormalisesToThePackedModel) {
  struct Case {
    const char* what;
    BmpSpec params;
    uint32_t colors;
  } cases[] = {
      {"plain", {}, 4},
      {"V5 header", {.infoSize = 124}, 4},
      {"V4 header", {.infoSize = 108}, 4},
      {"full table implied", {.colorsUsed = 0, .tableEntries = 256}, 256},
      {"24 bits with a table to skip", {.bits = 24, .colorsUsed = 2, .tableEntries = 2}, 0},
      {"32-bit fields, 40-byte header", {.bits = 32, .compression = 3, .colorsUsed = 0, .tableEntries = 0}, 0},
      {"32-bit fields, V5 header", {.infoSize = 124, .bits = 32, .compression = 3, .colorsUsed = 0, .tableEntries = 0}, 0},
      {"gap before the pixels", {.offBitsDelta = 6, .sizeDelta = 6}, 4},
  };
  for (const Case& c : cases) {
    std::string error;
    OwnedBlock block(Parse(BuildBmp(c.params), error));
    ASSERT_TRUE(block) << c.what << ": " << error;
    testimg::View v(block.get());
    ASSERT_NE(v.v.header, nullptr) << c.what;
    EXPECT_EQ(v.v.header->biSize, 40u);
    EXPECT_EQ(v.v.colorCount, c.colors) << c.what;
    EXPECT_EQ(v.v.header->biCompression, 0u);
    EXPECT_EQ(v.v.header->biXPelsPerMeter, 2835);
    for (uint32_t y = 0; y < v.v.height; ++y)
      for (uint32_t x = 0; x < v.v.width; ++x) {
        // Every file byte of pixel data is 0x5A: pixels read 0x5A-derived values everywhere.
        const uint32_t expected = c.params.bits == 8 ? 0x5A : c.params.bits == 24 ? 0x5A5A5A : 0x5A5A5A5A;
        ASSERT_EQ(testimg::GetPixel(v.v, x, y), expected) << c.what;
      }
    // Padding cleared.
    const size_t used = v.v.UsedBytes();
    for (uint32_t k = 0; k < v.v.height; ++k)
      for (size_t i = used; i < v.v.stride; ++i) ASSERT_EQ(v.v.Row(k)[i], 0) << c.what;
  }
}

TEST(ParseBmp, TopDownRowsComeBackBottomUp) {
  for (unsigned bits : testimg::kDepths) {
    OwnedBlock image(testimg::Make(bits, 7, 5, bits));
    std::vector<uint8_t> file = EncodeBmp(image.get());
    // Rewrite as top-down: negative height and the rows in reverse order.
    testimg::View v(image.get());
    const size_t pixels = file.size() - v.v.stride * 5;
    Put(file, 22, static_cast<uint32_t>(-5), 4);
    for (uint32_t k = 0; k < 5; ++k)
      std::memcpy(&file[pixels + k * v.v.stride], v.v.Row(4 - k), v.v.stride);
    std::string error;
    OwnedBlock back(Parse(file, error));
    ASSERT_TRUE(back) << error;
    EXPECT_EQ(testimg::Bytes(back.get()), testimg::Bytes(image.get())) << bits << " bits";
  }
}

TEST(ParseBmp, RoundTripsEveryDepthAndWidth) {
  for (unsigned bits : testimg::kDepths)
    for (uint32_t width = 1; width <= 17; ++width) {
      OwnedBlock image(testimg::Make(bits, width, 3, width));
      std::string error;
      OwnedBlock back(Parse(EncodeBmp(image.get()), error));
      ASSERT_TRUE(back) << error;
      ASSERT_EQ(testimg::Bytes(back.get()), testimg::Bytes(image.get())) << bits << " bits, width " << width;
    }
}

}  // namespace

namespace {

// Corrupted headers and truncations of valid files: every outcome is a refusal or a well-formed
// image, never a read outside the file (the sanitizers watch).
TEST(ParseBmp, SurvivesCorruption) {
  std::mt19937 rng(2024);
  for (unsigned bits : testimg::kDepths) {
    OwnedBlock image(testimg::Make(bits, 9, 4, bits));
    const std::vector<uint8_t> good = EncodeBmp(image.get());
    for (int round = 0; round < 400; ++round) {
      std::vector<uint8_t> file = good;
      const int flips = 1 + static_cast<int>(rng() % 4);
      for (int i = 0; i < flips; ++i) file[rng() % std::min<size_t>(file.size(), 70)] = static_cast<uint8_t>(rng());
      if (rng() % 3 == 0) file.resize(rng() % file.size());
      std::string error;
      OwnedBlock parsed(ParseBmp(file.data(), file.size(), error));
      if (!parsed) {
        EXPECT_FALSE(error.empty());
        continue;
      }
      testimg::View v(parsed.get());
      ASSERT_NE(v.v.header, nullptr) << "a parsed file is a well-formed image";
    }
  }
}

}  // namespace
