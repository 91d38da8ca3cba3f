#include "catalogue/catalogue_changes.h"

#include <algorithm>
#include <cstdlib>
#include <set>
#include <string>
#include <tuple>

#include "catalogue/position_text.h"
#include "platform/int_text.h"

namespace kavrel {

namespace {

// Records of one list that a later record may match: same polarization and
// stream, ordered by frequency.
using MatchKey = std::tuple<char, int16_t, int16_t, int32_t>;

MatchKey KeyOf(const TransponderRecord& record, int64_t frequency) {
  return {record.Polarization, record.Details.StreamId, record.Details.T2miPlpId,
          static_cast<int32_t>(std::clamp<int64_t>(frequency, INT32_MIN, INT32_MAX))};
}

// Whether what the report shows of a transponder differs. A modulation
// that one side does not give is no change: a source that does not say it
// (an INI file) would otherwise change every transponder of a list that
// does, run after run.
bool Differs(const TransponderRecord& a, const TransponderRecord& b) {
  const TransponderDetails &x = a.Details, &y = b.Details;
  bool modulationDiffers =
      a.Modulation != b.Modulation && a.Modulation != kModulationNone && b.Modulation != kModulationNone;
  return a.Frequency != b.Frequency || x.FrequencyKhz != y.FrequencyKhz || a.SymbolRate != b.SymbolRate ||
         a.FecNumerator != b.FecNumerator || a.FecDenominator != b.FecDenominator ||
         a.SystemKind != b.SystemKind || modulationDiffers || x.PlsMode != y.PlsMode ||
         x.PlsCode != y.PlsCode || x.T2miPid != y.T2miPid;
}

// The order of a list: frequency, polarization, stream.
auto ListOrder(const TransponderRecord& r) {
  return std::make_tuple(r.Frequency, static_cast<unsigned char>(r.Polarization), r.Details.StreamId,
                         r.Details.T2miPlpId);
}

SatelliteChanges CompareLists(const SatelliteRecord* before, const SatelliteRecord* after) {
  SatelliteChanges result;
  result.satellite = after ? after : before;
  result.position = result.satellite->Position;
  result.beforeCount = before ? before->Count() : 0;
  result.afterCount = after ? after->Count() : 0;

  // Unmatched earlier records by key, with their place in the earlier
  // list; each is matched at most once.
  std::vector<const TransponderRecord*> earlier;
  std::set<std::pair<MatchKey, size_t>> open;
  if (before) {
    for (const TransponderRecord& record : before->Transponders) {
      open.emplace(KeyOf(record, record.Frequency), earlier.size());
      earlier.push_back(&record);
    }
  }
  if (after) {
    for (const TransponderRecord& record : after->Transponders) {
      // The nearest earlier frequency within 2 MHz that the rule accepts;
      // the lower one of two equally near.
      const MatchKey highest = KeyOf(record, int64_t{record.Frequency} + 2);
      auto best = open.end();
      int64_t bestDistance = 3;
      for (auto it = open.lower_bound({KeyOf(record, int64_t{record.Frequency} - 2), 0});
           it != open.end() && it->first <= highest; ++it) {
        const TransponderRecord& listed = *earlier[it->second];
        int64_t distance = std::abs(int64_t{listed.Frequency} - record.Frequency);
        if (distance < bestDistance && IsSameTransponder(listed, record)) {
          best = it;
          bestDistance = distance;
        }
      }
      if (best == open.end()) {
        result.transponders.push_back({TransponderChange::Kind::kAdded, nullptr, &record});
        ++result.added;
        continue;
      }
      const TransponderRecord* listed = earlier[best->second];
      if (Differs(*listed, record)) {
        result.transponders.push_back({TransponderChange::Kind::kChanged, listed, &record});
        ++result.changed;
      }
      open.erase(best);
    }
  }
  for (const auto& [key, place] : open) {
    result.transponders.push_back({TransponderChange::Kind::kRemoved, earlier[place], nullptr});
    ++result.removed;
  }
  std::stable_sort(result.transponders.begin(), result.transponders.end(),
                   [](const TransponderChange& a, const TransponderChange& b) {
                     return ListOrder(a.after ? *a.after : *a.before) < ListOrder(b.after ? *b.after : *b.before);
                   });
  return result;
}

// ---- Names of the values -------------------------------------------------

const char* SystemName(uint8_t kind) {
  switch (kind) {
    case kKindDvbS: return "DVB-S";
    case kKindDvbS2: return "DVB-S2";
    case kKindDss: return "DSS";
    default: return nullptr;
  }
}

const char* ModulationName(uint8_t modulation) {
  switch (modulation) {
    case kModulationQpsk: return "QPSK";
    case kModulation8psk: return "8PSK";
    case kModulation16apsk: return "16APSK";
    case kModulation32apsk: return "32APSK";
    case kModulationAuto: return "AUTO";
    case kModulationQam16: return "16QAM";
    default: return nullptr;
  }
}

const char* PlsModeName(uint8_t mode) {
  switch (mode) {
    case kPlsRoot: return "root";
    case kPlsGold: return "gold";
    case kPlsCombo: return "combo";
    default: return nullptr;
  }
}

std::string FrequencyText(const TransponderRecord& record) {
  std::string text = DecimalText(record.Frequency);
  if (uint16_t khz = record.Details.FrequencyKhz) {
    std::string digits = DecimalText(1000 + khz).substr(1);
    while (digits.back() == '0') digits.pop_back();
    text += "." + digits;
  }
  return text;
}

std::string FecText(const TransponderRecord& record) {
  if (record.FecNumerator == 0 && record.FecDenominator == 0) return "";
  return DecimalText(record.FecNumerator) + "/" + DecimalText(record.FecDenominator);
}

std::string Utf8Name(const SatelliteRecord& satellite) {
  return TextInEncoding(satellite.Name, satellite.NameEncoding, TextEncoding::kUtf8);
}

// ---- Text ----------------------------------------------------------------

// "10719 V 27500 3/4 DVB-S2 8PSK stream 4 PLS gold 8 T2-MI PLP 0 PID 4096";
// unknown values are left out.
std::string TransponderText(const TransponderRecord& r) {
  std::string text = FrequencyText(r) + " " + std::string(1, r.Polarization) + " " + DecimalText(r.SymbolRate);
  auto add = [&text](const std::string& part) {
    if (!part.empty()) text += " " + part;
  };
  add(FecText(r));
  if (const char* system = SystemName(r.SystemKind)) add(system);
  if (const char* modulation = ModulationName(r.Modulation)) add(modulation);
  const TransponderDetails& d = r.Details;
  if (d.StreamId != kNoStream) add("stream " + DecimalText(d.StreamId));
  if (const char* mode = PlsModeName(d.PlsMode)) add(std::string("PLS ") + mode + " " + DecimalText(d.PlsCode));
  if (d.T2miPlpId != kNoStream) add("T2-MI PLP " + DecimalText(d.T2miPlpId));
  if (d.T2miPid != 0) add("T2-MI PID " + DecimalText(d.T2miPid));
  return text;
}

// ---- JSON ----------------------------------------------------------------

// A JSON string of valid UTF-8 text.
void JsonString(std::ostream& out, std::string_view text) {
  static const char kHex[] = "0123456789abcdef";
  out << '"';
  for (char c : text) {
    auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out << '\\' << c;
    } else if (byte < 0x20) {
      out << "\\u00" << kHex[byte >> 4] << kHex[byte & 15];
    } else {
      out << c;
    }
  }
  out << '"';
}

void JsonNameOrNull(std::ostream& out, const char* name) {
  if (name) {
    JsonString(out, name);
  } else {
    out << "null";
  }
}

void JsonNumberOrNull(std::ostream& out, bool known, int64_t value) {
  if (known) {
    out << DecimalText(value);
  } else {
    out << "null";
  }
}

void JsonTransponder(std::ostream& out, const TransponderRecord& r) {
  const TransponderDetails& d = r.Details;
  out << "{\"frequency\":" << FrequencyText(r) << ",\"polarization\":";
  JsonString(out, std::string(1, r.Polarization));
  out << ",\"symbol_rate\":" << DecimalText(r.SymbolRate) << ",\"fec\":";
  std::string fec = FecText(r);
  JsonNameOrNull(out, fec.empty() ? nullptr : fec.c_str());
  out << ",\"system\":";
  JsonNameOrNull(out, SystemName(r.SystemKind));
  out << ",\"modulation\":";
  JsonNameOrNull(out, ModulationName(r.Modulation));
  out << ",\"stream\":";
  JsonNumberOrNull(out, d.StreamId != kNoStream, d.StreamId);
  out << ",\"pls_mode\":";
  JsonNameOrNull(out, PlsModeName(d.PlsMode));
  out << ",\"pls_code\":";
  JsonNumberOrNull(out, d.PlsMode != kPlsUnset, d.PlsCode);
  out << ",\"t2mi_plp\":";
  JsonNumberOrNull(out, d.T2miPlpId != kNoStream, d.T2miPlpId);
  out << ",\"t2mi_pid\":";
  JsonNumberOrNull(out, d.T2miPid != 0, d.T2miPid);
  out << '}';
}

}  // namespace

std::vector<SatelliteChanges> CompareCatalogues(const Catalogue& before, const Catalogue& after) {
  std::vector<int32_t> positions;
  for (const Catalogue* catalogue : {&before, &after}) {
    for (const SatelliteRecord& satellite : catalogue->Satellites()) positions.push_back(satellite.Position);
  }
  std::sort(positions.begin(), positions.end());
  positions.erase(std::unique(positions.begin(), positions.end()), positions.end());

  std::vector<SatelliteChanges> changes;
  for (int32_t position : positions) {
    auto find = [position](const Catalogue& catalogue) -> const SatelliteRecord* {
      int32_t index = catalogue.FindSatellite(position);
      return index < 0 ? nullptr : &catalogue.Satellites()[static_cast<size_t>(index)];
    };
    SatelliteChanges satellite = CompareLists(find(before), find(after));
    if (!satellite.transponders.empty()) changes.push_back(std::move(satellite));
  }
  return changes;
}

void WriteChangesText(std::ostream& out, const std::vector<SatelliteChanges>& changes) {
  for (const SatelliteChanges& satellite : changes) {
    out << PositionName(satellite.position) << ' ' << Utf8Name(*satellite.satellite) << ": "
        << DecimalText(static_cast<int64_t>(satellite.added)) << " added, "
        << DecimalText(static_cast<int64_t>(satellite.removed)) << " removed, "
        << DecimalText(static_cast<int64_t>(satellite.changed)) << " changed ("
        << DecimalText(static_cast<int64_t>(satellite.beforeCount)) << " -> "
        << DecimalText(static_cast<int64_t>(satellite.afterCount)) << " transponders)\n";
    for (const TransponderChange& change : satellite.transponders) {
      switch (change.kind) {
        case TransponderChange::Kind::kAdded: out << "  + " << TransponderText(*change.after) << '\n'; break;
        case TransponderChange::Kind::kRemoved: out << "  - " << TransponderText(*change.before) << '\n'; break;
        case TransponderChange::Kind::kChanged:
          out << "  ~ " << TransponderText(*change.before) << " -> " << TransponderText(*change.after) << '\n';
          break;
      }
    }
  }
}

void WriteChangesJson(std::ostream& out, const std::vector<SatelliteChanges>& changes) {
  out << "{\"satellites\":[";
  bool firstSatellite = true;
  for (const SatelliteChanges& satellite : changes) {
    out << (firstSatellite ? "\n" : ",\n") << "{\"position\":";
    firstSatellite = false;
    JsonString(out, PositionName(satellite.position));
    out << ",\"name\":";
    JsonString(out, Utf8Name(*satellite.satellite));
    out << ",\"before\":" << DecimalText(static_cast<int64_t>(satellite.beforeCount))
        << ",\"after\":" << DecimalText(static_cast<int64_t>(satellite.afterCount))
        << ",\"added\":" << DecimalText(static_cast<int64_t>(satellite.added))
        << ",\"removed\":" << DecimalText(static_cast<int64_t>(satellite.removed))
        << ",\"changed\":" << DecimalText(static_cast<int64_t>(satellite.changed)) << ",\"transponders\":[";
    bool firstTransponder = true;
    for (const TransponderChange& change : satellite.transponders) {
      out << (firstTransponder ? "\n " : ",\n ") << "{\"change\":";
      firstTransponder = false;
      static const char* const kKinds[] = {"added", "removed", "changed"};
      JsonString(out, kKinds[static_cast<int>(change.kind)]);
      if (change.before) {
        out << ",\"before\":";
        JsonTransponder(out, *change.before);
      }
      if (change.after) {
        out << ",\"after\":";
        JsonTransponder(out, *change.after);
      }
      out << '}';
    }
    out << "]}";
  }
  out << "]}\n";
}

}  // namespace kavrel
