#include "app/main_program.h"

#include <zlib.h>

#include <optional>

#include "acquisition/input_dispatch.h"
#include "app/config_location.h"
#include "app/configuration.h"
#include "app/extra_run.h"
#include "app/list_file.h"
#include "app/option_parser.h"
#include "app/run.h"
#include "formats/format_table.h"
#include "platform/file_system.h"
#include "platform/text.h"
#include "platform/tls.h"
#include "platform/version.h"

namespace kavrel {

namespace {

// A run that admitted transponders its format cannot hold says so beside
// the progress lines, with the format that would keep them.
void ReportLeftOut(Run& run, const OutputFormat& format) {
  size_t leftOut = TranspondersLeftOut(run.catalogue, format);
  if (leftOut == 0) return;
  std::string note = std::to_string(leftOut) + " transponders are left out: the " +
                     std::string(format.configName) + " format cannot hold them";
  // Today's formats hold every DVB-S and DVB-S2 stream; only i3 holds DSS.
  const OutputFormat* keeper = nullptr;
  size_t keeperLeftOut = leftOut;
  for (uint8_t code : {kFormatEnigma2, kFormatIni3}) {
    const OutputFormat* candidate = FindOutputFormat(code);
    size_t candidateLeftOut = TranspondersLeftOut(run.catalogue, *candidate);
    if (candidateLeftOut < keeperLeftOut) {
      keeper = candidate;
      keeperLeftOut = candidateLeftOut;
    }
  }
  if (keeper != nullptr) {
    note += "; /Format=" + LowerAscii(keeper->letters) +
            (keeperLeftOut == 0 ? " holds them" : " holds more of them");
  }
  run.diagnostics.Note(note);
}

// Transponders that only a switched-off kind kept out: the user may not
// know that /DVBS2+ or /DSS+ exist.
void ReportRefusedKinds(Run& run) {
  size_t s2 = run.sink.RefusedForKind(kKindDvbS2);
  size_t dss = run.sink.RefusedForKind(kKindDss);
  if (s2 + dss == 0) return;
  std::string note = std::to_string(s2 + dss) + " transponders were not admitted only because of their system (";
  if (s2 > 0) note += std::to_string(s2) + " DVB-S2" + (dss > 0 ? ", " : "");
  if (dss > 0) note += std::to_string(dss) + " DSS";
  note += std::string("); ") + (s2 > 0 ? "/DVBS2+" : "") + (s2 > 0 && dss > 0 ? " " : "") +
          (dss > 0 ? "/DSS+" : "") + (s2 > 0 && dss > 0 ? " admit them" : " admits them");
  run.diagnostics.Note(note);
}

// --help, -h and --version as the only argument; nothing for any other
// command line.
std::optional<int> AnswerAboutItself(Run& run, const std::vector<std::string>& arguments) {
  const std::string& first = arguments[1];
  bool help = first == "--help" || first == "-h";
  bool version = first == "--version";
  if (!help && !version) {
    if (first.starts_with("--version=") || first.starts_with("--help=")) {
      run.diagnostics.CannotStart(first.substr(0, first.find('=')) + " takes no value");
      return run.diagnostics.Status();
    }
    return std::nullopt;
  }
  if (arguments.size() > 2) {
    run.diagnostics.CannotStart(first + " takes no other arguments");
    return run.diagnostics.Status();
  }
  if (version) {
    run.out << "kavrel " << kProgramVersion << '\n';
    run.out << "zlib " << zlibVersion() << '\n';
    run.out << TlsLibraryVersion() << '\n';
    return 0;
  }
  run.out << kBanner << '\n';
  PrintUsage(run.out);
  run.out << "    /Format=e - satellites.xml for Enigma2 receivers (DVB-S2 and multistream)" << '\n'
          << "    /Format=v - dvbv5 channel files, one per satellite" << '\n' << '\n'
          << "Exit status: 0 all inputs read, 2 some input gave nothing (see standard error), 1 error." << '\n'
          << "Manual: man kavrel. README: /usr/share/doc/kavrel/README.md when installed," << '\n'
          << "README.md in the source tree." << '\n';
  return 0;
}

}  // namespace

void WriteCatalogue(Run& run) {
  const OutputFormat* format = FindOutputFormat(run.options.FormatCode);
  if (format == nullptr) return;
  format->write(run.catalogue, WriterContext{run.out, run.ProvidersInfo});
  ReportLeftOut(run, *format);
}

int RunProgram(Run& run, const std::vector<std::string>& commandLine, const EnvironmentLookup& environment) {
  std::vector<std::string> arguments = commandLine;
  ExtraOptions extra;
  std::string extraError;
  bool extraRead = TakeExtraOptions(arguments, extra, extraError);
  ExtraRun extraRun(run, extra);
  if (!extraRead) {
    run.diagnostics.CannotStart(extraError);
    return run.diagnostics.Status();
  }
  if (arguments.size() >= 2) {
    if (std::optional<int> status = AnswerAboutItself(run, arguments)) return *status;
  }
  run.out << kBanner << '\n';
  if (arguments.size() < 2) {
    PrintUsage(run.out);
    return 0;
  }
  DefaultOptions(run.options);
  run.options.FormatCode = kFormatIni1;
  ConfigLocation configuration = LocateConfiguration(ExecutablePath(arguments[0]), environment);
  if (!configuration.error.empty()) {
    run.out.flush();
    run.diagnostics.CannotStart(configuration.error);
    return run.diagnostics.Status();
  }
  if (!configuration.note.empty()) run.diagnostics.Note(configuration.note);
  run.input.ConfigPath = configuration.path;
  LoadConfiguration(run);
  ParseOptions(run, CollectOptionTokens(arguments), run.options);
  run.SavedOptions = run.options;

  const Options& o = run.options;
  if ((!o.AcceptKu && !o.AcceptC) || (!o.AcceptLinear && !o.AcceptCircular)) {
    run.out << "Incompartible parameters" << '\n' << "Nothing to do" << '\n';
    return 0;
  }

  if (!extraRun.CanStart()) return run.diagnostics.Status();
  extraRun.ReadEarlierList();

  const std::string& input = arguments[1];
  if (!input.empty() && input[0] == '@') {
    ProcessListFile(run, input.substr(1));
  } else {
    ProcessInput(run.input, input);
  }
  run.catalogue.SortSatellites();
  bool formatAsked = false;
  for (size_t i = 2; i < arguments.size(); ++i) formatAsked |= UpperAscii(arguments[i]).starts_with("/FORMAT=");
  if (extraRun.Writes(formatAsked)) {
    ExtraRun::InOutputFolder outputFolder(extra.outputDir);
    WriteCatalogue(run);
  }
  ReportRefusedKinds(run);
  run.out << "All done" << '\n';
  if (run.options.SaveConfig) SaveConfiguration(run);
  extraRun.ReportChanges();
  return run.diagnostics.Status();
}

}  // namespace kavrel
