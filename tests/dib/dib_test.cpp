#include "dib/dib.h"

#include <gtest/gtest.h>

#include "dib/field_number.h"
#include "tests/support/images.h"

namespace {

// Each malformed header is refused; the rest of the image is well formed.
TEST(DescribeDib, RefusesWhatTheEnginesDoNotHandle) {
  struct Case {
    const char* what;
    void (*spoil)(BitmapInfoHeader&);
  } cases[] = {
      {"V5 header", [](BitmapInfoHeader& h) { h.biSize = 124; }},
      {"zero width", [](BitmapInfoHeader& h) { h.biWidth = 0; }},
      {"negative width", [](BitmapInfoHeader& h) { h.biWidth = -4; }},
      {"top-down", [](BitmapInfoHeader& h) { h.biHeight = -3; }},
      {"16 bits", [](BitmapInfoHeader& h) { h.biBitCount = 16; }},
      {"RLE", [](BitmapInfoHeader& h) { h.biCompression = 1; }},
      {"no colours", [](BitmapInfoHeader& h) { h.biClrUsed = 0; }},
      {"too many colours", [](BitmapInfoHeader& h) { h.biClrUsed = 257; }},
      {"wrong image size", [](BitmapInfoHeader& h) { h.biSizeImage -= 4; }},
      {"rows beyond the block",
       [](BitmapInfoHeader& h) {
         h.biHeight = 4;
         h.biSizeImage = 4 * 4;
       }},
      {"huge width", [](BitmapInfoHeader& h) { h.biWidth = 0x7FFFFFFF; }},
  };
  for (const Case& c : cases) {
    OwnedBlock block(testimg::Make(8, 3, 3, 1));
    BlockLock lock(block.get());
    c.spoil(*reinterpret_cast<BitmapInfoHeader*>(lock.get()));
    DibView v;
    EXPECT_FALSE(DescribeDib(lock.get(), HP_Size(block.get()), v)) << c.what;
    EXPECT_EQ(v.header, nullptr) << c.what;
  }
}

}  // namespace

// The shared size limit: the rows' bytes up to kMaxPixelBytes exactly, sides within 31 bits, and
// no overflow for the largest sides.
TEST(DibFits, KeepsTheLimitTheReaderAccepts) {
  const uint64_t rowsAtLimit = kMaxPixelBytes / 4;  // 8-bit rows of 4 bytes
  struct Case {
    uint32_t bits;
    uint64_t width, height;
    bool fits;
  } cases[] = {{8, 4, rowsAtLimit, true}, {8, 4, rowsAtLimit + 1, false},
               {1, 1, 1, true},           {24, 0, 5, false},
               {24, 5, 0, false},         {1, 0x7FFFFFFF, 1, true},
               {1, 0x80000000, 1, false}, {32, 0x7FFFFFFF, 0x7FFFFFFF, false},
               {32, 32768, 32767, true},  {32, 65535, 65535, false}};
  for (const Case& c : cases)
    EXPECT_EQ(DibFits(c.bits, c.width, c.height), c.fits)
        << c.bits << " bits, " << c.width << " x " << c.height;
}

// The field-number reader: the entries that wrap or fail in the system's own field readers.
TEST(FieldNumber, ReadsLeadingDigitsSaturatingAndSaysWhetherAnyWasSeen) {
  constexpr int64_t kMax = kFieldNumberLimit;
  const struct {
    const char* text;
    bool signAllowed;
    int64_t value;
    bool digits;
  } cases[] = {
      {"", false, 0, false},
      {"   ", true, 0, false},
      {"0", false, 0, true},
      {"  42", false, 42, true},
      {"\t7x9", false, 7, true},
      {"12 34", false, 12, true},
      {"x12", false, 0, false},
      {"-2", false, 0, false},  // no sign allowed: nothing read, never 4294967294
      {"-2", true, -2, true},
      {"+15", true, 15, true},
      {"+15", false, 0, false},
      {"-", true, 0, false},
      {"- 3", true, 0, false},
      {"-0", true, 0, true},
      {"4294967295", false, kMax, true},
      {"4294967296", false, kMax, true},  // never 0
      {"99999999999999999999999", false, kMax, true},
      {"-99999999999999999999999", true, -kMax, true},
      {"000000000000000000000012", false, 12, true},
  };
  for (const auto& c : cases) {
    const FieldNumber n = ReadFieldNumber(c.text, c.signAllowed);
    EXPECT_EQ(n.value, c.value) << '"' << c.text << "\" sign " << c.signAllowed;
    EXPECT_EQ(n.digits, c.digits) << '"' << c.text << "\" sign " << c.signAllowed;
  }
}
