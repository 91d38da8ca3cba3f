#include "acquisition/response_decoding.h"

#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>

#include "catalogue/run.h"
#include "platform/fatal_error.h"
#include "platform/file_system.h"
#include "platform/int_text.h"
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

// Buffered byte reading of a whole file.
class ByteReader {
 public:
  explicit ByteReader(const std::string& path) : path_(path) {
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) ThrowFileError("Cannot read", path, errno);
  }
  ~ByteReader() { ::close(fd_); }
  ByteReader(const ByteReader&) = delete;
  ByteReader& operator=(const ByteReader&) = delete;

  bool AtEnd() { return pos_ >= buffer_.size() && !Fill(); }

  // Bytes up to the next LF, every CR dropped, the LF consumed. Returns
  // nothing when the file ends before a LF: only whole lines count.
  std::optional<std::string> ReadRawLine() {
    std::string line;
    for (;;) {
      if (pos_ >= buffer_.size() && !Fill()) return std::nullopt;
      const char* start = buffer_.data() + pos_;
      size_t available = buffer_.size() - pos_;
      const void* lf = std::memchr(start, '\n', available);
      size_t take = lf ? static_cast<size_t>(static_cast<const char*>(lf) - start) : available;
      for (size_t i = 0; i < take; ++i) {
        if (start[i] != '\r') line.push_back(start[i]);
      }
      pos_ += take;
      if (lf) {
        ++pos_;
        return line;
      }
    }
  }

  // Copies up to `count` bytes to the output in bounded blocks; fewer at
  // the end of the file.
  void CopyTo(OutputFile& output, uint64_t count) {
    while (count > 0) {
      if (pos_ >= buffer_.size() && !Fill()) return;
      size_t take = static_cast<size_t>(std::min<uint64_t>(count, buffer_.size() - pos_));
      output.Write(std::string_view(buffer_.data() + pos_, take));
      pos_ += take;
      count -= take;
    }
  }

 private:
  bool Fill() {
    buffer_.resize(kCopyBlock);
    pos_ = 0;
    ssize_t got;
    do {
      got = ::read(fd_, buffer_.data(), kCopyBlock);
    } while (got < 0 && errno == EINTR);
    if (got < 0) ThrowFileError("Cannot read", path_, errno);
    buffer_.resize(static_cast<size_t>(got));
    return got > 0;
  }

  std::string path_;
  int fd_ = -1;
  std::string buffer_;
  size_t pos_ = 0;
};

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
  return line.compare(0, 18, "Transfer-Encoding:") == 0 && line.size() >= 19 && line.substr(19) == "chunked";
}

}  // namespace

bool DecodeChunked(Run& run, const std::string& path) {
  ByteReader input(path);
  OutputFile output = CreateTemporary("dech");
  bool chunked = false;
  bool inHead = true;
  while (!input.AtEnd()) {
    if (inHead) {
      std::optional<std::string> line = input.ReadRawLine();
      if (!line) break;
      if (line->empty()) {
        inHead = false;
      } else if (IsChunkedHeader(*line)) {
        chunked = true;
      }
    } else if (chunked) {
      std::optional<std::string> sizeLine = input.ReadRawLine();
      if (!sizeLine) break;
      std::string sizeText = TrimmedText(*sizeLine);
      std::optional<uint64_t> size = ChunkSize(sizeText);
      if (!size) {
        // A broken chunk fails this page only; the temporary file goes
        // with `output`.
        run.out << "Error: '" << sizeText << "' is not a valid chunk size" << '\n';
        return false;
      }
      // Streamed in bounded blocks, whatever size the server announces.
      input.CopyTo(output, *size);
      input.ReadRawLine();
      // Trailer fields after the last chunk are not page content.
      if (*size == 0) break;
    } else {
      while (!input.AtEnd()) input.CopyTo(output, kCopyBlock);
    }
  }
  output.Close();
  MoveOver(output.path(), path);
  return true;
}

bool GunzipFile(Run& run, const std::string& path) {
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
    run.out << "Error: The compressed page is corrupt" << '\n';
    return false;
  }
  output.Close();
  MoveOver(output.path(), path);
  return true;
}

}  // namespace kavrel
