// What imagetool says on stderr: errors, notes and one progress line, from any thread.
#pragma once

#include <string>

#include "dib/host_port.h"

// Prints "imagetool: " and the calling thread's message context, then `message`, as one line.
void ToolError(const std::string& message);

// Like ToolError with "note: " before the message, unless the run is quiet.
void ToolNote(const std::string& message);

// Reports a request that does not fit the picture (the step then fails with kExitBadInput).
// Returns null, for the step to return.
HostBlock Refuse(const std::string& message);

// Whether Refuse was called on this thread since the last ClearRefused.
bool Refused();
void ClearRefused();

// What the calling thread's messages are about ("photo.png: step 2 (scale): "), until the scope
// ends.
struct MessageContext {
  explicit MessageContext(std::string context);
  ~MessageContext();
  MessageContext(const MessageContext&) = delete;
  MessageContext& operator=(const MessageContext&) = delete;

 private:
  std::string before_;
};

// Quiet runs print errors only: no notes, no progress.
void SetQuiet(bool quiet);

// Whether a progress line is shown: stderr is a terminal and the run is not quiet.
bool ProgressShown();

// Whether the engines' own progress meters are shown: when ProgressShown, except while a run over
// many files shows its own line (SetEngineProgress(false)).
bool EngineProgressShown();
void SetEngineProgress(bool shown);

// Shows `text` as the progress line (the last line of the terminal, rewritten in place), or clears
// it for "". Errors and notes printed meanwhile go above it. Nothing happens unless ProgressShown.
void ShowProgress(const std::string& text);
