// What every fuzz target shares: a scratch directory of its own (the
// current directory of the process, so decoding and page names stay in it),
// inputs handed over as bytes (or as files, for the steps that work on
// files), and a run whose printed lines go nowhere.
#ifndef KAVREL_FUZZ_FUZZ_SUPPORT_H
#define KAVREL_FUZZ_FUZZ_SUPPORT_H

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "app/run.h"

namespace kavrel::fuzz {

inline const std::string& ScratchDirectory() {
  // Never destroyed: the exit handler that removes the directory runs after
  // static objects are gone.
  static const std::string* directory = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "kavrel-fuzz-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr || ::chdir(pattern.c_str()) != 0) std::abort();
    auto* made = new std::string(pattern);
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(ScratchDirectory(), ignored);
    });
    return made;
  }();
  return *directory;
}

// Writes the input to a file in the scratch directory and returns its path.
inline std::string InputFile(const uint8_t* data, size_t size, const std::string& name) {
  std::string path = ScratchDirectory() + "/" + name;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  return path;
}

// The input as a producer sees it.
inline SourceText Source(const uint8_t* data, size_t size) {
  return SourceText{"input", std::string_view(reinterpret_cast<const char*>(data), size)};
}

// A fresh run per input, accepting every kind so that every path is taken.
struct QuietRun {
  std::ostringstream printed;
  Run run{printed};
  QuietRun() {
    ScratchDirectory();
    run.options.AcceptedKinds = KindSet{1, 2, 3};
  }
};

}  // namespace kavrel::fuzz

#endif
