// The run's spine: banner, usage, option assembly (defaults, configuration
// file, command line), the input, the sort and exactly one writer.
#ifndef KAVREL_APP_MAIN_PROGRAM_H
#define KAVREL_APP_MAIN_PROGRAM_H

#include <cstdlib>
#include <string>

#include <vector>

#include "app/config_location.h"

namespace kavrel {

struct Run;

constexpr const char* kBanner = "---- Kavrel v2.45b ----";

// Runs kavrel on a whole command line (the program's path first) and returns
// the exit code. Errors that end the run are thrown as FatalError.
// The environment (KAVREL_CONFIG, XDG_CONFIG_HOME, HOME) decides where the
// configuration is. Exit codes: 0 every input read, 2 some input gave
// nothing (each said so on standard error), 1 the run could not go on.
int RunProgram(Run& run, const std::vector<std::string>& arguments,
               const EnvironmentLookup& environment = [](const char* name) { return std::getenv(name); });

}  // namespace kavrel

#endif
