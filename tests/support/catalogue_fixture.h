// Catalogues built by hand for the writer tests: satellites and
// transponders go in through a sink of their own that admits every kind,
// so that a test can hold any kind, FEC or modulation it needs.
#ifndef KAVREL_TESTS_SUPPORT_CATALOGUE_FIXTURE_H
#define KAVREL_TESTS_SUPPORT_CATALOGUE_FIXTURE_H

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "app/run.h"

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
  Options everything;
  for (int kind = 0; kind < 256; ++kind) everything.AcceptedKinds.Add(static_cast<uint8_t>(kind));
  std::ostringstream quiet;
  SatelliteSink sink(run.catalogue, everything, quiet);
  sink.FindOrAddSatellite(name, position);
  for (const TransponderRecord& t : transponders) {
    OfferedTransponder offered;
    offered.Frequency = t.Frequency;
    offered.Polarization = t.Polarization;
    offered.SymbolRate = t.SymbolRate;
    offered.FecNumerator = t.FecNumerator;
    offered.FecDenominator = t.FecDenominator;
    offered.SystemKind = t.SystemKind;
    offered.Modulation = t.Modulation;
    offered.NetworkId = t.NetworkId;
    offered.TransportStreamId = t.TransportStreamId;
    offered.Providers = t.Providers;
    offered.Details = t.Details;
    sink.AddTransponder(offered);
  }
}

}  // namespace kavrel::testing

#endif
