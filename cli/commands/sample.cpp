#include "cli/commands/sample.h"

#include <cstring>
#include <filesystem>
#include <iostream>
#include <sstream>

#include "cli/commands/commands.h"
#include "cli/formats/image_file.h"
#include "cli/run/command_line.h"
#include "cli/run/console.h"
#include "cli/run/run_options.h"
#include "dib/block.h"
#include "dib/dib.h"

namespace {

constexpr uint32_t kWidth = 160;
constexpr uint32_t kHeight = 120;

struct Rgb {
  uint8_t r, g, b;
};

// The picture itself: a sky-to-grass gradient, a yellow sun top right and a red "F" left of
// centre (upright and unmirrored only in the original).
Rgb SamplePixel(uint32_t x, uint32_t y) {
  Rgb c = y < 80 ? Rgb{static_cast<uint8_t>(60 + y), static_cast<uint8_t>(110 + y), 230}
                 : Rgb{40, static_cast<uint8_t>(120 + (y - 80) * 2), 40};
  const int dx = static_cast<int>(x) - 125, dy = static_cast<int>(y) - 30;
  if (dx * dx + dy * dy <= 18 * 18) c = {250, 220, 40};
  const bool stem = x >= 30 && x < 42 && y >= 20 && y < 100;
  const bool top = x >= 30 && x < 80 && y >= 20 && y < 32;
  const bool middle = x >= 30 && x < 66 && y >= 52 && y < 63;
  if (stem || top || middle) c = {220, 30, 30};
  return c;
}

// Palette index of the nearest 3-3-2 colour, and the table that goes with it.
uint8_t Index332(Rgb c) {
  return static_cast<uint8_t>((c.r & 0xE0) | (c.g & 0xE0) >> 3 | c.b >> 6);
}
RgbQuad Entry332(unsigned i) {
  return {static_cast<uint8_t>((i & 3) * 85), static_cast<uint8_t>(((i >> 2) & 7) * 255 / 7),
          static_cast<uint8_t>((i >> 5) * 255 / 7), 0};
}

// The sixteen colours of the 4-bit sample: black, the eight primaries and mixes at half and full.
constexpr RgbQuad kTable16[16] = {
    {0, 0, 0, 0},       {0, 0, 128, 0},   {0, 128, 0, 0},   {0, 128, 128, 0},
    {128, 0, 0, 0},     {128, 0, 128, 0}, {128, 128, 0, 0}, {192, 192, 192, 0},
    {128, 128, 128, 0}, {0, 0, 255, 0},   {0, 255, 0, 0},   {0, 255, 255, 0},
    {255, 0, 0, 0},     {255, 0, 255, 0}, {255, 255, 0, 0}, {255, 255, 255, 0}};

uint8_t Nearest16(Rgb c) {
  unsigned best = 0, bestDistance = ~0u;
  for (unsigned i = 0; i < 16; ++i) {
    const int dr = c.r - kTable16[i].rgbRed, dg = c.g - kTable16[i].rgbGreen,
              db = c.b - kTable16[i].rgbBlue;
    const unsigned d = static_cast<unsigned>(dr * dr + dg * dg + db * db);
    if (d < bestDistance) bestDistance = d, best = i;
  }
  return static_cast<uint8_t>(best);
}

}  // namespace

HostBlock MakeSampleImage(unsigned bits) {
  const uint32_t colors = bits <= 8 ? 1u << bits : 0;
  const uint64_t stride = RowStride(bits, kWidth);
  OwnedBlock block(
      HP_Alloc(PackedDibSize(colors * 4, bits, kWidth, kHeight), HP_MOVEABLE | HP_ZEROINIT));
  BlockLock lock(block.get());
  if (!lock) return nullptr;
  uint8_t* p = lock.get();
  BitmapInfoHeader h{40,
                     static_cast<int32_t>(kWidth),
                     static_cast<int32_t>(kHeight),
                     1,
                     static_cast<uint16_t>(bits),
                     0,
                     static_cast<uint32_t>(stride * kHeight),
                     3780,
                     3780,
                     colors,
                     0};
  std::memcpy(p, &h, sizeof h);
  auto* table = reinterpret_cast<RgbQuad*>(p + 40);
  for (uint32_t i = 0; i < colors; ++i)
    table[i] = bits == 8   ? Entry332(i)
               : bits == 4 ? kTable16[i]
                           : RgbQuad{uint8_t(i * 255), uint8_t(i * 255), uint8_t(i * 255), 0};
  DibView v;
  DescribeDib(p, HP_Size(block.get()), v);
  for (uint32_t y = 0; y < kHeight; ++y) {
    uint8_t* row = v.RowFromTop(y);
    for (uint32_t x = 0; x < kWidth; ++x) {
      const Rgb c = SamplePixel(x, y);
      switch (bits) {
        case 1:
          if (c.r + c.g + c.b > 3 * 128) row[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
          break;
        case 4:
          row[x / 2] |= static_cast<uint8_t>(Nearest16(c) << (x % 2 ? 0 : 4));
          break;
        case 8:
          row[x] = Index332(c);
          break;
        default:
          row[x * bits / 8] = c.b;
          row[x * bits / 8 + 1] = c.g;
          row[x * bits / 8 + 2] = c.r;
          if (bits == 32)
            row[x * 4 + 3] = static_cast<uint8_t>(x * 255 / (kWidth - 1));  // alpha ramp
      }
    }
  }
  lock.unlock();
  return block.release();
}

namespace {

constexpr char kSampleUsage[] =
    "usage: imagetool sample [DIR]\n"
    "Writes a small sample picture at every depth (1, 4, 8, 24 and 32 bits) into DIR (default\n"
    "imagetool-sample, made when missing) and runs every command on each, so that the results\n"
    "can be looked at side by side: sample-24bit.bmp, flip-24bit.bmp, ...; the 24-bit sample\n"
    "also as a PNG and a JPEG file (sample-24bit.png, flip-24bit.jpg, ...).\n";

std::vector<std::string> Words(const char* text) {
  std::vector<std::string> words;
  std::istringstream in(text);
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

// Writes the sample at every depth and runs each command that has sample options on each, as
// imagetool runs on the command line.
int RunSample(const Args& args, const RunOptions& options);

}  // namespace

extern const ToolCommand kSampleTool = {
    "sample",     "write a sample picture at every depth and run every command on it",
    kSampleUsage, {},
    {},           nullptr,
    RunSample,    nullptr};

namespace {

int RunSample(const Args& args, const RunOptions& options) {
  namespace fs = std::filesystem;
  if (args.positional.size() > 1) return UsageError(kSampleTool, "expected at most one DIR");
  for (const std::string& name : options.given)
    if (name != "--quiet") return UsageError(kSampleTool, "sample takes no " + name);
  const std::string dir = args.positional.empty() ? "imagetool-sample" : args.positional[0];
  if (dir.empty()) return UsageError(kSampleTool, "the DIR name is empty");
  std::error_code ec;
  fs::create_directories(dir, ec);
  if (ec) {
    ToolError("cannot make the folder " + dir + ": " + ec.message());
    return kExitFailed;
  }
  const fs::path folder = fs::absolute(dir);
  const Program program{kToolCommands, ""};
  int written = 0, failed = 0;
  // Every depth as BMP files, and the 24-bit sample as a PNG and a JPEG where this build writes
  // them.
  const struct {
    unsigned bits;
    ImageFormat format;
  } samples[] = {{1, ImageFormat::kBmp},  {4, ImageFormat::kBmp},  {8, ImageFormat::kBmp},
                 {24, ImageFormat::kBmp}, {32, ImageFormat::kBmp}, {24, ImageFormat::kPng},
                 {24, ImageFormat::kJpeg}};
  for (const auto& [bits, format] : samples) {
    std::string error;
    if (!CanWrite(format, error)) continue;
    const std::string depth = std::to_string(bits) + "bit", extension = FormatExtension(format);
    const std::string input = (folder / ("sample-" + depth + extension)).string();
    OwnedBlock sample(MakeSampleImage(bits));
    if (!sample || !WriteImageFile(input, {format}, sample.get(), error)) {
      ToolError(input + ": " + error);
      return kExitFailed;
    }
    ++written;
    for (const ToolCommand* command : kToolCommands) {
      if (!command->sampleOptions) continue;
      std::vector<std::string> words = Words(command->sampleOptions);
      words.insert(words.begin(), command->name);
      words.push_back(input);
      words.push_back((folder / (std::string(command->name) + "-" + depth + extension)).string());
      (RunCommandLine(words, program) == kExitOk ? written : failed) += 1;
    }
  }
  if (!options.quiet)
    std::cout << "imagetool: wrote " << written << " images to " << folder.string() << "\n";
  return failed ? kExitFailed : kExitOk;
}

}  // namespace
