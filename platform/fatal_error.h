// The one error that ends a run.
//
// Anything that cannot go on (an output file that cannot be written, a
// profile file that refuses a write, a file that cannot be read) throws
// FatalError. main() catches it once, prints its text and a line break on
// standard error and exits with code 1. Everything else goes on: what the
// program reports as it works is a progress line on the run's output
// stream, and inputs that gave nothing and notes go through the run's
// Diagnostics (platform/diagnostics.h) to standard error.
#ifndef KAVREL_PLATFORM_FATAL_ERROR_H
#define KAVREL_PLATFORM_FATAL_ERROR_H

#include <stdexcept>
#include <string>

namespace kavrel {

class FatalError : public std::runtime_error {
 public:
  explicit FatalError(const std::string& message) : std::runtime_error(message) {}
};

// "<what> <path>: <strerror(errnum)>", the form of every file failure.
[[noreturn]] void ThrowFileError(const std::string& what, const std::string& path, int errnum);

}  // namespace kavrel

#endif
