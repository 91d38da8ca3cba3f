#include "app/configuration.h"

#include <array>
#include <string_view>

#include "catalogue/run.h"
#include "platform/int_text.h"
#include "platform/profile_file.h"
#include "platform/text.h"

namespace kavrel {

namespace {

constexpr std::string_view kSection = "Common";

// SaveFormat values in the order the reader compares them.
struct FormatEntry {
  std::string_view name;
  uint8_t code;
};
constexpr std::array<FormatEntry, 7> kFormatNames{{
    {"ini1", kFormatIni1},
    {"ini2", kFormatIni2},
    {"ini3", kFormatIni3},
    {"dll", kFormatDll},
    {"trp", kFormatTrp},
    {"kat", kFormatKathrein},
    {"xml", kFormatXml},
}};

class CommonSection {
 public:
  explicit CommonSection(const ProfileDocument& document) : document_(document) {}

  std::string Text(std::string_view key, std::string_view fallback) const {
    return document_.Find(kSection, key).value_or(std::string(fallback));
  }
  // Exactly "on" is on; "On", "ON" and an empty value are off.
  bool Switch(std::string_view key, bool fallback) const {
    return Text(key, OnOffText(fallback)) == "on";
  }
  int32_t Integer(std::string_view key, int32_t fallback) const {
    return IntegerTextOr(Text(key, ""), fallback);
  }

 private:
  const ProfileDocument& document_;
};

void SetKind(KindSet& kinds, uint8_t code, bool on) { on ? kinds.Add(code) : kinds.Remove(code); }

// A line break inside a value would end its line in the file and make the
// rest a line of its own: a new key or even a new section.
std::string SingleLineText(const std::string& text) {
  std::string line;
  for (char c : text) {
    if (c != '\r' && c != '\n') line += c;
  }
  return line;
}

}  // namespace

std::string OnOffText(bool on) { return on ? "on" : "off"; }

std::string FormatName(uint8_t formatCode) {
  for (const FormatEntry& entry : kFormatNames) {
    if (entry.code == formatCode) return std::string(entry.name);
  }
  return std::string();
}

void LoadConfiguration(Run& run) {
  TIniFile file(run.ConfigPath);
  ProfileDocument document = file.Load();
  CommonSection common(document);
  Options& o = run.options;
  SetKind(o.AcceptedKinds, kKindDvbS2, common.Switch("AcceptDVBS2", false));
  SetKind(o.AcceptedKinds, kKindDss, common.Switch("AcceptDSS", false));
  o.AcceptData = common.Switch("AcceptData", true);
  o.AcceptFeeds = common.Switch("AcceptFeeds", true);
  o.ConvCircular = common.Switch("ConvertPolararization", false);
  o.ConvCBand = common.Switch("ConvertCBand", false);
  o.AcceptKu = common.Switch("AcceptKu", true);
  o.AcceptC = common.Switch("AcceptC", true);
  o.AcceptLinear = common.Switch("AcceptLinear", true);
  o.AcceptCircular = common.Switch("AcceptCircular", true);
  o.MinSR = common.Integer("MinSR", 0);
  o.MaxSR = common.Integer("MaxSR", 65535);
  o.KeepHTML = common.Switch("KeepHTML", false);
  run.ProvidersInfo = common.Switch("AddProvidersInfo", false);
  std::string format = common.Text("SaveFormat", "ini1");
  for (const FormatEntry& entry : kFormatNames) {
    if (format == entry.name) {
      o.FormatCode = entry.code;
      break;
    }
  }
  o.ProxyHost = std::string(Leading(common.Text("ProxyHost", ""), kMaxOptionText));
  o.ProxyPort = common.Integer("ProxyPort", 0);
  o.ProxyUser = std::string(Leading(common.Text("ProxyUser", ""), kMaxOptionText));
  o.ProxyPassword = std::string(Leading(common.Text("ProxyPassword", ""), kMaxOptionText));
}

void SaveConfiguration(Run& run) {
  TIniFile file(run.ConfigPath);
  ProfileDocument document = file.Load();
  const Options& o = run.options;
  auto set = [&document](std::string_view key, const std::string& value) {
    document.Set(kSection, key, value);
  };
  set("AcceptDVBS2", OnOffText(o.AcceptedKinds.Contains(kKindDvbS2)));
  set("AcceptDSS", OnOffText(o.AcceptedKinds.Contains(kKindDss)));
  set("AcceptData", OnOffText(o.AcceptData));
  set("AcceptFeeds", OnOffText(o.AcceptFeeds));
  set("ConvertPolararization", OnOffText(o.ConvCircular));
  set("ConvertCBand", OnOffText(o.ConvCBand));
  set("AcceptKu", OnOffText(o.AcceptKu));
  set("AcceptC", OnOffText(o.AcceptC));
  set("AcceptLinear", OnOffText(o.AcceptLinear));
  set("AcceptCircular", OnOffText(o.AcceptCircular));
  set("MinSR", DecimalText(o.MinSR));
  set("MaxSR", DecimalText(o.MaxSR));
  set("KeepHTML", OnOffText(o.KeepHTML));
  set("AddProvidersInfo", OnOffText(run.ProvidersInfo));
  set("SaveFormat", FormatName(o.FormatCode));
  set("ProxyHost", SingleLineText(o.ProxyHost));
  set("ProxyPort", DecimalText(o.ProxyPort));
  set("ProxyUser", SingleLineText(o.ProxyUser));
  set("ProxyPassword", SingleLineText(o.ProxyPassword));
  file.Replace(document);
}

}  // namespace kavrel
