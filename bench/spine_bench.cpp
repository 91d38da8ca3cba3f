// Benchmarks of the spine: profile look-ups, the INI writer and the
// catalogue's ordered insertion.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "catalogue/catalogue.h"
#include "app/run.h"
#include "formats/ini_file.h"
#include "platform/int_text.h"
#include "platform/profile_file.h"

namespace kavrel {
namespace {

class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "kavrel-bench-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data()) ? pattern : std::string();
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// A configuration file of five site sections of 3600 positions each: the
// worst case of a full-circle walk. 7200 look-ups: one plain and one West
// key for each of 3600 positions.
void BM_ProfileLookups(benchmark::State& state) {
  TempDir dir;
  std::string path = dir.path() + "/kavrel.ini";
  {
    std::ofstream out(path);
    out << "[Common]\nAcceptKu=on\n";
    for (const char* site : {"lyngsat", "satcodx", "telesputnik", "flysat", "kingofsat"}) {
      out << "[" << site << "]\n";
      for (int p = 0; p < 3600; ++p) {
        out << PaddedDecimalText(p, 4) << "=http://www." << site << ".example/pages/" << p << ".html\n";
      }
    }
  }
  for (auto _ : state) {
    TIniFile file(path);
    size_t found = 0;
    for (int p = 0; p < 3600; ++p) {
      found += file.ReadString("kingofsat", PaddedDecimalText(p, 4), "").size();
      found += file.ReadString("kingofsat", "-" + PaddedDecimalText(std::abs(p - 3600), 4), "").size();
    }
    benchmark::DoNotOptimize(found);
  }
  state.SetItemsProcessed(state.iterations() * 7200);
}
BENCHMARK(BM_ProfileLookups)->Unit(benchmark::kMillisecond);

SatelliteRecord BigSatellite(int count) {
  SatelliteRecord satellite;
  satellite.Position = 130;
  satellite.Name = "Benchmark Sat";
  for (int i = 0; i < count; ++i) {
    TransponderRecord t;
    t.Frequency = 10700 + i / 4;
    t.Polarization = "HLRV"[i % 4];
    t.SymbolRate = 2000 + i % 3000;  // narrow carriers: exact frequencies
    t.FecNumerator = 3;
    t.FecDenominator = 4;
    t.SystemKind = 1;
    satellite.Transponders.Insert(t);
  }
  return satellite;
}

// One satellite of 20000 transponders written as an INI file.
void BM_IniWriter20000(benchmark::State& state) {
  TempDir dir;
  std::string old = std::filesystem::current_path().string();
  std::filesystem::current_path(dir.path());
  std::ostringstream sink;
  SatelliteRecord satellite = BigSatellite(20000);
  for (auto _ : state) {
    WriteIniSatellite(WriterContext{sink, false}, satellite, IniLayout::kI1);
    state.PauseTiming();
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) std::filesystem::remove(entry.path());
    sink.str("");
    state.ResumeTiming();
  }
  std::filesystem::current_path(old);
  state.SetItemsProcessed(state.iterations() * 20000);
}
BENCHMARK(BM_IniWriter20000)->Unit(benchmark::kMillisecond);

std::vector<TransponderRecord> DistinctTransponders(bool shuffled) {
  std::vector<TransponderRecord> records(65535);
  for (int i = 0; i < 65535; ++i) {
    TransponderRecord& t = records[static_cast<size_t>(i)];
    t.Frequency = 3 * i;
    t.Polarization = 'H';
    t.SymbolRate = 27500;
    t.SystemKind = 1;
  }
  if (shuffled) std::shuffle(records.begin(), records.end(), std::mt19937(1));
  return records;
}

void InsertAll(benchmark::State& state, bool shuffled) {
  std::vector<TransponderRecord> records = DistinctTransponders(shuffled);
  for (auto _ : state) {
    TransponderList list;
    for (const TransponderRecord& t : records) list.Insert(t);
    benchmark::DoNotOptimize(list.Count());
  }
  state.SetItemsProcessed(state.iterations() * 65535);
}

void BM_Insert65535Ascending(benchmark::State& state) { InsertAll(state, false); }
void BM_Insert65535Random(benchmark::State& state) { InsertAll(state, true); }
BENCHMARK(BM_Insert65535Ascending)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Insert65535Random)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kavrel
