// What a run has to tell beside its progress lines, and the exit status
// that follows from it.
//
// Progress lines go to the run's output stream; everything else worth
// saying (an input that gave nothing, a note on data a format had to leave
// out, a run that cannot start) goes through one Diagnostics object owned
// by the run: it writes the line to standard error with the program's
// prefix and remembers what the line means for the exit status.
#ifndef KAVREL_PLATFORM_DIAGNOSTICS_H
#define KAVREL_PLATFORM_DIAGNOSTICS_H

#include <ostream>
#include <string_view>

namespace kavrel {

// The exit statuses scripts can rely on.
enum ExitStatus : int {
  kExitFine = 0,          // every input was read
  kExitCannotStart = 1,   // usage, configuration, or an output that cannot be written
  kExitSomeFailed = 2,    // some input or argument failed, but a list was written
  kExitNothingGained = 3, // inputs failed and none gave anything
};

class Diagnostics {
 public:
  explicit Diagnostics(std::ostream& err) : err_(err) {}
  Diagnostics(const Diagnostics&) = delete;
  Diagnostics& operator=(const Diagnostics&) = delete;

  // "kavrel: <subject>: <cause>": an input (or argument) that gave nothing
  // because something is wrong. The run goes on; its status says so.
  void InputFailed(std::string_view subject, std::string_view cause);

  // "kavrel: <argument>: <cause>": an argument that could not be read. The
  // run goes on without it; its status says so.
  void ArgumentFailed(std::string_view argument, std::string_view cause);

  // "kavrel: <text>": worth knowing, changes no exit status. Nothing while
  // quiet.
  void Note(std::string_view text);

  // Quiet: failures only, no notes.
  void SetQuiet(bool quiet) { quiet_ = quiet; }

  // "kavrel: <text>": the run cannot start.
  void CannotStart(std::string_view text);

  // Whether the run filed anything in its catalogue: a run whose inputs
  // all failed ends with kExitNothingGained rather than kExitSomeFailed.
  void SetSomethingGained(bool gained) { somethingGained_ = gained; }

  int FailedInputs() const { return failedInputs_; }
  int FailedArguments() const { return failedArguments_; }
  int Status() const;

  // The stream the lines go to, for what must meet it in order (flushing
  // the output stream before a line).
  std::ostream& stream() { return err_; }

 private:
  std::ostream& err_;
  int failedInputs_ = 0;
  int failedArguments_ = 0;
  bool somethingGained_ = true;
  bool cannotStart_ = false;
  bool quiet_ = false;
};

}  // namespace kavrel

#endif
