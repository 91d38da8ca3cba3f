// Position ranges, position lists and site position inputs from any text.
#include "acquisition/input_dispatch.h"
#include "catalogue/position_text.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  (void)kavrel::ParsePositionRange(text);
  (void)kavrel::ParseSitePositionInput("!l!" + text);
  kavrel::PositionSelection selection;
  std::string error;
  (void)kavrel::ParsePositionList(text, selection, error);
  (void)kavrel::ClassifyInput(text);
  (void)kavrel::SiteOfAddress(text);
  return 0;
}
