// Running imagetool and other programs from the cli tests, and reading the files they leave.
#pragma once

#include <sys/wait.h>

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cli/formats/image_file.h"
#include "dib/block.h"
#include "tests/support/images.h"

namespace toolrun {

// A fresh folder removed with everything in it when the test ends.
struct TempDir {
  TempDir() {
    char name[] = "/tmp/imagetool-test-XXXXXX";
    path = mkdtemp(name);
  }
  ~TempDir() { std::filesystem::remove_all(path); }
  std::string operator/(const std::string& file) const { return (path / file).string(); }
  std::filesystem::path path;
};

struct RunResult {
  int status;
  std::string output;  // stdout and stderr together
};

inline RunResult Shell(const std::string& command) {
  RunResult run{-1, {}};
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (!pipe) return run;
  char buffer[4096];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) run.output.append(buffer, n);
  const int status = pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

inline RunResult Tool(const std::string& args) {
  return Shell(std::string(IMAGETOOL_PATH) + " " + args);
}

// A shell command run in `dir`, with $T standing for imagetool.
inline std::string InDir(const TempDir& dir, const std::string& command) {
  return "cd " + dir.path.string() + " && T=" + IMAGETOOL_PATH + " && (" + command + ")";
}

// Runs a shell command that must succeed.
inline void MustRun(const std::string& command) {
  const RunResult run = Shell(command);
  ASSERT_EQ(run.status, 0) << command << "\n" << run.output;
}

inline void Convert(const std::string& args) {
  const RunResult run = Shell(std::string(IMAGEMAGICK_CONVERT) + " " + args);
  ASSERT_EQ(run.status, 0) << "ImageMagick (installed by scripts/setup.sh) failed: " << run.output;
}

inline std::vector<uint8_t> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A picture read by imagetool's reader (any format); null after a failed expectation.
inline HostBlock ReadAny(const std::string& path, bool keepAlpha = true) {
  std::string error;
  ImageFormat format;
  ReadNotes notes;
  HostBlock block = ReadImageFile(path, keepAlpha, format, notes, error);
  EXPECT_TRUE(block) << path << ": " << error;
  return block;
}

// The picture of a file as imagetool reads it, normalised (padding cleared).
inline std::vector<uint8_t> Picture(const std::string& path) {
  OwnedBlock block(ReadAny(path));
  return block ? testimg::Bytes(block.get()) : std::vector<uint8_t>{};
}

// The colours of a picture, top row first, as ImageMagick's rgb: (rgba: for 32 bits, unless
// `alpha` is false) holds them.
inline std::vector<uint8_t> Colours(HostBlock block, bool alpha = true) {
  const testimg::View view(block);
  const DibView& v = view.v;
  std::vector<uint8_t> decoded;
  for (uint32_t y = 0; y < v.height; ++y)
    for (uint32_t x = 0; x < v.width; ++x) {
      const uint32_t p = testimg::GetPixel(v, x, y);
      const RgbQuad q = v.bits <= 8 ? v.colors[p] : std::bit_cast<RgbQuad>(p);  // bytes as stored
      decoded.insert(decoded.end(), {q.rgbRed, q.rgbGreen, q.rgbBlue});
      if (v.bits == 32 && alpha) decoded.push_back(q.rgbReserved);
    }
  return decoded;
}

inline void WriteAll(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
}

// A damaged input file and a part of the line that must refuse it.
struct Damaged {
  std::vector<uint8_t> bytes;
  const char* says;
};

// Each file, given to invert as bad.`ext`, ends the run with status 2 and one line in the tool's
// words that says why, and leaves no output file.
inline void ExpectRefused(const TempDir& dir, const std::string& ext,
                          const std::vector<Damaged>& files) {
  const std::string bad = dir / ("bad." + ext), out = dir / ("out." + ext);
  for (const Damaged& f : files) {
    WriteAll(bad, f.bytes);
    const RunResult run = Tool("invert " + bad + " " + out);
    EXPECT_TRUE(run.status == 2 && run.output.starts_with("imagetool: ") &&
                std::count(run.output.begin(), run.output.end(), '\n') == 1 &&
                run.output.find(f.says) != std::string::npos && !std::filesystem::exists(out))
        << f.says << ": status " << run.status << ", said\n"
        << run.output;
  }
}

}  // namespace toolrun
