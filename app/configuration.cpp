#include "app/configuration.h"

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "app/run.h"
#include "formats/format_table.h"
#include "platform/int_text.h"
#include "platform/profile_file.h"
#include "platform/text.h"

namespace kavrel {

namespace {

constexpr std::string_view kSection = "Common";
constexpr int32_t kDefaultPageDelayMs = 1000;
constexpr int32_t kMaxPageDelayMs = 600000;  // ten minutes: longer is a typo

// What a key of section "Common" stands for, and so its text form.
struct KindSwitch {  // "on"/"off": a system kind accepted or not
  KindSet* kinds;
  uint8_t kind;
};
struct SaveFormatField {  // a SaveFormat name of the format table
  uint8_t* code;
};
using Field = std::variant<bool*,          // "on"/"off"
                           int32_t*,       // a decimal integer
                           std::string*,   // a text of one line
                           KindSwitch, SaveFormatField>;

struct ConfigKey {
  std::string_view key;
  Field field;
  int32_t fallback;  // of a switch (0/1) or an integer, when the key is missing
};

// Every key, in the order a save writes them.
std::vector<ConfigKey> ConfigKeys(Run& run) {
  Options& o = run.options;
  return {
      {"AcceptDVBS2", KindSwitch{&o.AcceptedKinds, kKindDvbS2}, false},
      {"AcceptDSS", KindSwitch{&o.AcceptedKinds, kKindDss}, false},
      {"AcceptData", &o.AcceptData, true},
      {"AcceptFeeds", &o.AcceptFeeds, true},
      {"ConvertPolararization", &o.ConvCircular, false},
      {"ConvertCBand", &o.ConvCBand, false},
      {"AcceptKu", &o.AcceptKu, true},
      {"AcceptC", &o.AcceptC, true},
      {"AcceptLinear", &o.AcceptLinear, true},
      {"AcceptCircular", &o.AcceptCircular, true},
      {"MinSR", &o.MinSR, 0},
      {"MaxSR", &o.MaxSR, kMaxSymbolRate},
      {"KeepHTML", &o.KeepHTML, false},
      {"AddProvidersInfo", &run.ProvidersInfo, false},
      {"SaveFormat", SaveFormatField{&o.FormatCode}, 0},
      {"ProxyHost", &o.ProxyHost, 0},
      {"ProxyPort", &o.ProxyPort, 0},
      {"ProxyUser", &o.ProxyUser, 0},
      {"ProxyPassword", &o.ProxyPassword, 0},
  };
}

template <class... Ts>
struct Overloaded : Ts... {
  using Ts::operator()...;
};
template <class... Ts>
Overloaded(Ts...) -> Overloaded<Ts...>;

std::string OnOffText(bool on) { return on ? "on" : "off"; }

// The SaveFormat name of a format code; empty for a code of no format.
std::string FormatName(uint8_t formatCode) {
  const OutputFormat* format = FindOutputFormat(formatCode);
  return format ? std::string(format->configName) : std::string();
}

// A line break inside a value would end its line in the file and make the
// rest a line of its own: a new key or even a new section.
std::string SingleLineText(const std::string& text) {
  std::string line;
  for (char c : text) {
    if (c != '\r' && c != '\n') line += c;
  }
  return line;
}

void LoadKey(const ProfileDocument& document, const ConfigKey& entry) {
  std::optional<std::string> value = document.Find(kSection, entry.key);
  // Exactly "on" is on; "On", "ON" and an empty value are off.
  auto isOn = [&] { return value ? *value == "on" : entry.fallback != 0; };
  std::visit(Overloaded{
                 [&](bool* flag) { *flag = isOn(); },
                 [&](int32_t* number) {
                   *number = IntegerTextOr(value.value_or(""), entry.fallback);
                 },
                 [&](std::string* text) {
                   *text = std::string(Leading(value.value_or(""), kMaxOptionText));
                 },
                 [&](KindSwitch kind) {
                   isOn() ? kind.kinds->Add(kind.kind) : kind.kinds->Remove(kind.kind);
                 },
                 [&](SaveFormatField format) {
                   // An unknown name leaves the format as it is.
                   if (const OutputFormat* row = FormatOfConfigName(value.value_or("ini1"))) {
                     *format.code = row->code;
                   }
                 },
             },
             entry.field);
}

std::string SavedText(const ConfigKey& entry) {
  return std::visit(Overloaded{
                        [](bool* flag) { return OnOffText(*flag); },
                        [](int32_t* number) { return DecimalText(*number); },
                        [](std::string* text) { return SingleLineText(*text); },
                        [](KindSwitch kind) { return OnOffText(kind.kinds->Contains(kind.kind)); },
                        [](SaveFormatField format) { return FormatName(*format.code); },
                    },
                    entry.field);
}

}  // namespace

void LoadConfiguration(Run& run) {
  TIniFile file(run.input.ConfigPath);
  ProfileDocument document = file.Load();
  for (const ConfigKey& entry : ConfigKeys(run)) LoadKey(document, entry);
  // Settings of secure downloads are read only: a save leaves what the
  // user wrote, and keys it does not know stay as they are.
  std::string userAgent = document.Find(kSection, "UserAgent").value_or("");
  run.input.UserAgent = SingleLineText(std::string(Leading(userAgent, kMaxOptionText)));
  int32_t delay = IntegerTextOr(document.Find(kSection, "PageDelay").value_or(""), kDefaultPageDelayMs);
  run.input.PageDelayMs = std::clamp(delay, 0, kMaxPageDelayMs);
}

void SaveConfiguration(Run& run) {
  TIniFile file(run.input.ConfigPath);
  ProfileDocument document = file.Load();
  for (const ConfigKey& entry : ConfigKeys(run)) {
    document.Set(kSection, entry.key, SavedText(entry));
  }
  file.Replace(document);
}

}  // namespace kavrel
