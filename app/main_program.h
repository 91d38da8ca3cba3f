// The run's spine: banner, usage, option assembly (defaults, configuration
// file, command line), the input, the sort and exactly one writer.
#ifndef KAVREL_APP_MAIN_PROGRAM_H
#define KAVREL_APP_MAIN_PROGRAM_H

#include <string>
#include <vector>

namespace kavrel {

struct Run;

constexpr const char* kBanner = "---- Kavrel v2.45b ----";

// The configuration file of a program: its directory, its file name cut
// before the first ".", and ".ini" (/opt/kavrel/kavrel -> /opt/kavrel/kavrel.ini,
// /x/my.tool -> /x/my.ini).
std::string ConfigPathFor(const std::string& programPath);

// Runs kavrel on a whole command line (the program's path first) and returns
// the exit code. Errors that end the run are thrown as FatalError.
int RunProgram(Run& run, const std::vector<std::string>& arguments);

// Calls the writer that the format code selects.
void WriteCatalogue(Run& run);

}  // namespace kavrel

#endif
