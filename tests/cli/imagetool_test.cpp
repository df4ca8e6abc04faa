// imagetool as a user runs it: exit statuses, all-or-nothing output, and agreement with
// ImageMagick on files ImageMagick wrote.
#include <gtest/gtest.h>

#include <bit>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "cli/bmp_io.h"
#include "tests/support/images.h"

namespace fs = std::filesystem;

namespace {

// A fresh folder removed with everything in it when the test ends.
struct TempDir {
  TempDir() {
    char name[] = "/tmp/imagetool-test-XXXXXX";
    path = mkdtemp(name);
  }
  ~TempDir() { fs::remove_all(path); }
  std::string operator/(const std::string& file) const { return (path / file).string(); }
  fs::path path;
};

struct RunResult {
  int status;
  std::string output;  // stdout and stderr together
};

RunResult Shell(const std::string& command) {
  RunResult run{-1, {}};
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (!pipe) return run;
  char buffer[4096];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) run.output.append(buffer, n);
  const int status = pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

RunResult Tool(const std::string& args) { return Shell(std::string(IMAGETOOL_PATH) + " " + args); }

void Convert(const std::string& args) {
  const RunResult run = Shell(std::string(IMAGEMAGICK_CONVERT) + " " + args);
  ASSERT_EQ(run.status, 0) << "ImageMagick (installed by scripts/setup.sh) failed: " << run.output;
}

std::vector<uint8_t> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The picture of a BMP file as imagetool reads it, normalised (padding cleared).
std::vector<uint8_t> Picture(const std::string& path) {
  std::string error;
  OwnedBlock block(ReadBmpFile(path, error));
  EXPECT_TRUE(block) << path << ": " << error;
  return block ? testimg::Bytes(block.get()) : std::vector<uint8_t>{};
}

// Every failed run leaves out.bmp as it was and no temporary file behind.
TEST(Imagetool, ExitStatusesAndAllOrNothingOutput) {
  TempDir dir;
  OwnedBlock image(testimg::Make(8, 5, 4, 1));
  std::string error;
  ASSERT_TRUE(WriteBmpFile(dir / "in.bmp", image.get(), error)) << error;
  std::ofstream(dir / "junk.bmp")
      << "BMxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx";
  std::ofstream(dir / "out.bmp") << "precious";
  const std::string in = dir / "in.bmp", out = dir / "out.bmp";
  struct Case {
    std::string args;
    int status;
    const char* says;
  } cases[] = {
      {"--help", 0, "usage: imagetool COMMAND"},
      {"flip --help", 0, "usage: imagetool flip"},
      {"frobnicate a b", 2, "unknown command"},
      {"flip " + in, 2, "expected INPUT and OUTPUT"},
      {"flip --quickly " + in + " " + out, 2, "unknown option --quickly"},
      {"flip " + dir / "missing.bmp" + " " + out, 2, "No such file"},
      {"mirror " + dir / "junk.bmp" + " " + out, 2, "junk.bmp: "},
      {"invert " + in + " " + dir / "no/such/folder/o.bmp", 1, "cannot create the output file"},
      {"info " + in, 0, "5 x 4, 8 bits per pixel, 256 colours"},
  };
  for (const Case& c : cases) {
    const RunResult run = Tool(c.args);
    EXPECT_EQ(run.status, c.status) << c.args << "\n" << run.output;
    EXPECT_NE(run.output.find(c.says), std::string::npos) << c.args << "\n" << run.output;
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), fs::directory_iterator()),
            3);  // in, junk, out
  const auto kept = ReadAll(out);
  EXPECT_EQ(std::string(kept.begin(), kept.end()), "precious");
}

TEST(Imagetool, SampleRunWritesEveryCommandAtEveryDepth) {
  TempDir dir;
  const RunResult run = Shell("cd " + dir.path.string() + " && " + IMAGETOOL_PATH);
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("imagetool-sample"), std::string::npos) << run.output;
  for (const char* name : {"sample", "invert", "flip", "mirror"})
    for (const char* depth : {"1bit", "4bit", "8bit", "24bit", "32bit"}) {
      const std::string file =
          (dir.path / "imagetool-sample" / (std::string(name) + "-" + depth + ".bmp")).string();
      EXPECT_FALSE(Picture(file).empty()) << file;
    }
}

// ImageMagick writes the file and applies the same operations; the pictures must agree exactly.
// Crops cut each side by a different amount and reach the last row and column.
TEST(Imagetool, AgreesWithImageMagickOnTrueColourFiles) {
  TempDir dir;
  Convert("-seed 7 -size 37x23 plasma: -type TrueColor BMP3:" + dir / "in.bmp");
  struct Case {
    const char* ours;
    const char* theirs;
  } cases[] = {{"flip", "-flip"},
               {"mirror", "-flop"},
               {"invert", "-negate"},
               {"crop --rect 5,3,17,9", "-crop 17x9+5+3 +repage"},
               {"crop --rect 36,22,1,1", "-crop 1x1+36+22 +repage"},
               {"crop --rect 0,22,37,1", "-crop 37x1+0+22 +repage"}};
  for (const Case& c : cases) {
    ASSERT_EQ(Tool(std::string(c.ours) + " " + dir / "in.bmp" + " " + dir / "ours.bmp").status, 0)
        << c.ours;
    Convert(dir / "in.bmp" + " " + c.theirs + " -type TrueColor BMP3:" + dir / "theirs.bmp");
    EXPECT_EQ(Picture(dir / "ours.bmp"), Picture(dir / "theirs.bmp")) << c.ours;
  }
}

// Files of every depth and header that ImageMagick writes read back as the colours ImageMagick
// itself decodes from them (raw RGB(A), top row first).
TEST(Imagetool, ReadsFilesOfOtherProgramsLikeAnIndependentReader) {
  TempDir dir;
  struct Case {
    const char* options;
    unsigned bits;
    uint32_t headerSize;
  } cases[] = {
      {"-colors 2 -type Palette -compress None BMP3:", 1, 40},
      {"-colors 16 -type Palette -compress None BMP3:", 4, 40},
      {"-colors 200 -type Palette -compress None BMP3:", 8, 40},
      {"-colors 100 -type Palette -compress None BMP:", 8, 124},
      {"-type TrueColor BMP3:", 24, 40},
      {"-alpha set -channel A -fx i/w +channel -type TrueColorAlpha BMP:", 32, 124},
  };
  for (const Case& c : cases) {
    const std::string file =
        dir / (std::to_string(c.bits) + "-" + std::to_string(c.headerSize) + ".bmp");
    Convert("-seed 3 -size 29x13 plasma: " + std::string(c.options) + file);
    const auto raw = ReadAll(file);
    ASSERT_GE(raw.size(), 30u);
    ASSERT_EQ(raw[14] | raw[15] << 8, static_cast<int>(c.headerSize)) << c.options;
    ASSERT_EQ(raw[28], c.bits) << c.options;
    Convert(file + (c.bits == 32 ? " -depth 8 rgba:" : " -depth 8 rgb:") + dir / "raw");

    std::string error;
    OwnedBlock block(ReadBmpFile(file, error));
    ASSERT_TRUE(block) << error;
    const testimg::View view(block.get());
    const DibView& v = view.v;
    std::vector<uint8_t> decoded;
    for (uint32_t y = 0; y < v.height; ++y)
      for (uint32_t x = 0; x < v.width; ++x) {
        const uint32_t p = testimg::GetPixel(v, x, y);
        const RgbQuad q =
            c.bits <= 8 ? v.colors[p] : std::bit_cast<RgbQuad>(p);  // the bytes as stored
        decoded.insert(decoded.end(), {q.rgbRed, q.rgbGreen, q.rgbBlue});
        if (c.bits == 32) decoded.push_back(q.rgbReserved);
      }
    EXPECT_EQ(decoded, ReadAll(dir / "raw")) << c.options;
  }
}

}  // namespace
