#include "cli/tool.h"

extern const ToolCommand kInfoTool, kInvertTool, kFlipTool, kMirrorTool;
extern const ToolCommand kCropTool, kFrameTool, kTileTool;
extern const ToolCommand kScaleTool;
extern const ToolCommand kRotateTool;
extern const ToolCommand kMaskTool;

const ToolCommand* const kToolCommands[] = {
    &kInfoTool,
    &kInvertTool,
    &kFlipTool,
    &kMirrorTool,
    &kCropTool,
    &kFrameTool,
    &kTileTool,
    &kScaleTool,
    &kRotateTool,
    &kMaskTool,
    nullptr,
};
