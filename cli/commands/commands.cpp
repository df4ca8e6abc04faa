#include "cli/commands/commands.h"

extern const ToolCommand kInfoTool, kInvertTool, kFlipTool, kMirrorTool, kCropTool, kScaleTool,
    kRotateTool, kFrameTool, kTileTool, kMaskTool;

// In the order of the plug-in's menu.
const ToolCommand* const kToolCommands[] = {
    &kInfoTool,   &kInvertTool, &kFlipTool, &kMirrorTool, &kCropTool, &kScaleTool,
    &kRotateTool, &kFrameTool,  &kTileTool, &kMaskTool,   nullptr,
};
