// Position ranges and site position inputs from any text.
#include "acquisition/input_dispatch.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  (void)kavrel::ParsePositionRange(text);
  (void)kavrel::ParseSitePositionInput("!l!" + text);
  (void)kavrel::ClassifyInput(text);
  (void)kavrel::SiteOfAddress(text);
  return 0;
}
