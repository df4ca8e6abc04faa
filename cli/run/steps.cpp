#include "cli/run/steps.h"

#include "cli/formats/image_file.h"
#include "cli/run/console.h"
#include "cli/run/orientation.h"
#include "dib/block.h"

namespace {

// The exit status of a failed read: running out of memory is a valid request that failed.
int ReadFailure(const std::string& error) {
  return IsMemoryError(error) ? kExitFailed : kExitBadInput;
}

// The prefix that names step `index` (from 0) of `steps` in messages; none for a single step.
std::string StepContext(const std::vector<NamedStep>& steps, size_t index) {
  if (steps.size() < 2) return "";
  return "step " + std::to_string(index + 1) + " (" + steps[index].command->name + "): ";
}

// Applies every step to `image` in turn; `image` then holds the result. Engines leave their results
// as the BMP reader would give them back (padding clear, the table's length in the header), so the
// picture needs no normalising between steps. Returns kExitOk, or the exit status of the step that
// failed.
int ApplySteps(const std::vector<NamedStep>& steps, OwnedBlock& image) {
  for (size_t i = 0; i < steps.size(); ++i) {
    const MessageContext context(StepContext(steps, i));
    ClearRefused();
    HostBlock result = steps[i].step.apply(image.get());
    if (!result) return Refused() ? kExitBadInput : kExitFailed;
    if (result != image.get()) image = OwnedBlock(result);  // the input goes as the result comes
  }
  return kExitOk;
}

// Shows a picture read with EXIF orientation `orientation` as the tag says, with `apply`; without
// it the picture stays as stored and the user hears how it is meant to be shown. Returns kExitOk
// or the exit status of a failed turn.
int Orient(const std::string& input, int orientation, bool apply, OwnedBlock& image) {
  const char* shown = OrientationText(orientation);
  if (!shown) return kExitOk;
  if (!apply) {
    ToolNote(input + ": its EXIF orientation says it is shown " + shown +
             " (--auto-orient does that)");
    return kExitOk;
  }
  HostBlock upright = ApplyOrientation(image.get(), orientation);
  if (!upright) return kExitFailed;
  if (upright != image.get()) image = OwnedBlock(upright);
  return kExitOk;
}

unsigned BitsOf(HostBlock dib) {
  BlockLock lock(dib);
  return lock ? reinterpret_cast<const BitmapInfoHeader*>(lock.get())->biBitCount : 0;
}

// Writes the result, with a note where a PNG would show nothing or a JPEG drops the fourth byte.
int WriteResult(const std::string& output, const WriteSettings& settings, HostBlock result) {
  // Written as it is (the fourth byte is the alpha), but the user hears why nothing shows.
  if (settings.format == ImageFormat::kPng && WhollyTransparent(result))
    ToolNote(output + ": every pixel's fourth byte is 0: the PNG is wholly transparent");
  if (settings.format == ImageFormat::kJpeg && BitsOf(result) == 32)
    ToolNote(output + ": JPEG has no alpha: the fourth byte of every pixel is dropped");
  std::string error;
  if (WriteImageFile(output, settings, result, error)) return kExitOk;
  ToolError(output + ": " + error);
  return kExitFailed;
}

}  // namespace

int RunSteps(const std::vector<NamedStep>& steps, const RunOptions& options,
             const std::string& input, const std::string& output, bool nameInput) {
  WriteSettings settings = options.write;
  settings.format = options.format.value_or(OutputFormatFor(output, ImageFormat::kBmp));
  std::string error;
  // An output this build cannot write is refused before any work; one chosen by the input's
  // format is refused when the input is (the reader says why).
  if (!CanWrite(settings.format, error)) {
    ToolError(output + ": " + error);
    return kExitBadInput;
  }
  // Run one by one, only the first step would read the input file itself, so only its options
  // decide what becomes of a transparent colour.
  const char* tableOption = steps.front().step.tableOption;
  ImageFormat inputFormat = ImageFormat::kBmp;
  ReadNotes notes;
  OwnedBlock image(ReadImageFile(input, tableOption == nullptr, inputFormat, notes, error));
  if (!image) {
    ToolError(input + ": " + error);
    return ReadFailure(error);
  }
  if (notes.png.reduced16) ToolNote(input + ": 16-bit channels reduced to 8 bits, rounded");
  if (const int status = Orient(input, notes.orientation, options.autoOrient, image)) return status;
  if (!options.format) settings.format = OutputFormatFor(output, inputFormat);
  {
    const MessageContext context(nameInput ? input + ": " : "");
    if (const int status = ApplySteps(steps, image)) return status;
  }
  // Said only once the steps went through: a refused picture drops nothing.
  if (notes.png.transparencyIgnored)
    ToolNote(input + ": its transparent colour (tRNS) is ignored: " + tableOption +
             " works on the colour table");
  return WriteResult(output, settings, image.get());
}
