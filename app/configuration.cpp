#include "app/configuration.h"

#include <algorithm>
#include <cstdint>
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
constexpr int32_t kMaxPageDelayMs = 600000;          // ten minutes: longer is a typo
constexpr int64_t kMinPageSize = 1024;               // smaller would refuse every page
constexpr int32_t kMaxPageDeadlineSeconds = 86400;   // a day

// What a key of section "Common" stands for, and so its text form.
struct KindSwitch {  // "on"/"off": a system kind accepted or not
  KindSet* kinds;
  uint8_t kind;
};
struct SaveFormatField {  // a SaveFormat name of the format table
  uint8_t* code;
};
template <typename T>
struct Bounded {  // a decimal integer kept within [low, high]
  T* number;
  T low;
  T high;
};
struct OneLineText {  // a text with any line break taken out
  std::string* text;
};
using Field = std::variant<bool*,          // "on"/"off"
                           int32_t*,       // a decimal integer
                           std::string*,   // a text of one line
                           KindSwitch, SaveFormatField, Bounded<int32_t>, Bounded<int64_t>, OneLineText>;

struct ConfigKey {
  std::string_view key;
  Field field;
  int64_t fallback;    // of a switch (0/1) or an integer, when the key is missing
  bool saved = true;   // written by /S; the others are the user's to write
};

// Every key, in the order a save writes them. The fallbacks are the
// defaults of the option record and of the fetching settings.
std::vector<ConfigKey> ConfigKeys(Run& run) {
  static const Options kDefaults;
  Options& o = run.options;
  InputContext& input = run.input;
  return {
      {"AcceptDVBS2", KindSwitch{&o.AcceptedKinds, kKindDvbS2}, kDefaults.AcceptedKinds.Contains(kKindDvbS2)},
      {"AcceptDSS", KindSwitch{&o.AcceptedKinds, kKindDss}, kDefaults.AcceptedKinds.Contains(kKindDss)},
      {"AcceptData", &o.AcceptData, kDefaults.AcceptData},
      {"AcceptFeeds", &o.AcceptFeeds, kDefaults.AcceptFeeds},
      {"ConvertPolararization", &o.ConvCircular, kDefaults.ConvCircular},
      {"ConvertCBand", &o.ConvCBand, kDefaults.ConvCBand},
      {"AcceptKu", &o.AcceptKu, kDefaults.AcceptKu},
      {"AcceptC", &o.AcceptC, kDefaults.AcceptC},
      {"AcceptLinear", &o.AcceptLinear, kDefaults.AcceptLinear},
      {"AcceptCircular", &o.AcceptCircular, kDefaults.AcceptCircular},
      {"MinSR", &o.MinSR, kDefaults.MinSR},
      {"MaxSR", &o.MaxSR, kDefaults.MaxSR},
      {"KeepHTML", &o.KeepHTML, kDefaults.KeepHTML},
      {"AddProvidersInfo", &run.ProvidersInfo, kDefaultProvidersInfo},
      {"SaveFormat", SaveFormatField{&o.FormatCode}, 0},
      {"ProxyHost", &o.ProxyHost, 0},
      {"ProxyPort", &o.ProxyPort, 0},
      {"ProxyUser", &o.ProxyUser, 0},
      {"ProxyPassword", &o.ProxyPassword, 0},
      // Settings of secure downloads: read only, so a save leaves what
      // the user wrote.
      {"UserAgent", OneLineText{&input.UserAgent}, 0, false},
      {"PageDelay", Bounded<int32_t>{&input.PageDelayMs, 0, kMaxPageDelayMs}, kDefaultPageDelayMs, false},
      {"MaxPageSize", Bounded<int64_t>{&input.MaxPageSize, kMinPageSize, INT32_MAX}, kDefaultMaxPageSize, false},
      {"PageDeadline", Bounded<int32_t>{&input.PageDeadlineSeconds, 0, kMaxPageDeadlineSeconds},
       kDefaultPageDeadlineSeconds, false},
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
                   *number = IntegerTextOr(value.value_or(""), static_cast<int32_t>(entry.fallback));
                 },
                 [&](std::string* text) {
                   *text = std::string(Leading(value.value_or(""), kMaxOptionText));
                 },
                 [&](OneLineText text) {
                   *text.text = SingleLineText(std::string(Leading(value.value_or(""), kMaxOptionText)));
                 },
                 [&]<typename T>(Bounded<T> bounded) {
                   std::optional<int32_t> number = ParseIntegerText(value.value_or(""));
                   *bounded.number = number ? std::clamp<T>(*number, bounded.low, bounded.high)
                                            : static_cast<T>(entry.fallback);
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
                        [](OneLineText text) { return SingleLineText(*text.text); },
                        []<typename T>(Bounded<T> bounded) { return DecimalText(*bounded.number); },
                    },
                    entry.field);
}

}  // namespace

void LoadConfiguration(Run& run) {
  TIniFile file(run.input.ConfigPath);
  ProfileDocument document = file.Load();
  for (const ConfigKey& entry : ConfigKeys(run)) LoadKey(document, entry);
}

void SaveConfiguration(Run& run) {
  TIniFile file(run.input.ConfigPath);
  ProfileDocument document = file.Load();
  // Keys the table does not know stay as they are.
  for (const ConfigKey& entry : ConfigKeys(run)) {
    if (entry.saved) document.Set(kSection, entry.key, SavedText(entry));
  }
  file.Replace(document);
}

}  // namespace kavrel
