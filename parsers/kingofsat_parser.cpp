#include "parsers/kingofsat_parser.h"

#include <cmath>
#include <span>

#include "catalogue/code_table.h"
#include "catalogue/satellite_sink.h"
#include "parsers/html_text.h"
#include "parsers/page_common.h"
#include "platform/line_reader.h"
#include "platform/int_text.h"

namespace kavrel {

namespace {

constexpr std::string_view kTitle = "<TITLE>";
constexpr std::string_view kDegree = "&deg;";
// A transponder is one table-row line in one of two backgrounds.
constexpr std::string_view kRowMarkers[] = {
    "<TR bgcolor=\"#FAF6EE\"><td colspan=14>",
    "<TR bgcolor=\"D2D2D2\"><td colspan=14>",
};
// The cell that holds "DVB-S (QPSK) - 27500 3/4 - NID:1 - TID:1070".
constexpr std::string_view kTuningCell = "<td  width=\"50%\" bgcolor=\"#";
constexpr std::string_view kSeparator = " - ";
constexpr std::string_view kModulationEnd = ") - ";
constexpr std::string_view kNetworkId = "NID:";
constexpr std::string_view kStreamId = "TID:";
constexpr size_t npos = std::string_view::npos;

// The pages of this layout name DVB-S and DVB-S2 in QPSK or 8PSK only.
constexpr std::span<const NamedCode> kSystems = std::span(kKindNames).first(2);
constexpr std::span<const NamedCode> kModulations = std::span(kModulationNames).first(2);

uint8_t CodeOf(std::string_view text, std::span<const NamedCode> table) {
  return ValueOf<uint8_t, std::string_view>(table, text).value_or(0);
}

// The whole part of a number written with a decimal comma and an optional
// exponent ("11727,00", "1,1727e4"), blanks around it allowed; 0 for any
// other text and for numbers that no frequency reaches.
int32_t WholePartOfDecimalComma(std::string_view text) {
  size_t begin = text.find_first_not_of(' ');
  if (begin == npos) return 0;
  text = text.substr(begin, text.find_last_not_of(' ') - begin + 1);
  std::optional<double> value = ParseDecimalComma(text);
  if (!value) return 0;
  double whole = std::trunc(*value);
  if (!(std::fabs(whole) <= 2147483647.0)) return 0;
  return static_cast<int32_t>(whole);
}

// The satellite of a title line "<TITLE>Name (16.0&deg;E)". `name` keeps
// the name of the last title that had one.
void ReadTitle(SatelliteSink& sink, std::string_view line, size_t title, std::string& name) {
  size_t open = line.find('(');
  if (open == npos) return;
  size_t nameStart = title + kTitle.size();
  // The one character before "(" (normally a blank) is not part of it.
  name = open > nameStart + 1 ? std::string(line.substr(nameStart, open - 1 - nameStart)) : "";
  size_t close = line.find(')');
  if (close == npos) return;
  std::string_view inside = close > open ? line.substr(open + 1, close - open - 1) : "";
  size_t degree = inside.find(kDegree);
  if (degree == npos) return;
  std::string_view degrees = inside.substr(0, degree);
  // Either a decimal comma or a decimal point, at a 1-based place; the two
  // places are added, so a text holding both reads oddly but safely.
  size_t comma = degrees.find(',');
  size_t dot = degrees.find('.');
  size_t mark = (comma == npos ? 0 : comma + 1) + (dot == npos ? 0 : dot + 1);
  int64_t position;
  if (mark != 0) {
    std::string_view before = degrees.substr(0, std::min(mark - 1, degrees.size()));
    std::string_view after = mark < degrees.size() ? degrees.substr(mark) : "";
    position = 10LL * WholeNumberOrZero(before) + WholeNumberOrZero(after);
  } else {
    position = 10LL * WholeNumberOrZero(degrees);
  }
  char last = inside.back();
  if (last == 'W' || last == 'w') position = WestPosition(position);
  sink.FindOrAddSatellite(name, static_cast<int32_t>(position));
}

bool IsRow(std::string_view line) {
  for (std::string_view marker : kRowMarkers) {
    if (line.find(marker) != npos) return true;
  }
  return false;
}

// Reads one transponder row line; a row that lacks any of its separators
// is skipped.
void ReadRow(SatelliteSink& sink, std::string_view line, TextEncoding encoding) {
  std::string plain = StripTags(line);
  std::string_view text = plain;
  size_t separator = text.find(kSeparator);
  if (separator == npos) return;
  text = text.substr(separator + kSeparator.size());
  // The frequency and the polarization stand on either side of a no-break
  // space, however the page writes it.
  size_t nbsp = 0, nbspLength = 0;
  for (; nbsp < text.size(); ++nbsp) {
    if (MayStartNoBreakSpace(text[nbsp]) && (nbspLength = NoBreakSpaceLength(text, nbsp, encoding)) > 0) break;
  }
  if (nbspLength == 0) return;
  std::string frequencyText(text.substr(0, nbsp));
  for (char& c : frequencyText) {
    if (c == '.') c = ',';
  }
  OfferedTransponder offered;
  offered.Frequency = WholePartOfDecimalComma(frequencyText);
  std::string_view polarization = text.substr(nbsp + nbspLength, 1);

  size_t cell = line.find(kTuningCell);
  if (cell == npos) return;
  std::string tuning = StripTags(line.substr(cell));
  std::string_view u = tuning;
  size_t paren = u.find(" (");
  if (paren == npos) return;
  offered.SystemKind = CodeOf(u.substr(0, paren), kSystems);
  u = u.substr(paren + 2);
  size_t closing = u.find(kModulationEnd);
  if (closing == npos) return;
  offered.Modulation = CodeOf(u.substr(0, closing), kModulations);
  u = u.substr(closing + kModulationEnd.size());
  separator = u.find(kSeparator);
  if (separator == npos) return;
  std::string_view rateAndFec = u.substr(0, separator);
  std::string_view ids = u.substr(separator + kSeparator.size());

  size_t idSeparator = ids.find(kSeparator);
  if (idSeparator != npos) {
    std::string_view networkPart = ids.substr(0, idSeparator);
    std::string_view streamPart = ids.substr(idSeparator + kSeparator.size());
    size_t nid = networkPart.find(kNetworkId);
    if (nid != npos) {
      offered.NetworkId =
          static_cast<uint16_t>(WholeNumberOrZero(networkPart.substr(nid + kNetworkId.size())));
    }
    size_t tid = streamPart.find(kStreamId);
    if (tid != npos) {
      offered.TransportStreamId =
          static_cast<uint16_t>(WholeNumberOrZero(streamPart.substr(tid + kStreamId.size())));
    }
  }

  size_t blank = rateAndFec.find(' ');
  if (blank == npos) return;
  offered.SymbolRate = WholeNumberOrZero(rateAndFec.substr(0, blank));
  std::string_view fecText = rateAndFec.substr(blank);
  if (fecText.find('/') == npos) return;
  FecFraction fec = ParseFecText(fecText);
  offered.FecNumerator = fec.numerator;
  offered.FecDenominator = fec.denominator;

  if (offered.Frequency == 0 || offered.SymbolRate == 0 || offered.SystemKind == 0) return;
  if (polarization.empty()) return;
  offered.Polarization = polarization[0];
  sink.AddTransponder(offered);
}

}  // namespace

ProducerResult ParseKingOfSatPage(SatelliteSink& sink, const SourceText& page) {
  sink.BeginPage(page.name);
  LineReader reader(page.bytes);
  std::string name;
  std::string scratch;
  TextEncoding encoding = PageTextEncoding(page.bytes);
  while (!reader.AtEnd()) {
    std::string_view line = reader.ReadPageLineView(scratch);
    size_t title = line.find(kTitle);
    if (title != npos) ReadTitle(sink, line, title, name);
    if (IsRow(line)) ReadRow(sink, line, encoding);
  }
  sink.EndPage();
  return ProducerResult::kRead;
}

}  // namespace kavrel
