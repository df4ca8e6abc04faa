// The packed bitmap model shared by every engine.
//
// A PackedDib is one movable memory block: a 40-byte BitmapInfoHeader, biClrUsed RGBQUAD colour
// table entries (1, 4 and 8 bits only) and biHeight rows of RowStride bytes, bottom row first.
// Within a row pixels run left to right: 1 bit (leftmost pixel in the most significant bit),
// 4 bits (left pixel in the high nibble), 8 bits (index), 24 bits (blue, green, red) or 32 bits
// (blue, green, red, fourth byte). Bits and bytes after the last pixel of a row are padding.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "dib/block.h"
#include "dib/host_port.h"

struct BitmapInfoHeader {
  uint32_t biSize;
  int32_t biWidth;
  int32_t biHeight;
  uint16_t biPlanes;
  uint16_t biBitCount;
  uint32_t biCompression;
  uint32_t biSizeImage;
  int32_t biXPelsPerMeter;
  int32_t biYPelsPerMeter;
  uint32_t biClrUsed;
  uint32_t biClrImportant;
};
static_assert(sizeof(BitmapInfoHeader) == 40, "the header is exactly 40 bytes");
static_assert(offsetof(BitmapInfoHeader, biBitCount) == 14);
static_assert(offsetof(BitmapInfoHeader, biSizeImage) == 20);
static_assert(offsetof(BitmapInfoHeader, biClrUsed) == 32);

struct RgbQuad {
  uint8_t rgbBlue;
  uint8_t rgbGreen;
  uint8_t rgbRed;
  uint8_t rgbReserved;
};
static_assert(sizeof(RgbQuad) == 4);

constexpr uint32_t kHeaderSize = 40;

// Bytes of one stored row: bits × width rounded up to a multiple of 32 bits. 64-bit so that no
// header, however absurd, can overflow it.
constexpr uint64_t RowStride(uint32_t bitCount, uint64_t width) {
  return (uint64_t{bitCount} * width + 31) / 32 * 4;
}

// The most pixel bytes any image made here may have: its BMP file (14-byte file header, 40-byte
// header, the largest colour table and the rows) must give its size in 32 bits, so that every
// image written can be read back.
inline constexpr uint64_t kMaxPixelBytes = 0xFFFFFFFFu - 14 - kHeaderSize - 1024;

// Whether a new image of width × height at `bits` per pixel keeps the limits that every engine
// and the file reader share: both sides 1 … 2^31 - 1 and at most kMaxPixelBytes of rows. Every
// engine asks before it allocates a result.
constexpr bool DibFits(uint32_t bits, uint64_t width, uint64_t height) {
  return width >= 1 && height >= 1 && width <= INT32_MAX && height <= INT32_MAX &&
         RowStride(bits, width) <= kMaxPixelBytes / height;
}

// Colour-table size in bytes by the host utility's rule: biClrUsed entries when it is set,
// otherwise the full table of the depth (2, 16 or 256 entries), none above 8 bits.
uint32_t ColorTableSize(const BitmapInfoHeader& header);

// True for the depths every engine handles: 1, 4, 8, 24 and 32.
constexpr bool IsSupportedDepth(uint32_t bitCount) {
  return bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 24 || bitCount == 32;
}

// Calls fn(std::integral_constant<unsigned, bits>{}) for one of those depths (nothing for any
// other): the one switch from a depth to the kernels written for it.
template <class Fn>
void WithDepth(unsigned bits, Fn&& fn) {
  switch (bits) {
    case 1:
      return fn(std::integral_constant<unsigned, 1>{});
    case 4:
      return fn(std::integral_constant<unsigned, 4>{});
    case 8:
      return fn(std::integral_constant<unsigned, 8>{});
    case 24:
      return fn(std::integral_constant<unsigned, 24>{});
    case 32:
      return fn(std::integral_constant<unsigned, 32>{});
  }
}

// A locked PackedDib, described. Pointers are into the locked block; they die with the lock.
struct DibView {
  BitmapInfoHeader* header = nullptr;
  RgbQuad* colors = nullptr;  // colorCount entries; null above 8 bits
  uint32_t colorCount = 0;
  uint8_t* rows = nullptr;  // the bottom row of the picture
  size_t stride = 0;
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t bits = 0;

  // Row k in memory order (k = 0 is the bottom row of the picture).
  uint8_t* Row(size_t k) const { return rows + k * stride; }
  // Row r counted from the top of the picture.
  uint8_t* RowFromTop(size_t r) const { return rows + (height - 1 - r) * stride; }
  // Bytes of a row that hold pixels (no more than the stride, so they fit a size_t).
  size_t UsedBytes() const { return static_cast<size_t>((uint64_t{bits} * width + 7) / 8); }
};

// Checks that `block` (bytes long) is a well-formed PackedDib this system handles and describes
// it: biSize 40, width and height above 0, depth 1/4/8/24/32, uncompressed, 1 to 2^bits colours
// for palette depths and none above, biSizeImage = RowStride × height, all of it inside the block.
// Returns false, leaving `view` empty, for anything else.
bool DescribeDib(void* block, size_t bytes, DibView& view);

// Size in bytes of a new PackedDib: header, colour table and rows. 64-bit, so that the caller's
// allocation refuses a size the address space cannot hold instead of wrapping.
constexpr uint64_t PackedDibSize(uint32_t colorTableBytes, uint32_t bitCount, uint64_t width,
                                 uint64_t height) {
  return kHeaderSize + colorTableBytes + RowStride(bitCount, width) * height;
}

// Builds the start of a new image from `source` by the common rule: the 40 header bytes copied,
// biWidth, biHeight and biSizeImage set for the new size, and for a source below 24 bits its
// colour table copied after the header. `dest` must hold PackedDibSize(...) bytes. Returns the
// view of the new image (rows not written).
DibView StartImageLike(const DibView& source, uint8_t* dest, uint32_t width, uint32_t height);

// --- Byte tables for 1-bit work, each derived from its rule at compile time. ---

// Entry b is b with its eight bits in reverse order.
inline constexpr std::array<uint8_t, 256> BitReverseTable = [] {
  std::array<uint8_t, 256> t{};
  for (unsigned b = 0; b < 256; ++b) {
    unsigned r = 0;
    for (unsigned i = 0; i < 8; ++i)
      if (b & (1u << i)) r |= 0x80u >> i;
    t[b] = static_cast<uint8_t>(r);
  }
  return t;
}();

// Entry n has its n + 1 lowest bits set.
inline constexpr std::array<uint8_t, 8> LowBitsMask = [] {
  std::array<uint8_t, 8> t{};
  for (unsigned n = 0; n < 8; ++n) t[n] = static_cast<uint8_t>((1u << (n + 1)) - 1);
  return t;
}();

// Entry n has its n highest bits set.
inline constexpr std::array<uint8_t, 8> HighBitsMask = [] {
  std::array<uint8_t, 8> t{};
  for (unsigned n = 0; n < 8; ++n) t[n] = static_cast<uint8_t>(0xFF00u >> n);
  return t;
}();

static_assert(BitReverseTable[0x01] == 0x80 && BitReverseTable[0x03] == 0xC0);
static_assert(LowBitsMask[0] == 0x01 && LowBitsMask[7] == 0xFF);
static_assert(HighBitsMask[0] == 0x00 && HighBitsMask[1] == 0x80 && HighBitsMask[7] == 0xFE);

// The text id of no message: a guard given it shows nothing, and its caller reports the failure.
inline constexpr unsigned kNoMessage = 0;

// A PackedDib locked and described for the length of an operation. When the block is not a
// well-formed PackedDib the guard shows `malformedText` (IDS_UNSUPPORTED_IMAGE unless given) once
// and `ok` stays false.
struct LockedDib {
  explicit LockedDib(HostBlock block);
  LockedDib(HostBlock block, unsigned malformedText);
  BlockLock lock;
  DibView view;
  bool ok = false;
};

// Zeroes what follows the last pixel of a row of `width` pixels of `bits`, `stride` bytes long: the
// low bits of the last used byte that hold no pixel and the bytes after it. Every image the
// engines build has clean padding, so that equal pictures are equal blocks.
inline void ClearPadding(uint8_t* row, unsigned bits, uint32_t width, size_t stride) {
  const uint64_t usedBits = uint64_t{bits} * width;
  auto byte = static_cast<size_t>(usedBits / 8);
  if (usedBits % 8) row[byte++] &= HighBitsMask[usedBits % 8];
  std::memset(row + byte, 0, stride - byte);
}

// A new PackedDib being built: allocated movable and locked, freed unless handed over. When it
// cannot be had the guard is false, `source` has been unlocked (nothing stays locked while the
// message shows) and `noMemoryText` has been shown, if it is not kNoMessage.
class NewImage {
 public:
  // `bytes` bytes, for the caller to fill.
  NewImage(LockedDib& source, uint64_t bytes, unsigned noMemoryText);
  // width × height pixels of the source's depth, begun by StartImageLike; `view` describes it.
  NewImage(LockedDib& source, uint32_t width, uint32_t height, unsigned noMemoryText);
  NewImage(const NewImage&) = delete;
  NewImage& operator=(const NewImage&) = delete;

  explicit operator bool() const { return static_cast<bool>(lock_); }
  uint8_t* data() const { return lock_.get(); }
  // Unlocks the image and hands it to the caller.
  HostBlock Release() {
    lock_.unlock();
    return block_.release();
  }

  DibView view;  // rows not written; empty for the first constructor

 private:
  OwnedBlock block_;
  BlockLock lock_;
};

// Changes the PackedDib `dib` (unlocked, owned by the caller) in place: locks it and calls
// change(image, scratch) with a scratch block of one row. Returns false, the image unchanged, when
// it is not a well-formed PackedDib (IDS_UNSUPPORTED_IMAGE has been shown) or the scratch row
// cannot be had (`noMemoryText` has been shown).
bool ChangeThroughScratchRow(HostBlock dib, unsigned noMemoryText,
                             void (*change)(const DibView& image, uint8_t* scratch));
