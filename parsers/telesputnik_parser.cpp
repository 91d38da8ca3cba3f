#include "parsers/telesputnik_parser.h"

#include "catalogue/satellite_sink.h"
#include "parsers/html_text.h"
#include "parsers/page_common.h"
#include "platform/line_reader.h"
#include "platform/int_text.h"

namespace kavrel {

namespace {

// "<h2>Name  90.0&deg;в.д.</h2>" in the table that heads the page.
constexpr std::string_view kHeaderMarker =
    "<table border=0 width=\"100%\"><tr><td valign=bottom><h2>";
constexpr std::string_view kNameEnd = "  ";
constexpr std::string_view kDegree = "&deg;";
// "з.д." (western longitude) in Windows-1251.
constexpr std::string_view kWest = "\xE7.\xE4.";
// A channel row opens with a link to its PID page; rows the page has
// commented out count all the same.
constexpr std::string_view kRowStarts[] = {"<a href=\"pid.pl?id=", "<!-- a href=\"pid.pl?id="};
constexpr size_t npos = std::string_view::npos;

enum RowType { kNotTransponder = 0, kTelevision = 1, kData = 2 };

RowType RowTypeOf(std::string_view cell) {
  if (cell == "MPEG-2" || cell == "MPEG-4") return kTelevision;
  if (cell == "DATA") return kData;
  return kNotTransponder;
}

// A header names the satellite and its position; one without the double
// blank or the degree sign changes nothing.
void ReadHeader(SatelliteSink& sink, std::string_view line, int32_t& pagePosition) {
  std::string text = StripTags(line);
  size_t nameEnd = text.find(kNameEnd);
  if (nameEnd == std::string::npos) return;
  std::string name = Transliterate(std::string_view(text).substr(0, nameEnd));
  std::string_view rest = std::string_view(text).substr(nameEnd + kNameEnd.size());
  size_t degree = rest.find(kDegree);
  if (degree == npos) return;
  pagePosition = ParseTenths(rest.substr(0, degree));
  if (rest.find(kWest) != npos) {
    pagePosition = WestPosition(pagePosition);
  }
  sink.FindOrAddSatellite(name, pagePosition);
}

bool IsRowStart(std::string_view line) {
  for (std::string_view start : kRowStarts) {
    if (line.starts_with(start)) return true;
  }
  return false;
}

// A row: the providers on the anchor line, the frequency two lines on and
// the cells (polarization, type, -, symbol rate, FEC) on the line after.
void ReadRow(SatelliteSink& sink, LineReader& reader, std::string_view anchor) {
  std::string providers = Transliterate(StripTags(anchor));
  reader.ReadPageLine();
  std::string frequencyLine = reader.ReadPageLine();
  std::string cells = reader.ReadPageLine();
  CutToFirstCell(cells);
  std::string polarization, type, ignored, symbolRate, fec;
  for (std::string* cell : {&polarization, &type, &ignored, &symbolRate, &fec}) {
    TakeCell(cells, *cell);
  }
  RowType rowType = RowTypeOf(type);
  if (rowType == kNotTransponder) return;
  // A row without a polarization cannot be tuned; nothing is guessed.
  if (polarization.empty()) return;
  OfferedTransponder offered;
  offered.Frequency = ParseThousandths(frequencyLine);
  offered.Polarization = polarization[0];
  offered.SymbolRate = WholeNumberOrZero(symbolRate);
  FecFraction values = ParseFecText(fec);
  offered.FecNumerator = values.numerator;
  offered.FecDenominator = values.denominator;
  offered.SystemKind = kKindDvbS;
  offered.Modulation = kModulationQpsk;
  offered.Providers = providers;
  offered.Service = rowType == kData ? ServiceKind::kData : ServiceKind::kOrdinary;
  sink.AddTransponder(offered);
}

}  // namespace

ProducerResult ParseTelesputnikPage(SatelliteSink& sink, const SourceText& page) {
  sink.BeginPage(page.name);
  int32_t pagePosition = 0;
  LineReader reader(page.bytes);
  std::string scratch;
  while (!reader.AtEnd()) {
    std::string_view line = reader.ReadPageLineView(scratch);
    if (line.find(kHeaderMarker) != npos) ReadHeader(sink, line, pagePosition);
    // Rows count only once a header has given the page a position.
    if (pagePosition != 0 && IsRowStart(line)) ReadRow(sink, reader, line);
  }
  sink.EndPage();
  return ProducerResult::kRead;
}

}  // namespace kavrel
