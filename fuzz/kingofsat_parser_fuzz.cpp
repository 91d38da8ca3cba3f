// The KingOfSat page parser on any page.
#include "fuzz/fuzz_support.h"
#include "parsers/kingofsat_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kavrel::fuzz::QuietRun quiet;
  if (kavrel::ParseKingOfSatPage(quiet.run.sink, kavrel::fuzz::Source(data, size)) ==
      kavrel::ProducerResult::kAbandoned) {
    quiet.run.sink.AbandonPage();
  }
  return 0;
}
