// Files that must not outlive an interrupted run: a page file being
// fetched or decoded is registered while it exists, and SIGINT or SIGTERM
// removes every registered file before the program ends (exit status 130
// or 143, as a shell reports those signals).
#ifndef KAVREL_PLATFORM_TEMPORARY_FILES_H
#define KAVREL_PLATFORM_TEMPORARY_FILES_H

#include <string>

namespace kavrel {

// Registers `path` for removal on SIGINT/SIGTERM for the guard's lifetime;
// the guard itself removes nothing (the file's owner does that). The
// handlers are installed on first use.
class TemporaryFileGuard {
 public:
  explicit TemporaryFileGuard(const std::string& path);
  ~TemporaryFileGuard();
  TemporaryFileGuard(const TemporaryFileGuard&) = delete;
  TemporaryFileGuard& operator=(const TemporaryFileGuard&) = delete;

 private:
  int slot_ = -1;
};

}  // namespace kavrel

#endif
