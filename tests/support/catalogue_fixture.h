// Catalogues built by hand for the writer tests: satellites and
// transponders go straight into the lists, past admission, so that a test
// can hold any kind, FEC or modulation it needs.
#ifndef KAVREL_TESTS_SUPPORT_CATALOGUE_FIXTURE_H
#define KAVREL_TESTS_SUPPORT_CATALOGUE_FIXTURE_H

#include <cstdint>
#include <string>
#include <vector>

#include "catalogue/run.h"

namespace kavrel::testing {

inline TransponderRecord Transponder(int32_t frequency, char polarization, int32_t symbolRate,
                                     uint8_t fecNumerator = 0, uint8_t fecDenominator = 0,
                                     uint8_t kind = kKindDvbS, uint8_t modulation = 0,
                                     const std::string& providers = "") {
  TransponderRecord t;
  t.Frequency = frequency;
  t.Polarization = polarization;
  t.SymbolRate = symbolRate;
  t.FecNumerator = fecNumerator;
  t.FecDenominator = fecDenominator;
  t.SystemKind = kind;
  t.Modulation = modulation;
  t.Providers = providers;
  return t;
}

inline void AddSatellite(Run& run, const std::string& name, int32_t position,
                         const std::vector<TransponderRecord>& transponders) {
  run.catalogue.FindOrAddSatellite(name, position);
  for (const TransponderRecord& t : transponders) run.catalogue.Current()->Transponders.Insert(t);
}

}  // namespace kavrel::testing

#endif
