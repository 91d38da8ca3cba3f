#include "app/configuration.h"

#include "catalogue/run.h"

namespace kavrel {

// The section is not read or written yet: a run works from the defaults and
// its command line.
void LoadConfiguration(Run&) {}

void SaveConfiguration(Run&) {}

}  // namespace kavrel
