// The field-number reader: the entries that wrap or fail in the system's own field readers.
#include "dib/field_number.h"

#include <gtest/gtest.h>

namespace {

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

}  // namespace
