// The configuration file's section "Common": a user's preferred options,
// read at every start between the defaults and the command line, written
// back at the end of a run with "/S".
#ifndef KAVREL_APP_CONFIGURATION_H
#define KAVREL_APP_CONFIGURATION_H

namespace kavrel {

struct Run;

// Reads section "Common" of the configuration file over the live options.
void LoadConfiguration(Run& run);

// Writes the live options to section "Common", keeping everything else.
void SaveConfiguration(Run& run);

}  // namespace kavrel

#endif
