// Chunked decoding on any downloaded response.
#include "acquisition/response_decoding.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kavrel::fuzz::QuietRun quiet;
  std::string path = kavrel::fuzz::InputFile(data, size, "response.htm");
  kavrel::DecodeChunked(quiet.run.out, path);
  // Secure pages' heads are read by HTTP/1.1's rules.
  path = kavrel::fuzz::InputFile(data, size, "secure.htm");
  kavrel::DecodeChunked(quiet.run.out, path, kavrel::HeadReading::kHttp11);
  // Whatever happened, no temporary file may stay behind.
  if (std::filesystem::exists(kavrel::fuzz::ScratchDirectory() + "/dech.$$$")) std::abort();
  return 0;
}
