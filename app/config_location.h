// Where the configuration file of a run is. A kavrel run from where it was
// built keeps it beside the program; an installed one, shared by every
// user of the machine, keeps one per user under the XDG configuration
// directory, made from the installed template on first use.
#ifndef KAVREL_APP_CONFIG_LOCATION_H
#define KAVREL_APP_CONFIG_LOCATION_H

#include <functional>
#include <string>

namespace kavrel {

// The value of an environment variable, or nullptr when it is not set.
using EnvironmentLookup = std::function<const char*(const char* name)>;

struct ConfigLocation {
  std::string path;   // the configuration file to read and /S to write
  std::string error;  // non-empty: the run cannot go on (standard error, exit 1)
  std::string note;   // non-empty: a warning for standard error; the run goes on
};

// The configuration file of a program: its directory, its file name cut
// before the first ".", and ".ini" (/opt/kavrel/kavrel -> /opt/kavrel/kavrel.ini,
// /x/my.tool -> /x/my.ini).
std::string ConfigPathFor(const std::string& programPath);

// KAVREL_CONFIG when set; else, for a program in <prefix>/bin with a
// <prefix>/share/kavrel, $XDG_CONFIG_HOME/kavrel/kavrel.ini (or
// $HOME/.config/kavrel/kavrel.ini), copied from
// <prefix>/share/kavrel/kavrel.ini when it does not exist yet; else the
// file beside the program.
ConfigLocation LocateConfiguration(const std::string& programPath, const EnvironmentLookup& environment);

// The folder of the page cache: KAVREL_CACHE/pages when set; else, for a
// program run from where it was built, cache/pages beside it; else
// $XDG_CACHE_HOME/kavrel/pages (or $HOME/.cache/kavrel/pages). Empty when
// none of them names a folder.
std::string LocatePageCache(const std::string& programPath, const EnvironmentLookup& environment);

}  // namespace kavrel

#endif
