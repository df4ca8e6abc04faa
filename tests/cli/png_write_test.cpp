// The PNG writer against libpng's choices (through ImageMagick, which writes with libpng): the
// same filtered rows at every level and band size, one valid zlib stream however the rows are cut
// into bands, the picture (resolution included) read back unchanged, and ImageMagick decoding its
// colours from the file, which a fault mirrored in our reader and writer would not survive.
#include <gtest/gtest.h>

#include <zlib.h>

#include "cli/formats/png_io.h"
#include "dib/row_bands.h"
#include "tests/cli/tool_run.h"
#include "tests/support/images.h"

using namespace toolrun;

namespace {

// The filtered rows a PNG file holds: its IDAT chunks inflated as one stream ("" when they are
// not one valid stream).
std::string FilteredRows(const std::vector<uint8_t>& file) {
  std::string stream;
  for (size_t at = 8; at + 12 <= file.size();) {
    const uint32_t length =
        uint32_t(file[at]) << 24 | file[at + 1] << 16 | file[at + 2] << 8 | file[at + 3];
    if (std::string(file.begin() + long(at) + 4, file.begin() + long(at) + 8) == "IDAT")
      stream.append(file.begin() + long(at) + 8, file.begin() + long(at + 8 + length));
    at += 12 + length;
  }
  std::string rows(64 << 10, '\0');
  uLongf size = rows.size();
  const int status = uncompress(reinterpret_cast<Bytef*>(rows.data()), &size,
                                reinterpret_cast<const Bytef*>(stream.data()), stream.size());
  return status == Z_OK ? rows.substr(0, size) : "";
}

std::vector<uint8_t> Write(HostBlock image, int level, size_t bandBytes) {
  std::vector<uint8_t> file;
  std::string error;
  const testimg::View view(image);
  EXPECT_TRUE(WritePng(
      view.v, level,
      [&](const void* data, size_t size) {
        file.insert(file.end(), static_cast<const uint8_t*>(data),
                    static_cast<const uint8_t*>(data) + size);
        return true;
      },
      error, bandBytes))
      << error;
  return file;
}

TEST(PngWrite, FiltersAsLibpngInOneStreamAcrossBands) {
  TempDir dir;
  SetRowWorkers(2);  // rounds of two bands
  struct Picture {
    std::string convert;  // ImageMagick's options for the BMP; "" for a test picture
    unsigned bits;
    const char* format;  // ImageMagick's PNG of it
  } pictures[] = {
      {"-type TrueColor BMP3:", 24, "PNG24:"},
      {"-alpha set -channel A -fx i/w +channel -type TrueColorAlpha BMP:", 32, "PNG32:"},
      {"", 1, ""},
      {"", 4, ""},
      {"", 8, ""},
  };
  for (const Picture& p : pictures) {
    std::string rows;
    OwnedBlock image;
    if (p.convert.empty()) {
      image = OwnedBlock(testimg::Make(p.bits, 29, 23, p.bits));
      const testimg::View view(image.get());
      for (uint32_t i = 0; i < view.v.colorCount; ++i) view.v.colors[i].rgbReserved = 0;
    } else {
      MustRun(testimg::Cat(IMAGEMAGICK_CONVERT, " -seed 4 -size 29x23 plasma: ", p.convert,
                           dir / "in.bmp && ", IMAGEMAGICK_CONVERT, " ", dir / "in.bmp ", p.format,
                           dir / "theirs.png"));
      rows = FilteredRows(ReadAll(dir / "theirs.png"));
      image = OwnedBlock(ReadAny(dir / "in.bmp"));
      ASSERT_TRUE(image);
    }
    const testimg::View view(image.get());  // a resolution, for pHYs
    view.v.header->biXPelsPerMeter = 3780;
    view.v.header->biYPelsPerMeter = 2000;
    const size_t line = (29 * p.bits + 7) / 8 + 1;
    for (int level : {0, 1, 6, 9})
      for (size_t band : {size_t{1}, 3 * line, kPngBandBytes}) {
        SCOPED_TRACE(testimg::Cat(p.bits, " bits, level ", level, ", band ", band));
        const std::vector<uint8_t> file = Write(image.get(), level, band);
        const std::string ours = FilteredRows(file);
        ASSERT_EQ(ours.size(), 23 * line);
        if (rows.empty()) rows = ours;  // a test picture's first file: the rest must agree
        EXPECT_EQ(ours, rows);
        WriteAll(dir / "ours.png", file);
        EXPECT_EQ(Shell("pngcheck " + dir / "ours.png").status, 0);
        OwnedBlock back(ReadAny(dir / "ours.png"));
        ASSERT_TRUE(back);
        EXPECT_EQ(testimg::Bytes(back.get()), testimg::Bytes(image.get()));
      }
    Convert(dir / "ours.png" + (p.bits == 32 ? " -depth 8 rgba:" : " -depth 8 rgb:") + dir / "raw");
    EXPECT_EQ(Colours(image.get()), ReadAll(dir / "raw")) << p.bits << " bits";
  }
  SetRowWorkers(1);
}

}  // namespace
