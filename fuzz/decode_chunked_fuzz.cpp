// Chunked decoding on any downloaded response.
#include "acquisition/response_decoding.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kavrel::fuzz::QuietRun quiet;
  std::string path = kavrel::fuzz::InputFile(data, size, "response.htm");
  kavrel::DecodeChunked(quiet.run.out, path);
  // Whatever happened, no temporary file may stay behind.
  if (std::filesystem::exists(kavrel::fuzz::ScratchDirectory() + "/dech.$$$")) std::abort();
  return 0;
}
