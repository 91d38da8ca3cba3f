// The parser of today's KingOfSat markup, and its recognizer, on any page.
#include "fuzz/fuzz_support.h"
#include "parsers/kingofsat_today_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kavrel::fuzz::QuietRun quiet;
  kavrel::SourceText source = kavrel::fuzz::Source(data, size);
  (void)kavrel::IsTodaysKingOfSatPage(source.bytes);
  if (kavrel::ParseTodaysKingOfSatPage(quiet.run.sink, source) ==
      kavrel::ProducerResult::kAbandoned) {
    quiet.run.sink.AbandonPage();
  }
  return 0;
}
