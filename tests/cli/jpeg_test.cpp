// JPEG files against libjpeg-turbo's own programs: imagetool reads the pixels djpeg writes, and
// its files decode to the pixels of cjpeg -optimize at the same quality; damaged files are refused
// with one line and no output.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "cli/formats/bmp_io.h"
#include "cli/formats/exif.h"
#include "tests/cli/tool_run.h"
#include "tests/support/images.h"

using namespace toolrun;

namespace {

// The pixels djpeg decodes from a JPEG file, as red-green-blue triples (grey ones widened).
std::vector<uint8_t> Djpeg(const std::string& jpeg) {
  const RunResult run = Shell("djpeg -pnm " + jpeg);
  std::vector<uint8_t> all(run.output.begin(), run.output.end());
  // "P5"/"P6", width, height, 255, each followed by one white-space byte.
  size_t at = 0;
  for (int fields = 0; fields < 4; ++at)
    if (all[at] == '\n' || all[at] == ' ') ++fields;
  std::vector<uint8_t> rgb;
  for (size_t i = at; i < all.size(); ++i) rgb.insert(rgb.end(), all[1] == '5' ? 3 : 1, all[i]);
  return rgb;
}

TEST(Jpeg, ReadsThePixelsDjpegWrites) {
  TempDir dir;
  const char* kinds[] = {
      "",           "-sample 2x1", "-sample 1x1", "-progressive",
      "-grayscale", "-restart 1",  "-arithmetic", "-progressive -sample 1x1 -quality 100"};
  for (const char* size : {"1x1", "17x9", "70x37"})
    for (const char* kind : kinds) {
      SCOPED_TRACE(testimg::Cat(size, " ", kind));
      MustRun(testimg::Cat(IMAGEMAGICK_CONVERT, " -seed 3 -size ", size, " plasma: BMP3:",
                           dir / "in.bmp && cjpeg ", kind, " ", dir / "in.bmp > ", dir / "in.jpg"));
      OwnedBlock block(ReadAny(dir / "in.jpg"));
      ASSERT_TRUE(block);
      EXPECT_EQ(testimg::View(block.get()).v.bits, std::strstr(kind, "gray") ? 8u : 24u);
      EXPECT_EQ(Colours(block.get()), Djpeg(dir / "in.jpg"));
    }
}

// Cut or damaged files, and headers asking for more than the file or the limits allow: exit status
// 2, one line that says why, and no output file.
TEST(Jpeg, RefusesDamagedFiles) {
  TempDir dir;
  MustRun(testimg::Cat(IMAGEMAGICK_CONVERT,
                       " -seed 3 -size 64x48 plasma: BMP3:", dir / "in.bmp && cjpeg ",
                       dir / "in.bmp > ", dir / "good.jpg && ", IMAGEMAGICK_CONVERT, " ",
                       dir / "in.bmp -colorspace CMYK ", dir / "cmyk.jpg"));
  const auto good = ReadAll(dir / "good.jpg");
  auto find = [&](uint8_t marker) {
    const uint8_t bytes[] = {0xFF, marker};
    return size_t(std::search(good.begin(), good.end(), bytes, bytes + 2) - good.begin());
  };
  const size_t sof = find(0xC0), sos = find(0xDA);
  auto changed = [&](size_t at, std::vector<uint8_t> bytes) {
    auto file = good;
    std::copy(bytes.begin(), bytes.end(), file.begin() + static_cast<long>(at));
    return file;
  };
  auto cut = [&](size_t n) { return std::vector<uint8_t>(good.begin(), good.begin() + long(n)); };
  ExpectRefused(
      dir, "jpg",
      {{cut(2), "not a BMP, PNG or JPEG file"},
       {cut(sof + 4), "truncated JPEG file (it ends after"},
       {cut(sos + 20), "truncated JPEG file (it ends after"},
       {cut(good.size() - 2), "truncated JPEG file (it ends after"},
       {changed(sos + 100, {0xFF, 0, 0xFF, 0, 0xFF, 0, 0xFF, 0}), "bad Huffman code"},
       {changed(sos + 200, {0xFF}), "premature end of data segment"},
       {changed(sof + 5, {0x1F, 0x40, 0xFF, 0xDC}), "cannot hold the 65500 x 8000 picture"},
       {changed(sof + 5, {0xFF, 0xDC, 0xFF, 0xDC}), "image too large (65500 x 65500 at 24"},
       {ReadAll(dir / "cmyk.jpg"), "CMYK JPEG files are not supported"}});
}

// Every depth, written at several qualities, decodes to what cjpeg -optimize makes of the same
// colours (palette pictures with a grey table as greyscale, others as colour).
TEST(Jpeg, WritesWhatCjpegWrites) {
  TempDir dir;
  const struct {
    unsigned bits;
    bool greyTable;
  } pictures[] = {{24, false}, {32, false}, {8, true}, {8, false}, {4, false}, {1, true}};
  for (const auto& p : pictures)
    for (int quality : {1, 50, 90, 100}) {
      SCOPED_TRACE(testimg::Cat(p.bits, " bits, grey table ", p.greyTable, ", quality ", quality));
      OwnedBlock image(testimg::Make(p.bits, 37, 21, p.bits));
      const testimg::View view(image.get());
      for (uint32_t i = 0; p.greyTable && i < view.v.colorCount; ++i) {
        const auto grey = uint8_t(i * 255 / (view.v.colorCount - 1));
        view.v.colors[i] = {grey, grey, grey, 0};
      }
      std::string error;
      ASSERT_TRUE(WriteBmpFile(dir / "in.bmp", image.get(), error)) << error;
      // Two flips give the picture back, through the whole run.
      MustRun(testimg::Cat(IMAGETOOL_PATH, " flip + flip --jpeg-quality ", quality, " ",
                           dir / "in.bmp ", dir / "ours.jpg"));
      // cjpeg reads the same colours from a 24-bit BMP.
      Convert(dir / "in.bmp -alpha off -type TrueColor BMP3:" + dir / "wide.bmp");
      MustRun(testimg::Cat("cjpeg -optimize -quality ", quality, p.greyTable ? " -grayscale" : "",
                           " -outfile ", dir / "theirs.jpg ", dir / "wide.bmp"));
      EXPECT_EQ(Djpeg(dir / "ours.jpg"), Djpeg(dir / "theirs.jpg"));
    }
}

// A TIFF block of either byte order whose first directory holds `entries` (tag, type, count,
// value; a SHORT value in the first two bytes), followed by the rationals 300/1, 150/1 and 5/0.
std::vector<uint8_t> Tiff(bool little, const std::vector<std::array<uint32_t, 4>>& entries) {
  std::vector<uint8_t> b;
  auto put = [&](uint32_t v, int n) {
    for (int i = 0; i < n; ++i) b.push_back(uint8_t(v >> 8 * (little ? i : n - 1 - i)));
  };
  b.assign(2, little ? 'I' : 'M');
  put(42, 2), put(8, 4), put(uint32_t(entries.size()), 2);
  for (const auto& e : entries) {
    put(e[0], 2), put(e[1], 2), put(e[2], 4);
    e[1] == 3 ? (put(e[3], 2), put(0, 2)) : put(e[3], 4);
  }
  put(0, 4);
  for (uint32_t v : {300, 1, 150, 1, 5, 0}) put(v, 4);
  return b;
}

TEST(Jpeg, ExifOrientationAndResolution) {
  // The rationals' offsets in a block of three entries.
  constexpr uint32_t r300 = 14 + 36, r150 = r300 + 8, rBad = r300 + 16;
  const struct {
    bool little;
    std::vector<std::array<uint32_t, 4>> entries;
    size_t cutTo;  // 0: whole
    ExifFacts expected;
  } cases[] = {
      {false, {{0x112, 3, 1, 6}, {0x11A, 5, 1, r300}, {0x11B, 5, 1, r150}}, 0, {6, 11811, 5906}},
      {true, {{0x112, 3, 1, 8}, {0x128, 3, 1, 3}, {0x11A, 5, 1, r300}}, 0, {8, 0, 0}},
      {true, {{0x11A, 5, 1, r300}, {0x128, 3, 1, 3}, {0x11B, 5, 1, r150}}, 0, {0, 30000, 15000}},
      {true, {{0x112, 3, 1, 9}, {0x128, 3, 1, 1}, {0x11B, 5, 1, r150}}, 0, {0, 0, 0}},
      {false, {{0x112, 4, 1, 3}, {0x11A, 5, 1, r300}, {0x11B, 5, 1, rBad}}, 0, {0, 0, 0}},
      {false, {{0x112, 3, 1, 2}, {0x11A, 5, 1, r300}, {0x11B, 5, 1, r150}}, 26, {2, 0, 0}},
      {false, {{0x112, 3, 1, 2}, {0x11A, 5, 1, r300}, {0x11B, 5, 1, r150}}, 60, {2, 0, 0}},
      {false, {{0x112, 3, 1, 5}, {0x11A, 5, 1, 9999}, {0x11B, 5, 1, r150}}, 0, {5, 0, 0}},
      {false, {}, 7, {0, 0, 0}},
  };
  for (const auto& c : cases) {
    std::vector<uint8_t> block = Tiff(c.little, c.entries);
    if (c.cutTo) block.resize(c.cutTo);
    const ExifFacts got = ParseExif(block.data(), block.size());
    EXPECT_EQ(std::tie(got.orientation, got.xPerMeter, got.yPerMeter),
              std::tie(c.expected.orientation, c.expected.xPerMeter, c.expected.yPerMeter))
        << testimg::Cat(&c - cases);
  }
}

// Each EXIF orientation, applied by --auto-orient, shows the picture as ImageMagick's -auto-orient
// does; without the option it is read as stored, with a note.
TEST(Jpeg, AutoOrientTurnsAsTheTagSays) {
  TempDir dir;
  MustRun(testimg::Cat(IMAGEMAGICK_CONVERT, " -seed 5 -size 13x7 plasma: BMP3:",
                       dir / "in.bmp && cjpeg -outfile ", dir / "in.jpg ", dir / "in.bmp"));
  const std::vector<uint8_t> plain = ReadAll(dir / "in.jpg");
  for (uint32_t orientation = 1; orientation <= 8; ++orientation) {
    SCOPED_TRACE(orientation);
    const std::vector<uint8_t> tiff = Tiff(false, {{0x112, 3, 1, orientation}});
    std::vector<uint8_t> tagged(plain.begin(), plain.begin() + 2);
    const size_t length = tiff.size() + 8;
    tagged.insert(tagged.end(),
                  {0xFF, 0xE1, uint8_t(length >> 8), uint8_t(length), 'E', 'x', 'i', 'f', 0, 0});
    tagged.insert(tagged.end(), tiff.begin(), tiff.end());
    tagged.insert(tagged.end(), plain.begin() + 2, plain.end());
    WriteAll(dir / "tagged.jpg", tagged);
    const RunResult turned = Tool("invert --auto-orient " + dir / "tagged.jpg " + dir / "ours.bmp");
    ASSERT_EQ(turned.status, 0) << turned.output;
    EXPECT_EQ(turned.output, "");
    MustRun(testimg::Cat(IMAGEMAGICK_CONVERT, " ", dir / "tagged.jpg",
                         " -auto-orient -negate -type TrueColor BMP3:", dir / "theirs.bmp"));
    OwnedBlock ours(ReadAny(dir / "ours.bmp")), theirs(ReadAny(dir / "theirs.bmp"));
    EXPECT_EQ(Colours(ours.get()), Colours(theirs.get()));
    const RunResult stored = Tool("invert " + dir / "tagged.jpg " + dir / "stored.bmp");
    EXPECT_EQ(stored.output.find("EXIF orientation says") != std::string::npos, orientation > 1);
    OwnedBlock asStored(ReadAny(dir / "stored.bmp"));
    EXPECT_EQ(testimg::View(asStored.get()).v.width, 13u);
  }
  for (const char* refused : {"--jpeg-quality 0", "--jpeg-quality 101", "--png-level 10"})
    EXPECT_EQ(Tool(testimg::Cat("invert ", refused, " ", dir / "in.jpg ", dir / "o.jpg")).status,
              2);
}

// JPEG files go through pipes, steps and folders as through plain runs: each pair of runs writes
// the same bytes.
TEST(Jpeg, PipesStepsAndFoldersWriteWhatPlainRunsWrite) {
  TempDir dir;
  MustRun(testimg::Cat(IMAGEMAGICK_CONVERT, " -seed 6 -size 40x30 plasma: BMP3:", dir / "in.bmp",
                       " && cjpeg -outfile ", dir / "in.jpg ", dir / "in.bmp"));
  const struct {
    std::string ours, plain;
    const char* result;
  } cases[] = {
      {"invert - - <in.jpg >a.jpg", "invert in.jpg b.jpg", "a.jpg"},
      {"crop --rect 1,1,20,9 + scale --width 50% in.jpg a.jpg",
       "crop --rect 1,1,20,9 in.jpg t.bmp && $T scale --width 50% t.bmp b.jpg", "a.jpg"},
      {"--out-dir d --jpeg-quality 40 mirror in.jpg", "mirror --jpeg-quality 40 in.jpg b.jpg",
       "d/in.jpg"},
  };
  for (const auto& c : cases) {
    MustRun(InDir(dir, "$T " + c.ours + " && $T " + c.plain));
    EXPECT_EQ(ReadAll(dir / c.result), ReadAll(dir / "b.jpg")) << c.ours;
  }
  // A signature, or a header and part of a scan, followed by a stream that never ends is refused,
  // not read for ever.
  for (const char* head : {"printf '\\377\\330\\377\\340'", "head -c 650 in.jpg"})
    EXPECT_EQ(
        Shell(InDir(dir, testimg::Cat("(", head, "; yes) | timeout 60 $T invert - o.jpg"))).status,
        2);
}

}  // namespace
