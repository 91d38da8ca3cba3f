#include "platform/line_reader.h"

#include <cstring>

namespace kavrel {

std::string WithoutCarriageReturns(std::string_view text) {
  if (text.empty()) return std::string();
  std::string line;
  line.reserve(text.size());
  // Copy the runs between carriage returns in one piece each.
  const char* piece = text.data();
  const char* end = piece + text.size();
  while (const void* cr = std::memchr(piece, '\r', static_cast<size_t>(end - piece))) {
    line.append(piece, static_cast<size_t>(static_cast<const char*>(cr) - piece));
    piece = static_cast<const char*>(cr) + 1;
  }
  line.append(piece, static_cast<size_t>(end - piece));
  return line;
}

std::string_view LineReader::NextRaw(bool& ended) {
  if (AtEnd()) {
    ended = false;
    return {};
  }
  size_t lf = text_.find('\n', pos_);
  ended = lf != std::string_view::npos;
  size_t stop = ended ? lf : text_.size();
  std::string_view line = text_.substr(pos_, stop - pos_);
  pos_ = ended ? lf + 1 : text_.size();
  return line;
}

std::string LineReader::ReadPageLine() {
  bool ended;
  return WithoutCarriageReturns(NextRaw(ended));
}

std::string LineReader::ReadTextLine() { return std::string(ReadTextLineView()); }

std::string_view LineReader::ReadPageLineView(std::string& scratch) {
  bool ended;
  std::string_view line = NextRaw(ended);
  if (line.find('\r') == std::string_view::npos) return line;
  scratch = WithoutCarriageReturns(line);
  return scratch;
}

std::string_view LineReader::ReadTextLineView() {
  bool ended;
  std::string_view line = NextRaw(ended);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line;
}

std::optional<std::string> LineReader::ReadWholeLine() {
  bool ended;
  std::string_view line = NextRaw(ended);
  if (!ended) return std::nullopt;
  return WithoutCarriageReturns(line);
}

std::string_view LineReader::Take(size_t count) {
  std::string_view bytes = text_.substr(pos_, count);
  pos_ += bytes.size();
  return bytes;
}

}  // namespace kavrel
