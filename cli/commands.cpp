#include "cli/tool.h"

extern const ToolCommand kInfoTool, kInvertTool, kFlipTool, kMirrorTool;
extern const ToolCommand kScaleTool;

const ToolCommand* const kToolCommands[] = {
    &kInfoTool,
    &kInvertTool,
    &kFlipTool,
    &kMirrorTool,
    &kScaleTool,
    nullptr,
};
