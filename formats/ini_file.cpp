#include "formats/ini_file.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "formats/text_output.h"
#include "platform/fatal_error.h"
#include "platform/file_system.h"
#include "platform/int_text.h"
#include "platform/profile_file.h"
#include "platform/text.h"
#include "platform/unique_file_name.h"

namespace kavrel {

namespace {

constexpr std::string_view kSatType = "SATTYPE";

// Appends the line "<n>=freq,pol,sr,fec[,S2][; providers]" of a transponder.
void AppendTransponderLine(std::string& text, int line, const TransponderRecord& t, bool markS2,
                           bool providersInfo) {
  AppendDecimal(text, line);
  text += '=';
  AppendDecimal(text, t.Frequency);
  text += ',';
  text += t.Polarization;
  text += ',';
  AppendDecimal(text, t.SymbolRate);
  text += ',';
  // An unknown FEC is written as 1/2: the files have no spelling for
  // "unknown" that other readers accept.
  if (t.FecNumerator == 0 && t.FecDenominator == 0) {
    text += "12";
  } else {
    AppendDecimal(text, t.FecNumerator);
    AppendDecimal(text, t.FecDenominator);
  }
  if (markS2) text += ",S2";
  // The providers text and its "; " stay within 52 characters.
  if (providersInfo) {
    std::string providers = TextForFile(TextInEncoding(t.Providers, t.ProvidersEncoding, TextEncoding::kLatin1));
    text.append("; ").append(std::string_view(providers).substr(0, 50));
  }
  text += '\n';
}

// Appends the transponders of one kind as their own section, the count
// "0" first; a kind without transponders leaves no section.
void AppendKindSection(std::string& text, const SatelliteRecord& satellite, std::string_view section,
                       uint8_t kind, bool providersInfo) {
  int count = CountKinds(satellite, KindSet{kind});
  if (count == 0) return;
  AppendSectionLine(text, section);
  AppendKeyLine(text, "0", DecimalText(count));
  int running = 0;
  for (const TransponderRecord& t : satellite.Transponders.FirstStreams()) {
    if (t.SystemKind != kind) continue;
    AppendTransponderLine(text, ++running, t, false, providersInfo);
  }
}

// Frequencies written in MHz with a fraction ("11747.5"): the fraction is
// dropped. Values that do not fit a frequency read as unreadable.
int32_t WholeMegahertz(std::string_view text) {
  // The usual field, a few plain digits, is its own value.
  if (!text.empty() && text.size() < 10 &&
      std::all_of(text.begin(), text.end(), IsAsciiDigit)) {
    return IntegerTextOr(text, 0);
  }
  std::string field(text);
  std::replace(field.begin(), field.end(), '.', ',');
  double thousandths = std::trunc(ParseDecimalComma(field).value_or(0) * 1000);
  if (!(std::fabs(thousandths) < 2147483647.0 * 1000)) return 0;
  return static_cast<int32_t>(static_cast<int64_t>(thousandths) / 1000);
}

uint8_t DigitValue(char c) { return c >= '0' && c <= '9' ? static_cast<uint8_t>(c - '0') : 0; }

// A line key as the writer writes it: 1 to 10 digits without a leading 0.
// Other spellings ("01", "+1") are other keys and name no line.
std::optional<int64_t> LineNumberOf(std::string_view key) {
  if (key.empty() || key.size() > 10 || key[0] == '0') return std::nullopt;
  int64_t number = 0;
  for (char c : key) {
    if (c < '0' || c > '9') return std::nullopt;
    number = number * 10 + (c - '0');
  }
  return number;
}

// One of the sections that hold transponder lines, as the reader meets it.
struct KindSection {
  std::string_view name;
  std::optional<std::string_view> count;  // the first "0" key
  struct Line {
    int64_t number;
    std::string_view text;
  };
  std::vector<Line> lines;  // every line key, in file order

  // The text of every line key from 1 to the count, each key's first
  // occurrence, in ascending order. Keys that are missing would read as
  // empty lines, which are skipped anyway, so a huge count in a small file
  // costs nothing.
  std::vector<std::string_view> CountedLines() {
    int32_t total = IntegerTextOr(count.value_or(""), 0);
    auto byNumber = [](const Line& a, const Line& b) { return a.number < b.number; };
    // Files list their lines in order; only others need sorting.
    if (!std::is_sorted(lines.begin(), lines.end(), byNumber)) {
      std::stable_sort(lines.begin(), lines.end(), byNumber);
    }
    std::vector<std::string_view> texts;
    for (size_t i = 0; i < lines.size() && lines[i].number <= total; ++i) {
      if (i == 0 || lines[i].number != lines[i - 1].number) texts.push_back(lines[i].text);
    }
    return texts;
  }

  // Whether the count keeps its word, given how many lines CountedLines
  // found for it. A section without a count is read as before: no lines.
  FileReadResult CountOutcome(size_t linesFound) const {
    if (!count) return FileReadResult::kRead;
    std::optional<int32_t> promised = ParseIntegerText(*count);
    if (!promised || *promised < 0) return FileReadResult::kNotACount;
    return linesFound < static_cast<size_t>(*promised) ? FileReadResult::kMissingLines : FileReadResult::kRead;
  }

  bool Seen() const { return count || !lines.empty(); }
};

void ReadTransponderLine(SatelliteSink& sink, std::string_view text, std::string_view section) {
  std::string_view providers;
  size_t semicolon = text.find(';');
  if (semicolon != std::string_view::npos) {
    providers = TrimBlanks(text.substr(semicolon + 1));
    text = text.substr(0, semicolon);
  }
  std::array<std::string_view, 5> fields = SplitIniLine(text);
  std::string_view frequencyField = fields[0];
  int32_t frequency = 0, symbolRate = 0;
  std::string_view fecText;
  if (frequencyField.size() < 6 || frequencyField.find('.') != std::string_view::npos) {
    frequency = WholeMegahertz(frequencyField);
    symbolRate = IntegerTextOr(fields[2], 0);
    fecText = fields[3].empty() ? "00" : fields[3];
  } else {
    // Eight-digit fields are kHz and S/s; such lines carry no usable FEC.
    frequency = IntegerTextOr(frequencyField, 0) / 1000;
    symbolRate = IntegerTextOr(fields[2], 0) / 1000;
    fecText = "00";
  }
  if (frequency == 0 || symbolRate == 0 || fecText.size() < 2 || fecText.size() > 3 ||
      fields[1].size() != 1) {
    return;
  }
  OfferedTransponder offered;
  offered.Frequency = frequency;
  offered.Polarization = fields[1][0];
  offered.SymbolRate = symbolRate;
  offered.FecNumerator = DigitValue(fecText[0]);
  offered.FecDenominator = fecText.size() == 2
                               ? DigitValue(fecText[1])
                               : static_cast<uint8_t>(IntegerTextOr(fecText.substr(1), 0));
  if (section == "DVB") {
    offered.SystemKind = EqualsIgnoringAsciiCase(fields[4], "S2") ? kKindDvbS2 : kKindDvbS;
  } else if (section == "DVBS2") {
    offered.SystemKind = kKindDvbS2;
  } else {
    offered.SystemKind = kKindDss;
  }
  offered.Providers = providers;
  sink.AddTransponder(offered);
}

// Satellite names often carry a remark: "Example Sat (13.0E)" or
// "Example Sat  extra". Both are cut off.
std::string CleanSatelliteName(std::string name) {
  size_t paren = name.rfind('(');
  if (paren != std::string::npos) name.resize(paren);
  size_t doubleBlank = name.find("  ");
  if (doubleBlank != std::string::npos) name.resize(doubleBlank);
  return TrimmedText(name);
}

}  // namespace

int CountKinds(const SatelliteRecord& satellite, const KindSet& kinds) {
  int count = 0;
  for (const TransponderRecord& t : satellite.Transponders.FirstStreams()) {
    if (kinds.Contains(t.SystemKind)) ++count;
  }
  return count;
}

std::string IniSatelliteText(const SatelliteRecord& satellite, IniLayout layout,
                             bool providersInfo) {
  // A new file holds nothing but what is written here, so its text is
  // built directly, line by line, as a profile document would write it.
  std::string text;
  text.reserve(64 + satellite.Name.size() + 32 * size_t{satellite.Count()});
  AppendSectionLine(text, kSatType);
  AppendKeyLine(text, "1", PaddedDecimalText(satellite.Position, 4));
  AppendKeyLine(text, "2", TextForFile(Latin1Name(satellite)));
  if (layout == IniLayout::kI3) {
    AppendKindSection(text, satellite, "DVB", kKindDvbS, providersInfo);
    AppendKindSection(text, satellite, "DVBS2", kKindDvbS2, providersInfo);
    AppendKindSection(text, satellite, "DSS", kKindDss, providersInfo);
    return text;
  }
  KindSet kinds = layout == IniLayout::kI1 ? KindSet{kKindDvbS} : KindSet{kKindDvbS, kKindDvbS2};
  AppendSectionLine(text, "DVB");
  AppendKeyLine(text, "0", DecimalText(CountKinds(satellite, kinds)));
  int running = 0;
  for (const TransponderRecord& t : satellite.Transponders.FirstStreams()) {
    if (!kinds.Contains(t.SystemKind)) continue;
    bool markS2 = layout == IniLayout::kI2 && t.SystemKind == kKindDvbS2;
    AppendTransponderLine(text, ++running, t, markS2, providersInfo);
  }
  return text;
}

void WriteIniSatellite(const WriterContext& context, const SatelliteRecord& satellite,
                       IniLayout layout) {
  std::string base = PaddedDecimalText(satellite.Position, 4);
  std::string text = IniSatelliteText(satellite, layout, context.ProvidersInfo);
  // Profile files report every refused write the same way.
  auto refused = [](const std::string& path) { return "Unable to write to " + path; };
  OutputFile file = AnnounceAndCreate(
      context.out,
      [&base](int64_t i) { return i == 0 ? base + ".ini" : base + "(" + DecimalText(i) + ").ini"; },
      refused);
  try {
    file.Write(text);
    file.Close();
  } catch (const FatalError&) {
    throw FatalError(refused(PathInCurrentDirectory(file.path())));
  }
}

void WriteIniFiles(const Catalogue& catalogue, const WriterContext& context, IniLayout layout) {
  context.out << "Writting INI file(s)..." << '\n';
  for (const SatelliteRecord& satellite : catalogue.Satellites()) {
    WriteIniSatellite(context, satellite, layout);
  }
}

std::array<std::string_view, 5> SplitIniLine(std::string_view text) {
  std::array<std::string_view, 5> fields;
  std::string_view rest = TrimBlanks(text);
  for (std::string_view& field : fields) {
    size_t comma = rest.find(',');
    if (comma != std::string_view::npos) {
      field = TrimBlanks(rest.substr(0, comma));
      rest = TrimBlanks(rest.substr(comma + 1));
    } else {
      field = TrimBlanks(rest);
      rest = {};
    }
  }
  return fields;
}

FileReadResult ReadIniFile(SatelliteSink& sink, const SourceText& file) {
  AnnounceLoading(sink.out(), "INI", file.name);
  // One pass over the text picks out what the reader needs; a profile
  // document would index every line of a file that is read only once.
  std::optional<std::string_view> positionText, nameText;
  KindSection sections[] = {{"DVB", {}, {}}, {"DVBS2", {}, {}}, {"DSS", {}, {}}};
  ProfileKeyScanner scanner(file.bytes);
  ProfileKeyScanner::Entry entry;
  // Which of the sections above the keys of the current section belong to
  // (none: nullptr; [SATTYPE]: the satellite), found once per section.
  std::string_view sectionSeen;
  bool inSatType = false;
  KindSection* kindSection = nullptr;
  while (scanner.Next(entry)) {
    if (entry.section.data() != sectionSeen.data() || entry.section.size() != sectionSeen.size()) {
      sectionSeen = entry.section;
      inSatType = entry.firstSection && EqualsIgnoringAsciiCase(entry.section, kSatType);
      kindSection = nullptr;
      for (KindSection& section : sections) {
        if (entry.firstSection && EqualsIgnoringAsciiCase(entry.section, section.name)) {
          kindSection = &section;
        }
      }
    }
    if (inSatType) {
      if (entry.key == "1" && !positionText) positionText = entry.value;
      if (entry.key == "2" && !nameText) nameText = entry.value;
    } else if (kindSection == nullptr) {
      continue;
    } else if (entry.key == "0") {
      if (!kindSection->count) kindSection->count = entry.value;
    } else if (std::optional<int64_t> number = LineNumberOf(entry.key)) {
      kindSection->lines.push_back({*number, entry.value});
    }
  }
  int32_t position = IntegerTextOr(positionText.value_or(""), 0);
  std::string name = CleanSatelliteName(std::string(nameText.value_or("")));
  sink.FindOrAddSatellite(name, position);
  bool named = positionText || nameText;
  FileReadResult result = FileReadResult::kRead;
  for (KindSection& section : sections) {
    named = named || section.Seen();
    std::vector<std::string_view> lines = section.CountedLines();
    for (std::string_view line : lines) ReadTransponderLine(sink, line, section.name);
    if (result == FileReadResult::kRead) result = section.CountOutcome(lines.size());
  }
  sink.EndSatellite(name);
  return named ? result : FileReadResult::kNoSatellite;
}

}  // namespace kavrel
