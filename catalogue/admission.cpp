#include "catalogue/admission.h"

#include <algorithm>


namespace kavrel {

bool IsKuBand(int32_t frequency) { return frequency >= 10700 && frequency <= 12750; }
bool IsCBand(int32_t frequency) { return frequency >= 3400 && frequency <= 4199; }
bool IsLinear(char polarization) { return polarization == 'V' || polarization == 'H'; }
bool IsCircular(char polarization) { return polarization == 'L' || polarization == 'R'; }

bool ServiceAdmitted(const Options& options, ServiceKind service) {
  switch (service) {
    case ServiceKind::kOrdinary: return true;
    case ServiceKind::kData: return options.AcceptData;
    case ServiceKind::kFeed: return options.AcceptFeeds;
  }
  return false;
}

bool BandAndPolarizationAccepted(const Options& options, const OfferedTransponder& offered) {
  bool polarizationAccepted = (IsLinear(offered.Polarization) && options.AcceptLinear) ||
                              (IsCircular(offered.Polarization) && options.AcceptCircular);
  bool bandAccepted = (IsKuBand(offered.Frequency) && options.AcceptKu) ||
                      (IsCBand(offered.Frequency) && options.AcceptC);
  return bandAccepted && polarizationAccepted;
}

bool PassesFiltersApartFromKind(const Options& options, const OfferedTransponder& offered) {
  if (!ServiceAdmitted(options, offered.Service)) return false;
  bool rateAccepted = options.MinSR <= offered.SymbolRate && offered.SymbolRate <= options.MaxSR;
  return rateAccepted && BandAndPolarizationAccepted(options, offered);
}

TransponderRecord RecordOf(const OfferedTransponder& offered) {
  TransponderRecord record;
  record.Frequency = offered.Frequency;
  record.Polarization = offered.Polarization;
  record.SymbolRate = offered.SymbolRate;
  record.FecNumerator = offered.FecNumerator;
  record.FecDenominator = offered.FecDenominator;
  record.SystemKind = offered.SystemKind;
  record.Modulation = offered.Modulation;
  record.NetworkId = offered.NetworkId;
  record.TransportStreamId = offered.TransportStreamId;
  size_t kept = std::min(offered.Providers.size(), kMaxProvidersLength);
  if (offered.ProvidersEncoding == TextEncoding::kUtf8) {
    // A cut UTF-8 text ends before the character it would split.
    while (kept > 0 && kept < offered.Providers.size() &&
           (static_cast<unsigned char>(offered.Providers[kept]) & 0xC0) == 0x80) {
      --kept;
    }
  }
  record.Providers = std::string(offered.Providers.substr(0, kept));
  record.ProvidersEncoding = offered.ProvidersEncoding;
  record.Details = offered.Details;
  return record;
}

bool AdmitTransponder(SatelliteRecord& satellite, const Options& options,
                      const OfferedTransponder& offered) {
  if (!options.AcceptedKinds.Contains(offered.SystemKind)) return false;
  if (!PassesFiltersApartFromKind(options, offered)) return false;
  InsertTransponder(satellite, options, RecordOf(offered));
  return true;
}

TransponderList::Outcome InsertTransponder(SatelliteRecord& satellite, const Options& options,
                                           TransponderRecord record) {
  if (options.ConvCircular) {
    if (record.Polarization == 'L') record.Polarization = 'H';
    if (record.Polarization == 'R') record.Polarization = 'V';
  }
  if (options.ConvCBand && IsCBand(record.Frequency)) {
    record.Frequency = (5150 - record.Frequency) + 9750;
    // The converted frequency is counted in whole MHz, as it always was.
    record.Details.FrequencyKhz = 0;
  }
  return satellite.Transponders.Insert(record);
}

}  // namespace kavrel
