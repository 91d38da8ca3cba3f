// The codes a file format uses for a catalogue value (polarization letters,
// FEC fractions, system kinds) as small const tables of (value, code) pairs,
// so that the reader and the writer of a format share one table and one
// lookup instead of each keeping its own chain of tests.
#ifndef KAVREL_CATALOGUE_CODE_TABLE_H
#define KAVREL_CATALOGUE_CODE_TABLE_H

#include <cstdint>
#include <optional>
#include <span>

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

}  // namespace kavrel

#endif
