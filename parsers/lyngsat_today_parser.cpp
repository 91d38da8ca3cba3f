#include "parsers/lyngsat_today_parser.h"

#include <optional>
#include <string>

#include <span>
#include <vector>

#include "catalogue/code_table.h"
#include "catalogue/codes.h"
#include "parsers/html_text.h"
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
// The frequency cell that opens a row of the oldest markup, read by
// parsers/lyngsat_parser.h.
constexpr std::string_view kOldRowMarker = "align=\"center\"><font face=\"Verdana\" size=2><b>";
// Pages since 2018 link each frequency to the page of its mux.
constexpr std::string_view kMuxLink = "muxes/";
// The ways a saved page writes the degree sign: Latin-1, UTF-8, entity;
// some titles have none.
constexpr std::string_view kDegreeSigns[] = {"\xB0", "\xC2\xB0", "&deg;", ""};

// A row longer than this is not a transponder row: it is dropped, so that a
// page with an unclosed row costs no more memory than this.
constexpr size_t kMaxRowLength = 64 * 1024;

// Background colours that mark data and feed rows, on any cell of the row
// from the frequency on (2020: the providers cell and those after it).
constexpr RowColour kRowColours[] = {
    {"#ffaaff", RowKind::kData},
    {"#d0d0d0", RowKind::kFeed},
};

// The systems the site names, in capitals, with the kind the catalogue
// keeps them as; 0 for the systems it does not keep.
constexpr CodePair<std::string_view, uint8_t> kSystems[] = {
    {"DVB-S", kKindDvbS}, {"DVB-S2", kKindDvbS2}, {"DVB-S2X", kKindDvbS2}, {"DSS", kKindDss},
    {"ISDB", 0},          {"ISDB-S", 0},          {"ISDB-S3", 0},          {"DIGICIPHER", 0},
    {"ABS", 0},           {"ABS-S", 0},           {"DTMB", 0},
};

// The modulations the site names, in capitals.
constexpr CodePair<std::string_view, uint8_t> kModulations[] = {
    {"QPSK", kModulationQpsk},
    {"8PSK", kModulation8psk},
    {"16APSK", kModulation16apsk},
    {"32APSK", kModulation32apsk},
};

struct Title {
  std::string_view name;
  int32_t position = 0;
};

// Whether `text` at `at` starts with `word` (written in lower case),
// letter case ignored. Run for every "<" of a page, so kept inline.
inline bool StartsWithAt(std::string_view text, size_t at, std::string_view word) {
  if (at > text.size() || text.size() - at < word.size()) return false;
  for (size_t i = 0; i < word.size(); ++i) {
    char c = text[at + i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != word[i]) return false;
  }
  return true;
}

// Whether a tag named `name` opens at `at` ("<tr>", "<tr bgcolor=...>", a
// line end after the name).
bool OpensTag(std::string_view text, size_t at, std::string_view name) {
  if (!StartsWithAt(text, at + 1, name)) return false;
  size_t after = at + 1 + name.size();
  return after >= text.size() || text[after] == '>' || static_cast<unsigned char>(text[after]) <= ' ';
}

// Where the tag `tag` ("<title>") first stands in `text`, letter case
// ignored; npos when nowhere.
size_t FindTag(std::string_view text, std::string_view tag) {
  for (size_t lt = text.find('<'); lt != std::string_view::npos; lt = text.find('<', lt + 1)) {
    if (StartsWithAt(text, lt, tag)) return lt;
  }
  return std::string_view::npos;
}

// The text between "<title>" and "</title>", when the page has one.
std::optional<std::string_view> TitleText(std::string_view page) {
  size_t open = FindTag(page, kTitleOpen);
  if (open == std::string_view::npos) return std::nullopt;
  std::string_view rest = Leading(After(page, open + kTitleOpen.size()), kMaxTitleLength + kTitleClose.size());
  size_t close = FindTag(rest, kTitleClose);
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
    std::string_view after = rest.substr(dot + 2);
    if (after.starts_with(sign) && after.size() == sign.size() + 1) {
      hemisphere = after.substr(sign.size());
      break;
    }
  }
  if (hemisphere == "E") return Title{name, tenths};
  // 0.0 W is the same place as 0.0 E, and keys stay below a full circle.
  if (hemisphere == "W") return Title{name, tenths == 0 ? 0 : WestPosition(tenths)};
  return std::nullopt;
}

// Appends the text of a cell to `text`, one line per "<br>": tags
// dropped, every no-break space a blank. Stops once `text` holds `limit`
// bytes; an unclosed tag ends the text.
void AppendCellText(std::string_view cell, TextEncoding encoding, size_t limit, std::string& text) {
  size_t i = 0;
  while (i < cell.size() && text.size() < limit) {
    char c = cell[i];
    if (c == '<') {
      size_t close = cell.find('>', i);
      if (close == std::string_view::npos) break;
      if (StartsWithAt(cell, i + 1, "br")) text.push_back('\n');
      i = close + 1;
    } else if (size_t blank = MayStartNoBreakSpace(c) ? NoBreakSpaceLength(cell, i, encoding) : 0) {
      text.push_back(' ');
      i += blank;
    } else {
      text.push_back(c);
      ++i;
    }
  }
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

// The cells of a row. A cell ends at its "</td>", at the next "<td" or at
// the end of the row.
void SplitCells(std::string_view row, std::vector<Cell>& cells) {
  cells.clear();
  size_t contentBegin = std::string_view::npos;  // of the open cell
  auto closeCell = [&](size_t end) {
    if (contentBegin != std::string_view::npos) cells.back().content = row.substr(contentBegin, end - contentBegin);
    contentBegin = std::string_view::npos;
  };
  size_t search = 0;
  for (size_t lt; (lt = row.find('<', search)) != std::string_view::npos;) {
    search = lt + 1;
    if (OpensTag(row, lt, "td")) {
      closeCell(lt);
      size_t gt = row.find('>', lt);
      if (gt == std::string_view::npos) break;
      cells.push_back(Cell{row.substr(lt, gt - lt), {}});
      contentBegin = gt + 1;
      search = gt + 1;
    } else if (StartsWithAt(row, lt, "</td>")) {
      closeCell(lt);
    }
  }
  closeCell(row.size());
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
  khz = 0;
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

// The words of a text, split at blanks and line ends.
class Words {
 public:
  explicit Words(std::string_view text) : text_(text) {}
  // The next word; empty at the end.
  std::string_view Next() {
    size_t begin = text_.find_first_not_of(" \t\r\n", at_);
    if (begin == std::string_view::npos) return at_ = text_.size(), std::string_view();
    size_t end = text_.find_first_of(" \t\r\n", begin);
    if (end == std::string_view::npos) end = text_.size();
    at_ = end;
    return text_.substr(begin, end - begin);
  }
  // The text after the last word taken.
  std::string_view Rest() const { return text_.substr(at_); }

 private:
  std::string_view text_;
  size_t at_ = 0;
};

// Whether `text` holds `part` (written in lower case), letter case ignored.
bool ContainsIgnoringCase(std::string_view text, std::string_view part) {
  for (size_t at = 0; at + part.size() <= text.size(); ++at) {
    if (StartsWithAt(text, at, part)) return true;
  }
  return false;
}

bool IsDigits(std::string_view word) {
  if (word.empty()) return false;
  for (char c : word) {
    if (!IsAsciiDigit(c)) return false;
  }
  return true;
}

// The system a cell text starts with, as the catalogue codes it (0 for
// the systems it does not keep), and the text after the system's name.
// Nothing when the text starts with no system name.
std::optional<uint8_t> ReadSystem(std::string_view text, std::string_view& rest) {
  Words words(text);
  std::string first = UpperAscii(words.Next());
  std::optional<uint8_t> kind = CodeOf<std::string_view, uint8_t>(kSystems, first);
  if (!kind) return std::nullopt;
  rest = words.Rest();
  // "Digicipher 2": the number belongs to the name.
  Words after(rest);
  if (first == "DIGICIPHER" && IsDigits(after.Next())) rest = after.Rest();
  return kind;
}

// A FEC word after the symbol rate: "3/4", or "?" when the site does not
// know it.
bool IsFecWord(std::string_view word) {
  return word == "?" || (word.find('/') != std::string_view::npos && IsAsciiDigit(word[0]));
}

// Words after which a number is an id, not a symbol rate.
bool TakesNumber(std::string_view word) {
  for (std::string_view key : {"stream", "plp", "pls", "gold", "root", "combo", "plp:", "pls:"}) {
    if (EqualsIgnoringAsciiCase(word, key)) return true;
  }
  return false;
}

// The symbol rate, FEC and modulation words of a text: "27500-3/4" or
// "27500 3/4", and "8PSK" anywhere. False when the text gives no symbol
// rate.
bool ReadRateWords(std::string_view text, OfferedTransponder& offered) {
  Words words(text);
  bool rateFound = false;
  std::string_view previous;
  for (std::string_view word = words.Next(); !word.empty(); previous = word, word = words.Next()) {
    size_t dash = word.find('-');
    int32_t rate = IsDigits(word.substr(0, dash)) ? WholeNumberOrZero(word.substr(0, dash)) : 0;
    if (!rateFound && rate > 0 && !TakesNumber(previous)) {
      FecFraction fec;
      if (dash != std::string_view::npos) {
        fec = ParseFecText(word.substr(dash + 1));
      } else {
        Words ahead = words;
        std::string_view next = ahead.Next();
        if (IsFecWord(next)) {
          fec = ParseFecText(next);
          words = ahead;
          word = next;
        }
      }
      offered.SymbolRate = rate;
      offered.FecNumerator = fec.numerator;
      offered.FecDenominator = fec.denominator;
      rateFound = true;
    } else if (ContainsIgnoringCase(word, "psk") || ContainsIgnoringCase(word, "qam")) {
      // The site writes no modulation for QPSK; names it does not list
      // ("8PSK Turbo") are none the catalogue knows.
      std::string upper = UpperAscii(word);
      offered.Modulation = CodeOf<std::string_view, uint8_t>(kModulations, upper).value_or(kModulationNone);
      Words ahead = words;
      if (EqualsIgnoringAsciiCase(ahead.Next(), "turbo")) offered.Modulation = kModulationNone;
    }
  }
  return rateFound;
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

// What reading rows needs again and again, kept to spare allocations.
struct RowScratch {
  std::vector<Cell> cells;
  std::string text;
  std::string system;
  std::string rate;
  std::string more;
};

// The text of a cell in `text`, whole or up to `limit` bytes.
std::string_view TextOf(const Cell& cell, TextEncoding encoding, std::string& text,
                        size_t limit = std::string::npos) {
  text.clear();
  AppendCellText(cell.content, encoding, limit, text);
  return text;
}

// Files the transponder of one "<tr>...</tr>" row, when it is one. The row
// is read by what its cells say: a frequency with its polarization, then
// in a later cell the system, and in that cell or the next one the symbol
// rate with its FEC; modulation, stream, PLS and PLP words where they
// stand. Between the frequency and the system may stand the providers.
void ReadRow(SatelliteSink& sink, std::string_view row, TextEncoding encoding, RowScratch& scratch) {
  std::vector<Cell>& cells = scratch.cells;
  SplitCells(row, cells);
  OfferedTransponder offered;
  // A frequency cell's first line is short; longer texts are not read.
  constexpr size_t kFrequencyTextLimit = 64;
  size_t frequencyCell = 0;
  for (; frequencyCell < cells.size(); ++frequencyCell) {
    TextOf(cells[frequencyCell], encoding, scratch.text, kFrequencyTextLimit);
    if (ReadFrequency(CellLine(scratch.text, 0), offered.Frequency, offered.Details.FrequencyKhz,
                      offered.Polarization)) {
      break;
    }
  }
  if (frequencyCell == cells.size() || offered.Frequency == 0) return;

  // The system stands at most this many cells after the frequency.
  constexpr size_t kSystemReach = 4;
  std::string_view systemRest;
  std::optional<uint8_t> system;
  size_t systemCell = frequencyCell + 1;
  for (; systemCell < cells.size() && systemCell <= frequencyCell + kSystemReach; ++systemCell) {
    system = ReadSystem(TextOf(cells[systemCell], encoding, scratch.system), systemRest);
    if (system) break;
  }
  if (!system) return;
  offered.SystemKind = *system;
  offered.Modulation = kModulationQpsk;

  // The symbol rate in the system's cell, or else in the next one, whose
  // words then count too. The cell after the rate's holds the ids.
  size_t idsCell = systemCell + 1;
  std::string_view rateText = systemRest;
  if (!ReadRateWords(systemRest, offered)) {
    if (idsCell >= cells.size()) return;
    rateText = TextOf(cells[idsCell], encoding, scratch.rate);
    if (!ReadRateWords(rateText, offered)) return;
    ReadStreamWords(rateText, offered.Details);
    ++idsCell;
  }
  // The lines under the system: "stream 5", "PLS gold 8", "T2-MI PLP 0".
  ReadStreamWords(systemRest, offered.Details);
  if (offered.SystemKind == kKindDvbS && offered.Modulation != kModulationQpsk &&
      offered.Modulation != kModulationNone) {
    offered.SystemKind = kKindDvbS2;
  }

  RowKind kind = RowKind::kUnmarked;
  for (size_t i = frequencyCell; i < cells.size(); ++i) {
    RowKind marked = RowKindOf(cells[i].attributes, kRowColours);
    if (marked != RowKind::kUnmarked) kind = marked;
  }
  offered.Service = ServiceOfRow(kind);

  if (idsCell < cells.size()) ReadIds(CellLine(TextOf(cells[idsCell], encoding, scratch.more), 0), offered);
  for (size_t i = frequencyCell + 1; i < systemCell; ++i) {
    std::string_view providers = CellLine(TextOf(cells[i], encoding, scratch.more), 0);
    if (providers.empty()) continue;
    offered.Providers = Leading(providers, kMaxProvidersLength);
    break;
  }
  offered.ProvidersEncoding = encoding;
  sink.AddTransponder(offered);
}

}  // namespace

bool IsTodaysLyngSatPage(std::string_view page) {
  std::optional<std::string_view> title = TitleText(page);
  return title && ReadTitle(*title) &&
         (page.find(kOldRowMarker) == std::string_view::npos || page.find(kMuxLink) != std::string_view::npos);
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
  RowScratch rowScratch;
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
          ReadRow(sink, row, encoding, rowScratch);
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
