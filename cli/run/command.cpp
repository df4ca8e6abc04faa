#include "cli/run/command.h"

#include <cerrno>
#include <cstdlib>

std::string PictureSize(const DibView& v) {
  return std::to_string(v.width) + " x " + std::to_string(v.height);
}

bool ParseInt(const std::string& text, long long min, long long max, long long& out) {
  if (text.empty() || text.size() > 19) return false;
  size_t i = text[0] == '-' || text[0] == '+' ? 1 : 0;
  if (i == text.size()) return false;
  for (size_t j = i; j < text.size(); ++j)
    if (text[j] < '0' || text[j] > '9') return false;
  errno = 0;
  const long long value = std::strtoll(text.c_str(), nullptr, 10);
  if (errno != 0 || value < min || value > max) return false;
  out = value;
  return true;
}

bool ParseIntList(const std::string& text, size_t count, long long min, long long max,
                  std::vector<long long>& out) {
  out.clear();
  size_t start = 0;
  while (true) {
    const size_t comma = text.find(',', start);
    long long value;
    if (!ParseInt(text.substr(start, comma - start), min, max, value)) return false;
    out.push_back(value);
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return out.size() == count;
}
