// The codes a file format uses for a catalogue value (polarization letters,
// FEC fractions, system kinds) as small const tables of (value, code) pairs,
// so that the reader and the writer of a format share one table and one
// lookup instead of each keeping its own chain of tests.
#ifndef KAVREL_CATALOGUE_CODE_TABLE_H
#define KAVREL_CATALOGUE_CODE_TABLE_H

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "catalogue/codes.h"

namespace kavrel {

template <typename Value, typename Code>
struct CodePair {
  Value value;
  Code code;
};

// The code of a value, or nothing when the table does not list it.
template <typename Value, typename Code>
constexpr std::optional<Code> CodeOf(std::span<const CodePair<Value, Code>> table,
                                     const Value& value) {
  for (const CodePair<Value, Code>& pair : table) {
    if (pair.value == value) return pair.code;
  }
  return std::nullopt;
}

// The value of a code, or nothing when the table does not list it.
template <typename Value, typename Code>
constexpr std::optional<Value> ValueOf(std::span<const CodePair<Value, Code>> table,
                                       const Code& code) {
  for (const CodePair<Value, Code>& pair : table) {
    if (pair.code == code) return pair.value;
  }
  return std::nullopt;
}

// The names of the catalogue's codes as listings and files commonly spell
// them. A code's first pair is its canonical name, the one written; later
// pairs of the same code are further spellings that readers accept.
using NamedCode = CodePair<uint8_t, std::string_view>;

// DVB-S2X is no kind of its own: it counts as DVB-S2, as the listings have it.
inline constexpr NamedCode kKindNames[] = {
    {kKindDvbS, "DVB-S"}, {kKindDvbS2, "DVB-S2"}, {kKindDss, "DSS"}, {kKindDvbS2, "DVB-S2X"}};

// The two of the original formats first.
inline constexpr NamedCode kModulationNames[] = {
    {kModulationQpsk, "QPSK"},     {kModulation8psk, "8PSK"},    {kModulation16apsk, "16APSK"},
    {kModulation32apsk, "32APSK"}, {kModulationQam16, "16QAM"},  {kModulationAuto, "AUTO"}};

inline constexpr NamedCode kRollOffNames[] = {
    {kRollOff35, "0.35"}, {kRollOff25, "0.25"}, {kRollOff20, "0.20"}, {kRollOffAuto, "AUTO"}};

inline constexpr NamedCode kPilotNames[] = {{kPilotOff, "OFF"}, {kPilotOn, "ON"}, {kPilotUnknown, "AUTO"}};

inline constexpr NamedCode kPlsModeNames[] = {{kPlsRoot, "ROOT"}, {kPlsGold, "GOLD"}, {kPlsCombo, "COMBO"}};

// The FEC fractions of DVB-S and DVB-S2 that tuners are given by name.
inline constexpr CodePair<FecFraction, std::string_view> kFecNames[] = {
    {{1, 2}, "1/2"}, {{2, 3}, "2/3"}, {{3, 4}, "3/4"}, {{4, 5}, "4/5"},  {{5, 6}, "5/6"}, {{6, 7}, "6/7"},
    {{7, 8}, "7/8"}, {{8, 9}, "8/9"}, {{3, 5}, "3/5"}, {{9, 10}, "9/10"}, {{2, 5}, "2/5"}};

}  // namespace kavrel

#endif
