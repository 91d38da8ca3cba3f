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
#include "formats/format_table.h"
#include "formats/enigma2_file.h"
#include "formats/dvbv5_file.h"
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
      {"enigma2", WriteEnigma2File},
      {"dvbv5", WriteDvbv5Files},
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
void BM_Read(benchmark::State& state, Writer write, FileReader read) {
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

// Today's receivers' satellites.xml: the file of 2026 when this machine has
// it, otherwise one of its shape (208 satellites, about 3400 transponders of
// the dialect, a sixth of them with stream attributes).
std::string ReceiversFile() {
  std::string bytes;
  if (ReadWholeFile("/work/shared/real-data/xml/openpli_2026-08-22_satellites.xml", bytes)) return bytes;
  bytes = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<satellites>\n";
  for (int s = 0, n = 0; s < 208; ++s) {
    bytes += "\t<sat name=\"" + std::to_string(s) + ".0E Ku-band T\xC3\xBCrksat &amp; Co\" flags=\"1\" position=\"" +
             std::to_string(s * 17 - 1700) + "\">\n";
    for (int i = 0; i < 16 + (s % 5 == 0 ? 8 : 0); ++i, ++n) {
      bytes += "\t\t<transponder frequency=\"" + std::to_string(10700000 + i * 20500) +
               "\" symbol_rate=\"27500000\" polarization=\"" + std::to_string(i % 4) +
               "\" fec_inner=\"3\" system=\"1\" modulation=\"2\"" +
               (n % 6 == 0 ? " is_id=\"4\" pls_mode=\"1\" pls_code=\"131070\"" : "") + " />\n";
    }
    bytes += "\t</sat>\n";
  }
  return bytes + "</satellites>\n";
}

// Reading it, file read included, with the kinds /Format=e switches on.
void BM_ReadReceiversFile(benchmark::State& state) {
  BenchDirectory dir;
  {
    std::ofstream out("satellites.xml", std::ios::binary);
    out << ReceiversFile();
  }
  std::string path = (dir.path() / "satellites.xml").string();
  for (auto _ : state) {
    Run run(NullStream());
    run.options.AcceptedKinds.Add(kKindDvbS2);
    std::string bytes;
    ReadWholeFile(path, bytes);
    (void)ReadXmlFile(run.sink, SourceText{path, bytes});
    benchmark::DoNotOptimize(run.catalogue.Satellites().data());
    if (run.catalogue.SatelliteCount() < 150) state.SkipWithError("catalogue lost satellites");
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
BENCHMARK_CAPTURE(BM_Write, dvbv5, std::string("dvbv5"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Baseline, dvbv5, std::string("dvbv5"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Write, enigma2, std::string("enigma2"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Baseline, enigma2, std::string("enigma2"))->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadReceiversFile)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Read, xml, WriteXmlFile, ReadXmlFile)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Read, dll, WriteDllFile, ReadDllFile)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kavrel
