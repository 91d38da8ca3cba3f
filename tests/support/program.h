// End-to-end runs of the built kavrel: each test installs its own copy of
// the binary in a scratch directory, so the configuration file beside it is
// under the test's control, and runs it in a working directory of its own.
#ifndef KAVREL_TESTS_SUPPORT_PROGRAM_H
#define KAVREL_TESTS_SUPPORT_PROGRAM_H

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "support/scratch_dir.h"

namespace kavrel::testing {

struct ProgramResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};

// Splits text into lines at LF (a final LF does not start another line).
std::vector<std::string> Lines(const std::string& text);

// A program running in the background with its output discarded, for tests
// that end it from outside; one still running when the object goes is
// killed.
class BackgroundRun {
 public:
  BackgroundRun(const std::string& program, const std::vector<std::string>& arguments,
                const std::string& workingDirectory);
  ~BackgroundRun() { Kill(); }
  BackgroundRun(const BackgroundRun&) = delete;
  BackgroundRun& operator=(const BackgroundRun&) = delete;

  bool Running();
  // Sends SIGKILL and waits for the end; true when it was still running.
  bool Kill();

 private:
  int pid_ = -1;
};

class InstalledProgram {
 public:
  // Copies the built binary to <scratch>/bin/kavrel and makes
  // <scratch>/work the working directory of every run.
  InstalledProgram();

  const ScratchDir& scratch() const { return scratch_; }
  std::string BinaryPath() const { return scratch_.At("bin/kavrel"); }
  std::string ConfigPath() const { return scratch_.At("bin/kavrel.ini"); }
  std::string WorkDir() const { return scratch_.At("work"); }
  // WorkDir() + "/" + name
  std::string Work(const std::string& name) const { return WorkDir() + "/" + name; }

  void WriteConfig(const std::string& text) const;
  void WriteWork(const std::string& name, const std::string& bytes) const;
  std::string ReadWork(const std::string& name) const;
  bool WorkExists(const std::string& name) const;
  std::vector<std::string> WorkNames() const;

  // Runs kavrel with these arguments (the program path is added) in the
  // work directory; a run that takes longer than `timeoutSeconds` is
  // killed and fails the test.
  ProgramResult Run(const std::vector<std::string>& arguments, int timeoutSeconds = 60) const;
  // Starts kavrel the same way without waiting for it (output discarded).
  BackgroundRun Start(const std::vector<std::string>& arguments) const;

 private:
  ScratchDir scratch_;
};

// A run that read every input but pages of no known site (test pages that
// only prove a download): exit status 3 (nothing gained) and those pages
// named on standard error, nothing else.
bool OnlyPagesOfNoSite(const ProgramResult& result);

// Changes to the test's environment for a child: a value sets the
// variable, nothing removes it.
using Environment = std::map<std::string, std::optional<std::string>>;

// Runs any program with arguments in a directory, capturing its output; a
// run longer than `timeoutSeconds` is killed with everything it started,
// and throws.
ProgramResult RunProcess(const std::string& program, const std::vector<std::string>& arguments,
                         const std::string& workingDirectory, int timeoutSeconds,
                         const Environment& changes = {});

// Path of a file under tests/data of the source tree.
std::string TestDataPath(const std::string& name);

}  // namespace kavrel::testing

#endif
