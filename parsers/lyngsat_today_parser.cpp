#include "parsers/lyngsat_today_parser.h"

#include <array>
#include <optional>
#include <string>

#include "catalogue/codes.h"
#include "parsers/page_common.h"
#include "platform/int_text.h"
#include "platform/line_reader.h"
#include "platform/text.h"

namespace kavrel {

namespace {

constexpr std::string_view kTitleOpen = "<title>";
constexpr std::string_view kTitleClose = "</title>";
constexpr std::string_view kSiteSuffix = " - LyngSat";
// A title longer than this is not the site's.
constexpr size_t kMaxTitleLength = 512;
// The frequency cell of the current markup nests the size in a font of its
// own; the older markup writes face and size in one tag.
constexpr std::string_view kTodaysFrequencyCell = "<font face=\"Verdana\"><font size=2><b>";
// The ways a saved page writes the degree sign: Latin-1, UTF-8, entity.
constexpr std::string_view kDegreeSigns[] = {"\xB0", "\xC2\xB0", "&deg;"};

// A row longer than this is not a transponder row: it is dropped, so that a
// page with an unclosed row costs no more memory than this.
constexpr size_t kMaxRowLength = 64 * 1024;

// A transponder row has nine cells; these are the ones read.
constexpr size_t kRowCells = 9;
constexpr size_t kFrequencyCell = 1;
constexpr size_t kProvidersCell = 3;
constexpr size_t kSystemCell = 5;
constexpr size_t kRateCell = 6;
constexpr size_t kIdsCell = 7;

// The providers cell's background marks data and feed rows.
constexpr RowColour kRowColours[] = {
    {"#ffaaff", RowKind::kData},
    {"#d0d0d0", RowKind::kFeed},
};

struct SystemName {
  std::string_view name;
  uint8_t kind;
};
constexpr SystemName kSystems[] = {
    {"DVB-S", kKindDvbS}, {"DVB-S2", kKindDvbS2}, {"DVB-S2X", kKindDvbS2}, {"DSS", kKindDss}};

struct Title {
  std::string_view name;
  int32_t position = 0;
};

// Whether `text` at `at` starts with `word`, letter case ignored.
bool StartsWithAt(std::string_view text, size_t at, std::string_view word) {
  if (at > text.size() || text.size() - at < word.size()) return false;
  return EqualsIgnoringAsciiCase(text.substr(at, word.size()), word);
}

// Whether a tag named `name` opens at `at` ("<tr>", "<tr bgcolor=...>", a
// line end after the name).
bool OpensTag(std::string_view text, size_t at, std::string_view name) {
  if (!StartsWithAt(text, at + 1, name)) return false;
  size_t after = at + 1 + name.size();
  return after >= text.size() || text[after] == '>' || static_cast<unsigned char>(text[after]) <= ' ';
}

// The text between "<title>" and "</title>", when the page has one.
std::optional<std::string_view> TitleText(std::string_view page) {
  size_t open = page.find(kTitleOpen);
  if (open == std::string_view::npos) return std::nullopt;
  std::string_view rest = Leading(After(page, open + kTitleOpen.size()), kMaxTitleLength + kTitleClose.size());
  size_t close = rest.find(kTitleClose);
  if (close == std::string_view::npos) return std::nullopt;
  return rest.substr(0, close);
}

// "Amos 3/7 at 4.0°W - LyngSat": the name and the position key. Nothing
// when the title does not have that form.
std::optional<Title> ReadTitle(std::string_view title) {
  title = TrimBlanks(title);
  if (!title.ends_with(kSiteSuffix)) return std::nullopt;
  title.remove_suffix(kSiteSuffix.size());
  constexpr std::string_view kAt = " at ";
  size_t at = title.rfind(kAt);
  if (at == std::string_view::npos) return std::nullopt;
  std::string_view name = TrimBlanks(title.substr(0, at));
  std::string_view rest = title.substr(at + kAt.size());

  size_t dot = rest.find('.');
  if (dot == std::string_view::npos || dot + 1 >= rest.size() || !IsAsciiDigit(rest[dot + 1])) {
    return std::nullopt;
  }
  std::optional<int32_t> whole = ParseWholeNumber(rest.substr(0, dot));
  if (name.empty() || !whole || *whole < 0 || *whole > kLastEastPosition / 10) return std::nullopt;
  int32_t tenths = *whole * 10 + (rest[dot + 1] - '0');
  std::string_view hemisphere;
  for (std::string_view sign : kDegreeSigns) {
    if (rest.substr(dot + 2).starts_with(sign)) hemisphere = rest.substr(dot + 2 + sign.size());
  }
  if (hemisphere == "E") return Title{name, tenths};
  // 0.0 W is the same place as 0.0 E, and keys stay below a full circle.
  if (hemisphere == "W") return Title{name, tenths == 0 ? 0 : WestPosition(tenths)};
  return std::nullopt;
}

// The text of a cell, one line per "<br>": tags dropped, "&nbsp;" a blank.
// An unclosed tag ends the text.
std::string CellText(std::string_view cell) {
  std::string text;
  text.reserve(cell.size());
  size_t i = 0;
  while (i < cell.size()) {
    char c = cell[i];
    if (c == '<') {
      size_t close = cell.find('>', i);
      if (close == std::string_view::npos) break;
      if (StartsWithAt(cell, i + 1, "br")) text.push_back('\n');
      i = close + 1;
    } else if (c == '&' && StartsWithAt(cell, i, "&nbsp;")) {
      text.push_back(' ');
      i += 6;
    } else {
      text.push_back(c);
      ++i;
    }
  }
  return text;
}

// Line `index` (from 0) of a cell text, without blanks at its ends; empty
// when the text has fewer lines.
std::string_view CellLine(std::string_view text, size_t index) {
  size_t begin = 0;
  for (; index > 0; --index) {
    size_t newline = text.find('\n', begin);
    if (newline == std::string_view::npos) return {};
    begin = newline + 1;
  }
  size_t end = text.find('\n', begin);
  return TrimBlanks(text.substr(begin, end == std::string_view::npos ? end : end - begin));
}

struct Cell {
  std::string_view attributes;
  std::string_view content;
};

// The first kRowCells cells of a row, and how many the row has. A cell
// ends at its "</td>", at the next "<td" or at the end of the row.
size_t SplitCells(std::string_view row, std::array<Cell, kRowCells>& cells) {
  size_t count = 0;
  size_t contentBegin = std::string_view::npos;  // of the open cell
  auto closeCell = [&](size_t end) {
    if (contentBegin != std::string_view::npos && count <= kRowCells) {
      cells[count - 1].content = row.substr(contentBegin, end - contentBegin);
    }
    contentBegin = std::string_view::npos;
  };
  size_t search = 0;
  for (size_t lt; (lt = row.find('<', search)) != std::string_view::npos;) {
    search = lt + 1;
    if (OpensTag(row, lt, "td")) {
      closeCell(lt);
      size_t gt = row.find('>', lt);
      if (gt == std::string_view::npos) break;
      ++count;
      if (count <= kRowCells) cells[count - 1].attributes = row.substr(lt, gt - lt);
      contentBegin = gt + 1;
      search = gt + 1;
    } else if (StartsWithAt(row, lt, "</td>")) {
      closeCell(lt);
    }
  }
  closeCell(row.size());
  return count;
}

// "11747 V", "11747.50 V": the whole MHz, the kHz and the polarization.
// False for anything else, such as the band headings "Ku" and "C".
bool ReadFrequency(std::string_view text, int32_t& frequency, uint16_t& khz, char& polarization) {
  text = TrimBlanks(text);
  size_t i = 0;
  while (i < text.size() && IsAsciiDigit(text[i])) ++i;
  constexpr size_t kMaxDigits = 6;
  if (i == 0 || i > kMaxDigits) return false;
  frequency = WholeNumberOrZero(text.substr(0, i));
  if (i < text.size() && text[i] == '.') {
    ++i;
    for (int place = 100; i < text.size() && IsAsciiDigit(text[i]); ++i, place /= 10) {
      khz = static_cast<uint16_t>(khz + (text[i] - '0') * place);
    }
  }
  while (i < text.size() && text[i] == ' ') ++i;
  if (i + 1 != text.size()) return false;
  polarization = text[i];
  return polarization == 'H' || polarization == 'V' || polarization == 'L' || polarization == 'R';
}

// The bold text of the frequency cell.
std::string_view BoldText(std::string_view cell) {
  size_t open = cell.find("<b>");
  if (open == std::string_view::npos) return {};
  std::string_view rest = cell.substr(open + 3);
  return rest.substr(0, rest.find("</b>"));
}

// The modulation line under the symbol rate. The site writes none for
// QPSK, and the line may hold service numbers instead.
uint8_t ReadModulation(std::string_view line) {
  if (line.find("PSK") == std::string_view::npos && line.find("QAM") == std::string_view::npos) {
    return kModulationQpsk;
  }
  if (line == "QPSK") return kModulationQpsk;
  if (line == "8PSK") return kModulation8psk;
  if (line == "16APSK") return kModulation16apsk;
  if (line == "32APSK") return kModulation32apsk;
  return kModulationNone;
}

// "171-4": network and transport stream ids, both 0 unless both are plain
// 16-bit numbers.
void ReadIds(std::string_view line, OfferedTransponder& offered) {
  size_t dash = line.find('-');
  if (dash == std::string_view::npos) return;
  std::optional<int32_t> network = ParseWholeNumber(line.substr(0, dash));
  std::optional<int32_t> stream = ParseWholeNumber(line.substr(dash + 1));
  constexpr int32_t kMaxId = 65535;
  if (!network || !stream || *network < 0 || *stream < 0 || *network > kMaxId || *stream > kMaxId) return;
  offered.NetworkId = static_cast<uint16_t>(*network);
  offered.TransportStreamId = static_cast<uint16_t>(*stream);
}

// Files the transponder of one "<tr>...</tr>" row, when it is one.
void ReadRow(SatelliteSink& sink, std::string_view row, TextEncoding encoding) {
  std::array<Cell, kRowCells> cells;
  if (SplitCells(row, cells) < kRowCells) return;

  OfferedTransponder offered;
  std::string frequencyText = CellText(BoldText(cells[kFrequencyCell].content));
  if (!ReadFrequency(CellLine(frequencyText, 0), offered.Frequency, offered.Details.FrequencyKhz,
                     offered.Polarization)) {
    return;
  }

  std::string systemText = CellText(cells[kSystemCell].content);
  std::string_view system = CellLine(systemText, 0);
  for (const SystemName& known : kSystems) {
    if (system == known.name) offered.SystemKind = known.kind;
  }
  if (offered.SystemKind == 0) return;
  // The lines under the system: "stream 5", "PLS gold 8", "PLP 0".
  ReadStreamWords(std::string_view(systemText).substr(system.size()), offered.Details);

  std::string rateText = CellText(cells[kRateCell].content);
  std::string_view rateLine = CellLine(rateText, 0);
  size_t dash = rateLine.find('-');
  offered.SymbolRate = WholeNumberOrZero(TrimBlanks(rateLine.substr(0, dash)));
  if (offered.Frequency == 0 || offered.SymbolRate == 0) return;
  if (dash != std::string_view::npos) {
    FecFraction fec = ParseFecText(TrimBlanks(rateLine.substr(dash + 1)));
    offered.FecNumerator = fec.numerator;
    offered.FecDenominator = fec.denominator;
  }
  offered.Modulation = ReadModulation(CellLine(rateText, 1));
  if (offered.SystemKind == kKindDvbS && offered.Modulation == kModulation8psk) {
    offered.SystemKind = kKindDvbS2;
  }

  RowKind kind = RowKindOf(cells[kProvidersCell].attributes, kRowColours);
  offered.Service = ServiceOfRow(kind);

  std::string idsText = CellText(cells[kIdsCell].content);
  ReadIds(CellLine(idsText, 0), offered);

  std::string providersText = CellText(cells[kProvidersCell].content);
  offered.Providers = Leading(CellLine(providersText, 0), kMaxProvidersLength);
  offered.ProvidersEncoding = encoding;
  sink.AddTransponder(offered);
}

}  // namespace

bool IsTodaysLyngSatPage(std::string_view page) {
  std::optional<std::string_view> title = TitleText(page);
  return title && ReadTitle(*title) && page.find(kTodaysFrequencyCell) != std::string_view::npos;
}

ProducerResult ParseTodaysLyngSatPage(SatelliteSink& sink, const SourceText& page) {
  sink.BeginPage(page.name);
  std::optional<std::string_view> titleText = TitleText(page.bytes);
  std::optional<Title> title = titleText ? ReadTitle(*titleText) : std::nullopt;
  if (!title) return ProducerResult::kAbandoned;
  TextEncoding encoding = PageTextEncoding(page.bytes);
  sink.FindOrAddSatellite(std::string(title->name), title->position, encoding);

  // Rows are gathered across lines from "<tr" to "</tr>". A "<tr" inside an
  // open row starts over: the row before it never closed.
  LineReader reader(page.bytes);
  std::string scratch;
  std::string row;
  bool inRow = false;
  while (!reader.AtEnd()) {
    std::string_view line = reader.ReadPageLineView(scratch);
    size_t copied = 0;  // where the part of the line not yet in `row` starts
    size_t search = 0;
    for (size_t lt; (lt = line.find('<', search)) != std::string_view::npos;) {
      search = lt + 1;
      if (OpensTag(line, lt, "tr")) {
        row.clear();
        inRow = true;
        copied = lt;
      } else if (inRow && StartsWithAt(line, lt, "</tr>")) {
        if (row.size() + (lt - copied) <= kMaxRowLength) {
          row.append(line.substr(copied, lt - copied));
          ReadRow(sink, row, encoding);
        }
        row.clear();
        inRow = false;
      }
    }
    if (!inRow) continue;
    if (row.size() + (line.size() - copied) + 1 > kMaxRowLength) {
      row.clear();
      inRow = false;
      continue;
    }
    row.append(line.substr(copied));
    row.push_back('\n');
  }
  sink.EndPage();
  return ProducerResult::kRead;
}

}  // namespace kavrel
