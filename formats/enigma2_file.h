// satellites.xml as today's Enigma2 receivers read it: UTF-8, every DVB-S
// and DVB-S2 transponder with its stream, roll-off and pilot attributes.
#ifndef KAVREL_FORMATS_ENIGMA2_FILE_H
#define KAVREL_FORMATS_ENIGMA2_FILE_H

#include "formats/format_table.h"

namespace kavrel {

// Prints "Writting Enigma2 XML file..." and, unless the catalogue is
// empty, writes satellites.xml (or the first free numbered name).
void WriteEnigma2File(const Catalogue& catalogue, const WriterContext& context);

}  // namespace kavrel

#endif
