#include "cli/tool.h"

extern const ToolCommand kInfoTool, kInvertTool, kFlipTool, kMirrorTool;
extern const ToolCommand kCropTool, kFrameTool, kTileTool;
extern const ToolCommand kScaleTool;

const ToolCommand* const kToolCommands[] = {
    &kInfoTool,
    &kInvertTool,
    &kFlipTool,
    &kMirrorTool,
    &kCropTool,
    &kFrameTool,
    &kTileTool,
    &kScaleTool,
    nullptr,
};
