#include "cli/commands/commands.h"

#include "cli/commands/caption_glyphs.h"
#include "cli/formats/image_file.h"

extern const ToolCommand kInfoTool, kInvertTool, kFlipTool, kMirrorTool, kCropTool, kScaleTool,
    kRotateTool, kFrameTool, kTileTool, kMaskTool, kSampleTool;

namespace {

// In the order of the plug-in's menu, then the sample.
const ToolCommand* const kCommandList[] = {
    &kInfoTool,   &kInvertTool, &kFlipTool, &kMirrorTool, &kCropTool,   &kScaleTool,
    &kRotateTool, &kFrameTool,  &kTileTool, &kMaskTool,   &kSampleTool,
};

}  // namespace

const std::span<const ToolCommand* const> kToolCommands(kCommandList);

std::string BuiltWith() { return "built with " + FormatLibraries() + ", " + CaptionLibraries(); }
