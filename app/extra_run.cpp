#include "app/extra_run.h"

#include <unistd.h>

#include <ostream>

#include "acquisition/input_dispatch.h"
#include "catalogue/catalogue_changes.h"
#include "platform/fatal_error.h"
#include "platform/file_system.h"

namespace kavrel {

ExtraRun::ExtraRun(Run& run, const ExtraOptions& options)
    : run_(run), options_(options), output_(run.out.rdbuf()) {
  if (options.quiet) {
    run.out.rdbuf(nullptr);  // a stream without a buffer drops what it is given
    run.diagnostics.SetQuiet(true);
  } else if (options.changes) {
    run.out.rdbuf(run.diagnostics.stream().rdbuf());
  }
  if (options.positions) run.sink.SetPositionSelection(&*options.positions);
}

ExtraRun::~ExtraRun() {
  run_.out.flush();
  run_.out.rdbuf(output_);
}

bool ExtraRun::CanStart() {
  if (!options_.outputDir.empty() && !IsDirectory(options_.outputDir)) {
    run_.diagnostics.CannotStart("the output folder " + options_.outputDir + " does not exist");
    return false;
  }
  if (options_.changes && options_.changesPath.empty() && options_.updatePath.empty()) {
    run_.diagnostics.CannotStart("--changes without --update needs the list to compare with (--changes=PATH)");
    return false;
  }
  return true;
}

void ExtraRun::ReadEarlierList(const std::string& updated) {
  if (!options_.changes) return;
  discard_ = std::make_unique<std::ostream>(nullptr);
  bool given = !options_.changesPath.empty();
  earlier_ = std::make_unique<Run>(*discard_, given ? run_.diagnostics.stream() : *discard_);
  earlier_->options = run_.options;
  earlier_->SavedOptions = run_.SavedOptions;
  earlier_->input.ConfigPath = run_.input.ConfigPath;
  if (!given) {
    // The list being updated, whole and as listed (as the update keeps
    // it); a missing one is an empty list, and one that cannot be read
    // stops the update itself.
    earlier_->sink.SetKeepAsListed(true);
    try {
      if (!updated.empty()) ProcessInput(earlier_->input, updated);
    } catch (const FatalError&) {
    }
    earlier_->catalogue.SortSatellites();
    return;
  }
  earlier_->sink.SetPositionSelection(options_.positions ? &*options_.positions : nullptr);
  // A path of an option names a file from the current directory, not from
  // the program's as a bare input name does.
  std::string path = options_.changesPath;
  if (path[0] != '/') path = CurrentDirectory() + "/" + path;
  std::string cause;
  try {
    if (!PathExists(path)) {
      cause = "no such file";
    } else {
      ProcessInput(earlier_->input, path);
      if (earlier_->catalogue.SatelliteCount() == 0) cause = "holds no list kavrel can read";
    }
  } catch (const FatalError& error) {
    cause = error.what();
  }
  if (!cause.empty()) run_.diagnostics.InputFailed(path, cause);
  earlier_->catalogue.SortSatellites();
}

bool ExtraRun::Writes(bool formatAsked) const { return options_.changesPath.empty() || formatAsked; }

ExtraRun::InOutputFolder::InOutputFolder(const std::string& folder) {
  if (folder.empty()) return;
  old_ = CurrentDirectory();
  if (::chdir(folder.c_str()) != 0) throw FatalError("Cannot enter the output folder " + folder);
}

ExtraRun::InOutputFolder::~InOutputFolder() {
  if (!old_.empty()) (void)::chdir(old_.c_str());
}

void ExtraRun::ReportChanges() {
  if (!earlier_) return;
  run_.out.flush();
  std::ostream report(output_);
  std::vector<SatelliteChanges> changes = CompareCatalogues(earlier_->catalogue, run_.catalogue);
  if (options_.changesJson) {
    WriteChangesJson(report, changes);
  } else {
    WriteChangesText(report, changes);
  }
  report.flush();
}

}  // namespace kavrel
