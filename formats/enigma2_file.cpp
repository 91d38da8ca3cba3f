#include "formats/enigma2_file.h"

namespace kavrel {

void WriteEnigma2File(const Catalogue&, const WriterContext& context) {
  context.out << "Writting Enigma2 XML file..." << '\n';
}

}  // namespace kavrel
