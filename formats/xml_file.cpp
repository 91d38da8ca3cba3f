#include "formats/xml_file.h"

#include "catalogue/run.h"

namespace kavrel {

void WriteXmlFile(Run& run) { run.out << "Writting XML file..." << '\n'; }

void ReadXmlFile(Run&, const std::string&) {}

}  // namespace kavrel
