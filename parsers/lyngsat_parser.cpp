#include "parsers/lyngsat_parser.h"

#include "catalogue/satellite_sink.h"
#include "parsers/html_text.h"
#include "parsers/page_common.h"
#include "platform/line_reader.h"
#include "platform/int_text.h"
#include "platform/text.h"

namespace kavrel {

namespace {

// The satellite's title line: "<b><font face="Arial" size=5>Name at 19.2°E".
constexpr std::string_view kHeaderMarker = "<b><font face=\"Arial\" size=5>";
// The frequency cell that opens a transponder row: "... 11747 V</b>".
constexpr std::string_view kRowMarker = "align=\"center\"><font face=\"Verdana\" size=2><b>";
// The page is Latin-1: the degree sign is one byte.
constexpr char kDegreeSign = '\xB0';
// How much of the row line after the marker holds the frequency cell.
constexpr size_t kFrequencyCellLength = 255;

// The row's background colour tells what the transponder carries. Tests run
// in this order and the last one that matches decides.
constexpr RowColour kRowColours[] = {
    {"#ffd0a0", RowKind::kOrdinary}, {"#ffffd0", RowKind::kOrdinary},
    {"#ffaaff", RowKind::kData},     {"#d0d0d0", RowKind::kFeed},
    {"#ddffdd", RowKind::kOrdinary}, {"palegreen", RowKind::kOrdinary},
};

struct SystemMark {
  std::string_view marker;
  uint8_t kind;
};
constexpr SystemMark kSystemMarks[] = {
    {">DVB<", kKindDvbS}, {">DVB-S2<", kKindDvbS2}, {">DSS<", kKindDss}};

// Reads "Name at 19.2°E" from the header line into the current satellite.
// kAbandoned when the header is malformed.
ProducerResult ReadHeader(SatelliteSink& sink, std::string_view line, size_t marker) {
  std::string title = StripTags(line.substr(marker));
  constexpr std::string_view kAt = " at ";
  size_t at = title.find(kAt);
  if (at == std::string::npos) return ProducerResult::kAbandoned;
  std::string_view rest = std::string_view(title).substr(at + kAt.size());
  size_t degree = rest.find(kDegreeSign);
  if (degree == std::string_view::npos) return ProducerResult::kAbandoned;
  std::string_view degrees = rest.substr(0, degree);
  size_t dot = degrees.find('.');
  if (dot == std::string_view::npos) return ProducerResult::kAbandoned;
  std::optional<int32_t> whole = ParseWholeNumber(degrees.substr(0, dot));
  std::optional<int32_t> tenths = ParseWholeNumber(degrees.substr(dot + 1));
  if (!whole || !tenths) return ProducerResult::kAbandoned;
  int64_t position = 10LL * *whole + *tenths;
  if (degree + 1 < rest.size() && rest[degree + 1] == 'W') position = WestPosition(position);
  sink.FindOrAddSatellite(title.substr(0, at), static_cast<int32_t>(position));
  return ProducerResult::kRead;
}

// Reads the transponder row that starts on `line`: its frequency cell there
// and six more lines (colour and providers, system, symbol rate and FEC,
// ids). kAbandoned when the row is malformed.
ProducerResult ReadRow(SatelliteSink& sink, LineReader& reader, std::string_view line,
                       size_t marker, TextEncoding encoding) {
  std::string cell =
      BlankNoBreakSpaces(StripTags(line.substr(marker + kRowMarker.size(), kFrequencyCellLength)), encoding);
  std::string_view frequencyCell = TrimLeadingBlanks(cell);
  size_t blank = frequencyCell.find(' ');
  if (blank == std::string_view::npos) return ProducerResult::kAbandoned;
  std::string_view frequencyText = frequencyCell.substr(0, blank);
  std::string_view polarizationText = frequencyCell.substr(blank + 1, 1);

  reader.ReadPageLine();
  std::string colourLine = reader.ReadPageLine();
  reader.ReadPageLine();
  std::string systemLine = reader.ReadPageLine();
  std::string rateLine = reader.ReadPageLine();
  std::string idLine = reader.ReadPageLine();

  OfferedTransponder offered;
  for (const SystemMark& mark : kSystemMarks) {
    if (systemLine.find(mark.marker) != std::string::npos) offered.SystemKind = mark.kind;
  }
  bool eightPsk = systemLine.find("8PSK") != std::string::npos;
  offered.Modulation = eightPsk ? kModulation8psk : kModulationQpsk;
  if (offered.SystemKind == 0) return ProducerResult::kRead;

  RowKind rowKind = RowKindOf(colourLine, kRowColours);
  std::string providers = StripTags(colourLine);

  rateLine = BlankNoBreakSpaces(rateLine, encoding);
  size_t dash = rateLine.find('-');
  if (dash == std::string::npos) return ProducerResult::kAbandoned;
  std::string rateText = TrimmedText(StripTags(std::string_view(rateLine).substr(0, dash)));
  std::string_view fecText = CutBefore(TrimBlanks(std::string_view(rateLine).substr(dash + 1)), "<");
  FecFraction fec = ParseFecText(fecText);

  std::string ids = TrimmedText(StripTags(CutBefore(idLine, "<br>")));
  size_t idDash = ids.find('-');
  if (idDash != std::string::npos) {
    offered.NetworkId = static_cast<uint16_t>(WholeNumberOrZero(std::string_view(ids).substr(0, idDash)));
    offered.TransportStreamId =
        static_cast<uint16_t>(WholeNumberOrZero(std::string_view(ids).substr(idDash + 1)));
  }

  if (frequencyText.empty() || polarizationText.empty()) return ProducerResult::kRead;
  offered.Frequency = WholeNumberOrZero(frequencyText);
  offered.Polarization = polarizationText[0];
  offered.SymbolRate = WholeNumberOrZero(rateText);
  if (offered.SymbolRate == 0 || offered.Frequency == 0) return ProducerResult::kAbandoned;

  if (!IsTransponderRow(rowKind)) return ProducerResult::kRead;
  offered.Service = ServiceOfRow(rowKind);
  offered.FecNumerator = fec.numerator;
  offered.FecDenominator = fec.denominator;
  offered.Providers = providers;
  sink.AddTransponder(offered);
  return ProducerResult::kRead;
}

}  // namespace

ProducerResult ParseLyngSatPage(SatelliteSink& sink, const SourceText& page) {
  sink.BeginPage(page.name);
  LineReader reader(page.bytes);
  std::string scratch;
  TextEncoding encoding = PageTextEncoding(page.bytes);
  while (!reader.AtEnd()) {
    std::string_view line = reader.ReadPageLineView(scratch);
    size_t header = line.find(kHeaderMarker);
    if (header != std::string::npos &&
        ReadHeader(sink, line, header) == ProducerResult::kAbandoned) {
      return ProducerResult::kAbandoned;
    }
    size_t row = line.find(kRowMarker);
    if (row != std::string::npos &&
        ReadRow(sink, reader, line, row, encoding) == ProducerResult::kAbandoned) {
      return ProducerResult::kAbandoned;
    }
  }
  sink.EndPage();
  return ProducerResult::kRead;
}

}  // namespace kavrel
