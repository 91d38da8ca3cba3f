#include "app/config_location.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "platform/fatal_error.h"
#include "platform/file_system.h"

namespace kavrel {

std::string ConfigPathFor(const std::string& programPath) {
  std::string name(NamePart(programPath));
  size_t dot = name.find('.');
  if (dot != std::string::npos) name.resize(dot);
  return DirectoryPart(programPath) + name + ".ini";
}

namespace {

constexpr const char* kInstalledName = "kavrel/kavrel.ini";

// "/usr/" for "/usr/bin/", when the program stands in an installed tree.
std::string InstalledPrefix(const std::string& programPath) {
  std::string directory = DirectoryPart(programPath);
  constexpr std::string_view kBin = "bin/";
  if (!directory.ends_with(kBin)) return std::string();
  std::string prefix = directory.substr(0, directory.size() - kBin.size());
  return IsDirectory(prefix + "share/kavrel") ? prefix : std::string();
}

std::string Reason(int errnum) { return std::strerror(errnum); }

}  // namespace

ConfigLocation LocateConfiguration(const std::string& programPath, const EnvironmentLookup& environment) {
  ConfigLocation location;
  const char* chosen = environment("KAVREL_CONFIG");
  if (chosen != nullptr && *chosen != '\0') {
    location.path = chosen;
    if (IsDirectory(location.path)) {
      location.error = "KAVREL_CONFIG names a directory, not a configuration file: " + location.path;
    }
    return location;
  }
  std::string prefix = InstalledPrefix(programPath);
  if (prefix.empty()) {
    location.path = ConfigPathFor(programPath);
    return location;
  }

  std::string base;
  const char* xdg = environment("XDG_CONFIG_HOME");
  const char* home = environment("HOME");
  // Relative values are to be ignored, as the XDG directories are defined.
  if (xdg != nullptr && xdg[0] == '/') {
    base = xdg;
  } else if (home != nullptr && home[0] == '/') {
    base = std::string(home) + "/.config";
  } else {
    location.error = "neither XDG_CONFIG_HOME nor HOME names a directory for the configuration; "
                     "set KAVREL_CONFIG to the configuration file to use";
    return location;
  }
  if (!base.ends_with('/')) base += '/';
  location.path = base + kInstalledName;
  if (PathExists(location.path)) {
    if (IsDirectory(location.path)) location.error = "the configuration file is a directory: " + location.path;
    return location;
  }

  std::string templatePath = prefix + "share/" + kInstalledName;
  std::string contents;
  errno = 0;
  bool readable = false;
  try {
    readable = ReadWholeFile(templatePath, contents);
  } catch (const FatalError&) {
    readable = false;
  }
  if (!readable) {
    location.note = "cannot read the configuration template " + templatePath +
                    "; starting with the built-in defaults";
    return location;
  }
  std::string directory = DirectoryPart(location.path);
  if (!MakeDirectories(directory.substr(0, directory.size() - 1))) {
    location.note = "cannot create " + directory + " (" + Reason(errno) + "); starting with the built-in defaults";
    return location;
  }
  try {
    // Written whole or not at all: a run that dies here leaves no half file
    // that later runs would read.
    ReplaceFileAtomically(location.path, contents);
  } catch (const FatalError& failure) {
    location.note = std::string(failure.what()) + "; starting with the built-in defaults";
  }
  return location;
}

std::string LocatePageCache(const std::string& programPath, const EnvironmentLookup& environment) {
  auto folder = [](std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
  };
  const char* chosen = environment("KAVREL_CACHE");
  const char* xdg = environment("XDG_CACHE_HOME");
  const char* home = environment("HOME");
  std::string root;
  if (chosen != nullptr && *chosen != '\0') {
    root = folder(chosen);
  } else if (InstalledPrefix(programPath).empty()) {
    root = DirectoryPart(programPath) + "cache";
  } else if (xdg != nullptr && xdg[0] == '/') {
    root = folder(xdg) + "/kavrel";
  } else if (home != nullptr && home[0] == '/') {
    root = folder(home) + "/.cache/kavrel";
  } else {
    return std::string();
  }
  return root + "/pages";
}

}  // namespace kavrel
