// Writing and reading a large catalogue (200 satellites of 300
// transponders) in each receiver format, next to a baseline that writes the
// same number of bytes into the same number of files through a plain
// buffered stream.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <ostream>
#include <string>

#include "app/run.h"
#include "formats/dll_file.h"
#include "formats/kathrein_files.h"
#include "formats/trp_file.h"
#include "formats/xml_file.h"
#include "platform/file_system.h"

namespace kavrel {
namespace {

constexpr int kSatellites = 200;
constexpr int kTranspondersPerSatellite = 300;

// A stream that drops everything: the writers' progress lines cost nothing.
std::ostream& NullStream() {
  static std::ostream stream(nullptr);
  return stream;
}

void FillCatalogue(Catalogue& catalogue) {
  Options options;
  SatelliteSink sink(catalogue, options, NullStream());
  for (int s = 0; s < kSatellites; ++s) {
    sink.FindOrAddSatellite("Satellite " + std::to_string(s), s * 17);
    for (int i = 0; i < kTranspondersPerSatellite; ++i) {
      OfferedTransponder t;
      t.Frequency = 10700 + (i / 2) * 10;
      t.Polarization = i % 2 ? 'V' : 'H';
      t.SymbolRate = 27500;
      t.FecNumerator = 3;
      t.FecDenominator = 4;
      t.SystemKind = kKindDvbS;
      sink.AddTransponder(t);
    }
  }
}

// A scratch directory that is the current directory while it lives.
class BenchDirectory {
 public:
  BenchDirectory() : old_(std::filesystem::current_path()) {
    std::string pattern = (std::filesystem::temp_directory_path() / "kavrel-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    path_ = pattern;
    std::filesystem::current_path(path_);
  }
  ~BenchDirectory() {
    std::filesystem::current_path(old_);
    std::filesystem::remove_all(path_);
  }
  void Clear() const {
    for (const auto& entry : std::filesystem::directory_iterator(path_)) std::filesystem::remove(entry);
  }
  // Total bytes and number of the files in the directory.
  std::pair<uintmax_t, int> Size() const {
    uintmax_t bytes = 0;
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(path_)) {
      bytes += entry.file_size();
      ++files;
    }
    return {bytes, files};
  }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path old_;
  std::filesystem::path path_;
};

const std::map<std::string, Writer>& Writers() {
  static const std::map<std::string, Writer> writers{
      {"xml", WriteXmlFile},
      {"dll", WriteDllFile},
      {"trp", WriteTrpFiles},
      {"kathrein", WriteKathreinFiles},
  };
  return writers;
}

const Catalogue& LargeCatalogue() {
  static const Catalogue catalogue = [] {
    Catalogue c;
    FillCatalogue(c);
    return c;
  }();
  return catalogue;
}

void WriteLarge(Writer write) { write(LargeCatalogue(), WriterContext{NullStream(), false}); }

void BM_Write(benchmark::State& state, const std::string& format) {
  Writer write = Writers().at(format);
  BenchDirectory dir;
  for (auto _ : state) {
    WriteLarge(write);
    state.PauseTiming();
    dir.Clear();
    state.ResumeTiming();
  }
  WriteLarge(write);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * dir.Size().first));
}

// The same bytes in the same number of files, written in 64-byte pieces
// through std::ofstream.
void BM_Baseline(benchmark::State& state, const std::string& format) {
  uintmax_t bytes = 0;
  int files = 0;
  {
    BenchDirectory probe;
    WriteLarge(Writers().at(format));
    std::tie(bytes, files) = probe.Size();
  }
  BenchDirectory dir;
  const std::string piece(64, 'x');
  for (auto _ : state) {
    uintmax_t perFile = bytes / static_cast<uintmax_t>(files);
    for (int f = 0; f < files; ++f) {
      std::ofstream out("file" + std::to_string(f), std::ios::binary);
      uintmax_t left = f == 0 ? perFile + bytes % static_cast<uintmax_t>(files) : perFile;
      for (; left >= piece.size(); left -= piece.size()) out.write(piece.data(), piece.size());
      out.write(piece.data(), static_cast<std::streamsize>(left));
    }
    state.PauseTiming();
    dir.Clear();
    state.ResumeTiming();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}

// The file is read from disk each time, as an input is.
void BM_Read(benchmark::State& state, Writer write, Producer read) {
  BenchDirectory dir;
  WriteLarge(write);
  std::string path = std::filesystem::directory_iterator(dir.path())->path().string();
  for (auto _ : state) {
    Run run(NullStream());
    std::string bytes;
    ReadWholeFile(path, bytes);
    (void)read(run.sink, SourceText{path, bytes});
    benchmark::DoNotOptimize(run.catalogue.Satellites().data());
    if (run.catalogue.SatelliteCount() != kSatellites) state.SkipWithError("catalogue lost satellites");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * dir.Size().first));
}

BENCHMARK_CAPTURE(BM_Write, xml, std::string("xml"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Baseline, xml, std::string("xml"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Write, dll, std::string("dll"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Baseline, dll, std::string("dll"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Write, trp, std::string("trp"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Baseline, trp, std::string("trp"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Write, kathrein, std::string("kathrein"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Baseline, kathrein, std::string("kathrein"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Read, xml, WriteXmlFile, ReadXmlFile)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Read, dll, WriteDllFile, ReadDllFile)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kavrel
