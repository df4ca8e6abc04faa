// imagetool as a user runs it: exit statuses, all-or-nothing output, and agreement with
// ImageMagick on files ImageMagick wrote.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string_view>

#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include "cli/formats/bmp_io.h"
#include "cli/formats/input_file.h"
#include "cli/formats/output_file.h"
#include "dib/row_bands.h"
#include "tests/cli/tool_run.h"
#include "tests/support/images.h"

namespace fs = std::filesystem;
using namespace toolrun;

namespace {

// Writes testimg::Make(bits, width, height, seed) as `dir`/`name` and returns the path.
std::string WriteInput(const TempDir& dir, const std::string& name, unsigned bits, uint32_t width,
                       uint32_t height, uint32_t seed) {
  OwnedBlock image(testimg::Make(bits, width, height, seed));
  std::string error;
  EXPECT_TRUE(WriteBmpFile(dir / name, image.get(), error)) << error;
  return dir / name;
}

TEST(Imagetool, ReadsOfLargeFilesSplitOverThreadsLandInPlace) {
  TempDir dir;
  std::string error;
  std::string file(9500003, 0), got = file;
  for (size_t i = 0; i < file.size(); ++i) file[i] = static_cast<char>(i * 2654435761u >> 13);
  std::ofstream(dir / "big", std::ios::binary).write(file.data(), std::ssize(file));
  const size_t reads[][2] = {{0, 9 << 20}, {9 << 20, 99}, {3, 9500000}, {7, 9500000}};
  SetRowWorkers(2);
  WithInputSource(dir / "big", error, [&](const ByteSource& in) {
    for (const auto& [at, n] : reads)
      EXPECT_EQ(in.read(at, &got[0], n) && !got.compare(0, n, file, at, n), at + n <= 9500003);
    return true;
  });
  SetRowWorkers(1);
}

// Every failed run leaves out.bmp as it was and no temporary file behind.
TEST(Imagetool, ExitStatusesAndAllOrNothingOutput) {
  TempDir dir;
  const std::string in = WriteInput(dir, "in.bmp", 8, 5, 4, 1), out = dir / "out.bmp";
  std::ofstream(dir / "junk.bmp")
      << "BMxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx";
  std::ofstream(out) << "precious";
  struct Case {
    std::string args;
    int status;
    const char* says;
  } cases[] = {
      {"", 2, "usage: imagetool [RUN OPTIONS] COMMAND"},
      {"--help", 0, "usage: imagetool [RUN OPTIONS] COMMAND"},
      {"--version", 0, "built with libpng"},
      {"help formats", 0, "PNG files of every kind are read"},
      {"help frob", 2, "no help on 'frob'"},
      {"--help crop", 0, "usage: imagetool crop"},
      {"help crop flip", 2, "help takes one topic, not 'crop flip'"},
      {"flip --help", 0, "usage: imagetool flip"},
      {"frobnicate a b", 2, "unknown command"},
      {"flip " + in, 2, "expected INPUT and OUTPUT"},
      {"flip --quickly " + in + " " + out, 2, "unknown option --quickly"},
      {"flip -q " + in + " " + out, 2, "unknown option -q"},
      {"flip " + dir / "missing.bmp" + " " + out, 2, "No such file"},
      {"mirror " + dir / "junk.bmp" + " " + out, 2, "junk.bmp: "},
      {"invert " + in + " " + dir / "no/such/folder/o.bmp", 1, "cannot create the output file"},
      {"info " + in, 0, "5 x 4, 8 bits per pixel, 256 colours"},
      {"crop --width 3 --left 1 " + in + " " + out, 2, "--width cannot be combined"},
      {"crop --width 0 " + in + " " + out, 2, "--width 0 leaves nothing of the 5 x 4 picture"},
      {"info " + in + " >/dev/full", 1, ""},
      {"crop --rect 0,0,99,99 " + in + " " + out, 2, "outside the 5 x 4 picture"},
      {"crop --left 3 --right 2 " + in + " " + out, 2, "leave nothing of the 5 x 4 picture"},
      {"crop --left 1 --left 2 " + in + " " + out, 2, "more than once"},
      {"rotate --angle -h " + in + " " + out, 2, "usage: imagetool rotate"},
      {"frame --width 4 " + in + " " + out, 2, "--width 4 is less than the 5 x 4"},
      {"invert " + in + " " + dir.path.string(), 1, "Is a directory"},
      {"info " + dir.path.string(), 2, "is a directory"},
      {"mask --shape circle " + in + " " + out, 1, "circle.wmf: is a directory"},
      {"mask --shape checkers " + in + " " + out, 1, "larger than 1048576 bytes"},
      {"frame --caption " + std::string(255, 'x') + " " + in + " " + out, 2, "Caption too long"},
      {"frame --caption x --align middle,left " + in + " " + out, 2, "--align"},
      {"frame --caption x --font-height 0 " + in + " " + out, 2, "--font-height"},
      {"frame --text 1,2,3 " + in + " " + out, 2, "--text needs --caption"},
      {"frame --caption x " + in + " " + out, 1, "\": fontconfig finds none (captions need"},
      {"scale --width 2 --grey --quality low " + in + " " + out, 2, "--grey needs --quality high"},
      {"frame --width 70000 " + in + " " + out, 2,
       "--width needs a number of pixels from 1 to 65535"},
      {"scale --width 65535 --quality low + frame --margins 1,1,1,1 " + in + " " + out, 2,
       "step 2 (frame): the framed picture would be 65537 x 6 pixels; frame makes pictures of at "
       "most 65535"},
      // Steps and run options on the command line.
      {"crop --rect 1,1,2,2 + scale --width 0 " + in + " " + out, 2, "step 2 (scale): --width"},
      {"crop --rect 1,1,9,2 + flip " + in + " " + out, 2, "step 1 (crop): --rect 1,1,9,2 reaches"},
      {"flip +", 2, "a command is missing after the last +"},
      {"flip " + in + " + flip " + out, 2, "the files come after the last step"},
      {"flip + info " + in + " " + out, 2, "info cannot be a step"},
      {"mask --list-shapes " + in, 2, "these options take no files"},
      {"info " + in + " + flip", 2, "cannot be joined to steps"},
      {"--quiet flip --quiet " + in + " " + out, 2, "option --quiet is given more than once"},
      {"--jobs 0 flip " + in + " " + out, 2, "--jobs takes a whole number from 1 to 64"},
      {"flip --jobs 2 " + in + " " + out, 2, "--jobs needs --out-dir"},
      {"--frob flip " + in + " " + out, 2, "unknown option --frob"},
      {"--quiet", 2, "a command is missing"},
      {"flip '' " + out, 2, "the INPUT name is empty"},
      {"flip " + in + " ''", 2, "the OUTPUT name is empty"},
      {"--out-dir " + dir.path.string() + " flip " + in, 2, "would replace the input"},
      {"--out-dir " + dir / "o" + " flip " + in + " " + in, 2, "would both be written to"},
      {"--out-dir " + dir / "o" + " flip - < " + in, 2, "standard input has no name"},
      {"info ''", 2, "the FILE name is empty"},
      {"info --out-dir x " + in, 2, "info writes no file: no --out-dir"},
  };
  // Shape files that are not shapes: a folder, and a file too big to be one.
  fs::create_directories(dir.path / "shapes" / "circle.wmf");
  std::ofstream(dir / "shapes/checkers.wmf").put(0);
  fs::resize_file(dir / "shapes/checkers.wmf", (1 << 20) + 1);
  setenv("IMAGE_MASK_FOLDER", (dir / "shapes").c_str(), 1);
  setenv("FONTCONFIG_FILE", (dir / "shapes").c_str(), 1);  // a configuration without fonts
  for (const Case& c : cases) {
    const RunResult run = Tool(c.args);
    EXPECT_EQ(run.status, c.status) << c.args << "\n" << run.output;
    EXPECT_NE(run.output.find(c.says), std::string::npos) << c.args << "\n" << run.output;
  }
  unsetenv("IMAGE_MASK_FOLDER");
  unsetenv("FONTCONFIG_FILE");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), fs::directory_iterator()),
            4);  // in, junk, out, shapes
  for (const std::string& no : {std::string(), "mask --list-shapes " + in})  // stdout stays empty
    EXPECT_EQ(Shell(std::string("(") + IMAGETOOL_PATH + " " + no + " 2>/dev/null)").output, "");
  const auto kept = ReadAll(out);
  EXPECT_EQ(std::string(kept.begin(), kept.end()), "precious");
}

// Outputs that are not plain new files are treated as cp treats them; "-" is standard input or
// output. Each case runs invert on `in`; the result must equal that of a plain run. An output the
// user may write, in a folder the user may not write into (or, sticky, owns neither the file nor
// the folder of), is written in place: the same inode.
TEST(Imagetool, WritesOutputsAsCpDoes) {
  TempDir dir;
  const std::string in = WriteInput(dir, "in.bmp", 24, 7, 3, 2);
  ASSERT_EQ(Tool("invert " + in + " " + dir / "plain.bmp").status, 0);
  const std::vector<uint8_t> expected = ReadAll(dir / "plain.bmp");
  const std::string longName(250, 'n');
  // As root, the run is made by nobody, whom the folder's mode then binds.
  const std::string nobody =
      geteuid() == 0 ? "setpriv --reuid=65534 --regid=65534 --clear-groups " : "";
  struct Case {
    const char* what;
    std::string setUp, command, resultAt, check;  // check: a shell test that must hold after
  } cases[] = {
      {"symlink", "touch t.bmp && ln -s t.bmp link.bmp", "$T invert in.bmp link.bmp", "t.bmp",
       "test -L link.bmp"},
      {"mode 600", "touch m.bmp && chmod 600 m.bmp", "$T invert in.bmp m.bmp", "m.bmp",
       "test $(stat -c %a m.bmp) = 600"},
      {"hard link", "touch h.bmp && ln h.bmp h2.bmp", "$T invert in.bmp h.bmp", "h2.bmp",
       "test h.bmp -ef h2.bmp"},
      {"FIFO", "mkfifo f && (cat f > fifo.bmp &)", "$T invert in.bmp f", "fifo.bmp",
       "sleep 0.2; test -p f"},
      {"long name", "", "$T invert in.bmp " + longName, longName, "! ls -a | grep -q imagetool-"},
      {"folder 555", "touch p.bmp && chmod 666 p.bmp in.bmp && ls -i p.bmp >i && chmod 555 .",
       nobody + "$T invert in.bmp p.bmp", "p.bmp", "chmod 700 . && ls -i p.bmp | cmp - i"},
      {"sticky folder", "touch s.bmp && chmod 666 s.bmp in.bmp && ls -i s.bmp >i && chmod 1777 .",
       nobody + "$T invert in.bmp s.bmp", "s.bmp", "chmod 700 . && ls -i s.bmp | cmp - i"},
  };
  for (const Case& c : cases) {
    if (nobody.empty() && c.what == std::string("sticky folder")) continue;  // the user's own
    const RunResult run =
        Shell(InDir(dir, (c.setUp.empty() ? "" : c.setUp + " && ") + c.command + " && " + c.check));
    EXPECT_EQ(run.status, 0) << c.what << "\n" << run.output;
    EXPECT_EQ(ReadAll(dir / c.resultAt), expected) << c.what;
  }
  // A FIFO given as input is refused without waiting for a writer.
  const RunResult fifo = Shell(InDir(dir, "timeout 5 $T invert f x.bmp"));
  EXPECT_EQ(fifo.status, 2) << fifo.output;
  EXPECT_NE(fifo.output.find("not a regular file"), std::string::npos) << fifo.output;
}

TEST(Imagetool, SampleRunWritesEveryCommandAtEveryDepth) {
  TempDir dir;
  const RunResult run = Shell(InDir(dir, "$T sample"));
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("imagetool-sample"), std::string::npos) << run.output;
  EXPECT_EQ(Shell(InDir(dir, "$T --quiet sample quiet")).output, "");
  for (const char* name : {"sample", "invert", "flip", "mirror"})
    for (const char* depth : {"1bit", "4bit", "8bit", "24bit", "32bit"}) {
      const std::string file =
          (dir.path / "imagetool-sample" / (std::string(name) + "-" + depth + ".bmp")).string();
      EXPECT_FALSE(Picture(file).empty()) << file;
    }
}

// ImageMagick writes the file and applies the same operations; the pictures must agree exactly.
// Both turn clockwise for positive angles.
// Crops cut each side by a different amount and reach the last row and column; a kept width or
// height is centred with the odd pixel on the left or at the bottom, and more than the picture
// keeps that direction whole.
TEST(Imagetool, AgreesWithImageMagickOnTrueColourFiles) {
  TempDir dir;
  Convert("-seed 7 -size 37x23 plasma: -type TrueColor BMP3:" + dir / "in.bmp");
  struct Case {
    const char* ours;
    const char* theirs;
  } cases[] = {{"flip", "-flip"},
               {"mirror", "-flop"},
               {"invert", "-negate"},
               {"rotate --angle 90", "-rotate 90"},
               {"rotate --angle 180", "-rotate 180"},
               {"rotate --angle -90", "-rotate 270"},
               {"crop --rect 5,3,17,9", "-crop 17x9+5+3 +repage"},
               {"crop --rect 36,22,1,1", "-crop 1x1+36+22 +repage"},
               {"crop --rect 0,22,37,1", "-crop 37x1+0+22 +repage"},
               {"crop --width 10", "-crop 10x23+14+0 +repage"},
               {"crop --height 10", "-crop 37x10+0+6 +repage"},
               {"crop --width 99 --height 22", "-crop 37x22+0+0 +repage"}};
  for (const Case& c : cases) {
    MustRun(InDir(dir, testimg::Cat("$T ", c.ours, " in.bmp ours.bmp")));
    Convert(dir / "in.bmp" + " " + c.theirs + " -type TrueColor BMP3:" + dir / "theirs.bmp");
    EXPECT_EQ(Picture(dir / "ours.bmp"), Picture(dir / "theirs.bmp")) << c.ours;
  }
}

// The caption options reach the frame: each framed file is pinned (how a caption is drawn and
// placed is the engine's, proven natively; the glyphs are those of the font the glyph test pins);
// spaces draw nothing, so they give the plain frame. The longest caption is taken.
TEST(Imagetool, FrameCaption) {
  TempDir dir;
  const std::string in8 = WriteInput(dir, "in8.bmp", 8, 4, 4, 2),
                    in24 = WriteInput(dir, "in24.bmp", 24, 4, 4, 2), out = dir / "out.bmp";
  const std::string red = " --fill 40,40,40 --text 255,0,0 --caption ";
  const struct {
    std::string options;
    uLong crc;
  } cases[] = {
      {"--fill 40,40,40 " + in24, 4035851467u},
      {red + "'    ' " + in24, 4035851467u},
      {red + "Hi --align top,left " + in24, 465363977u},
      {red + "Hi --align center,right " + in24, 1640498221u},
      {red + "Hi --align bottom,center " + in24, 2255105446u},
      {red + "Hi --invert-caption " + in24, 2755382478u},
      {"--fill-index 1 --text-index 0 --caption Hi " + in8, 4237882848u},
  };
  for (const auto& c : cases) {
    const RunResult run = Tool("frame --margins 30,30,40,40 " + c.options + " " + out);
    EXPECT_EQ(run.status, 0) << c.options << ": " << run.output;
    const auto bytes = ReadAll(out);
    EXPECT_EQ(crc32(0, bytes.data(), uInt(bytes.size())), c.crc) << c.options;
  }
  EXPECT_EQ(Tool("frame --caption " + std::string(254, 'x') + " " + in8 + " " + out).status, 0);
}

// Lengths become the pixels the Scale Image dialog gives for the same entries: the result is the
// same file as the pixel form of that size.
TEST(Imagetool, ScaleLengthsEqualTheirPixelForm) {
  TempDir dir;
  const std::string files = " " + WriteInput(dir, "in.bmp", 8, 9, 5, 3) + " " + dir / "out.bmp";
  const struct {
    const char *lengths, *pixels;
  } cases[] = {
      {"--width 0.2in", "--width 19"},
      {"--width 6.35cm --quality low", "--width 239 --quality low"},  // truncated below 240
      {"--width 0.1in --height .254cm --resolution 300", "--width 30 --height 30"},
      {"--width 0.5in --height 1cm --resolution 20,50 --grey", "--width 10 --height 19 --grey"},
      {"--width 0.25in --keep-aspect --resolution 40", "--width 10 --keep-aspect"},
  };
  for (const auto& c : cases) {
    ASSERT_EQ(Tool(std::string("scale ") + c.pixels + files).status, 0) << c.pixels;
    const auto expected = ReadAll(dir / "out.bmp");
    const RunResult run = Tool(std::string("scale ") + c.lengths + files);
    ASSERT_EQ(run.status, 0) << c.lengths << "\n" << run.output;
    EXPECT_EQ(ReadAll(dir / "out.bmp"), expected) << c.lengths;
  }
  for (const char* refused :
       {"--width 0.001in", "--width 2 in", "--width -1cm", "--width 1in --resolution 0",
        "--width 1in --resolution 65536", "--width 1in --resolution 9,9,9", "--width 1e2in"})
    EXPECT_EQ(Tool(std::string("scale ") + refused + files).status, 2) << refused;
}

// BMP files of every depth and header and PNG files of every colour type and depth that
// ImageMagick writes read as the colours ImageMagick decodes from them; a transparent colour gives
// RGBA, or is dropped when alpha is not kept.
TEST(Imagetool, ReadsFilesLikeImageMagick) {
  TempDir dir;
  Convert(
      "xc:red xc:blue xc:yellow xc:teal xc:navy xc:olive xc:orange xc:'#c0ffee' xc:'#facade' "
      "xc:'#123456' +append " +
      dir / "nine.png");
  Convert("xc:red xc:blue xc:'#c0ffee' +append " + dir / "three.png");
  const std::string alpha = "-alpha set -channel A -fx i/w +channel ",
                    red = "-fill red -draw 'point 0,0' -transparent red ";
  struct Case {
    std::string options;
    // What the file must hold: a PNG's depth, colour type and interlace (IHDR), a BMP's header
    // size and depth.
    std::vector<int> holds;
    unsigned bits, bitsWithoutAlpha;  // what imagetool makes of it
  } cases[] = {
      {"-colors 2 -type Palette -compress None BMP3:", {40, 1}, 1, 1},
      {"-colors 16 -type Palette -compress None BMP3:", {40, 4}, 4, 4},
      {"-colors 200 -type Palette -compress None BMP3:", {40, 8}, 8, 8},
      {"-colors 100 -type Palette -compress None BMP:", {124, 8}, 8, 8},
      {"-type TrueColor BMP3:", {40, 24}, 24, 24},
      {alpha + "-type TrueColorAlpha BMP:", {124, 32}, 32, 32},
      {"-colors 200 PNG8:", {8, 3, 0}, 8, 8},
      {"-colors 200 -interlace PNG PNG8:", {8, 3, 1}, 8, 8},
      {"+dither -remap " + dir / "three.png" + " -define png:color-type=3 PNG:", {2, 3, 0}, 4, 4},
      {"+dither -remap " + dir / "nine.png" + " -define png:color-type=3 PNG:", {4, 3, 0}, 4, 4},
      {"-colors 60 " + red + "PNG8:", {8, 3, 0}, 32, 8},
      {"-colorspace gray -depth 1 PNG:", {1, 0, 0}, 1, 1},
      {"-colorspace gray -depth 2 -interlace PNG PNG:", {2, 0, 1}, 4, 4},
      {"-colorspace gray -depth 4 PNG:", {4, 0, 0}, 4, 4},
      {"-colorspace gray -depth 8 PNG:", {8, 0, 0}, 8, 8},
      {"-colorspace gray -depth 16 PNG:", {16, 0, 0}, 8, 8},
      {"-colorspace gray -depth 8 -fill black -draw 'point 0,0' -transparent black "
       "-define png:color-type=0 PNG:",
       {8, 0, 0},
       32,
       8},
      {"-colorspace gray -depth 8 " + alpha + "-define png:color-type=4 PNG:", {8, 4, 0}, 32, 32},
      {"PNG24:", {8, 2, 0}, 24, 24},
      {"-interlace PNG PNG24:", {8, 2, 1}, 24, 24},
      {"-depth 16 PNG48:", {16, 2, 0}, 24, 24},
      {red + "-define png:color-type=2 PNG:", {16, 2, 0}, 32, 24},
      {alpha + "PNG32:", {8, 6, 0}, 32, 32},
      {alpha + "-depth 16 -interlace PNG PNG64:", {16, 6, 1}, 32, 32},
  };
  for (const Case& c : cases) {
    const bool bmp = c.options.find("BMP") != std::string::npos;
    const std::string file = dir / (bmp ? "in.bmp" : "in.png");
    Convert("-seed 3 -size 29x13 plasma: " + c.options + file);
    const auto raw = ReadAll(file);
    ASSERT_GE(raw.size(), 33u);
    ASSERT_EQ(
        bmp ? std::vector<int>({raw[14], raw[28]}) : std::vector<int>({raw[24], raw[25], raw[28]}),
        c.holds)
        << c.options;
    for (bool keepAlpha : {true, false}) {
      OwnedBlock block(ReadAny(file, keepAlpha));
      ASSERT_TRUE(block) << c.options;
      const unsigned bits = keepAlpha ? c.bits : c.bitsWithoutAlpha;
      EXPECT_EQ(testimg::View(block.get()).v.bits, bits) << c.options;
      // ImageMagick's 16-bit channels, reduced here with rounding.
      Convert(file + " -depth 16 -endian MSB " + (bits == 32 ? "rgba:" : "rgb:") + dir / "raw");
      const auto wide = ReadAll(dir / "raw");
      std::vector<uint8_t> expected;
      for (size_t i = 0; i + 1 < wide.size(); i += 2)
        expected.push_back(
            static_cast<uint8_t>(((wide[i] << 8 | wide[i + 1]) * 255 + 32767) / 65535));
      EXPECT_EQ(Colours(block.get()), expected) << c.options << " " << keepAlpha;
    }
  }
}

// The output's format: --format, else OUTPUT's extension, else the input's (also from standard
// input); notes on what reading changed.
TEST(Imagetool, OutputFormatsAndReadingNotes) {
  TempDir dir;
  const std::string in = dir / "in.png";
  Convert(
      "-seed 3 -size 9x7 plasma: -colors 30 -fill red -draw 'point 0,0' -transparent red "
      "PNG8:" +
      dir / "trns.png");
  Convert("-seed 3 -size 9x7 plasma: -depth 16 PNG48:" + in);
  Convert(in + " BMP3:" + dir / "in.bmp");
  Convert("-size 3x2 xc:none -type TrueColorAlpha BMP:" + dir / "zero.bmp");  // every alpha 0
  struct Case {
    std::string args;
    const char* out;
    int status;
    const char* says;
    const char* output;  // its first bytes; "" when none may be written
    unsigned bits;
  } cases[] = {
      {"flip " + in, "o.bmp", 0, "16-bit channels reduced to 8 bits", "BM", 24},
      {"flip " + in, "o", 0, "", "\x89PNG", 24},
      {"flip " + dir / "in.bmp", "o.PNG", 0, "", "\x89PNG", 24},
      {"flip --format png " + dir / "in.bmp", "o.bmp", 0, "", "\x89PNG", 24},
      {"flip --format bmp - <" + in, "o.png", 0, "", "BM", 24},
      {"flip " + dir / "trns.png", "o.png", 0, "", "\x89PNG", 32},
      {"flip " + dir / "zero.bmp", "o.png", 0, "o.png: every pixel's fourth byte is 0", "\x89PNG",
       32},
      {"frame --fill-index 0 " + dir / "trns.png", "o.png", 0,
       "tRNS) is ignored: --fill-index works on the colour table", "\x89PNG", 8},
      {"flip --format gif " + in, "o.png", 2, "--format is bmp|png|jpeg, not 'gif'", "", 0},
      {"info --format png " + in, "", 2, "info writes no file", "", 0},
  };
  for (const Case& c : cases) {
    fs::remove(dir / "o.png");
    const RunResult run = Shell(InDir(dir, "$T " + c.args + " " + c.out));
    EXPECT_EQ(run.status, c.status) << c.args << "\n" << run.output;
    EXPECT_NE(run.output.find(c.says), std::string::npos) << c.args << "\n" << run.output;
    const auto bytes = *c.out ? ReadAll(dir / c.out) : std::vector<uint8_t>{};
    EXPECT_TRUE(std::string(bytes.begin(), bytes.end()).starts_with(c.output)) << c.args;
    if (!*c.output) continue;
    OwnedBlock block(ReadAny(dir / c.out));
    EXPECT_EQ(block ? testimg::View(block.get()).v.bits : 0, c.bits) << c.args;
  }
}

// Cut or damaged PNG files, and headers asking for more than the file or the limits allow: exit
// status 2, one line that says why, and no output file.
TEST(Imagetool, RefusesDamagedPngFiles) {
  TempDir dir;
  Convert("-seed 3 -size 40x30 plasma: -interlace PNG -strip PNG24:" + dir / "good.png");
  const auto good = ReadAll(dir / "good.png");
  const std::string_view tag = "IDAT";
  const auto at = std::search(good.begin(), good.end(), tag.begin(), tag.end());
  const auto idat = static_cast<size_t>(at - good.begin());
  ASSERT_EQ(Tool("invert " + dir / "good.png" + " " + dir / "out.png").status, 0);
  fs::remove(dir / "out.png");
  // IHDR with another size, its CRC made to match.
  auto sized = [&](uint32_t w, uint32_t h) {
    auto bytes = good;
    for (int i = 0; i < 4; ++i) {
      bytes[16 + i] = static_cast<uint8_t>(w >> (24 - 8 * i));
      bytes[20 + i] = static_cast<uint8_t>(h >> (24 - 8 * i));
    }
    const uint32_t crc = uint32_t(crc32(0, &bytes[12], 17));  // over type and data
    for (int i = 0; i < 4; ++i) bytes[29 + i] = static_cast<uint8_t>(crc >> (24 - 8 * i));
    return bytes;
  };
  auto flipped = [&](size_t at) {
    auto bytes = good;
    bytes[at] ^= 0x40;
    return bytes;
  };
  const size_t n = good.size();
  ExpectRefused(dir, "png",
                {{{good.begin(), good.begin() + 5}, "not a BMP, PNG or JPEG file"},
                 {{good.begin(), good.begin() + 30}, "truncated PNG file"},
                 {{good.begin(), good.begin() + static_cast<long>(n / 2)}, "truncated PNG file"},
                 {{good.begin(), good.end() - 12}, "truncated PNG file"},
                 {flipped(30), "bad PNG file: IHDR: CRC error"},
                 {flipped(idat + 40), "bad PNG file: IDAT: "},
                 {sized(0, 30), "bad PNG file: "},
                 {sized(40000, 30000), "bytes cannot hold the 40000 x 30000 picture"},
                 {sized(0x7FFFFFFF, 0x7FFFFFFF), "image too large"}});
}

// Steps joined by + give the bytes the same steps give run one by one through BMP files, at every
// depth (odd widths, so that rows have padding).
TEST(Imagetool, StepsInOneRunEqualStepsOneByOne) {
  TempDir dir;
  const std::string pairs[][2] = {
      {"crop --rect 1,2,9,6", "scale --width 150% --height 70%"},
      {"scale --width 60% --quality low", "frame --margins 1,2,3,4 --fill 9,200,30"},
      {"rotate --angle 30", "crop --left 1 --bottom 2"},
      {"mask --shape Star --invert", "tile --across 2 --down 3 --mirror"},
      {"invert", "rotate --angle 90"},
      {"frame --margins 2,0,3,1 --style outline", "mirror"},
      {"rotate --angle -45 --quality low", "scale --width 13 --height 5 --grey"},
      {"scale --width 5 --height 3", "flip"},
  };
  for (unsigned bits : testimg::kDepths) {
    const std::string in = WriteInput(dir, "in.bmp", bits, 11, 9, bits);
    for (const auto& [first, second] : pairs) {
      ASSERT_EQ(Tool(first + " " + in + " " + dir / "a.bmp").status, 0) << first;
      ASSERT_EQ(Tool(second + " " + dir / "a.bmp" + " " + dir / "b.bmp").status, 0) << second;
      const RunResult run = Tool(first + " + " + second + " " + in + " " + dir / "chain.bmp");
      ASSERT_EQ(run.status, 0) << first << " + " << second << "\n" << run.output;
      EXPECT_EQ(ReadAll(dir / "chain.bmp"), ReadAll(dir / "b.bmp"))
          << bits << " bits: " << first << " + " << second;
    }
  }
}

// --out-dir: each input's result, under its name, is the file a run of its own writes; a broken
// input fails alone and the status is the worst; on a terminal one progress line counts the files,
// and nothing shows in a pipe or with --quiet.
TEST(Imagetool, FolderRunsEqualOneRunPerFile) {
  TempDir dir;
  const std::vector<std::string> inputs = {WriteInput(dir, "a.bmp", 8, 13, 7, 1),
                                           WriteInput(dir, "b.bmp", 32, 9, 8, 2), dir / "bad.bmp",
                                           WriteInput(dir, "c.bmp", 1, 17, 5, 3)};
  std::ofstream(dir / "bad.bmp") << "BM";
  const std::string steps = " scale --width 50% + rotate --angle 10 ";
  std::string all;
  for (const std::string& input : inputs) all += " " + input;
  for (const char* options : {"--jobs 1", "--jobs 3 --format png", ""}) {
    fs::remove_all(dir / "out");
    const RunResult run =
        Tool("--out-dir " + dir / "out" + " " + options + steps + all + " </dev/null");
    EXPECT_EQ(run.status, 2) << options << run.output;
    EXPECT_NE(run.output.find("bad.bmp: truncated BMP file"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("imagetool: 1 of 4 files failed"), std::string::npos) << run.output;
    const std::string ext = std::string(options).find("png") != std::string::npos ? ".png" : ".bmp";
    for (const std::string name : {"a", "b", "c"}) {
      MustRun(InDir(dir, "$T" + steps + name + ".bmp single" + ext));
      EXPECT_EQ(ReadAll(dir / ("out/" + name + ext)), ReadAll(dir / ("single" + ext)))
          << options << " " << name;
    }
    EXPECT_FALSE(fs::exists(dir / "out/bad.bmp"));
  }
  const std::string run = "--out-dir " + dir / "out" + " flip " + inputs[0] + " " + inputs[1];
  const auto terminal = [&](const std::string& options) {
    return Shell("script -qec '" + std::string(IMAGETOOL_PATH) + " " + options + run +
                 "' /dev/null")
        .output;
  };
  EXPECT_NE(terminal("").find("2 of 2 done"), std::string::npos) << terminal("");
  EXPECT_EQ(terminal("--quiet "), "");
  EXPECT_EQ(Tool(run).output, "");
}

// Inputs and surroundings meant to break a run: each ends with its status and one line in the
// system's words, and leaves no temporary file.
TEST(Imagetool, HostileEdges) {
  TempDir dir;
  const std::string in = WriteInput(dir, "in.bmp", 24, 33, 20, 4);
  Convert("-size 9x7 xc:gray -colors 30 -fill red -draw 'point 0,0' -transparent red PNG8:" +
          dir / "trns.png");
  // An 8-bit 20000 x 20000 picture (400 MB) in a sparse file.
  const std::string huge = WriteInput(dir, "huge.bmp", 8, 1, 1, 1);
  fs::resize_file(huge, 20000ull * 20000 + 2000);
  std::fstream(huge, std::ios::in | std::ios::out | std::ios::binary)
      .seekp(18)
      .write("\x20\x4e\0\0\x20\x4e\0\0", 8);
  struct Case {
    std::string command;
    int status;
    const char* says;
    const char* neverSays;
  } cases[] = {
      {"yes | timeout 20 $T info -", 2, "-: not a BMP, PNG or JPEG file", ""},
      {"head -c 100 in.bmp | $T invert - o.bmp", 2,
       "truncated BMP file (100 bytes, the header asks for 2054)", ""},
      {"cat in.bmp | $T invert - o.bmp && cmp o.bmp i.bmp", 0, "", "imagetool"},
      {"f() { $T flip - o.bmp && $T flip - p.bmp && cmp p.bmp r.bmp; }; $T flip i.bmp r.bmp && "
       "$T crop --width 1 --height 1 in.bmp t.bmp && cat t.bmp i.bmp >2 && f <2 && cat 2 | f",
       0, "", "imagetool"},
      {"$T flip in.bmp i.jpg && cat i.jpg | $T flip - o.bmp && "
       "$T flip i.jpg f.bmp && cmp o.bmp f.bmp",
       0, "", "imagetool"},
      {"ulimit -f 1; $T scale --width 300% in.bmp o.bmp", 1, "o.bmp: File too large", ""},
      {"cp in.bmp l && ln l l2 && (ulimit -f 1; $T flip l l); s=$?; cmp l in.bmp && exit $s", 1,
       "l: File too large", ""},
      {"$T frame --fill-index 99 trns.png o.png", 2, "--fill-index 99 is not in", "tRNS"},
      {"IMAGE_MASK_FOLDER=/none $T mask --shape Star none.bmp o.bmp", 2, "none.bmp: No such file",
       "shape"},
#ifndef __SANITIZE_ADDRESS__  // its shadow memory needs more address space than the limit
      {"ulimit -v 300000; $T invert huge.bmp o.bmp", 1, "not enough memory", ""},
      {"ulimit -v 300000; $T frame --caption $(printf %254s | tr ' ' W) --font-height 4096 in.bmp "
       "o.bmp",
       0, "", "imagetool"},
#endif
  };
  ASSERT_EQ(Tool("invert " + in + " " + dir / "i.bmp").status, 0);
  for (const Case& c : cases) {
    fs::remove(dir / "o.bmp");
    const RunResult run = Shell(InDir(dir, c.command));
    EXPECT_EQ(run.status, c.status) << c.command << "\n" << run.output;
    EXPECT_NE(run.output.find(c.says), std::string::npos) << c.command << "\n" << run.output;
    if (*c.neverSays) {
      EXPECT_EQ(run.output.find(c.neverSays), std::string::npos) << c.command << run.output;
    }
    EXPECT_EQ(std::count(run.output.begin(), run.output.end(), '\n'), c.status ? 1 : 0)
        << c.command << "\n"
        << run.output;
  }
  EXPECT_EQ(Shell("ls -a " + dir.path.string() + " | grep imagetool-").output, "");
}

// A signal that ends the process while an output is written removes its temporary file.
TEST(Imagetool, SignalsRemoveTheTemporaryFile) {
  TempDir dir;
  for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGALRM, SIGUSR1, SIGUSR2, SIGXCPU,
                  SIGVTALRM, SIGRTMIN + 3}) {
    const std::string temp = dir / ".imagetool-test";
    std::ofstream(temp) << "half";
    const pid_t child = fork();
    if (child == 0) {
      const WriteGuard guard(temp);
      raise(sig);
      _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << sig << " " << status;
    EXPECT_FALSE(fs::exists(temp)) << "signal " << sig;
  }
}

// cmake --install puts the program, its manual page and its completion under a prefix; the
// installed program masks with a built-in shape anywhere, the page formats without a warning, and
// the completion offers commands, options and the values an option takes.
TEST(Imagetool, InstallsProgramManualAndCompletion) {
  TempDir dir;
  const std::string in = WriteInput(dir, "in.bmp", 24, 30, 20, 5);
  const RunResult install = Shell(std::string(CMAKE_COMMAND) + " --install " + IMAGETOOL_BUILD_DIR +
                                  " --prefix " + dir / "usr");
  ASSERT_EQ(install.status, 0) << install.output;
  ASSERT_EQ(Tool("mask --shape heart " + in + " " + dir / "built.bmp").status, 0);
  const RunResult run = Shell("cd / && env -u IMAGE_MASK_FOLDER " + dir / "usr/bin/imagetool" +
                              " mask --shape heart " + in + " " + dir / "installed.bmp");
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(ReadAll(dir / "installed.bmp"), ReadAll(dir / "built.bmp"));
  EXPECT_EQ(Shell("MANWIDTH=80 man --warnings -l " + dir / "usr/share/man/man1/imagetool.1" +
                  " 2>&1 >/dev/null")
                .output,
            "");
  const struct {
    const char* words;  // typed so far, the last one being completed
    const char* offers;
  } cases[] = {{"imagetool sc", "scale"},
               {"imagetool --jobs 2 fl", "flip"},
               {"imagetool crop --re", "--rect"},
               {"imagetool crop --rect 1,1,2,2 + scale --grey --wi", "--width"},
               {"imagetool flip --for", "--format"},
               {"imagetool --format p", "png"},
               {"imagetool mask --shape Up", "Up\\ Arrow"},
               {"imagetool frame --align top,c", "top\\,center"},  // quoted as bash quotes it
               {"imagetool crop --rect 1,1,2,2 in.", "in.bmp"}};
  for (const auto& c : cases) {
    const RunResult complete =
        Shell("cd " + dir.path.string() + " && bash -c 'source " +
              dir / "usr/share/bash-completion/completions/imagetool" + "; COMP_WORDS=(" + c.words +
              " ); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); _imagetool; echo \"${COMPREPLY[*]}\"'");
    EXPECT_EQ(complete.output, std::string(c.offers) + "\n") << c.words;
  }
}

}  // namespace
