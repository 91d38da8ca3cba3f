// --update=PATH: the list at PATH is the run's first input, the inputs of
// the command line replace the satellites they bring, every other satellite
// stays, and the result takes PATH's place in one step. A run that gained
// nothing leaves PATH as it was; a second run on the same PATH is refused
// while the first holds the lock file beside it.
#ifndef KAVREL_APP_LIST_UPDATE_H
#define KAVREL_APP_LIST_UPDATE_H

#include <memory>
#include <string>

#include "app/extra_options.h"
#include "app/run.h"

namespace kavrel {

class ListUpdate {
 public:
  ListUpdate(Run& run, const ExtraOptions& options);
  ~ListUpdate();  // lets the lock go
  ListUpdate(const ListUpdate&) = delete;
  ListUpdate& operator=(const ListUpdate&) = delete;

  bool Active() const { return !path_.empty(); }

  // Settles the format (/Format=, else the file's content), checks PATH and
  // takes the lock; false when the run cannot start (said on standard
  // error). `formatAsked`: the command line names a /Format=.
  bool Start(bool formatAsked);

  // What reads the list as an input: the file, or the folder's files.
  std::string InputName() const;

  // Reads the list at PATH as the run's first input; false when PATH holds
  // nothing kavrel can read (said; PATH stays as it was).
  bool ReadList();

  // After the command line's inputs: puts back the satellites they did not
  // bring, and tells whether they gained anything.
  bool KeepUnreplaced();

  // Writes the catalogue in a fresh folder beside PATH and renames the
  // result into place; failures end the run (FatalError) with PATH whole.
  void Write();

 private:
  bool Refuse(const std::string& why);

  Run& run_;
  std::string path_;    // absolute, no trailing "/"
  bool folder_ = false;  // a format of one file per satellite
  bool exists_ = false;
  bool outputDir_ = false;
  const PositionSelection* selection_ = nullptr;
  int lock_ = -1;
  std::unique_ptr<std::ostream> discard_;
  std::unique_ptr<Run> kept_;  // the list once more, for what no input brings
};

}  // namespace kavrel

#endif
