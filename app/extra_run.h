// What the GNU-style options (extra_options.h) add around a run: where
// progress lines go, the positions admitted, the folder outputs are made
// in, and the report of what changed.
#ifndef KAVREL_APP_EXTRA_RUN_H
#define KAVREL_APP_EXTRA_RUN_H

#include <memory>
#include <streambuf>
#include <string>

#include "app/extra_options.h"
#include "app/run.h"

namespace kavrel {

class ExtraRun {
 public:
  // Sets the run up for the options: quiet drops progress lines and notes;
  // a report of changes moves progress lines to standard error, so that
  // standard output holds the report alone.
  ExtraRun(Run& run, const ExtraOptions& options);
  // Gives the run its own output stream back.
  ~ExtraRun();
  ExtraRun(const ExtraRun&) = delete;
  ExtraRun& operator=(const ExtraRun&) = delete;

  // Checks what can be checked before any input is read; false when the
  // run cannot start (said on standard error).
  bool CanStart();

  // Reads the list the changes are compared with, before this run's
  // inputs: the --changes=PATH one, which fails as an input when it gives
  // nothing, else `updated` (the list being updated, as it stands).
  void ReadEarlierList(const std::string& updated);

  // Whether the run writes an output: not for a comparison with a given
  // list unless /Format= asks for one.
  bool Writes(bool formatAsked) const;

  // Makes the outputs in the output folder: the current directory while
  // the object lives.
  class InOutputFolder {
   public:
    explicit InOutputFolder(const std::string& folder);
    ~InOutputFolder();
    InOutputFolder(const InOutputFolder&) = delete;
    InOutputFolder& operator=(const InOutputFolder&) = delete;

   private:
    std::string old_;
  };

  // The report of changes on standard output, after the run.
  void ReportChanges();

 private:
  Run& run_;
  const ExtraOptions& options_;
  std::streambuf* output_;  // the run's own output, for the report
  std::unique_ptr<std::ostream> discard_;
  std::unique_ptr<Run> earlier_;
};

}  // namespace kavrel

#endif
