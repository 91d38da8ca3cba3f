#include "formats/ini_file.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "catalogue/admission.h"
#include "catalogue/run.h"
#include "formats/unique_file_name.h"
#include "platform/fatal_error.h"
#include "platform/file_system.h"
#include "platform/int_text.h"
#include "platform/profile_file.h"
#include "platform/text.h"

namespace kavrel {

namespace {

constexpr std::string_view kSatType = "SATTYPE";

std::string FecText(const TransponderRecord& t) {
  // An unknown FEC is written as 1/2: the files have no spelling for
  // "unknown" that other readers accept.
  if (t.FecNumerator == 0 && t.FecDenominator == 0) return "12";
  return DecimalText(t.FecNumerator) + DecimalText(t.FecDenominator);
}

std::string TransponderLine(const TransponderRecord& t, bool markS2, bool providersInfo) {
  std::string line = DecimalText(t.Frequency);
  line += ',';
  line += t.Polarization;
  line += ',';
  line += DecimalText(t.SymbolRate);
  line += ',';
  line += FecText(t);
  if (markS2) line += ",S2";
  if (providersInfo) line += std::string("; ").append(t.Providers).substr(0, 52);
  return line;
}

// Writes the transponders of one kind into their own section, the count
// "0" first; a kind without transponders leaves no section.
void WriteKindSection(ProfileDocument& document, const SatelliteRecord& satellite,
                      std::string_view section, uint8_t kind, bool providersInfo) {
  int running = 0;
  for (const TransponderRecord& t : satellite.Transponders) {
    if (t.SystemKind != kind) continue;
    if (running == 0) document.Set(section, "0", "0");
    ++running;
    document.Set(section, DecimalText(running), TransponderLine(t, false, providersInfo));
  }
  if (running > 0) document.Set(section, "0", DecimalText(running));
}

// A number with a decimal comma ("11747,5"), 0 when it is none.
double DecimalCommaNumber(std::string_view text) {
  std::string plain;
  size_t i = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) plain += text[i++];
  size_t digits = 0;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') plain += text[i++], ++digits;
  if (i < text.size() && text[i] == ',') {
    plain += '.';
    ++i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') plain += text[i++], ++digits;
  }
  if (digits == 0) return 0;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    plain += 'e';
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) plain += text[i++];
    size_t exponentDigits = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') plain += text[i++], ++exponentDigits;
    if (exponentDigits == 0) return 0;
  }
  if (i != text.size()) return 0;
  double value = std::strtod(plain.c_str(), nullptr);
  return std::isfinite(value) ? value : 0;
}

// Frequencies written in MHz with a fraction ("11747.5"): the fraction is
// dropped. Values that do not fit a frequency read as unreadable.
int32_t WholeMegahertz(std::string field) {
  std::replace(field.begin(), field.end(), '.', ',');
  double thousandths = std::trunc(DecimalCommaNumber(field) * 1000);
  if (!(std::fabs(thousandths) < 2147483647.0 * 1000)) return 0;
  return static_cast<int32_t>(static_cast<int64_t>(thousandths) / 1000);
}

uint8_t DigitValue(char c) { return c >= '0' && c <= '9' ? static_cast<uint8_t>(c - '0') : 0; }

bool IsCanonicalKey(const std::string& key) {
  if (key.empty() || key.size() > 10 || key[0] == '0') return false;
  return std::all_of(key.begin(), key.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The numbered keys 1..count of a section that are present, in ascending
// order. Keys that are missing would read as empty lines, which are skipped
// anyway, so a huge count in a small file costs nothing.
std::vector<int64_t> PresentLineKeys(const ProfileDocument& document, std::string_view section,
                                     int32_t count) {
  std::vector<int64_t> keys;
  for (const std::string& key : document.KeysOf(section)) {
    if (!IsCanonicalKey(key)) continue;
    int64_t number = std::stoll(key);
    if (number <= count) keys.push_back(number);
  }
  std::sort(keys.begin(), keys.end());
  return keys;
}

void ReadTransponderLine(Run& run, std::string text, std::string_view section) {
  std::string providers;
  size_t semicolon = text.find(';');
  if (semicolon != std::string::npos) {
    providers = TrimmedText(std::string_view(text).substr(semicolon + 1));
    text.resize(semicolon);
  }
  std::array<std::string, 5> fields = SplitIniLine(text);
  const std::string& frequencyField = fields[0];
  int32_t frequency = 0, symbolRate = 0;
  std::string fecText;
  if (frequencyField.size() < 6 || frequencyField.find('.') != std::string::npos) {
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
    offered.SystemKind = UpperAscii(fields[4]) == "S2" ? kKindDvbS2 : kKindDvbS;
  } else if (section == "DVBS2") {
    offered.SystemKind = kKindDvbS2;
  } else {
    offered.SystemKind = kKindDss;
  }
  offered.Providers = providers;
  AddTransponder(run, offered);
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
  for (const TransponderRecord& t : satellite.Transponders) {
    if (kinds.Contains(t.SystemKind)) ++count;
  }
  return count;
}

std::string IniSatelliteText(const SatelliteRecord& satellite, IniLayout layout,
                             bool providersInfo) {
  ProfileDocument document;
  document.Set(kSatType, "1", PaddedDecimalText(satellite.Position, 4));
  document.Set(kSatType, "2", satellite.Name);
  if (layout == IniLayout::kI3) {
    WriteKindSection(document, satellite, "DVB", kKindDvbS, providersInfo);
    WriteKindSection(document, satellite, "DVBS2", kKindDvbS2, providersInfo);
    WriteKindSection(document, satellite, "DSS", kKindDss, providersInfo);
    return document.Text();
  }
  KindSet kinds = layout == IniLayout::kI1 ? KindSet{kKindDvbS} : KindSet{kKindDvbS, kKindDvbS2};
  document.Set("DVB", "0", DecimalText(CountKinds(satellite, kinds)));
  int running = 0;
  for (const TransponderRecord& t : satellite.Transponders) {
    if (!kinds.Contains(t.SystemKind)) continue;
    ++running;
    bool markS2 = layout == IniLayout::kI2 && t.SystemKind == kKindDvbS2;
    document.Set("DVB", DecimalText(running), TransponderLine(t, markS2, providersInfo));
  }
  return document.Text();
}

std::string UniqueIniName(const std::string& base) {
  std::string name = base + ".ini";
  for (int64_t i = 1; PathExists(name) && i <= INT32_MAX; ++i) {
    name = base + "(" + DecimalText(i) + ").ini";
  }
  return name;
}

void WriteIniSatellite(Run& run, const SatelliteRecord& satellite, IniLayout layout) {
  std::string base = PaddedDecimalText(satellite.Position, 4);
  std::string text = IniSatelliteText(satellite, layout, run.ProvidersInfo);
  // Profile files report every refused write the same way.
  auto refused = [](const std::string& path) { return "Unable to write to " + path; };
  OutputFile file = AnnounceAndCreate(
      run.out, [&base](int64_t i) { return i == 0 ? base + ".ini" : base + "(" + DecimalText(i) + ").ini"; },
      refused);
  try {
    file.Write(text);
    file.Close();
  } catch (const FatalError&) {
    throw FatalError(refused(PathInCurrentDirectory(file.path())));
  }
}

void WriteIniFiles(Run& run, uint8_t formatCode) {
  run.out << "Writting INI file(s)..." << '\n';
  IniLayout layout;
  switch (formatCode) {
    case kFormatIni1: layout = IniLayout::kI1; break;
    case kFormatIni2: layout = IniLayout::kI2; break;
    case kFormatIni3: layout = IniLayout::kI3; break;
    default: return;
  }
  for (const SatelliteRecord& satellite : run.catalogue.Satellites) {
    WriteIniSatellite(run, satellite, layout);
  }
}

std::array<std::string, 5> SplitIniLine(std::string_view text) {
  std::array<std::string, 5> fields;
  std::string_view rest = TrimBlanks(text);
  for (std::string& field : fields) {
    size_t comma = rest.find(',');
    if (comma != std::string_view::npos) {
      field = TrimmedText(rest.substr(0, comma));
      rest = TrimBlanks(rest.substr(comma + 1));
    } else {
      field = TrimmedText(rest);
      rest = {};
    }
  }
  return fields;
}

void ReadIniFile(Run& run, const std::string& path) {
  run.out << "Loading INI file (" << path << ")..." << '\n';
  TIniFile file(path);
  ProfileDocument document = file.Load();
  auto read = [&document](std::string_view section, std::string_view key) {
    return document.Find(section, key).value_or("");
  };
  int32_t position = IntegerTextOr(read(kSatType, "1"), 0);
  std::string name = CleanSatelliteName(read(kSatType, "2"));
  run.catalogue.FindOrAddSatellite(name, position);
  for (std::string_view section : {"DVB", "DVBS2", "DSS"}) {
    int32_t count = IntegerTextOr(read(section, "0"), 0);
    for (int64_t key : PresentLineKeys(document, section, count)) {
      ReadTransponderLine(run, read(section, DecimalText(key)), section);
    }
  }
  const SatelliteRecord* current = run.catalogue.Current();
  run.out << name << ' ' << (current ? current->Count() : 0) << " transponders loaded" << '\n';
  run.catalogue.DropEmptyLastSatellite();
}

}  // namespace kavrel
