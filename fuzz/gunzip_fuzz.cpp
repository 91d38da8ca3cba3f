// Gzip inflation on any body.
#include "acquisition/response_decoding.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kavrel::fuzz::QuietRun quiet;
  std::string path = kavrel::fuzz::InputFile(data, size, "body.htm");
  (void)kavrel::GunzipFile(path, 1 << 20);
  if (std::filesystem::exists(kavrel::fuzz::ScratchDirectory() + "/dezip.$$$")) std::abort();
  return 0;
}
