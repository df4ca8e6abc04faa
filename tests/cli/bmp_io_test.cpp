// Reading BMP files: byte-exact round trips, normalisation of what other programs write to the
// packed model, and refusal of what is not handled. Every test file is the file of a test image
// with fields changed, so that the image read back can be compared with the one written.
#include "cli/formats/bmp_io.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/support/images.h"
#include "tests/support/recorder.h"

namespace {

// A little-endian field of a BMP file: `size` bytes at `at`.
struct Field {
  size_t at;
  uint32_t value;
  int size = 4;
};

void Set(std::vector<uint8_t>& file, const Field& f) {
  for (int i = 0; i < f.size; ++i) file[f.at + i] = static_cast<uint8_t>(f.value >> (8 * i));
}

// The BMP file of `image` with every bit after the last pixel of a row set (reading clears them),
// `extra` inserted at byte `insertAt` before the pixels (bfSize and bfOffBits moved on), then
// `fields` set.
std::vector<uint8_t> FileOf(HostBlock image, const std::vector<Field>& fields = {},
                            size_t insertAt = 0, const std::vector<uint8_t>& extra = {}) {
  std::vector<uint8_t> file = EncodeBmp(image);
  const testimg::View v(image);
  const size_t pixels = file.size() - v.v.stride * v.v.height;
  for (uint32_t k = 0; k < v.v.height; ++k)
    for (size_t bit = size_t{v.v.width} * v.v.bits; bit < v.v.stride * 8; ++bit)
      file[pixels + k * v.v.stride + bit / 8] |= static_cast<uint8_t>(0x80 >> bit % 8);
  file.insert(file.begin() + static_cast<long>(insertAt), extra.begin(), extra.end());
  Set(file, {2, static_cast<uint32_t>(file.size())});
  Set(file, {10, static_cast<uint32_t>(pixels + extra.size())});
  for (const Field& f : fields) Set(file, f);
  return file;
}

HostBlock Parse(const std::vector<uint8_t>& file, std::string& error) {
  return ParseBmp(file.data(), file.size(), error);
}

// Widths 1 to 17 put the end of a row at every bit and nibble offset; the top-down file has a
// negative height and the two rows in reverse order.
TEST(ParseBmp, ReadsBackEveryDepthAndWidthInBothRowOrders) {
  for (unsigned bits : testimg::kDepths)
    for (uint32_t width = 1; width <= 17; ++width) {
      OwnedBlock image(testimg::Make(bits, width, 2, width));
      std::vector<uint8_t> file = FileOf(image.get());
      for (const char* order : {"bottom-up", "top-down"}) {
        std::string error;
        OwnedBlock back(Parse(file, error));
        ASSERT_TRUE(back) << error;
        ASSERT_EQ(testimg::Bytes(back.get()), testimg::Bytes(image.get()))
            << bits << " bits, width " << width << ", " << order;
        const size_t stride = RowStride(bits, width);
        std::swap_ranges(file.end() - 2 * stride, file.end() - stride, file.end() - stride);
        Set(file, {22, static_cast<uint32_t>(-2)});
      }
    }
}

// Each file either reads as the image it was made from (40-byte header, bottom-up rows, biClrUsed
// and biSizeImage filled in, zero padding), every prefix of it refused without reading past it
// (each prefix is copied into a buffer of exactly its size, for ASan); or is refused with a
// one-line reason, leaving nothing allocated.
TEST(ParseBmp, ReadsOrRefusesEachKindOfFile) {
  const std::vector<uint8_t> masks = {0, 0, 0xFF, 0, 0, 0xFF,
                                      0, 0, 0xFF, 0, 0, 0};  // red, green, blue
  std::vector<uint8_t> alphaMasks = masks;
  alphaMasks.resize(16);
  std::vector<uint8_t> v5masks = masks;
  v5masks.resize(84);
  const struct {
    const char* what;
    unsigned bits;
    std::vector<Field> fields;
    const char* refusal;  // a part of the message, or null for a file that is read
    size_t insertAt = 0;
    std::vector<uint8_t> extra = {};
    uint32_t colors = 0;  // table entries kept when the file's table is longer than biClrUsed says
  } cases[] = {
      {"plain", 8, {}, nullptr},
      {"V4 header", 8, {{14, 108}}, nullptr, 54, std::vector<uint8_t>(68)},
      {"V5 header", 8, {{14, 124}}, nullptr, 54, std::vector<uint8_t>(84)},
      {"no pixel offset", 8, {{10, 0}}, nullptr},
      {"full table implied", 8, {{46, 0}}, nullptr},
      {"short table", 4, {{46, 2}}, nullptr, 0, {}, 2},
      {"24 bits with a table to skip", 24, {{46, 2}}, nullptr, 54, std::vector<uint8_t>(8)},
      {"24 bits, table, no offset", 24, {{46, 2}, {10, 0}}, nullptr, 54, std::vector<uint8_t>(8)},
      {"32-bit fields, 40-byte header", 32, {{30, 3}}, nullptr, 54, masks},
      {"alpha fields, no pixel offset", 32, {{30, 6}, {10, 0}}, nullptr, 54, alphaMasks},
      {"two planes", 8, {{26, 2, 2}}, "planes"},
      {"24-bit pixels inside the header", 24, {{10, 40}}, "points into the header"},
      {"32-bit fields, V5 header", 32, {{14, 124}, {30, 3}}, nullptr, 54, v5masks},
      {"gap before the pixels", 8, {}, nullptr, 54 + 1024, std::vector<uint8_t>(6)},
      {"not a BMP", 8, {{0, 'G', 1}}, "not a BMP"},
      {"RLE8", 8, {{30, 1}}, "RLE"},
      {"16 bits", 8, {{28, 16, 2}}, "16-bit"},
      {"2 bits", 8, {{28, 2, 2}}, "bit depth"},
      {"OS/2 core header", 8, {{14, 12}}, "OS/2"},
      {"odd header size", 8, {{14, 41}}, "header size"},
      {"zero width", 8, {{18, 0}}, "size"},
      {"negative width", 8, {{18, static_cast<uint32_t>(-3)}}, "size"},
      {"zero height", 8, {{22, 0}}, "size"},
      {"height -2^31", 8, {{22, 0x80000000}}, "size"},
      {"long rows", 24, {{18, 0x10000000}}, "truncated"},
      {"huge width", 32, {{18, 0x7FFFFFFF}}, "large"},
      {"pixels inside the table", 8, {{10, 54 + 1020}}, "overlaps"},
      {"too many colours", 1, {{46, 3}}, "too long"},
      {"JPEG inside", 8, {{30, 4}}, "compressed"},
      {"16-bit fields", 8, {{28, 16, 2}, {30, 3}}, "16-bit"},
      {"odd 32-bit fields", 32, {{30, 3}, {54, 0xFF}, {58, 0xFF00}, {62, 0xFF0000}}, "bit-field"},
  };
  for (const auto& c : cases) {
    OwnedBlock image(testimg::Make(c.bits, 3, 2, c.bits));
    const std::vector<uint8_t> file = FileOf(image.get(), c.fields, c.insertAt, c.extra);
    const int live = recorder::LiveBlocks();
    std::string error;
    OwnedBlock block(Parse(file, error));
    if (c.refusal) {
      EXPECT_FALSE(block) << c.what;
      EXPECT_NE(error.find(c.refusal), std::string::npos) << c.what << ": " << error;
      EXPECT_EQ(error.find('\n'), std::string::npos) << c.what << ": one line";
      EXPECT_EQ(recorder::LiveBlocks(), live) << c.what;
      continue;
    }
    std::vector<uint8_t> expected = testimg::Bytes(image.get());
    if (c.colors) {
      expected[32] = static_cast<uint8_t>(c.colors);  // biClrUsed
      expected.erase(expected.begin() + 40 + 4 * c.colors, expected.begin() + 40 + (4 << c.bits));
    }
    ASSERT_TRUE(block) << c.what << ": " << error;
    EXPECT_EQ(testimg::Bytes(block.get()), expected) << c.what;
    for (size_t n = 0; n < file.size(); ++n) {
      const std::vector<uint8_t> prefix(file.begin(), file.begin() + static_cast<long>(n));
      ASSERT_EQ(Parse(prefix, error), nullptr) << c.what << ", " << n << " bytes";
      ASSERT_FALSE(error.empty());
    }
  }
}

}  // namespace
