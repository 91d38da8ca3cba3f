// A whole run held in memory: the run state with its printed lines captured.
#ifndef KAVREL_TESTS_SUPPORT_MEMORY_RUN_H
#define KAVREL_TESTS_SUPPORT_MEMORY_RUN_H

#include <sstream>
#include <string>
#include <vector>

#include "catalogue/run.h"
#include "support/program.h"

namespace kavrel::testing {

struct MemoryRun {
  std::ostringstream printed;
  kavrel::Run run{printed};

  std::vector<std::string> PrintedLines() const { return Lines(printed.str()); }
  SatelliteRecord& Satellite(size_t index) { return run.catalogue.Satellites.at(index); }
  std::vector<TransponderRecord> TranspondersOf(size_t index) {
    const auto& list = run.catalogue.Satellites.at(index).Transponders;
    return {list.begin(), list.end()};
  }
};

}  // namespace kavrel::testing

#endif
