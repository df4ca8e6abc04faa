// TALMOR.DLL, the stand-in host's utility library: colour-table size, a fast nearest-pixel resize,
// file deletion and the settings store (an INI file through the private profile functions).
// Every call is recorded in KORVEX's log.
#include <windows.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "host/korvex.h"
#include "plugin/host_api.h"

namespace {

void Record(const std::string& line) { KX_Log(line.c_str()); }

struct ProfileSection {
  std::string path;
  std::string section;
};

// The value text of `key`, or false when the key is absent.
bool ReadValue(HANDLE profile, LPCSTR key, std::string& text) {
  const auto* p = static_cast<const ProfileSection*>(profile);
  if (!p || !key) return false;
  char buffer[64];
  const char kAbsent[] = "\x01";
  GetPrivateProfileStringA(p->section.c_str(), key, kAbsent, buffer, sizeof buffer,
                           p->path.c_str());
  if (std::strcmp(buffer, kAbsent) == 0) return false;
  text = buffer;
  return true;
}

// Parses a whole decimal number within [low, high]; anything else counts as absent, so a damaged
// store leaves the caller's value alone.
bool ParseNumber(const std::string& text, long long low, long long high, long long& value) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  const long long v = std::strtoll(text.c_str(), &end, 10);
  if (errno || *end != 0 || v < low || v > high) return false;
  value = v;
  return true;
}

template <typename T>
BOOL ReadNumber(const char* call, HANDLE profile, LPCSTR key, T* out, long long low,
                long long high) {
  Record(std::string(call) + " " + (key ? key : ""));
  std::string text;
  long long v = 0;
  if (!out || !ReadValue(profile, key, text) || !ParseNumber(text, low, high, v)) return FALSE;
  *out = static_cast<T>(v);
  return TRUE;
}

BOOL WriteNumber(const char* call, HANDLE profile, LPCSTR key, long long value) {
  const std::string text = std::to_string(value);
  Record(std::string(call) + " " + (key ? key : "") + " " + text);
  const auto* p = static_cast<const ProfileSection*>(profile);
  if (!p || !key) return FALSE;
  return WritePrivateProfileStringA(p->section.c_str(), key, text.c_str(), p->path.c_str());
}

UINT TableBytes(const BITMAPINFOHEADER& h) {
  if (h.biBitCount > 8) return 0;
  return (h.biClrUsed ? h.biClrUsed : 1u << h.biBitCount) * 4;
}

UINT StrideOf(UINT bits, LONG width) { return (bits * static_cast<UINT>(width) + 31) / 32 * 4; }

DWORD PixelAt(const BYTE* row, UINT bits, UINT x) {
  switch (bits) {
    case 1:
      return (row[x / 8] >> (7 - x % 8)) & 1;
    case 4:
      return (x % 2 ? row[x / 2] : row[x / 2] >> 4) & 0xF;
    case 8:
      return row[x];
    case 24:
      return row[3 * x] | row[3 * x + 1] << 8 | row[3 * x + 2] << 16;
    default:
      return row[4 * x] | row[4 * x + 1] << 8 | row[4 * x + 2] << 16 | DWORD{row[4 * x + 3]} << 24;
  }
}

void PutPixel(BYTE* row, UINT bits, UINT x, DWORD v) {
  switch (bits) {
    case 1: {
      const BYTE bit = static_cast<BYTE>(0x80 >> (x % 8));
      row[x / 8] = static_cast<BYTE>(v ? row[x / 8] | bit : row[x / 8] & ~bit);
      break;
    }
    case 4:
      row[x / 2] = static_cast<BYTE>(x % 2 ? (row[x / 2] & 0xF0) | (v & 0xF)
                                           : (row[x / 2] & 0x0F) | (v & 0xF) << 4);
      break;
    default:
      for (UINT i = 0; i < bits / 8; ++i) row[bits / 8 * x + i] = static_cast<BYTE>(v >> (8 * i));
  }
}

}  // namespace

extern "C" {

WORD WINAPI PaletteSize(const void* header) {
  Record("PaletteSize");
  return header ? static_cast<WORD>(TableBytes(*static_cast<const BITMAPINFOHEADER*>(header))) : 0;
}

HGLOBAL WINAPI DibResize(HGLOBAL dib, int width, int height) {
  Record("DibResize " + std::to_string(width) + " " + std::to_string(height));
  if (width <= 0 || height <= 0 || width > 65535 || height > 65535 ||
      KX_TakeFailure(KX_FAIL_RESIZE))
    return nullptr;
  const auto* source = static_cast<const BYTE*>(GlobalLock(dib));
  if (!source) return nullptr;
  const auto& h = *reinterpret_cast<const BITMAPINFOHEADER*>(source);
  const UINT bits = h.biBitCount;
  HGLOBAL result = nullptr;
  if ((bits == 1 || bits == 4 || bits == 8 || bits == 24 || bits == 32) && h.biWidth > 0 &&
      h.biHeight > 0 && h.biCompression == BI_RGB) {
    const UINT table = TableBytes(h);
    const UINT sourceStride = StrideOf(bits, h.biWidth);
    const UINT stride = StrideOf(bits, width);
    result = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, h.biSize + table + SIZE_T{stride} * height);
    if (auto* dest = static_cast<BYTE*>(GlobalLock(result))) {
      std::memcpy(dest, source, h.biSize + table);
      auto& nh = *reinterpret_cast<BITMAPINFOHEADER*>(dest);
      nh.biWidth = width;
      nh.biHeight = height;
      nh.biSizeImage = stride * static_cast<UINT>(height);
      const BYTE* sourceRows = source + h.biSize + table;
      BYTE* rows = dest + h.biSize + table;
      // Each pixel takes the source pixel under its centre, counted from the top left, as
      // imagetool's low-quality scale does: the two give the same picture.
      const auto centre = [](UINT i, UINT to, UINT from) {
        return static_cast<UINT>((2 * uint64_t{i} + 1) * from / (2 * uint64_t{to}));
      };
      const UINT sourceHeight = static_cast<UINT>(h.biHeight);
      for (int y = 0; y < height; ++y) {
        const UINT fromTop =
            centre(static_cast<UINT>(height - 1 - y), static_cast<UINT>(height), sourceHeight);
        const BYTE* from = sourceRows + SIZE_T{sourceStride} * (sourceHeight - 1 - fromTop);
        BYTE* to = rows + SIZE_T{stride} * static_cast<UINT>(y);
        for (int x = 0; x < width; ++x)
          PutPixel(to, bits, static_cast<UINT>(x),
                   PixelAt(from, bits,
                           centre(static_cast<UINT>(x), static_cast<UINT>(width),
                                  static_cast<UINT>(h.biWidth))));
      }
      GlobalUnlock(result);
    }
  }
  GlobalUnlock(dib);
  KX_NoteResize(result);
  return result;
}

BOOL WINAPI FileDelete(LPCSTR path) {
  Record(std::string("FileDelete ") + (path ? path : ""));
  return path && DeleteFileA(path);
}

HANDLE WINAPI ProfileOpen(LPCSTR storeA, LPCSTR, LPCSTR section) {
  Record(std::string("ProfileOpen ") + (section ? section : ""));
  return new ProfileSection{storeA ? storeA : "HOST.INI", section ? section : ""};
}

void WINAPI ProfileClose(HANDLE profile) {
  Record("ProfileClose");
  auto* p = static_cast<ProfileSection*>(profile);
  if (!p) return;
  WritePrivateProfileStringA(nullptr, nullptr, nullptr, p->path.c_str());  // flush the file
  delete p;
}

BOOL WINAPI ProfileReadWord(HANDLE profile, LPCSTR key, WORD* value) {
  return ReadNumber("ProfileReadWord", profile, key, value, 0, 0xFFFF);
}

BOOL WINAPI ProfileReadLong(HANDLE profile, LPCSTR key, LONG* value) {
  return ReadNumber("ProfileReadLong", profile, key, value, INT_MIN, INT_MAX);
}

BOOL WINAPI ProfileReadBool(HANDLE profile, LPCSTR key, LONG* value) {
  return ReadNumber("ProfileReadBool", profile, key, value, INT_MIN, INT_MAX);
}

BOOL WINAPI ProfileReadDword(HANDLE profile, LPCSTR key, DWORD* value) {
  return ReadNumber("ProfileReadDword", profile, key, value, 0, UINT_MAX);
}

BOOL WINAPI ProfileWriteWord(HANDLE profile, LPCSTR key, WORD value) {
  return WriteNumber("ProfileWriteWord", profile, key, value);
}

BOOL WINAPI ProfileWriteLong(HANDLE profile, LPCSTR key, LONG value) {
  return WriteNumber("ProfileWriteLong", profile, key, value);
}

BOOL WINAPI ProfileWriteDword(HANDLE profile, LPCSTR key, DWORD value) {
  return WriteNumber("ProfileWriteDword", profile, key, value);
}

}  // extern "C"
