#include "catalogue/position_text.h"

#include "platform/int_text.h"
#include "platform/text.h"

namespace kavrel {

namespace {

constexpr int32_t kMaxDegreeTenths = 1800;

// "13" -> 130, "19.2" -> 192; one decimal at most.
std::optional<int32_t> DegreeTenths(std::string_view number) {
  size_t point = number.find('.');
  std::string_view whole = number.substr(0, point);
  std::string_view tenth = point == std::string_view::npos ? std::string_view() : number.substr(point + 1);
  if (whole.empty() || (point != std::string_view::npos && tenth.size() != 1)) return std::nullopt;
  std::optional<uint64_t> degrees = PlainDigitsValue(whole);
  if (!degrees || *degrees > kMaxDegreeTenths / 10) return std::nullopt;
  int32_t tenths = static_cast<int32_t>(*degrees) * 10;
  if (!tenth.empty()) {
    if (!IsAsciiDigit(tenth[0])) return std::nullopt;
    tenths += tenth[0] - '0';
  }
  return tenths;
}

}  // namespace

void PositionSelection::AddWalk(int32_t first, int32_t last) {
  if (last < first) last += kFullCircle;
  for (int32_t p = first; p <= last; ++p) Add(p % kFullCircle);
}

std::optional<int32_t> ParsePositionText(std::string_view text) {
  text = TrimBlanks(text);
  if (text.empty()) return std::nullopt;
  char letter = text.back();
  std::string_view number = text.substr(0, text.size() - 1);
  bool degrees = letter == 'E' || letter == 'W' || number.find('.') != std::string_view::npos;
  std::optional<int32_t> tenths;
  if (letter == 'E' || letter == 'W' || letter == 'e' || letter == 'w') {
    if (degrees) {
      tenths = DegreeTenths(number);
    } else if (std::optional<uint64_t> value = PlainDigitsValue(number); value && *value <= kMaxDegreeTenths) {
      tenths = static_cast<int32_t>(*value);
    }
    if (!tenths) return std::nullopt;
    bool west = letter == 'W' || letter == 'w';
    return west && *tenths != 0 ? WestPosition(*tenths) : *tenths;
  }
  // A bare number: tenths as a site position input takes them, West
  // negative; only keys of the circle are positions.
  std::optional<int32_t> value = ParseWholeNumber(text);
  if (!value || *value <= -kFullCircle || *value >= kFullCircle) return std::nullopt;
  return *value < 0 ? *value + kFullCircle : *value;
}

bool ParsePositionList(std::string_view text, PositionSelection& selection, std::string& error) {
  if (TrimBlanks(text).empty()) {
    error = "no position given";
    return false;
  }
  while (true) {
    size_t comma = text.find(',');
    std::string_view item = TrimBlanks(text.substr(0, comma));
    bool ok = false;
    if (item.size() > 2 && item.front() == '[' && item.back() == ']') {
      std::string_view inner = item.substr(1, item.size() - 2);
      // The dash of the range comes after the first character, so that a
      // negative first end stays whole.
      size_t dash = inner.find('-', 1);
      if (dash != std::string_view::npos) {
        std::optional<int32_t> first = ParsePositionText(inner.substr(0, dash));
        std::optional<int32_t> last = ParsePositionText(inner.substr(dash + 1));
        if (first && last) {
          selection.AddWalk(*first, *last);
          ok = true;
        }
      }
    } else if (std::optional<int32_t> key = ParsePositionText(item)) {
      selection.Add(*key);
      ok = true;
    }
    if (!ok) {
      error = "'" + std::string(item) +
              "' is not a position (such as 13E, 19.2E, 0.8W, 130, 130e) or a range (such as [300w-450e])";
      return false;
    }
    if (comma == std::string_view::npos) return true;
    text.remove_prefix(comma + 1);
  }
}

std::string PositionName(int32_t key) {
  int64_t tenths = SignedPosition(key);
  bool west = tenths < 0;
  if (west) tenths = -tenths;
  return DecimalText(tenths / 10) + "." + DecimalText(tenths % 10) + (west ? "W" : "E");
}

}  // namespace kavrel
