#include "parsers/satcodx_parser.h"

#include "catalogue/satellite_sink.h"
#include "parsers/html_text.h"
#include "parsers/page_common.h"
#include "platform/line_reader.h"
#include "platform/int_text.h"
#include "platform/text.h"

namespace kavrel {

namespace {

// "<font color=#FFFFFF><h3>...</h3><h1>Name (13.0E - Europe)</h1>"
constexpr std::string_view kHeaderStart = "<font color=#FFFFFF><h3>";
constexpr std::string_view kTitleMarker = "</h3><h1>";
constexpr std::string_view kCBandPrefix = "C-Band:";
// Rows start with "<tr bgcolor=...>" in one of seven colours, with or
// without "#", in any letter case.
constexpr std::string_view kRowStart = "<TR BGCOLOR=";
constexpr std::string_view kRowColours[] = {"FFCC00", "FFCC66", "00FFFF", "99FFFF",
                                            "00CC33", "CCFF00", "CCFF66"};
// The first line of a transponder in the grouped layout carries a header
// cell that spans the transponder's channel rows.
constexpr std::string_view kGroupCell = "<th rowspan=";
constexpr std::string_view kDataType = "DATA";
constexpr size_t npos = std::string_view::npos;


bool IsRowStart(std::string_view line) {
  std::string upper = UpperAscii(line);
  std::string_view text = upper;
  for (size_t at = text.find(kRowStart); at != npos; at = text.find(kRowStart, at + 1)) {
    std::string_view colour = text.substr(at + kRowStart.size());
    if (colour.starts_with('#')) colour.remove_prefix(1);
    for (std::string_view known : kRowColours) {
      if (colour.starts_with(known) && colour.substr(known.size()).starts_with('>')) return true;
    }
  }
  return false;
}

// Reads "Name (13.0E - Europe)" into the current satellite.
ProducerResult ReadHeader(SatelliteSink& sink, std::string_view line) {
  size_t marker = line.find(kTitleMarker);
  if (marker == npos) return ProducerResult::kAbandoned;
  std::string title = StripTags(line.substr(marker + kTitleMarker.size()));
  size_t open = title.find('(');
  if (open == npos) return ProducerResult::kAbandoned;
  // The blank before "(" and the "(" itself are not part of the name.
  size_t nameLength = open >= 1 ? open - 1 : 0;
  std::string name = title.substr(0, nameLength);
  size_t prefix = name.find(kCBandPrefix);
  if (prefix != std::string::npos) name = TrimmedText(name.erase(prefix, kCBandPrefix.size()));

  std::string_view rest = TrimBlanks(std::string_view(title).substr(nameLength));
  size_t separator = rest.find('-');
  if (separator == npos) separator = rest.find(')');
  if (separator == npos) return ProducerResult::kAbandoned;
  std::string_view degrees = TrimBlanks(separator > 1 ? rest.substr(1, separator - 1) : "");
  if (degrees.ends_with('E')) degrees.remove_suffix(1);
  size_t dot = degrees.find('.');
  if (dot == npos) return ProducerResult::kAbandoned;
  // West positions ("30.0W") are not numbers here: the page is given up
  // rather than filed under a wrong position.
  std::optional<int32_t> whole = ParseWholeNumber(degrees.substr(0, dot));
  std::optional<int32_t> tenths = ParseWholeNumber(degrees.substr(dot + 1));
  if (!whole || !tenths) return ProducerResult::kAbandoned;
  sink.FindOrAddSatellite(name, static_cast<int32_t>(10LL * *whole + *tenths));
  return ProducerResult::kRead;
}

// "11.727" (GHz) in MHz; nothing when either part is not a whole number.
std::optional<int32_t> MegahertzOf(std::string_view gigahertz, std::string_view thousandths) {
  std::optional<int32_t> whole = ParseWholeNumber(gigahertz);
  std::optional<int32_t> fraction = ParseWholeNumber(thousandths);
  if (!whole || !fraction) return std::nullopt;
  return static_cast<int32_t>(1000LL * *whole + *fraction);
}

char PolarizationOf(LineReader& reader) {
  std::string cell = StripTags(reader.ReadTextLine());
  return cell.empty() ? '\0' : cell[0];
}

struct Row {
  std::string type;
  int32_t frequency = 0;
  char polarization = 0;
  int32_t symbolRate = 0;
  FecFraction fec;
  uint16_t networkId = 0;
  uint16_t streamId = 0;
};

void AddRow(SatelliteSink& sink, const Row& row) {
  // A row without a polarization cannot be tuned; nothing is guessed.
  if (row.polarization == '\0') return;
  OfferedTransponder offered;
  offered.Frequency = row.frequency;
  offered.Polarization = row.polarization;
  offered.SymbolRate = row.symbolRate;
  offered.FecNumerator = row.fec.numerator;
  offered.FecDenominator = row.fec.denominator;
  offered.SystemKind = kKindDvbS;
  offered.Modulation = kModulationQpsk;
  offered.NetworkId = row.networkId;
  offered.TransportStreamId = row.streamId;
  offered.Service = row.type == kDataType ? ServiceKind::kData : ServiceKind::kOrdinary;
  sink.AddTransponder(offered);
}

// The first line of a grouped transponder: frequency "11.727 V" two lines
// on, the other values in the font cells and lines after it.
ProducerResult ReadGroupedRow(SatelliteSink& sink, LineReader& reader, TextEncoding encoding) {
  Row row;
  reader.ReadTextLine();
  std::string frequencyCell = BlankNoBreakSpaces(StripTags(reader.ReadTextLine()), encoding);
  std::string_view f = frequencyCell;
  size_t dot = f.find('.');
  if (dot == npos) return ProducerResult::kAbandoned;
  size_t blank = f.find(' ');
  std::string_view fraction =
      blank == npos ? f.substr(dot + 1) : (blank > dot ? f.substr(dot + 1, blank - dot - 1) : "");
  std::optional<int32_t> frequency = MegahertzOf(f.substr(0, dot), fraction);
  if (!frequency) return ProducerResult::kAbandoned;
  row.frequency = *frequency;
  row.polarization = PolarizationOf(reader);
  row.type = StripTags(NextFontCellLine(reader));
  NextFontCellLine(reader);
  NextFontCellLine(reader);
  std::optional<int32_t> symbolRate = ParseWholeNumber(StripTags(NextFontCellLine(reader)));
  if (!symbolRate) {
    sink.out() << "Error: Freq " << row.frequency << " symbolrate missing - record skipped!" << '\n';
    return ProducerResult::kRead;
  }
  row.symbolRate = *symbolRate;
  row.fec = ParseFecText(StripTags(reader.ReadTextLine()));
  NextFontCellLine(reader);
  reader.ReadTextLine();
  row.streamId = static_cast<uint16_t>(WholeNumberOrZero(StripTags(reader.ReadTextLine())));
  row.networkId = static_cast<uint16_t>(WholeNumberOrZero(StripTags(reader.ReadTextLine())));
  AddRow(sink, row);
  return ProducerResult::kRead;
}

// A transponder of the simple layout: the type on the line after the row
// start, then one value per line at fixed places.
ProducerResult ReadSimpleRow(SatelliteSink& sink, LineReader& reader, const std::string& typeLine) {
  Row row;
  row.type = StripTags(typeLine);
  reader.ReadTextLine();
  std::string frequencyCell = StripTags(reader.ReadTextLine());
  std::string_view f = frequencyCell;
  size_t dot = f.find('.');
  if (dot == npos) return ProducerResult::kAbandoned;
  std::optional<int32_t> frequency = MegahertzOf(f.substr(0, dot), f.substr(dot + 1));
  if (!frequency) return ProducerResult::kAbandoned;
  row.frequency = *frequency;
  row.polarization = PolarizationOf(reader);
  for (int skipped = 0; skipped < 7; ++skipped) reader.ReadTextLine();
  std::optional<int32_t> symbolRate = ParseWholeNumber(StripTags(reader.ReadTextLine()));
  if (!symbolRate) {
    // The spelling differs from the grouped layout's message; scripts may
    // match either.
    sink.out() << "Error: Freq " << row.frequency << " symbolrate missing - record skiped!" << '\n';
    return ProducerResult::kRead;
  }
  row.symbolRate = *symbolRate;
  row.fec = ParseFecText(StripTags(reader.ReadTextLine()));
  AddRow(sink, row);
  return ProducerResult::kRead;
}

}  // namespace

ProducerResult ParseSatcoDXPage(SatelliteSink& sink, const SourceText& page) {
  sink.BeginPage(page.name);
  TextEncoding encoding = PageTextEncoding(page.bytes);
  LineReader reader(page.bytes);
  // Once a page shows the grouped layout, rows without the group cell are
  // the channel rows of the transponder above them.
  bool grouped = false;
  while (!reader.AtEnd()) {
    std::string_view line = reader.ReadTextLineView();
    if (line.starts_with(kHeaderStart) && ReadHeader(sink, line) == ProducerResult::kAbandoned) {
      return ProducerResult::kAbandoned;
    }
    if (!IsRowStart(line)) continue;
    std::string next = reader.ReadTextLine();
    ProducerResult outcome = ProducerResult::kRead;
    if (next.find(kGroupCell) != std::string::npos) {
      grouped = true;
      outcome = ReadGroupedRow(sink, reader, encoding);
    } else if (!grouped) {
      outcome = ReadSimpleRow(sink, reader, next);
    }
    if (outcome == ProducerResult::kAbandoned) return ProducerResult::kAbandoned;
  }
  sink.EndPage();
  return ProducerResult::kRead;
}

}  // namespace kavrel
