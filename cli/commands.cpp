#include "cli/tool.h"

extern const ToolCommand kInfoTool, kInvertTool, kFlipTool, kMirrorTool;

const ToolCommand* const kToolCommands[] = {
    &kInfoTool,
    &kInvertTool,
    &kFlipTool,
    &kMirrorTool,
    nullptr,
};
