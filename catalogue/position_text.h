// Orbital positions as people write them on the command line, and back.
//
// One syntax serves every option that names positions:
//   - degrees: "13E", "13.0E", "19.2E", "5W", "0.8W" (a whole number with a
//     capital E or W, or any number with a point and one decimal, in either
//     letter case), at most 180 degrees;
//   - tenths, as site position inputs and their ranges write them: "130"
//     (a bare number, negative for West: "-300" is 30.0 W), "130e", "300w"
//     (a whole number with a small e or w);
//   - a range "[300w-450e]" of two such positions, walked eastward from the
//     first to the second through 0 when the second lies west of the first.
// A list separates positions and ranges by commas.
#ifndef KAVREL_CATALOGUE_POSITION_TEXT_H
#define KAVREL_CATALOGUE_POSITION_TEXT_H

#include <bitset>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "catalogue/codes.h"

namespace kavrel {

// A set of position keys (0..3599).
class PositionSelection {
 public:
  bool Contains(int32_t key) const { return key >= 0 && key < kFullCircle && keys_.test(static_cast<size_t>(key)); }
  bool empty() const { return keys_.none(); }
  size_t size() const { return keys_.count(); }
  void Add(int32_t key) { keys_.set(static_cast<size_t>(key)); }
  // Every key from `first` eastward to `last`, through 0 when last < first.
  void AddWalk(int32_t first, int32_t last);

 private:
  std::bitset<kFullCircle> keys_;
};

// The key of one position text, or nothing when the text is not one.
std::optional<int32_t> ParsePositionText(std::string_view text);

// Reads a comma-separated list of positions and ranges into `selection`.
// On a malformed item returns false and sets `error` to a sentence naming
// it; `selection` is then unspecified.
bool ParsePositionList(std::string_view text, PositionSelection& selection, std::string& error);

// A key as people read it: "13.0E", "30.0W", "0.0E".
std::string PositionName(int32_t key);

}  // namespace kavrel

#endif
