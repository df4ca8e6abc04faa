// Masks on Windows: the GDI renderer against the portable player.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "mask/gdi_mask.h"
#include "mask/metafile.h"
#include "plugin/gdi.h"
#include "resources/text_ids.h"
#include "tests/plugin/harness.h"
#include "tests/support/images.h"

namespace {

using harness::Plugin;

// Shape `id` as IMAGE.DLL embeds it: a metafile for GDI, and parsed for the portable player.
struct Shape {
  OwnedMetafile metafile;
  WmfDrawing drawing;
  explicit Shape(unsigned id) {
    HRSRC found = FindResourceA(Plugin().module, MAKEINTRESOURCEA(id), "MASK");
    const DWORD size = SizeofResource(Plugin().module, found);
    const auto* bytes = static_cast<uint8_t*>(LockResource(LoadResource(Plugin().module, found)));
    metafile.reset(SetMetaFileBitsEx(size, bytes));
    std::string error;
    EXPECT_TRUE(ParseMetafile(bytes, size, drawing, error)) << id << error;
  }
};

// A w × h raster of `bits` painted by GDI or by the portable player; At counts y from the top.
struct Raster {
  DibView v;
  std::vector<uint8_t> bytes;
  Raster(const Shape& s, bool gdi, uint32_t w, uint32_t h) : bytes(RowStride(8, w) * h, 0xAA) {
    v.rows = bytes.data(), v.stride = RowStride(8, w), v.width = w, v.height = h, v.bits = 8;
    const MaskRaster r{v.rows, v.stride, w, h, 8};
    EXPECT_TRUE(gdi ? RenderMetafileGdi(s.metafile, r) : RenderMetafile(s.drawing, r));
  }
  uint32_t At(uint32_t x, uint32_t y) const { return testimg::GetPixel(v, x, y); }
};

// Checkers masks every depth, in both layouts (a 32-bit and an 8-bit screen), to the portable
// player's bytes: what `imagetool mask --shape Checkers` gives. biClrImportant stays.
TEST(GdiMaskRenderer, MasksEveryDepthAsThePortablePlayerOnCheckers) {
  const Shape checkers(IDS_SHAPE_CHECKERS);
  MAS_SetMaskColor(1, 10, 20, 30);
  for (unsigned bits : testimg::kDepths)
    for (uint32_t screen : {32u, 8u}) {
      OwnedBlock source(testimg::Make(bits, 64, 64, bits));
      testimg::View(source.get()).v.header->biClrImportant = 2;
      const auto render = [&](bool gdi) {
        return testimg::Bytes(OwnedBlock(MAS_ApplyMask(
                                             source.get(),
                                             [&](const MaskRaster& r) {
                                               return gdi ? RenderMetafileGdi(checkers.metafile, r)
                                                          : RenderMetafile(checkers.drawing, r);
                                             },
                                             1, 1, 1, screen))
                                  .get());
      };
      EXPECT_EQ(render(true), render(false)) << bits << " bits, screen " << screen;
    }
}

// Every shape at three sizes: GDI's outlines differ from the portable player's in at most 3 % of
// the pixels, each within 4 pixels of a pixel of its own value there. Checkers is the same.
TEST(GdiMaskRenderer, DrawsEveryShapeCloseToThePortablePlayer) {
  for (unsigned id = IDS_SHAPE_CHECKERS; id <= IDS_SHAPE_UP_ARROW; ++id) {
    const Shape shape(id);
    for (auto [w, h] : {std::pair{64u, 64u}, {200u, 100u}, {256u, 256u}}) {
      const Raster gdi(shape, true, w, h), portable(shape, false, w, h);
      const auto nearby = [&](uint32_t x, uint32_t y, uint32_t value) {
        for (uint32_t v = y > 4 ? y - 4 : 0; v <= std::min(h - 1, y + 4); ++v)
          for (uint32_t u = x > 4 ? x - 4 : 0; u <= std::min(w - 1, x + 4); ++u)
            if (portable.At(u, v) == value) return true;
        return false;
      };
      uint32_t differing = 0;
      for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x)
          if (const uint32_t value = gdi.At(x, y); value != portable.At(x, y)) {
            ++differing;
            ASSERT_TRUE(nearby(x, y, value))
                << id << " " << w << "x" << h << " at " << x << "," << y;
          }
      EXPECT_LE(differing * 100, (id == IDS_SHAPE_CHECKERS ? 0 : 3) * w * h) << id << " " << w;
    }
  }
}

}  // namespace
