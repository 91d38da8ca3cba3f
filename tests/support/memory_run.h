// A whole run held in memory: the run state with its printed lines captured.
#ifndef KAVREL_TESTS_SUPPORT_MEMORY_RUN_H
#define KAVREL_TESTS_SUPPORT_MEMORY_RUN_H

#include <deque>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/run.h"
#include "formats/format_table.h"
#include "support/program.h"

namespace kavrel::testing {

// The bytes of a file (a fixture page, or a file a run wrote); empty when
// it is missing.
inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

struct MemoryRun {
  std::ostringstream printed;
  std::ostringstream errors;
  kavrel::Run run{printed, errors};
  std::deque<std::string> sources;  // the bytes the sources below point into

  std::vector<std::string> PrintedLines() const { return Lines(printed.str()); }
  const SatelliteRecord& Satellite(size_t index) { return run.catalogue.Satellites().at(index); }
  std::vector<TransponderRecord> TranspondersOf(size_t index) {
    const auto& list = run.catalogue.Satellites().at(index).Transponders;
    return {list.begin(), list.end()};
  }
  // What the writers need of the run.
  WriterContext Writer() { return WriterContext{run.out, run.ProvidersInfo}; }
  // A file as a producer sees it, named by its path.
  SourceText Source(const std::string& path) {
    sources.push_back(ReadFile(path));
    return SourceText{path, sources.back()};
  }
};

}  // namespace kavrel::testing

#endif
