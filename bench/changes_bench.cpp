// What changed between the receivers' satellites.xml of 2017 and of 2026:
// the comparison and its report alone, and with both files read as a
// --changes run reads them. Skipped where the files are not at hand.
#include <benchmark/benchmark.h>

#include <memory>
#include <sstream>
#include <string>

#include "app/run.h"
#include "catalogue/catalogue_changes.h"
#include "formats/xml_file.h"
#include "platform/file_system.h"

namespace kavrel {
namespace {

constexpr const char* kOlderList = "/work/shared/real-data/xml/openpli_2017-07-19_satellites.xml";
constexpr const char* kNewerList = "/work/shared/real-data/xml/openpli_2026-08-22_satellites.xml";

std::ostream& NullStream() {
  static std::ostream stream(nullptr);
  return stream;
}

std::unique_ptr<Run> ReadList(const char* path) {
  auto run = std::make_unique<Run>(NullStream(), NullStream());
  run->options.AcceptedKinds.Add(kKindDvbS2);
  std::string bytes;
  if (!ReadWholeFile(path, bytes)) return nullptr;
  (void)ReadXmlFile(run->sink, SourceText{path, bytes});
  run->catalogue.SortSatellites();
  return run;
}

size_t Report(const Run& before, const Run& after) {
  std::ostringstream out;
  WriteChangesText(out, CompareCatalogues(before.catalogue, after.catalogue));
  return out.str().size();
}

void BM_ChangesBetweenListsOf2017And2026(benchmark::State& state) {
  std::unique_ptr<Run> before = ReadList(kOlderList), after = ReadList(kNewerList);
  if (!before || !after) {
    state.SkipWithError("the real satellites.xml files are not at hand");
    return;
  }
  size_t bytes = 0;
  for (auto _ : state) benchmark::DoNotOptimize(bytes = Report(*before, *after));
  state.counters["report_bytes"] = static_cast<double>(bytes);
}

void BM_ChangesWithBothFilesRead(benchmark::State& state) {
  for (auto _ : state) {
    std::unique_ptr<Run> before = ReadList(kOlderList), after = ReadList(kNewerList);
    if (!before || !after) {
      state.SkipWithError("the real satellites.xml files are not at hand");
      return;
    }
    benchmark::DoNotOptimize(Report(*before, *after));
  }
}

BENCHMARK(BM_ChangesBetweenListsOf2017And2026)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ChangesWithBothFilesRead)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kavrel
