#include "cli/commands/caption_glyphs.h"
#include <gtest/gtest.h>

// Measured with GDI under Wine 8 with DejaVu Sans: "Hello frame" extent, ink top and right at 0,0.
TEST(CaptionGlyphs, AsGdiUnderWine) {
  constexpr int kGdi[][7] = {{0, 0, 17, 86, 18, 3, 82}, {0, 0, 39, 191, 39, 6, 189},
                             {1, 0, 16, 94, 16, 2, 88}, {1, 0, 72, 408, 73, 11, 404},
                             {0, 1, 16, 84, 16, 2, 76}, {0, 1, 72, 360, 73, 11, 357}};
  for (auto [bold, italic, height, cx, cy, top, right] : kGdi) {
    CaptionGlyphs g;
    std::string e, face = bold ? "-Bold" : italic ? "-Oblique" : "";
    ASSERT_TRUE(SetCaption("Hello frame", {"Arial", uint32_t(height), bold > 0, italic > 0}, g, e));
    ASSERT_TRUE(g.file.ends_with("/DejaVuSans" + face + ".ttf")) << g.file;  // the numbers' font
    int t = cy, r = 0;  // the ink's top and right
    ForEachInk(g, 0, 0, INT32_MAX, INT32_MAX,
               [&](int64_t x, int64_t y) { t = std::min(t, int(y)), r = std::max(r, int(x)); });
    EXPECT_EQ(std::tuple(g.cx, g.cy, t, r), std::tuple(cx, cy, top, right)) << face << height;
  }
}
