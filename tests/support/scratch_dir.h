// A temporary directory for one test, removed with everything in it when the
// test ends.
#ifndef KAVREL_TESTS_SUPPORT_SCRATCH_DIR_H
#define KAVREL_TESTS_SUPPORT_SCRATCH_DIR_H

#include <string>
#include <vector>

namespace kavrel::testing {

class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::string& path() const { return path_; }
  // path() + "/" + name
  std::string At(const std::string& name) const;

  void Write(const std::string& name, const std::string& bytes) const;
  std::string Read(const std::string& name) const;
  bool Exists(const std::string& name) const;
  // Names of the entries directly inside the directory, sorted.
  std::vector<std::string> Names() const;
  void MakeDir(const std::string& name) const;

 private:
  std::string path_;
};

// Runs code with the process's current directory set to `directory`, and
// restores the old one afterwards.
class CurrentDirectoryGuard {
 public:
  explicit CurrentDirectoryGuard(const std::string& directory);
  ~CurrentDirectoryGuard();

 private:
  std::string old_;
};

}  // namespace kavrel::testing

#endif
