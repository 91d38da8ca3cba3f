#include "app/list_update.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <sstream>

#include "acquisition/input_dispatch.h"
#include "app/extra_run.h"
#include "app/catalogue_output.h"
#include "formats/format_table.h"
#include "platform/fatal_error.h"
#include "platform/file_system.h"
#include "platform/text.h"

namespace kavrel {

namespace {

bool KeepsFolder(uint8_t code) {
  return code == kFormatIni1 || code == kFormatIni2 || code == kFormatIni3 || code == kFormatDvbv5;
}

// The format a list file's content shows: a satellite.dll, or a
// satellites.xml with (Enigma2) or without the system of each transponder.
const OutputFormat* FormatOfListFile(const std::string& path) {
  std::optional<FileContents> contents = FileContents::Read(path);
  if (!contents) return nullptr;
  const InputFormat* read = InputFormatOf(path, contents->bytes());
  if (read == nullptr) return nullptr;
  if (read->label == "DLL") return FindOutputFormat(kFormatDll);
  if (read->label != "XML") return nullptr;
  bool enigma2 = contents->bytes().find(" system=\"") != std::string_view::npos;
  return FindOutputFormat(enigma2 ? kFormatEnigma2 : kFormatXml);
}

std::string Why(int errnum) { return std::strerror(errnum); }

// Renames a new file over `target` after its bytes are on disk; an existing
// target lends it its mode. The old file stays whole on any failure.
// Puts a file's (or a folder's) bytes on disk; errno says why not.
bool SyncPath(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  bool synced = fd >= 0 && ::fsync(fd) == 0;
  int errnum = errno;
  if (fd >= 0) ::close(fd);
  errno = errnum;
  return synced;
}

void Install(const std::string& fresh, const std::string& target) {
  struct stat old {};
  if (::stat(target.c_str(), &old) == 0) (void)::chmod(fresh.c_str(), old.st_mode & 07777);
  if (!SyncPath(fresh) || ::rename(fresh.c_str(), target.c_str()) != 0) {
    throw FatalError("Unable to write to " + target + ": " + Why(errno) + "; it keeps the list it held");
  }
}

bool SameBytes(const std::string& a, const std::string& b) {
  std::string left, right;
  return ReadWholeFile(a, left) && ReadWholeFile(b, right) && left == right;
}

// The name of a scratch folder beside a list, up to its random part.
std::string ScratchPrefix(const std::string& list) { return "." + std::string(NamePart(list)) + ".kavrel-"; }

// The names in a folder, hidden ones too, and whether each is a plain
// file; nothing for a folder that cannot be read.
std::vector<std::pair<std::string, bool>> FolderEntries(const std::string& folder) {
  std::vector<std::pair<std::string, bool>> entries;
  if (DIR* dir = ::opendir(folder.c_str())) {
    while (const dirent* entry = ::readdir(dir)) {
      std::string name = entry->d_name;
      if (name == "." || name == "..") continue;
      struct stat status {};
      bool file = ::lstat((folder + "/" + name).c_str(), &status) == 0 && S_ISREG(status.st_mode);
      entries.emplace_back(std::move(name), file);
    }
    ::closedir(dir);
  }
  return entries;
}

// Puts every file of a folder on disk.
bool SyncFilesOf(const std::string& folder) {
  for (const auto& [name, file] : FolderEntries(folder)) {
    if (!SyncPath(folder + "/" + name)) return false;
  }
  return true;
}

// Removes a folder of ours with the files it holds.
void RemoveFolderOfFiles(const std::string& folder) {
  for (const auto& [name, file] : FolderEntries(folder)) {
    if (file) RemoveFileIfPresent(folder + "/" + name);
  }
  (void)::rmdir(folder.c_str());
}

// A folder of our own beside the list, gone again with what it still holds.
class ScratchFolder {
 public:
  explicit ScratchFolder(const std::string& beside) {
    std::string pattern = DirectoryPart(beside) + ScratchPrefix(beside) + "XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
      throw FatalError("Unable to write beside " + beside + ": " + Why(errno) + "; it keeps the list it held");
    }
    path_ = pattern;
  }
  ~ScratchFolder() { RemoveFolderOfFiles(path_); }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// Puts the folder `fresh` in the place of the list folder `target` in one
// step, so that a run killed at any moment leaves the old list or the new
// one, never some files of each. The files of `target` that the run did
// not write again, and those it wrote with the same bytes, are taken over
// by hard links (the same files, untouched); new bytes are synced first.
// False, with `target` as it was, where that cannot be done (a folder that
// holds more than plain files, a file system without an exchange of
// names): the caller then renames file by file.
bool ExchangeFolders(const std::string& fresh, const std::string& target) {
  std::vector<std::pair<std::string, bool>> kept = FolderEntries(target);
  for (const auto& [name, file] : kept) {
    if (!file) return false;
    std::string old = target + "/" + name;
    std::string mine = fresh + "/" + name;
    if (PathExists(mine)) {
      if (!SameBytes(mine, old)) continue;
      RemoveFileIfPresent(mine);
    }
    if (::link(old.c_str(), mine.c_str()) != 0) return false;
  }
  if (!SyncFilesOf(fresh)) return false;
  struct stat old {};
  if (::stat(target.c_str(), &old) != 0) return false;
  (void)::chmod(fresh.c_str(), old.st_mode & 07777);
  (void)::chown(fresh.c_str(), old.st_uid, old.st_gid);
  if (!SyncPath(fresh)) return false;
  if (::renameat2(AT_FDCWD, fresh.c_str(), AT_FDCWD, target.c_str(), RENAME_EXCHANGE) != 0) return false;
  (void)SyncPath(DirectoryPart(target));
  return true;
}

// Removes the scratch folders of runs that were killed while they wrote:
// under the lock no living run owns one.
void RemoveLeftScratch(const std::string& list) {
  std::string parent = DirectoryPart(list);
  std::string prefix = ScratchPrefix(list);
  std::vector<std::string> left;
  if (DIR* dir = ::opendir(parent.c_str())) {
    while (const dirent* entry = ::readdir(dir)) {
      std::string name = entry->d_name;
      if (name.starts_with(prefix) && name.size() == prefix.size() + 6) left.push_back(parent + name);
    }
    ::closedir(dir);
  }
  for (const std::string& folder : left) {
    if (IsDirectory(folder)) RemoveFolderOfFiles(folder);
  }
}

// A new list folder: the scratch folder itself, renamed into place with
// its files on disk. A list folder is the user's to share with a
// receiver's software: the umask decides who reads it.
bool AppearWhole(const std::string& fresh, const std::string& target) {
  if (!SyncFilesOf(fresh)) return false;
  mode_t mask = ::umask(0);
  ::umask(mask);
  if (::chmod(fresh.c_str(), 0777 & ~mask) != 0 || !SyncPath(fresh)) return false;
  if (::rename(fresh.c_str(), target.c_str()) != 0) return false;
  (void)SyncPath(DirectoryPart(target));
  return true;
}

}  // namespace

ListUpdate::ListUpdate(Run& run, const ExtraOptions& options) : run_(run) {
  path_ = options.updatePath;
  if (path_.empty()) return;
  while (path_.size() > 1 && path_.back() == '/') path_.pop_back();
  if (path_[0] != '/') path_ = CurrentDirectory() + "/" + path_;
  outputDir_ = !options.outputDir.empty();
  selection_ = options.positions ? &*options.positions : nullptr;
}

ListUpdate::~ListUpdate() {
  if (lock_ >= 0) ::close(lock_);
}

bool ListUpdate::Refuse(const std::string& why) {
  run_.out.flush();
  run_.diagnostics.CannotStart("--update: " + why);
  return false;
}

bool ListUpdate::Start(bool formatAsked) {
  if (!Active()) return true;
  if (outputDir_) return Refuse("the list is written where it is; -o/--output-dir cannot go with it");
  // A list kept elsewhere behind a symbolic link is updated where it lives:
  // the link goes on pointing at it, and the scratch folder and the lock
  // sit beside the list itself, on its file system.
  struct stat status {};
  if (::lstat(path_.c_str(), &status) == 0 && S_ISLNK(status.st_mode)) {
    char resolved[PATH_MAX];
    if (::realpath(path_.c_str(), resolved) != nullptr) path_ = resolved;
  }
  exists_ = ::stat(path_.c_str(), &status) == 0;
  bool isFolder = exists_ && S_ISDIR(status.st_mode);
  // A pipe or a device is no list: reading one would wait for a writer or
  // never end, and renaming over it would take its place.
  if (exists_ && !isFolder && !S_ISREG(status.st_mode)) {
    return Refuse(path_ + " is neither a file nor a folder; it stays as it was");
  }
  if (!formatAsked) {
    if (!exists_) {
      return Refuse(path_ + " does not exist yet: a new list needs /Format= (x, e or d for a file; i1, i2, i3 or v "
                            "for a folder)");
    }
    if (!isFolder) {
      const OutputFormat* format = FormatOfListFile(path_);
      if (format == nullptr) {
        return Refuse(path_ + " is not a list kavrel can read back (satellites.xml or satellite.dll); it stays as it "
                              "was");
      }
      for (Options* options : {&run_.options, &run_.SavedOptions}) {
        options->FormatCode = format->code;
        for (uint8_t kind : format->switchedOn) {
          if (kind != 0) options->AcceptedKinds.Add(kind);
        }
      }
    }
  }
  uint8_t code = run_.options.FormatCode;
  if (code == kFormatTrp || code == kFormatKathrein) {
    return Refuse("kavrel cannot read /Format=t or /Format=k files back, so it cannot keep such a list up to date");
  }
  folder_ = KeepsFolder(code);
  // The list is read back as an input, where * and ? make a mask: a list
  // named so would take in the other lists its name matches.
  if (!folder_ && NamePart(path_).find_first_of("*?") != std::string_view::npos) {
    return Refuse(path_ + ": a list whose name holds * or ? would be read together with the files the name matches; "
                          "rename it");
  }
  std::string letters = LowerAscii(FindOutputFormat(code)->letters);
  if (exists_ && folder_ != isFolder) {
    return Refuse(path_ + (folder_ ? " is a file; /Format=" + letters + " keeps a folder of files"
                                   : " is a folder; /Format=" + letters + " keeps one file") +
                  "; it stays as it was");
  }
  std::string parent = DirectoryPart(path_);
  if (!IsDirectory(parent)) return Refuse("the folder " + parent + " does not exist");
  if (exists_ && ::access(path_.c_str(), W_OK) != 0) {
    return Refuse(path_ + " cannot be written (" + Why(errno) + "); it stays as it was");
  }
  std::string lockPath = path_ + ".lock";
  lock_ = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (lock_ < 0) return Refuse("cannot open the lock file " + lockPath + ": " + Why(errno));
  if (::flock(lock_, LOCK_EX | LOCK_NB) != 0) {
    return Refuse("another kavrel run is updating " + path_ + " (it holds " + lockPath +
                  "); try again when it has finished");
  }
  RemoveLeftScratch(path_);
  return true;
}

std::string ListUpdate::InputName() const {
  if (!folder_) return path_;
  return path_ + (run_.options.FormatCode == kFormatDvbv5 ? "/*" : "/*.ini");
}

bool ListUpdate::ReadList() {
  if (!Active()) return true;
  // A folder without list files yet is an empty list, not a failed input.
  if (exists_ && !(folder_ && FindMatchingNames(path_, NamePart(InputName())).empty())) {
    // The whole list is kept: a position selection chooses among the
    // inputs of the run, not among the satellites already listed.
    // It is read as it was listed: this run's options judge the inputs
    // that come after it, not what the list already holds.
    run_.sink.SetPositionSelection(nullptr);
    run_.sink.SetKeepAsListed(true);
    ProcessInput(run_.input, InputName());
    run_.sink.SetKeepAsListed(false);
    run_.sink.SetPositionSelection(selection_);
    discard_ = std::make_unique<std::ostream>(nullptr);
    kept_ = std::make_unique<Run>(*discard_, *discard_);
    kept_->options = run_.options;
    kept_->SavedOptions = run_.SavedOptions;
    kept_->input.ConfigPath = run_.input.ConfigPath;
    kept_->sink.SetKeepAsListed(true);
    ProcessInput(kept_->input, InputName());
    // Judged as listed: a list whose every transponder this run's options
    // refuse is still a list.
    if (kept_->catalogue.SatelliteCount() == 0) {
      return Refuse(path_ + " holds no list kavrel can read; it stays as it was");
    }
  }
  run_.sink.ForgetFillers();
  return true;
}

bool ListUpdate::KeepUnreplaced() {
  bool gained = run_.sink.FilledPositions() > 0;
  if (kept_) run_.sink.KeepUnreplaced(kept_->catalogue);
  run_.catalogue.SortSatellites();
  return gained;
}

namespace {

// The writers' progress lines, held while they write in the scratch folder
// and then shown with the list's own folder where they name the scratch
// one: the files they announce end up there.
class ProgressInPlace {
 public:
  ProgressInPlace(std::ostream& out, std::string scratch, std::string shown)
      : out_(out), scratch_(std::move(scratch) + "/"), shown_(std::move(shown) + "/"), own_(out.rdbuf(&held_)) {}
  ~ProgressInPlace() {
    out_.rdbuf(own_);
    std::string text = held_.str();
    for (size_t at = 0; (at = text.find(scratch_, at)) != std::string::npos; at += shown_.size()) {
      text.replace(at, scratch_.size(), shown_);
    }
    out_ << text;
  }
  ProgressInPlace(const ProgressInPlace&) = delete;
  ProgressInPlace& operator=(const ProgressInPlace&) = delete;

 private:
  std::ostream& out_;
  std::string scratch_, shown_;
  std::stringbuf held_;
  std::streambuf* own_;
};

}  // namespace

void ListUpdate::Write() {
  ScratchFolder scratch(path_);
  try {
    std::string parent = DirectoryPart(path_);
    parent.pop_back();  // its last "/"
    ProgressInPlace progress(run_.out, scratch.path(), folder_ ? path_ : parent);
    ExtraRun::InOutputFolder inScratch(scratch.path());
    WriteCatalogue(run_);
  } catch (const FatalError& error) {
    // The writer names its file in the scratch folder, which is gone by the
    // time the user reads the message; what matters is that PATH is whole.
    std::string why = error.what();
    for (size_t at; (at = why.find(scratch.path() + "/")) != std::string::npos;) {
      why.erase(at, scratch.path().size() + 1);
    }
    throw FatalError("Unable to write to " + path_ + " (" + why + "); it keeps the list it held");
  }
  std::vector<std::string> names = FindMatchingNames(scratch.path(), "*");
  if (!folder_) {
    if (names.size() != 1) throw FatalError("Unable to write to " + path_ + ": the format wrote no single file");
    Install(scratch.path() + "/" + names[0], path_);
    return;
  }
  if (exists_ && ExchangeFolders(scratch.path(), path_)) return;
  if (!exists_ && AppearWhole(scratch.path(), path_)) return;
  // A list folder is the user's to share with a receiver's software: the
  // umask decides who reads it.
  if (!exists_ && ::mkdir(path_.c_str(), 0777) != 0) {
    throw FatalError("Unable to create the folder " + path_ + ": " + Why(errno));
  }
  for (const std::string& name : names) {
    std::string target = path_ + "/" + name;
    if (!SameBytes(scratch.path() + "/" + name, target)) Install(scratch.path() + "/" + name, target);
  }
}

}  // namespace kavrel
