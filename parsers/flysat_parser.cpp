#include "parsers/flysat_parser.h"

#include "catalogue/satellite_sink.h"
#include "parsers/html_text.h"
#include "parsers/page_common.h"
#include "platform/line_reader.h"
#include "platform/int_text.h"
#include "platform/text.h"

namespace kavrel {

namespace {

// The green table that names the satellite; its name stands on the third
// line after this one and its position ("@13.0° East") on the fourth.
constexpr std::string_view kHeaderMarker =
    "<table width=\"100%\" bgcolor=\"#ccffcc\" border=\"0\" align=\"center\" cellPadding=0 "
    "cellSpacing=0>";
// A transponder row opens with an indented row-spanning cell in one of
// these shapes.
constexpr std::string_view kRowStart = "    <td rowspan=";
constexpr std::string_view kRowMarkers[] = {
    "align=\"center\"><font face=\"Verdana\" size=",
    "align=\"center\" bgcolor=\"#ffff99\"><font face=\"Verdana\" size=",
    "align=\"center\" bgcolor=\"ffff99\"><font face=\"Verdana\" size=",
    "align=\"center\" bgcolor=\"ffffcc\"><font face=\"Verdana\" size=",
    "align=\"center\" bgcolor=\"#ffffcc\"><font face=\"Verdana\" size=",
};
constexpr size_t npos = std::string_view::npos;

// The colour of the providers cell tells what the transponder carries. Each
// marker includes the closing quote; the last one that matches decides.
constexpr RowColour kRowColours[] = {
    {"40e0d0\"", RowKind::kOrdinary}, {"b9dcff\"", RowKind::kOrdinary},
    {"61afff\"", RowKind::kUnused},   {"66ffff\"", RowKind::kData},
    {"c9c9c9\"", RowKind::kFeed},     {"ccffcc\"", RowKind::kOrdinary},
    {"72ebc0\"", RowKind::kOrdinary},
};

bool IsRowStart(std::string_view line) {
  if (!line.starts_with(kRowStart)) return false;
  for (std::string_view marker : kRowMarkers) {
    if (line.find(marker) != npos) return true;
  }
  return false;
}

// Reads the satellite's name and position from the lines after the header
// marker. A position line without a blank names no satellite and leaves
// the page position as it was.
void ReadHeader(SatelliteSink& sink, LineReader& reader, int32_t& pagePosition) {
  reader.ReadPageLine();
  reader.ReadPageLine();
  std::string name = StripTags(TrimBlanks(reader.ReadPageLine()));
  std::string positionLine = StripTags(TrimBlanks(reader.ReadPageLine()));
  std::string_view text = TrimBlanks(After(positionLine, 1));
  size_t blank = text.find(' ');
  if (blank == npos) return;
  // The character before the blank is the degree sign.
  pagePosition = ParseTenths(text.substr(0, blank == 0 ? 0 : blank - 1));
  if (text.substr(blank + 1) == "West") {
    pagePosition = WestPosition(pagePosition);
  }
  sink.FindOrAddSatellite(name, pagePosition);
}

// Reads the three or four lines that follow a row start.
void ReadRow(SatelliteSink& sink, LineReader& reader, TextEncoding encoding) {
  std::string frequencyLine = reader.ReadPageLine();
  std::string_view systemText;
  constexpr std::string_view kBreak = "<br>";
  size_t br = frequencyLine.find(kBreak);
  if (br != npos) {
    systemText = std::string_view(frequencyLine).substr(br + kBreak.size());
  }
  OfferedTransponder offered;
  auto has = [&systemText](std::string_view what) { return systemText.find(what) != npos; };
  if (has("MPEG-2") || has("DVB-S") || has("MPEG-4")) {
    offered.SystemKind = kKindDvbS;
    offered.Modulation = kModulationQpsk;
  }
  if (has("DVB-S2")) {
    offered.SystemKind = kKindDvbS2;
    offered.Modulation = kModulationQpsk;
  }
  if (has("8PSK")) offered.Modulation = kModulation8psk;

  std::string frequencyCell =
      TrimmedText(BlankNoBreakSpaces(StripTags(std::string_view(frequencyLine).substr(0, br)), encoding));
  std::string_view frequencyText, polarizationText;
  size_t blank = frequencyCell.find(' ');
  if (blank != npos) {
    frequencyText = std::string_view(frequencyCell).substr(0, blank);
    polarizationText = std::string_view(frequencyCell).substr(blank + 1, 1);
  }

  std::string rateCell = TrimmedText(BlankNoBreakSpaces(StripTags(reader.ReadPageLine()), encoding));
  std::string_view rateText, fecText;
  blank = rateCell.find(' ');
  if (blank != npos) {
    rateText = std::string_view(rateCell).substr(0, blank);
    fecText = std::string_view(rateCell).substr(blank + 1);
  }

  std::string providersLine = reader.ReadPageLine();
  RowKind rowKind = RowKindOf(providersLine, kRowColours);
  std::string providers = TrimmedText(StripTags(providersLine));
  if (providers.empty()) providers = TrimmedText(StripTags(reader.ReadPageLine()));
  if (providers == "&nbsp;") providers.clear();

  if (!IsTransponderRow(rowKind)) return;
  offered.Frequency = WholeNumberOrZero(frequencyText);
  offered.SymbolRate = WholeNumberOrZero(rateText);
  if (offered.Frequency == 0 || offered.SymbolRate == 0) return;
  offered.Service = ServiceOfRow(rowKind);
  // A row without a polarization cannot be tuned; nothing is guessed.
  if (polarizationText.empty()) return;
  offered.Polarization = polarizationText[0];
  FecFraction fec = ParseFecText(fecText);
  offered.FecNumerator = fec.numerator;
  offered.FecDenominator = fec.denominator;
  offered.Providers = providers;
  sink.AddTransponder(offered);
}

}  // namespace

ProducerResult ParseFlySatPage(SatelliteSink& sink, const SourceText& page) {
  sink.BeginPage(page.name);
  int32_t pagePosition = 0;
  TextEncoding encoding = PageTextEncoding(page.bytes);
  LineReader reader(page.bytes);
  std::string scratch;
  while (!reader.AtEnd()) {
    std::string_view line = reader.ReadPageLineView(scratch);
    if (line.find(kHeaderMarker) != npos) ReadHeader(sink, reader, pagePosition);
    // Rows count only once a header has given the page a position.
    if (pagePosition != 0 && IsRowStart(line)) ReadRow(sink, reader, encoding);
  }
  sink.EndPage();
  return ProducerResult::kRead;
}

}  // namespace kavrel
