#include "cli/run/folder.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <map>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

#ifdef __linux__
#include <sched.h>
#endif
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "cli/run/console.h"
#include "dib/row_bands.h"

namespace fs = std::filesystem;

namespace {

// The files worked on at once by default: beyond 8, reading and writing files is what limits.
constexpr unsigned kMaxDefaultJobs = 8;

// Each input with the output it is written to.
struct FileJob {
  std::string input;
  std::string output;
};

// The output of `input` in `folder`: its name, renamed for --format's format when one is given.
std::string OutputFor(const std::string& input, const RunOptions& options) {
  fs::path name = fs::path(input).filename();
  if (name.empty()) name = fs::path(input).parent_path().filename();  // "photos/"
  std::string file = name.string();
  if (options.format) file = NameForFormat(file, *options.format);
  return (fs::path(options.outDir) / file).string();
}

// What names one file whatever path leads to it (a link, another spelling, a hard link); "" when
// there is no such file.
std::string FileIdentity(const std::string& path) {
#ifdef _WIN32
  std::error_code ec;
  const fs::path canonical = fs::canonical(path, ec);
  return ec ? "" : canonical.string();
#else
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return "";
  return std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
#endif
}

// Pairs each input with its output; false, after saying why, when two outputs are the same file
// or an output is one of the inputs (that input would be lost).
bool PlanOutputs(const std::vector<std::string>& inputs, const RunOptions& options,
                 std::vector<FileJob>& jobs) {
  std::map<std::string, const std::string*> outputs;
  for (const std::string& input : inputs) {
    jobs.push_back({input, OutputFor(input, options)});
    const auto [at, fresh] = outputs.emplace(jobs.back().output, &input);
    if (!fresh) {
      ToolError(*at->second + " and " + input + " would both be written to " + at->first);
      return false;
    }
  }
  std::map<std::string, const std::string*> inputFiles;
  for (const std::string& input : inputs)
    if (const std::string id = FileIdentity(input); !id.empty()) inputFiles.emplace(id, &input);
  for (const FileJob& job : jobs) {
    const auto same = inputFiles.find(FileIdentity(job.output));
    if (same == inputFiles.end()) continue;
    ToolError(job.output + " would replace the input " + *same->second + "; nothing is written");
    return false;
  }
  return true;
}

// What the workers share: the next file to take, how many are done, the worst status.
struct FolderRun {
  FolderRun(const std::vector<NamedStep>& s, const RunOptions& o, const std::vector<FileJob>& j)
      : steps(s), options(o), jobs(j) {}
  const std::vector<NamedStep>& steps;
  const RunOptions& options;
  const std::vector<FileJob>& jobs;
  std::atomic<size_t> next{0};
  std::mutex lock;
  size_t done = 0, failed = 0;
  int worst = kExitOk;
};

void ShowFolderProgress(FolderRun& run, const std::string& current) {
  ShowProgress("imagetool: " + std::to_string(run.done) + " of " + std::to_string(run.jobs.size()) +
               " done, " + current);
}

// Runs one file; running out of memory outside the host port's blocks fails that file alone.
int RunOne(const FolderRun& run, const FileJob& job) {
  try {
    return RunSteps(run.steps, run.options, job.input, job.output, true);
  } catch (const std::bad_alloc&) {
    ToolError(job.input + ": not enough memory");
    return kExitFailed;
  }
}

// One worker: takes files until none is left.
void Work(FolderRun& run) {
  for (size_t i; (i = run.next.fetch_add(1)) < run.jobs.size();) {
    const FileJob& job = run.jobs[i];
    {
      const std::lock_guard<std::mutex> guard(run.lock);
      ShowFolderProgress(run, job.input);
    }
    const int status = RunOne(run, job);
    const std::lock_guard<std::mutex> guard(run.lock);
    ++run.done;
    if (status != kExitOk) ++run.failed;
    run.worst = std::max(run.worst, status);
    ShowFolderProgress(run, job.input);
  }
}

}  // namespace

unsigned UsableCores() {
#ifdef __linux__
  cpu_set_t set;
  if (sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0)
    return static_cast<unsigned>(CPU_COUNT(&set));
#endif
  return std::max(1u, std::thread::hardware_concurrency());
}

int RunFolder(const std::vector<NamedStep>& steps, const RunOptions& options,
              const std::vector<std::string>& inputs) {
  for (const std::string& input : inputs)
    if (input == "-") {
      ToolError("standard input has no name to write under --out-dir");
      return kExitBadInput;
    }
  std::vector<FileJob> jobs;
  if (!PlanOutputs(inputs, options, jobs)) return kExitBadInput;
  std::error_code ec;
  fs::create_directories(options.outDir, ec);
  if (ec) {
    ToolError("cannot make the folder " + options.outDir + ": " + ec.message());
    return kExitFailed;
  }
  const unsigned cores = UsableCores();
  const unsigned workers = static_cast<unsigned>(std::min<size_t>(
      options.jobs ? options.jobs : std::min(cores, kMaxDefaultJobs), jobs.size()));
  // Files at once and rows at once share the cores: a single file still gets them all.
  SetRowWorkers(std::max(1u, cores / workers));
  FolderRun run(steps, options, jobs);
  SetEngineProgress(false);
  std::vector<std::thread> threads;
  try {
    for (unsigned i = 1; i < workers; ++i) threads.emplace_back([&run] { Work(run); });
  } catch (const std::system_error&) {
    // Fewer threads than asked for: the ones there are take every file.
  }
  Work(run);
  for (std::thread& t : threads) t.join();
  ShowProgress("");
  SetEngineProgress(true);
  if (run.failed)
    ToolError(std::to_string(run.failed) + " of " + std::to_string(jobs.size()) + " files failed");
  return run.worst;
}
