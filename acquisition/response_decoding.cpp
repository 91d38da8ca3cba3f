#include "acquisition/response_decoding.h"

#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>

#include "acquisition/response_head.h"
#include "platform/fatal_error.h"
#include "platform/file_system.h"
#include "platform/int_text.h"
#include "platform/line_reader.h"
#include "platform/text.h"

namespace kavrel {

namespace {

constexpr size_t kCopyBlock = 65535;

// The temporary file of a step: "dech.$$$" or "dezip.$$$" in the current
// directory. A file of that name that is already there belongs to the user
// and is kept: the step then takes "dech(1).$$$" and so on.
OutputFile CreateTemporary(const std::string& base) {
  return OutputFile::CreateUnique([&base](int64_t i) {
    return i == 0 ? base + ".$$$" : base + "(" + DecimalText(i) + ").$$$";
  });
}

// Moves the finished temporary file over the page file.
void MoveOver(const std::string& temporary, const std::string& path) {
  if (::rename(temporary.c_str(), path.c_str()) != 0) {
    int saved = errno;
    ::unlink(temporary.c_str());
    ThrowFileError("Cannot replace", path, saved);
  }
}

// A chunk size line: hexadecimal digits and nothing else.
// Sizes beyond any real file only mean "the rest of the data".
constexpr uint64_t kLargestChunk = uint64_t{1} << 62;

std::optional<uint64_t> ChunkSize(std::string_view text) {
  if (text.empty()) return std::nullopt;
  uint64_t size = 0;
  for (char c : text) {
    int digit = (c >= '0' && c <= '9') ? c - '0'
                : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                         : -1;
    if (digit < 0) return std::nullopt;
    size = std::min(size * 16 + static_cast<uint64_t>(digit), kLargestChunk);
  }
  return size;
}

bool IsChunkedHeader(const std::string& line) {
  // Exactly so: the one byte after the colon (a blank) is passed over.
  constexpr std::string_view kTransferEncoding = "Transfer-Encoding:";
  return line.starts_with(kTransferEncoding) && line.size() > kTransferEncoding.size() &&
         std::string_view(line).substr(kTransferEncoding.size() + 1) == "chunked";
}

}  // namespace

bool DecodeChunked(std::ostream& out, const std::string& path, HeadReading reading) {
  std::string contents;
  if (!ReadWholeFile(path, contents)) ThrowFileError("Cannot read", path, ENOENT);
  LineReader input(contents);
  OutputFile output = CreateTemporary("dech");
  bool chunked = false;
  bool inHead = true;
  while (!input.AtEnd()) {
    if (inHead) {
      std::optional<std::string> line = input.ReadWholeLine();
      if (!line) break;
      if (line->empty()) {
        inHead = false;
      } else if (reading == HeadReading::kExactFields ? IsChunkedHeader(*line) : IsChunkedFieldLine(*line)) {
        chunked = true;
      }
    } else if (chunked) {
      std::optional<std::string> sizeLine = input.ReadWholeLine();
      if (!sizeLine) break;
      std::string sizeText = TrimmedText(*sizeLine);
      std::optional<uint64_t> size = ChunkSize(sizeText);
      if (!size) {
        // A broken chunk fails this page only; the temporary file goes
        // with `output`.
        out << "Error: '" << sizeText << "' is not a valid chunk size" << '\n';
        return false;
      }
      // Whatever size the server announces, only the bytes that came count.
      output.Write(input.Take(*size));
      (void)input.ReadWholeLine();
      // Trailer fields after the last chunk are not page content.
      if (*size == 0) break;
    } else {
      output.Write(input.Take(contents.size()));
    }
  }
  output.Close();
  MoveOver(output.path(), path);
  return true;
}

bool GunzipFile(std::ostream& out, const std::string& path) {
  gzFile input = ::gzopen(path.c_str(), "r");
  if (input == nullptr) ThrowFileError("Cannot read", path, errno ? errno : ENOMEM);
  OutputFile output = CreateTemporary("dezip");
  std::string block(kCopyBlock, '\0');
  int count;
  while ((count = ::gzread(input, block.data(), static_cast<unsigned>(kCopyBlock))) > 0) {
    output.Write(std::string_view(block.data(), static_cast<size_t>(count)));
  }
  // A stream cut short ends with a zero count and the error kept aside.
  int error = Z_OK;
  ::gzerror(input, &error);
  ::gzclose(input);
  if (count < 0 || error != Z_OK) {
    out << "Error: The compressed page is corrupt" << '\n';
    return false;
  }
  output.Close();
  MoveOver(output.path(), path);
  return true;
}

}  // namespace kavrel
