// What a writer needs of the run besides the catalogue. Kept apart from the
// format table so that a writer does not depend on the table that lists it.
#ifndef KAVREL_FORMATS_WRITER_CONTEXT_H
#define KAVREL_FORMATS_WRITER_CONTEXT_H

#include <ostream>

namespace kavrel {

struct WriterContext {
  std::ostream& out;           // progress lines
  bool ProvidersInfo = false;  // INI lines carry the providers text
};

}  // namespace kavrel

#endif
