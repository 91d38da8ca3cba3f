#include "acquisition/response_decoding.h"

#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>

#include "platform/fatal_error.h"
#include "platform/file_system.h"
#include "platform/int_text.h"
#include "platform/line_reader.h"
#include "platform/temporary_files.h"
#include "platform/text.h"

namespace kavrel {

namespace {

constexpr size_t kCopyBlock = 65535;
const std::string_view kCorruptReport = "Error: The compressed page is corrupt";

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

FetchResult BadChunkSize(std::string_view sizeText) {
  return FetchFailed(FetchFailure::kCorrupt, "Error: '" + std::string(sizeText) + "' is not a valid chunk size",
                     "a chunk size that is not hexadecimal");
}

// Exactly so: the one byte after the colon (a blank) is passed over.
bool IsExactField(const std::string& line, std::string_view name, std::string_view value) {
  return line.starts_with(name) && line.size() > name.size() &&
         std::string_view(line).substr(name.size() + 1) == value;
}

// "Content-Length:" as the chunk step reads fields: exact letter case.
std::optional<uint64_t> ExactContentLength(const std::string& line) {
  constexpr std::string_view kName = "Content-Length:";
  if (!line.starts_with(kName)) return std::nullopt;
  return PlainDigitsValue(TrimBlanks(std::string_view(line).substr(kName.size())));
}

}  // namespace

std::string TooLargeCause(uint64_t limit, std::string_view what) {
  return "the page is too large (more than " + DecimalText(static_cast<int64_t>(limit)) + " bytes " +
         std::string(what) + ")";
}

FetchResult DecodeChunked(const std::string& path) {
  std::string contents;
  if (!ReadWholeFile(path, contents)) ThrowFileError("Cannot read", path, ENOENT);
  LineReader input(contents);
  OutputFile output = CreateTemporary("dech");
  TemporaryFileGuard guard(output.path());
  bool chunked = false;
  bool lastChunk = false;
  bool inHead = true;
  std::optional<uint64_t> length;
  uint64_t bodyBytes = 0;
  while (!input.AtEnd()) {
    if (inHead) {
      std::optional<std::string> line = input.ReadWholeLine();
      if (!line) break;
      if (line->empty()) {
        inHead = false;
      } else if (IsExactField(*line, "Transfer-Encoding:", "chunked")) {
        chunked = true;
      } else if (std::optional<uint64_t> announced = ExactContentLength(*line)) {
        length = announced;
      }
    } else if (chunked) {
      std::optional<std::string> sizeLine = input.ReadWholeLine();
      if (!sizeLine) break;
      std::string sizeText = TrimmedText(*sizeLine);
      std::optional<uint64_t> size = ChunkSize(sizeText);
      // A broken chunk fails this page only; the temporary file goes
      // with `output`.
      if (!size) return BadChunkSize(sizeText);
      output.Write(input.Take(*size));
      (void)input.ReadWholeLine();
      // Trailer fields after the last chunk are not page content.
      if (*size == 0) {
        lastChunk = true;
        break;
      }
    } else {
      std::string_view rest = input.Take(contents.size());
      bodyBytes += rest.size();
      output.Write(rest);
    }
  }
  // What the server left out of its own framing is a page cut short.
  if ((chunked && !lastChunk) || (!chunked && length && bodyBytes < *length)) {
    return FetchFailed(FetchFailure::kEndedEarly, "");
  }
  output.Close();
  MoveOver(output.path(), path);
  return FetchResult{};
}

FetchResult GunzipFile(const std::string& path, uint64_t maxBytes) {
  gzFile input = ::gzopen(path.c_str(), "r");
  if (input == nullptr) ThrowFileError("Cannot read", path, errno ? errno : ENOMEM);
  OutputFile output = CreateTemporary("dezip");
  TemporaryFileGuard guard(output.path());
  std::string block(kCopyBlock, '\0');
  uint64_t written = 0;
  int count;
  while ((count = ::gzread(input, block.data(), static_cast<unsigned>(kCopyBlock))) > 0) {
    written += static_cast<uint64_t>(count);
    if (written > maxBytes) {
      ::gzclose(input);
      return FetchFailed(FetchFailure::kTooLarge, "", TooLargeCause(maxBytes, "decompressed"));
    }
    output.Write(std::string_view(block.data(), static_cast<size_t>(count)));
  }
  // A stream cut short ends with a zero count and the error kept aside.
  int error = Z_OK;
  ::gzerror(input, &error);
  ::gzclose(input);
  if (count < 0 || error != Z_OK) return FetchFailed(FetchFailure::kCorrupt, kCorruptReport);
  output.Close();
  MoveOver(output.path(), path);
  return FetchResult{};
}

// ---------------------------------------------------------------------------
// Secure bodies in memory.

struct BodyDecoder::Inflater {
  z_stream stream{};
  bool ready = false;
  Inflater() { ready = inflateInit2(&stream, 15 + 16) == Z_OK; }
  ~Inflater() {
    if (ready) inflateEnd(&stream);
  }
};

BodyDecoder::BodyDecoder(const Framing& framing, uint64_t maxReceived, uint64_t maxDecoded)
    : framing_(framing), maxReceived_(maxReceived), maxDecoded_(maxDecoded) {
  if (!framing_.gzip) compression_ = Compression::kPlain;
}

BodyDecoder::~BodyDecoder() = default;

FetchFailure BodyDecoder::Fail(FetchFailure failure, std::string_view reportLine, std::string cause) {
  failure_ = FetchFailed(failure, reportLine, std::move(cause));
  return failure;
}

FetchFailure BodyDecoder::Feed(std::string_view bytes) {
  if (failure_.failure != FetchFailure::kNone) return failure_.failure;
  received_ += bytes.size();
  if (received_ > maxReceived_) return Fail(FetchFailure::kTooLarge, "", TooLargeCause(maxReceived_, "received"));
  if (whole_) return FetchFailure::kNone;
  if (framing_.chunked) return FeedChunked(bytes);
  if (framing_.length) {
    bytes = bytes.substr(0, static_cast<size_t>(std::min<uint64_t>(bytes.size(), *framing_.length - framed_)));
    framed_ += bytes.size();
    whole_ = framed_ == *framing_.length;
  }
  return Emit(bytes);
}

FetchFailure BodyDecoder::FeedChunked(std::string_view bytes) {
  // No honest size line or line break comes near this.
  constexpr size_t kMaxLine = 4096;
  while (!bytes.empty() && !whole_) {
    if (inData_) {
      size_t take = static_cast<size_t>(std::min<uint64_t>(chunkLeft_, bytes.size()));
      if (FetchFailure failure = Emit(bytes.substr(0, take)); failure != FetchFailure::kNone) return failure;
      bytes.remove_prefix(take);
      chunkLeft_ -= take;
      if (chunkLeft_ == 0) {
        inData_ = false;
        afterData_ = true;
      }
      continue;
    }
    size_t lf = bytes.find('\n');
    line_.append(bytes.substr(0, lf));
    if (line_.size() > kMaxLine) return Fail(FetchFailure::kCorrupt, "", "a chunk size line without end");
    if (lf == std::string_view::npos) return FetchFailure::kNone;
    bytes.remove_prefix(lf + 1);
    if (afterData_) {  // the line break that follows a chunk's data
      afterData_ = false;
      line_.clear();
      continue;
    }
    // HTTP/1.1 allows extensions after ";"; they say nothing about the page.
    std::string sizeText = TrimmedText(std::string_view(line_).substr(0, line_.find(';')));
    std::optional<uint64_t> size = ChunkSize(sizeText);
    if (!size) {
      failure_ = BadChunkSize(TrimmedText(line_));
      return failure_.failure;
    }
    line_.clear();
    if (*size == 0) {
      whole_ = true;  // trailer fields after the last chunk are not page content
    } else {
      chunkLeft_ = *size;
      inData_ = true;
    }
  }
  return FetchFailure::kNone;
}

FetchFailure BodyDecoder::Emit(std::string_view bytes) {
  if (bytes.empty()) return FetchFailure::kNone;
  if (compression_ == Compression::kUndecided) {
    // A server that says gzip and sends plain text is taken at its text.
    compression_ = static_cast<unsigned char>(bytes[0]) == 0x1f ? Compression::kInflating : Compression::kPlain;
  }
  if (compression_ == Compression::kPlain) {
    if (page_.size() + bytes.size() > maxDecoded_) {
      return Fail(FetchFailure::kTooLarge, "", TooLargeCause(maxDecoded_, "decoded"));
    }
    page_.append(bytes);
    return FetchFailure::kNone;
  }
  return Inflate(bytes);
}

FetchFailure BodyDecoder::Inflate(std::string_view bytes) {
  if (!inflater_) inflater_ = std::make_unique<Inflater>();
  z_stream& stream = inflater_->stream;
  if (!inflater_->ready) return Fail(FetchFailure::kCorrupt, kCorruptReport);
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
  stream.avail_in = static_cast<uInt>(bytes.size());
  unsigned char out[kCopyBlock];
  while (stream.avail_in > 0) {
    if (compression_ == Compression::kEnded) {
      // Another member may follow, as the gz layer reads them; anything
      // else after the stream is not page content.
      if (*stream.next_in != 0x1f) {
        stream.avail_in = 0;
        break;
      }
      inflateReset(&stream);
      compression_ = Compression::kInflating;
    }
    stream.next_out = out;
    stream.avail_out = sizeof out;
    int result = inflate(&stream, Z_NO_FLUSH);
    size_t produced = sizeof out - stream.avail_out;
    if (page_.size() + produced > maxDecoded_) {
      return Fail(FetchFailure::kTooLarge, "", TooLargeCause(maxDecoded_, "decompressed"));
    }
    page_.append(reinterpret_cast<const char*>(out), produced);
    if (result == Z_STREAM_END) {
      compression_ = Compression::kEnded;
    } else if (result != Z_OK && !(result == Z_BUF_ERROR && produced > 0)) {
      return Fail(FetchFailure::kCorrupt, kCorruptReport);
    }
  }
  return FetchFailure::kNone;
}

FetchFailure BodyDecoder::Finish(bool endedCleanly) {
  if (failure_.failure != FetchFailure::kNone) return failure_.failure;
  bool framed = framing_.chunked || framing_.length;
  if (framed ? !whole_ : !endedCleanly) {
    // Today's words for a connection that ends before the page does.
    return Fail(FetchFailure::kEndedEarly, "Error: Connection lost");
  }
  if (compression_ == Compression::kInflating) return Fail(FetchFailure::kCorrupt, kCorruptReport);
  return FetchFailure::kNone;
}

}  // namespace kavrel
