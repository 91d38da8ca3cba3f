#include "parsers/kingofsat_today_parser.h"

#include <optional>
#include <span>
#include <string>

#include "catalogue/code_table.h"
#include "catalogue/codes.h"
#include "parsers/html_text.h"
#include "parsers/page_common.h"
#include "platform/text.h"

namespace kavrel {

namespace {

// Every transponder is a table of its own with this opening; the header
// table that names the columns has it too, but no readable frequency.
constexpr std::string_view kTransponderTable = "<table class=\"frq\"";
constexpr std::string_view kTableEnd = "</table>";
// The channel table after a transponder carries this class when the
// transponder holds occasional feeds.
constexpr std::string_view kFeedMark = "class=\"feedblock\"";
// The satellite cell starts with a channel count in a span.
constexpr std::string_view kSpanEnd = "</span>";
// The degree sign as the pages write it: an entity, UTF-8, or Latin-1.
constexpr std::string_view kDegreeMarks[] = {"&deg;", "\xC2\xB0", "\xB0"};
constexpr size_t npos = std::string_view::npos;

// Longest run of digits read as a number: more can only be garbage, and
// stopping here keeps every value inside 32 bits.
constexpr size_t kMaxDigits = 9;
// The most of a title that is searched for the satellite.
constexpr size_t kMaxTitle = 1024;

// Every kind; the four phase-shift keyings.
constexpr std::span<const NamedCode> kStandards = kKindNames;
constexpr std::span<const NamedCode> kModulations = std::span(kModulationNames).first(4);

bool AllDigits(std::string_view text) {
  if (text.empty() || text.size() > kMaxDigits) return false;
  for (char c : text) {
    if (!IsAsciiDigit(c)) return false;
  }
  return true;
}

// The value of a text of digits only (AllDigits).
int32_t DigitsValue(std::string_view text) {
  int32_t value = 0;
  for (char c : text) value = value * 10 + (c - '0');
  return value;
}

std::optional<int32_t> WholeNumber(std::string_view text) {
  if (!AllDigits(text)) return std::nullopt;
  return DigitsValue(text);
}

// The readable text of a piece of markup: every tag and every no-break
// space (parsers/html_text.h) becomes a blank, runs of blanks and control characters shrink to one,
// and none stands at either end. An unclosed "<" drops the rest.
void ReadableText(std::string_view markup, TextEncoding encoding, std::string& text) {
  text.clear();
  bool blank = false;
  for (size_t i = 0; i < markup.size(); ++i) {
    char c = markup[i];
    if (c == '<') {
      size_t close = markup.find('>', i);
      if (close == npos) break;
      i = close;
      blank = true;
    } else if (size_t length = MayStartNoBreakSpace(c) ? NoBreakSpaceLength(markup, i, encoding) : 0) {
      i += length - 1;
      blank = true;
    } else if (static_cast<unsigned char>(c) <= ' ') {
      blank = true;
    } else {
      if (blank && !text.empty()) text += ' ';
      blank = false;
      text += c;
    }
  }
}

// Calls `visit` with each word of a readable text; blanks and commas part
// words ("T2-MI, PLP 0"). Stops early when `visit` returns true.
template <typename Visit>
void ForEachWord(std::string_view text, Visit visit) {
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find_first_of(" ,", start);
    if (end == npos) end = text.size();
    if (end > start && visit(text.substr(start, end - start))) return;
    start = end + 1;
  }
}

// The code of the first word of the text that the table names; 0 for none.
uint8_t CodeOfAnyWord(std::string_view text, std::span<const NamedCode> table) {
  uint8_t code = 0;
  ForEachWord(text, [&](std::string_view word) {
    code = ValueOf<uint8_t, std::string_view>(table, word).value_or(0);
    return code != 0;
  });
  return code;
}

// A position such as "28.2&deg;E", "4&deg;W" or "7.0&deg; W" anywhere in
// the text, as a catalogue key; nothing when the text holds none or one
// beyond half the circle.
std::optional<int32_t> ReadPosition(std::string_view text) {
  size_t mark = npos;
  size_t markSize = 0;
  for (std::string_view degree : kDegreeMarks) {
    mark = text.find(degree);
    if (mark != npos) {
      markSize = degree.size();
      break;
    }
  }
  if (mark == npos) return std::nullopt;
  size_t start = mark;
  while (start > 0 && (IsAsciiDigit(text[start - 1]) || text[start - 1] == '.') && mark - start < 8) {
    --start;
  }
  std::string_view number = text.substr(start, mark - start);
  size_t point = number.find('.');
  std::string_view whole = number.substr(0, point);
  if (!AllDigits(whole)) return std::nullopt;
  int32_t tenths = DigitsValue(whole) * 10;
  if (point != npos && point + 1 < number.size() && IsAsciiDigit(number[point + 1])) {
    tenths += number[point + 1] - '0';
  }
  std::string_view rest = TrimBlanks(text.substr(mark + markSize));
  if (rest.empty() || tenths > kLastEastPosition) return std::nullopt;
  if (rest[0] == 'E' || rest[0] == 'e') return tenths;
  if (rest[0] == 'W' || rest[0] == 'w') return tenths == 0 ? 0 : WestPosition(tenths);
  return std::nullopt;
}

// "10773.00": digits, a point and exactly two digits; the whole MHz.
std::optional<int32_t> ReadFrequency(std::string_view text) {
  size_t point = text.find('.');
  if (point == npos || text.size() != point + 3) return std::nullopt;
  if (!AllDigits(text.substr(point + 1))) return std::nullopt;
  return WholeNumber(text.substr(0, point));
}

// The kHz of "10773.25": its two decimals, as tens of kHz.
uint16_t FrequencyKhz(std::string_view text) {
  return static_cast<uint16_t>(DigitsValue(text.substr(text.find('.') + 1)) * 10);
}

// "3/4": digits on both sides of one "/".
bool IsFec(std::string_view text) {
  size_t slash = text.find('/');
  return slash != npos && AllDigits(text.substr(0, slash)) && AllDigits(text.substr(slash + 1));
}

// What the cells of one transponder table have told so far.
struct TransponderTable {
  TextEncoding encoding = TextEncoding::kLatin1;  // of the page
  std::optional<int32_t> position;
  std::string satellite;
  OfferedTransponder offered;
  bool satelliteCellNext = false;
  bool rateRead = false;
  int idsRead = 0;
  std::optional<int32_t> previousNumber;  // the cell before, when a whole number
};

void SetFec(OfferedTransponder& offered, std::string_view text) {
  FecFraction fec = ParseFecText(text);
  offered.FecNumerator = fec.numerator;
  offered.FecDenominator = fec.denominator;
}

// Files one cell by what it holds: the columns moved and were renamed over
// the years, but what each one looks like did not. Standard and modulation
// come before the rate, the network and stream ids after it.
void ReadCell(std::string_view markup, const std::string& text, TransponderTable& table) {
  OfferedTransponder& offered = table.offered;
  if (!table.position) {
    table.position = ReadPosition(text);
    if (table.position) {
      table.satelliteCellNext = true;
      return;
    }
  }
  if (table.satelliteCellNext) {
    table.satelliteCellNext = false;
    if (!text.empty() && !ReadFrequency(text)) {
      size_t span = markup.rfind(kSpanEnd);
      ReadableText(span == npos ? markup : markup.substr(span + kSpanEnd.size()), table.encoding,
                   table.satellite);
      return;
    }
  }
  if (offered.Frequency == 0) {
    if (std::optional<int32_t> frequency = ReadFrequency(text)) {
      offered.Frequency = *frequency;
      offered.Details.FrequencyKhz = FrequencyKhz(text);
      return;
    }
  }
  if (offered.Polarization == 0 && text.size() == 1 &&
      std::string_view("HVLR").find(text[0]) != npos) {
    offered.Polarization = text[0];
    return;
  }
  if (!table.rateRead) {
    // "Stream 5", "PLS: Root+16416", "T2-MI, PLP 0" stand in the standard
    // and modulation cells.
    ReadStreamWords(text, offered.Details);
    bool named = false;
    if (offered.SystemKind == 0) {
      offered.SystemKind = CodeOfAnyWord(text, kStandards);
      named = offered.SystemKind != 0;
    }
    if (offered.Modulation == kModulationNone) {
      offered.Modulation = CodeOfAnyWord(text, kModulations);
      named = named || offered.Modulation != kModulationNone;
    }
    if (named) return;
    // "23000 3/4" in one cell, or "3/4" in a cell after "23000".
    size_t blank = text.find(' ');
    std::string_view first = std::string_view(text).substr(0, blank);
    if (blank != npos && AllDigits(first)) {
      std::string_view second = std::string_view(text).substr(blank + 1);
      second = second.substr(0, second.find(' '));
      if (IsFec(second)) {
        offered.SymbolRate = DigitsValue(first);
        SetFec(offered, second);
        table.rateRead = true;
        return;
      }
    }
    if (table.previousNumber && IsFec(text)) {
      offered.SymbolRate = *table.previousNumber;
      SetFec(offered, text);
      table.rateRead = true;
    }
    return;
  }
  if (table.idsRead < 2) {
    if (std::optional<int32_t> id = WholeNumber(text)) {
      uint16_t value = static_cast<uint16_t>(*id);
      if (table.idsRead == 0) {
        offered.NetworkId = value;
      } else {
        offered.TransportStreamId = value;
      }
      ++table.idsRead;
    }
  }
}

// Whether a tag's text (between "<" and ">") opens or closes the named
// element, in any letter case.
bool TagIs(std::string_view tag, std::string_view name) {
  if (tag.size() < name.size() || !EqualsIgnoringAsciiCase(tag.substr(0, name.size()), name)) {
    return false;
  }
  return tag.size() == name.size() || static_cast<unsigned char>(tag[name.size()]) <= ' ' ||
         tag[name.size()] == '/';
}

// Reads the cells of one transponder table in order. A cell runs from its
// "<td ...>" to its "</td>", or to the next cell or row when the closing
// tag is missing.
void ReadCells(std::string_view markup, std::string& text, TransponderTable& table) {
  bool open = false;
  size_t cellStart = 0;
  auto closeCell = [&](size_t end) {
    if (!open) return;
    open = false;
    std::string_view cell = markup.substr(cellStart, end - cellStart);
    ReadableText(cell, table.encoding, text);
    ReadCell(cell, text, table);
    table.previousNumber = WholeNumber(text);
  };
  size_t at = 0;
  while (true) {
    size_t tagStart = markup.find('<', at);
    if (tagStart == npos) break;
    size_t tagEnd = markup.find('>', tagStart);
    if (tagEnd == npos) break;
    std::string_view tag = markup.substr(tagStart + 1, tagEnd - tagStart - 1);
    if (TagIs(tag, "td")) {
      closeCell(tagStart);
      open = true;
      cellStart = tagEnd + 1;
    } else if (TagIs(tag, "/td") || TagIs(tag, "tr") || TagIs(tag, "/tr") || TagIs(tag, "/table")) {
      closeCell(tagStart);
    }
    at = tagEnd + 1;
  }
  closeCell(markup.size());
}

struct TitleSatellite {
  std::string name;
  std::optional<int32_t> position;
};

// The satellite of a title "Astra 2E / Astra 2F (28.2&deg;E) - ...": the
// name before the parenthesis that holds the position.
TitleSatellite ReadTitle(std::string_view head) {
  TitleSatellite title;
  size_t open = head.find("<title");
  if (open == npos) open = head.find("<TITLE");
  if (open == npos) return title;
  size_t textStart = head.find('>', open);
  if (textStart == npos) return title;
  // Titles are short; the cap keeps a hostile one from costing more.
  std::string_view text = head.substr(textStart + 1, kMaxTitle);
  text = text.substr(0, text.find('<'));
  size_t parenthesis = text.find('(');
  while (parenthesis != npos) {
    std::string_view inside = text.substr(parenthesis + 1);
    title.position = ReadPosition(inside.substr(0, inside.find(')')));
    if (title.position) {
      title.name = TrimBlanks(text.substr(0, parenthesis));
      return title;
    }
    parenthesis = text.find('(', parenthesis + 1);
  }
  return title;
}

}  // namespace

bool IsTodaysKingOfSatPage(std::string_view page) { return page.find(kTransponderTable) != npos; }

ProducerResult ParseTodaysKingOfSatPage(SatelliteSink& sink, const SourceText& page) {
  sink.BeginPage(page.name);
  std::string_view bytes = page.bytes;
  size_t tableStart = bytes.find(kTransponderTable);
  TitleSatellite title = ReadTitle(bytes.substr(0, tableStart));
  std::optional<int32_t> current = title.position;
  TextEncoding encoding = PageTextEncoding(bytes);
  if (current) sink.FindOrAddSatellite(title.name, *current, encoding);
  std::string text;
  while (tableStart != npos) {
    size_t close = bytes.find(kTableEnd, tableStart);
    size_t tableEnd = close == npos ? bytes.size() : close + kTableEnd.size();
    size_t nextStart = bytes.find(kTransponderTable, tableEnd);
    std::string_view markup = bytes.substr(tableStart, tableEnd - tableStart);
    std::string_view channels =
        bytes.substr(tableEnd, (nextStart == npos ? bytes.size() : nextStart) - tableEnd);
    tableStart = nextStart;

    TransponderTable table;
    table.encoding = encoding;
    ReadCells(markup, text, table);
    bool feed = markup.find(kFeedMark) != npos || channels.find(kFeedMark) != npos;
    table.offered.Service = feed ? ServiceKind::kFeed : ServiceKind::kOrdinary;
    // Without a position in the title, the rows' own cells name the
    // satellite; a page of one position selects it once. A table whose
    // service the options refuse selects none.
    if (!title.position && table.position && table.position != current &&
        sink.AdmitsService(table.offered.Service)) {
      current = table.position;
      sink.FindOrAddSatellite(table.satellite, *current, encoding);
    }
    const OfferedTransponder& offered = table.offered;
    if (offered.Frequency == 0 || offered.Polarization == 0 || offered.SymbolRate == 0 ||
        offered.SystemKind == 0) {
      continue;
    }
    sink.AddTransponder(offered);
  }
  sink.EndPage();
  return ProducerResult::kRead;
}

}  // namespace kavrel
