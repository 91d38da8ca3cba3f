// Admission: the one gate through which every transponder enters the
// catalogue, so that the same filters apply to every source.
#ifndef KAVREL_CATALOGUE_ADMISSION_H
#define KAVREL_CATALOGUE_ADMISSION_H

#include <cstdint>
#include <string_view>

#include "catalogue/catalogue.h"
#include "catalogue/options.h"

namespace kavrel {

bool IsKuBand(int32_t frequency);   // 10700..12750 MHz
bool IsCBand(int32_t frequency);    // 3400..4199 MHz
bool IsLinear(char polarization);   // "H" or "V"
bool IsCircular(char polarization); // "L" or "R"

// The most characters of a providers text that the catalogue keeps.
constexpr size_t kMaxProvidersLength = 50;

// What a transponder carries, as its source marks it: data services and
// feeds are admitted only when the options take them.
enum class ServiceKind : uint8_t { kOrdinary, kData, kFeed };

// What a producer found. Values a source does not have are 0 (FEC 0/0,
// modulation, ids) and an empty providers text.
struct OfferedTransponder {
  int32_t Frequency = 0;
  char Polarization = 0;
  int32_t SymbolRate = 0;
  uint8_t FecNumerator = 0;
  uint8_t FecDenominator = 0;
  uint8_t SystemKind = 0;
  uint8_t Modulation = 0;
  uint16_t NetworkId = 0;
  uint16_t TransportStreamId = 0;
  std::string_view Providers;
  TextEncoding ProvidersEncoding = TextEncoding::kLatin1;
  TransponderDetails Details;
  ServiceKind Service = ServiceKind::kOrdinary;
};

// Whether the options take transponders that carry this kind of service
// (/Data, /Feeds).
bool ServiceAdmitted(const Options& options, ServiceKind service);

// The service, band, polarization and symbol rate filters of the options:
// everything but the system kind.
bool PassesFiltersApartFromKind(const Options& options, const OfferedTransponder& offered);

// The band (/Ku, /C) and polarization (/Linear, /Circular) tests alone.
bool BandAndPolarizationAccepted(const Options& options, const OfferedTransponder& offered);

// The record of an offered transponder, as it is listed (the providers
// text cut to the length a list keeps).
TransponderRecord RecordOf(const OfferedTransponder& offered);

// The filters of the options, then at most one InsertTransponder. The tests
// see the values as offered, before any conversion. Returns true when the
// transponder was admitted.
bool AdmitTransponder(SatelliteRecord& satellite, const Options& options,
                      const OfferedTransponder& offered);

// Applies the conversions of the options (circular to linear, C band to a
// Ku band frequency) to a copy and files it in the satellite's list.
TransponderList::Outcome InsertTransponder(SatelliteRecord& satellite, const Options& options,
                                           TransponderRecord record);

}  // namespace kavrel

#endif
