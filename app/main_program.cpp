#include "app/main_program.h"

#include <zlib.h>

#include <optional>

#include "acquisition/input_dispatch.h"
#include "app/catalogue_output.h"
#include "app/config_location.h"
#include "app/configuration.h"
#include "app/extra_run.h"
#include "app/list_file.h"
#include "app/list_update.h"
#include "app/option_parser.h"
#include "app/run.h"
#include "formats/format_table.h"
#include "platform/file_system.h"
#include "platform/tls.h"
#include "platform/version.h"

namespace kavrel {

namespace {

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

// "13.0E", "5.0W": a position in tenths of a degree as people write it.
std::string PositionText(int32_t position) {
  if (position < 0 || position >= kFullCircle) return "position " + std::to_string(position);
  int64_t signedTenths = SignedPosition(position);
  int64_t tenths = signedTenths < 0 ? -signedTenths : signedTenths;
  return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + (signedTenths < 0 ? "W" : "E");
}

// At most this many positions are named one by one.
constexpr size_t kMaxNamedReplacements = 10;

// What admission and the duplicate rule took out of the inputs, and lists
// that a later input replaced: the user sees why the written list is
// shorter than the inputs.
void ReportAdmissionNotes(Run& run) {
  const SatelliteSink& sink = run.sink;
  if (size_t refused = sink.RefusedForBandOrPolarization()) {
    run.diagnostics.Note(std::to_string(refused) +
                         " transponders were not admitted: their band or polarization is not accepted "
                         "(Ku 10700-12750 MHz and C 3400-4199 MHz by /Ku and /C, /Linear, /Circular)");
  }
  if (size_t merged = sink.MergedDuplicates()) {
    run.diagnostics.Note(std::to_string(merged) +
                         " transponders were merged into one already listed within 2 MHz of them");
  }
  const auto& replacements = sink.Replacements();
  for (size_t i = 0; i < replacements.size() && i < kMaxNamedReplacements; ++i) {
    const SatelliteSink::Replacement& replacement = replacements[i];
    std::string lost = replacement.lost == 1 ? "the list read before was"
                                             : std::to_string(replacement.lost) + " lists read before were";
    run.diagnostics.Note(PositionText(replacement.position) + ": " + lost + " replaced by the later input " +
                         replacement.input + "; a leading \"+\" on the input merges them");
  }
  if (replacements.size() > kMaxNamedReplacements) {
    run.diagnostics.Note(std::to_string(replacements.size() - kMaxNamedReplacements) +
                         " more positions had their list replaced by a later input");
  }
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
  PrintHelp(run.out);
  run.out << '\n'
          << "Keeping a list (anywhere on the command line):" << '\n'
          << "  -q, --quiet            no progress lines; standard error keeps failures" << '\n'
          << "  -o DIR, --output-dir=DIR  make the outputs in DIR" << '\n'
          << "  --positions=LIST       only these positions (13E,19.2E,5W or [300w-450e])" << '\n'
          << "  --update=PATH          keep the list at PATH current, replaced in one step" << '\n'
          << "  --changes[=PATH]       report what changed (--changes-format=json)" << '\n'
          << "  --offline, --refresh   https pages only from the page cache / fetched whole" << '\n'
          << '\n'
          << "Exit status: 0 all went well; 1 the run could not start (usage, configuration," << '\n'
          << "cannot write); 2 some inputs or options failed (see standard error) but a list" << '\n'
          << "was written; 3 no input gave anything." << '\n'
          << "Manual: man kavrel. README: /usr/share/doc/kavrel/README.md when installed," << '\n'
          << "README.md in the source tree." << '\n';
  return 0;
}

}  // namespace

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
  run.input.PageCacheDirectory = LocatePageCache(ExecutablePath(arguments[0]), environment);
  run.input.cacheMode = extra.offline ? CacheMode::kOffline : extra.refresh ? CacheMode::kRefresh : CacheMode::kAsk;
  LoadConfiguration(run);
  ParseOptions(run, CollectOptionTokens(arguments), run.options);
  run.SavedOptions = run.options;

  const Options& o = run.options;
  if ((!o.AcceptKu && !o.AcceptC) || (!o.AcceptLinear && !o.AcceptCircular)) {
    run.out << "Incompartible parameters" << '\n' << "Nothing to do" << '\n';
    return run.diagnostics.Status();  // 0 unless an argument could not be read
  }

  // Asked on the command line: list lines are read later.
  const bool formatAsked = run.FormatGiven;
  if (!extraRun.CanStart()) return run.diagnostics.Status();
  ListUpdate update(run, extra);
  if (!update.Start(formatAsked)) return run.diagnostics.Status();
  extraRun.ReadEarlierList(update.Active() ? update.InputName() : std::string());
  if (!update.ReadList()) return run.diagnostics.Status();

  const std::string& input = arguments[1];
  if (!input.empty() && input[0] == '@') {
    ProcessListFile(run, input.substr(1));
  } else {
    ProcessInput(run.input, input);
  }
  run.catalogue.SortSatellites();
  if (update.Active()) {
    bool gained = update.KeepUnreplaced();
    run.diagnostics.SetSomethingGained(gained);
    if (gained) {
      update.Write();
    } else {
      run.diagnostics.Note(extra.updatePath + " stays as it was: no input of the run gave anything");
    }
  } else {
    run.diagnostics.SetSomethingGained(run.catalogue.SatelliteCount() > 0);
    if (extraRun.Writes(formatAsked)) {
      ExtraRun::InOutputFolder outputFolder(extra.outputDir);
      WriteCatalogue(run);
    }
  }
  ReportRefusedKinds(run);
  ReportAdmissionNotes(run);
  run.out << "All done" << '\n';
  if (run.options.SaveConfig) SaveConfiguration(run);
  extraRun.ReportChanges();
  return run.diagnostics.Status();
}

}  // namespace kavrel
