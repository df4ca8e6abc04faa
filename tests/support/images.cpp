#include "tests/support/images.h"

#include <cstring>
#include <random>

#include "tests/support/recorder.h"

namespace testimg {

HostBlock Make(unsigned bits, uint32_t width, uint32_t height, uint32_t seed) {
  const uint32_t colors = bits <= 8 ? 1u << bits : 0;
  HostBlock block = HP_Alloc(PackedDibSize(colors * 4, bits, width, height), HP_MOVEABLE);
  if (!block) return nullptr;
  {
    BlockLock lock(block);
    const BitmapInfoHeader h = Header(bits, width, height, colors, 2835);
    std::memcpy(lock.get(), &h, sizeof h);
    DibView v;
    DescribeDib(lock.get(), HP_Size(block), v);
    // Distinct entries whose channels all differ, with a reserved byte that must survive.
    for (uint32_t i = 0; i < colors; ++i) v.colors[i] = TableEntry(i);
    std::mt19937 rng(seed);
    std::memset(v.rows, 0, v.stride * height);
    const uint32_t mask = bits == 32 ? 0xFFFFFFFFu : (bits == 24 ? 0xFFFFFFu : (1u << bits) - 1);
    for (uint32_t y = 0; y < height; ++y)
      for (uint32_t x = 0; x < width; ++x) SetPixel(v, x, y, static_cast<uint32_t>(rng()) & mask);
  }
  return block;
}

RgbQuad TableEntry(uint32_t i) {
  return {uint8_t(i * 7 + 1), uint8_t(i * 13 + 2), uint8_t(255 - i), uint8_t(i & 3)};
}

BitmapInfoHeader Header(unsigned bits, uint32_t width, uint32_t height, uint32_t colors,
                        int32_t pelsPerMeter) {
  BitmapInfoHeader h = {};
  h.biSize = 40, h.biWidth = int32_t(width), h.biHeight = int32_t(height), h.biPlanes = 1;
  h.biBitCount = uint16_t(bits), h.biSizeImage = uint32_t(RowStride(bits, width) * height);
  h.biXPelsPerMeter = h.biYPelsPerMeter = pelsPerMeter, h.biClrUsed = colors;
  return h;
}

std::vector<uint8_t> Bytes(HostBlock block) {
  BlockLock lock(block);
  return std::vector<uint8_t>(lock.get(), lock.get() + HP_Size(block));
}

HostBlock FromBytes(const std::vector<uint8_t>& bytes) {
  HostBlock block = HP_Alloc(bytes.size(), HP_MOVEABLE);
  BlockLock lock(block);
  if (lock) std::memcpy(lock.get(), bytes.data(), bytes.size());
  return block;
}

std::string Describe(unsigned bits, uint32_t width, uint32_t height) {
  return std::to_string(bits) + " bits, " + std::to_string(width) + " x " + std::to_string(height);
}

std::string Describe(const DibView& v) { return Describe(v.bits, v.width, v.height); }

std::string DepthName(const testing::TestParamInfo<unsigned>& info) {
  return std::to_string(info.param) + "bit";
}

// Below 8 bits a pixel is `bits` bits of its byte, the leftmost first; above, bytes low first.
uint32_t GetPixel(const DibView& v, uint32_t x, uint32_t y) {
  const uint8_t* row = v.RowFromTop(y);
  if (v.bits < 8)
    return row[x * v.bits / 8] >> (8 - v.bits - x * v.bits % 8) & ((1u << v.bits) - 1);
  uint32_t value = 0;
  for (unsigned i = 0; i < v.bits / 8; ++i) value |= uint32_t{row[v.bits / 8 * x + i]} << 8 * i;
  return value;
}

void SetPixel(const DibView& v, uint32_t x, uint32_t y, uint32_t value) {
  uint8_t* row = v.RowFromTop(y);
  if (v.bits < 8) {
    const unsigned shift = 8 - v.bits - x * v.bits % 8, mask = ((1u << v.bits) - 1) << shift;
    row[x * v.bits / 8] =
        static_cast<uint8_t>((row[x * v.bits / 8] & ~mask) | (value << shift & mask));
    return;
  }
  for (unsigned i = 0; i < v.bits / 8; ++i)
    row[v.bits / 8 * x + i] = static_cast<uint8_t>(value >> 8 * i);
}

std::string StrayPadding(const DibView& v, unsigned bit) {
  for (uint32_t k = 0; k < v.height; ++k)
    for (uint64_t b = uint64_t{v.bits} * v.width; b < v.stride * 8; ++b)
      if (((v.Row(k)[b / 8] >> (7 - b % 8)) & 1) != bit)
        return "row " + std::to_string(k) + ", bit " + std::to_string(b);
  return "";
}

View::View(HostBlock block) : lock(block) { DescribeDib(lock.get(), HP_Size(block), v); }

int ForEachAllocationFailure(const std::function<void()>& operation,
                             const std::function<void(int)>& check) {
  for (int n = 1;; ++n) {
    recorder::Reset();
    recorder::FailAllocation(n);
    operation();
    const bool reached = recorder::AllocationCount() >= n;
    recorder::FailAllocation(0);
    if (!reached) return n - 1;
    check(n);
  }
}

}  // namespace testimg
