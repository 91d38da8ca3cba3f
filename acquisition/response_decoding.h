// Response decoding: from what a server sent to the page's HTML.
//
// Plain http pages are stored raw (head, empty line, body, possibly
// chunked, possibly gzip-compressed) and reduced in two file steps, each of
// which writes a temporary file in the current directory and then moves it
// over the page file. Secure pages are decoded in memory as they arrive
// (BodyDecoder). Both are bounded: a page that would grow past its limit
// fails, as does one whose body ended before its framing said it would.
#ifndef KAVREL_ACQUISITION_RESPONSE_DECODING_H
#define KAVREL_ACQUISITION_RESPONSE_DECODING_H

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "acquisition/fetch_result.h"

namespace kavrel {

// Replaces the file by its body, with the chunks joined when the head says
// so exactly ("Transfer-Encoding: chunked"). A file without an empty line
// has no body and becomes empty. A chunk size that is not hexadecimal, or
// a chunked body without its last chunk, or a body shorter than its
// "Content-Length: " fails the page, the file left as it was.
FetchResult DecodeChunked(const std::string& path);

// Replaces the file by its inflated content when it starts with the gzip
// magic bytes; any other content passes unchanged. Corrupt compressed data,
// or more than `maxBytes` of page, fails the page, the file left as it was.
FetchResult GunzipFile(const std::string& path, uint64_t maxBytes = uint64_t{64} << 20);

// The body of a secure response decoded as it arrives: chunks joined,
// gzip inflated (only when the head's Content-Encoding says gzip), and
// both the bytes received and the page decoded bounded.
class BodyDecoder {
 public:
  struct Framing {
    bool chunked = false;
    bool gzip = false;
    std::optional<uint64_t> length;  // Content-Length, when not chunked
  };
  BodyDecoder(const Framing& framing, uint64_t maxReceived, uint64_t maxDecoded);
  ~BodyDecoder();
  BodyDecoder(const BodyDecoder&) = delete;
  BodyDecoder& operator=(const BodyDecoder&) = delete;

  // Takes the next bytes of the body as received. A failure (with
  // `failure()` telling the words) ends the page; bytes after the body's
  // end are passed over.
  FetchFailure Feed(std::string_view bytes);

  // True once the framing says the body is whole: the last chunk came, or
  // the announced length.
  bool Whole() const { return whole_; }

  // At the end of the stream: the page's failure, if any. A body without
  // length or chunks is whole only when the peer ended cleanly.
  FetchFailure Finish(bool endedCleanly);

  // The report line and the cause of the last failure.
  const FetchResult& failure() const { return failure_; }

  std::string TakePage() { return std::move(page_); }

 private:
  FetchFailure Fail(FetchFailure failure, std::string_view reportLine, std::string cause = "");
  FetchFailure FeedChunked(std::string_view bytes);
  FetchFailure Emit(std::string_view bytes);
  FetchFailure Inflate(std::string_view bytes);

  Framing framing_;
  uint64_t maxReceived_;
  uint64_t maxDecoded_;
  uint64_t received_ = 0;
  uint64_t framed_ = 0;  // body bytes counted against Content-Length
  bool whole_ = false;
  // Chunks: the size line being read, the data left of the current chunk,
  // and whether the line break after a chunk's data is still due.
  std::string line_;
  uint64_t chunkLeft_ = 0;
  bool inData_ = false;
  bool afterData_ = false;
  // Gzip: decided by the first byte; inflating until the stream's end.
  enum class Compression { kUndecided, kPlain, kInflating, kEnded } compression_ = Compression::kUndecided;
  struct Inflater;
  std::unique_ptr<Inflater> inflater_;
  std::string page_;
  FetchResult failure_;
};

// The limit message of a page that grew too large.
std::string TooLargeCause(uint64_t limit, std::string_view what);

}  // namespace kavrel

#endif
