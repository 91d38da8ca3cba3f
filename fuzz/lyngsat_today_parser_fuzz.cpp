// The LyngSat reader of the markups since 2018, and its recognizer, on any page.
#include "fuzz/fuzz_support.h"
#include "parsers/lyngsat_today_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kavrel::fuzz::QuietRun quiet;
  kavrel::SourceText source = kavrel::fuzz::Source(data, size);
  static_cast<void>(kavrel::IsTodaysLyngSatPage(source.bytes));
  if (kavrel::ParseTodaysLyngSatPage(quiet.run.sink, source) == kavrel::ProducerResult::kAbandoned) {
    quiet.run.sink.AbandonPage();
  }
  return 0;
}
