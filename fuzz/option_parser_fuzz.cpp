// The option parser on any token text.
#include "app/option_parser.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kavrel::fuzz::QuietRun quiet;
  std::string text(reinterpret_cast<const char*>(data), size);
  kavrel::Options options;
  kavrel::ParseOptions(quiet.run, " " + text, options);
  return 0;
}
