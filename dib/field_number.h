// The number typed into a dialog field, read the one way every dialog reads it: portable, so that
// the rule is tested natively. Each dialog applies its own field rule (range, zero, empty) on top.
#pragma once

#include <cstdint>
#include <string_view>

// Every field of the dialogs holds at most a 32-bit unsigned quantity; longer entries saturate.
inline constexpr int64_t kFieldNumberLimit = 4294967295;

struct FieldNumber {
  int64_t value = 0;    // in [-kFieldNumberLimit, kFieldNumberLimit]; 0 when no digit was seen
  bool digits = false;  // whether at least one digit was read
};

// Reads `text` as a user means it: leading spaces and tabs are skipped, then one '+' or '-' when
// `signAllowed` (otherwise a sign ends the number before any digit), then the decimal digits up to
// the first other character. Values beyond the limit saturate at it, keeping their sign; nothing
// wraps.
FieldNumber ReadFieldNumber(std::string_view text, bool signAllowed);
