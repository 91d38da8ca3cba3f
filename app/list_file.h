// List files: one input per line, each line optionally followed by options
// of its own.
#ifndef KAVREL_APP_LIST_FILE_H
#define KAVREL_APP_LIST_FILE_H

#include <string>

namespace kavrel {

struct Run;

// Runs every line of a list file, each from the saved options plus its own.
// A missing list file does nothing.
void ProcessListFile(Run& run, const std::string& path);

}  // namespace kavrel

#endif
