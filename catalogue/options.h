// The run's option record.
//
// Every choice a user makes about a run lives in `Options`; the run-wide
// `ProvidersInfo` flag stands beside it (see app/run.h). This header is a
// plain shared type: every layer reads the record, only app/ fills it.
#ifndef KAVREL_CATALOGUE_OPTIONS_H
#define KAVREL_CATALOGUE_OPTIONS_H

#include <bitset>
#include <cstdint>
#include <string>

#include "catalogue/codes.h"

namespace kavrel {

// A set over the codes 0 to 255.
class KindSet {
 public:
  KindSet() = default;
  KindSet(std::initializer_list<uint8_t> codes) {
    for (uint8_t code : codes) Add(code);
  }
  bool Contains(uint8_t code) const { return bits_.test(code); }
  void Add(uint8_t code) { bits_.set(code); }
  void Remove(uint8_t code) { bits_.reset(code); }
  bool operator==(const KindSet&) const = default;

 private:
  std::bitset<256> bits_;
};

// Output format codes; formats/format_table.h tells what each one writes.
enum FormatCodes : uint8_t {
  kFormatXml = 2,
  kFormatDll = 3,
  kFormatIni1 = 4,
  kFormatIni2 = 5,
  kFormatIni3 = 6,
  kFormatTrp = 7,
  kFormatKathrein = 8,
  kFormatEnigma2 = 9,  // beyond the original formats: today's receivers
  kFormatDvbv5 = 10,
};

struct Options {
  bool AcceptData = true;
  bool AcceptFeeds = true;
  bool ConvCircular = false;
  bool ConvCBand = false;
  bool AcceptKu = true;
  bool AcceptC = true;
  bool AcceptLinear = true;
  bool AcceptCircular = true;
  bool KeepHTML = false;
  uint8_t FormatCode = kFormatIni1;
  bool SaveConfig = false;
  std::string ProxyHost;
  int32_t ProxyPort = 0;
  std::string ProxyUser;
  std::string ProxyPassword;
  // A proxy option was refused: pages are then not fetched at all rather
  // than fetched directly, past the proxy the user asked for.
  bool ProxyRefused = false;
  int32_t MinSR = 0;
  int32_t MaxSR = kMaxSymbolRate;
  KindSet AcceptedKinds{kKindDvbS};

  bool operator==(const Options&) const = default;
};

// The default of the run-wide providers switch (/ProvInfo, beside the
// record).
constexpr bool kDefaultProvidersInfo = false;

// The defaults of what only the configuration file sets (section
// "Common"; a save never writes them), for secure pages: the pause
// between two requests to one host, the most bytes a page may take, and
// how long fetching it may take in all (0: four times the network time
// limit).
constexpr int32_t kDefaultPageDelayMs = 1000;
constexpr int64_t kDefaultMaxPageSize = int64_t{64} << 20;
constexpr int32_t kDefaultPageDeadlineSeconds = 0;

// Text fields of the record hold at most this many characters.
constexpr size_t kMaxOptionText = 255;

// Sets the acceptance and conversion switches, the symbol-rate range and
// the accepted kinds to their defaults (those of a new Options). KeepHTML,
// FormatCode, SaveConfig and the proxy fields are left as they are.
void DefaultOptions(Options& options);

}  // namespace kavrel

#endif
