#include "dib/field_number.h"

FieldNumber ReadFieldNumber(std::string_view text, bool signAllowed) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (signAllowed && i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  FieldNumber result;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    result.digits = true;
    // Once at the limit the value stays there; the remaining digits are still consumed.
    result.value = result.value * 10 + (text[i] - '0');
    if (result.value > kFieldNumberLimit) result.value = kFieldNumberLimit;
  }
  if (negative) result.value = -result.value;
  return result;
}
