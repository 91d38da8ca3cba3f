// The LyngSat page parser on any page.
#include "fuzz/fuzz_support.h"
#include "parsers/lyngsat_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kavrel::fuzz::QuietRun quiet;
  std::string path = kavrel::fuzz::InputFile(data, size, "page.html");
  int result = kavrel::ParseLyngSatPage(quiet.run, path);
  if (result != 0 && result != -1) std::abort();
  return 0;
}
