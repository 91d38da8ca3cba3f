// Shared pieces of the page parser tests: fixture paths and a one-line
// description of a transponder that makes catalogue comparisons readable.
#ifndef KAVREL_TESTS_PARSERS_PAGE_TEST_SUPPORT_H
#define KAVREL_TESTS_PARSERS_PAGE_TEST_SUPPORT_H

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "support/memory_run.h"
#include "support/program.h"

namespace kavrel::testing {

// tests/data/pages/<site>/<name>
inline std::string PagePath(const std::string& site, const std::string& name) {
  return TestDataPath("pages/" + site + "/" + name);
}

// "11229 V 22000 2/3 k1 m1 1/1026 Canal+": frequency, polarization, symbol
// rate, FEC, system kind, modulation, network/stream ids, providers, and
// the details of today's sources where set.
inline std::string Describe(const TransponderRecord& t) {
  std::string text = std::to_string(t.Frequency) + ' ' + std::string(1, t.Polarization) + ' ' +
                     std::to_string(t.SymbolRate) + ' ' + std::to_string(t.FecNumerator) + '/' +
                     std::to_string(t.FecDenominator) + " k" + std::to_string(t.SystemKind) +
                     " m" + std::to_string(t.Modulation) + ' ' + std::to_string(t.NetworkId) + '/' +
                     std::to_string(t.TransportStreamId);
  if (!t.Providers.empty()) text += ' ' + t.Providers;
  // Today's details, where a source gave them: "+500kHz is5 pls1:16416 plp0".
  const TransponderDetails& d = t.Details;
  if (d.FrequencyKhz != 0) text += " +" + std::to_string(d.FrequencyKhz) + "kHz";
  if (d.StreamId != kNoStream) text += " is" + std::to_string(d.StreamId);
  if (d.PlsMode != kPlsUnset) text += " pls" + std::to_string(d.PlsMode) + ':' + std::to_string(d.PlsCode);
  if (d.T2miPlpId != kNoStream) text += " plp" + std::to_string(d.T2miPlpId);
  return text;
}

inline std::vector<std::string> Described(MemoryRun& memory, size_t satellite) {
  std::vector<std::string> lines;
  for (const TransponderRecord& t : memory.TranspondersOf(satellite)) lines.push_back(Describe(t));
  return lines;
}

// "130 Hot Bird 13C (2)" for every satellite of the catalogue, in order.
inline std::vector<std::string> SatelliteSummary(MemoryRun& memory) {
  std::vector<std::string> lines;
  for (const SatelliteRecord& s : memory.run.catalogue.Satellites()) {
    lines.push_back(std::to_string(s.Position) + ' ' + s.Name + " (" + std::to_string(s.Count()) + ')');
  }
  return lines;
}

}  // namespace kavrel::testing

#endif
