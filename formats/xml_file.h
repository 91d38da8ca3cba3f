// The XML satellites file: the whole catalogue (DVB-S only) in one text file.
#ifndef KAVREL_FORMATS_XML_FILE_H
#define KAVREL_FORMATS_XML_FILE_H

#include <string>

namespace kavrel {

struct Run;

// Prints "Writting XML file..." and writes satellites.xml (or the first free
// numbered name) in the current directory.
void WriteXmlFile(Run& run);

// Reads one XML satellites file into the catalogue through admission.
void ReadXmlFile(Run& run, const std::string& path);

}  // namespace kavrel

#endif
