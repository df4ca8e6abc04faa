#include "cli/run/console.h"

#include <atomic>
#include <cstdio>
#include <mutex>

#ifdef _WIN32
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

namespace {

// The shared line: what the progress line shows now, and the lock that keeps lines whole when
// several files are worked on at once.
struct Console {
  std::mutex lock;
  bool quiet = false;
  std::atomic<bool> engineProgress{true};
  std::string progress;
} g_console;

thread_local std::string t_context;
thread_local bool t_refused = false;

bool StderrIsTerminal() {
  static const bool terminal = isatty(fileno(stderr)) != 0;
  return terminal;
}

// A progress line longer than the terminal would wrap, and a carriage return would then clear
// only its last part; 79 columns fit every terminal.
constexpr size_t kProgressWidth = 79;

// Clears the progress line, if one is shown, so that the cursor is at the start of an empty line.
void ClearProgressLine() {
  if (!g_console.progress.empty())
    std::fprintf(stderr, "\r%*s\r", static_cast<int>(g_console.progress.size()), "");
}

// `text` cut to the width of a line, never inside a UTF-8 character.
std::string FitLine(const std::string& text) {
  if (text.size() <= kProgressWidth) return text;
  size_t end = kProgressWidth - 3;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return text.substr(0, end) + "...";
}

void PrintLine(const std::string& line) {
  const std::lock_guard<std::mutex> guard(g_console.lock);
  ClearProgressLine();
  std::fputs(line.c_str(), stderr);
  if (!g_console.progress.empty()) std::fputs(g_console.progress.c_str(), stderr);
  std::fflush(stderr);
}

}  // namespace

void ToolError(const std::string& message) {
  PrintLine("imagetool: " + t_context + message + "\n");
}

void ToolNote(const std::string& message) {
  if (!g_console.quiet) PrintLine("imagetool: note: " + t_context + message + "\n");
}

HostBlock Refuse(const std::string& message) {
  ToolError(message);
  t_refused = true;
  return nullptr;
}

bool Refused() { return t_refused; }
void ClearRefused() { t_refused = false; }

MessageContext::MessageContext(std::string context) : before_(t_context) { t_context += context; }
MessageContext::~MessageContext() { t_context = before_; }

void SetQuiet(bool quiet) { g_console.quiet = quiet; }

bool ProgressShown() { return !g_console.quiet && StderrIsTerminal(); }

bool EngineProgressShown() { return g_console.engineProgress && ProgressShown(); }
void SetEngineProgress(bool shown) { g_console.engineProgress = shown; }

void ShowProgress(const std::string& text) {
  if (!ProgressShown()) return;
  const std::string line = FitLine(text);
  const std::lock_guard<std::mutex> guard(g_console.lock);
  if (line == g_console.progress) return;
  ClearProgressLine();
  g_console.progress = line;
  std::fputs(line.c_str(), stderr);
  std::fflush(stderr);
}
