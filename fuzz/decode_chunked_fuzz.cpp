// Chunked decoding on any downloaded response: the file step of plain http
// pages, and the in-memory decoder of secure ones fed in uneven pieces.
#include "acquisition/response_decoding.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kavrel::fuzz::QuietRun quiet;
  std::string path = kavrel::fuzz::InputFile(data, size, "response.htm");
  (void)kavrel::DecodeChunked(path);
  // Whatever happened, no temporary file may stay behind.
  if (std::filesystem::exists(kavrel::fuzz::ScratchDirectory() + "/dech.$$$")) std::abort();

  // The first byte chooses the framing, the rest is the body.
  if (size == 0) return 0;
  kavrel::BodyDecoder::Framing framing;
  framing.chunked = data[0] & 1;
  framing.gzip = data[0] & 2;
  if (data[0] & 4) framing.length = data[0] >> 3;
  constexpr uint64_t kLimit = 1 << 20;
  kavrel::BodyDecoder decoder(framing, kLimit, kLimit);
  std::string_view body(reinterpret_cast<const char*>(data + 1), size - 1);
  for (size_t at = 0, piece = 1; at < body.size(); at += piece, piece = piece * 3 % 17 + 1) {
    if (decoder.Feed(body.substr(at, piece)) != kavrel::FetchFailure::kNone) break;
  }
  (void)decoder.Finish(data[0] & 8);
  if (decoder.TakePage().size() > kLimit) std::abort();
  return 0;
}
