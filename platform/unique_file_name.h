// Output names that never overwrite: when a name is taken, "(1)", "(2)", ...
// go before its extension and the first free name is used. Shared by the
// XML, DLL and Kathrein writers and by the names of downloaded pages.
#ifndef KAVREL_PLATFORM_UNIQUE_FILE_NAME_H
#define KAVREL_PLATFORM_UNIQUE_FILE_NAME_H

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>

#include "platform/file_system.h"

namespace kavrel {

// The name with number `index` inserted: index 0 is the name itself, any
// other is directory + base + "(" + index + ")" + extension. The extension
// is the text from the last "." of the name part on, and the base the name
// part before the first occurrence of that text; a name part without "."
// has no extension and is the base whole ("page" -> "page(1)").
std::string NumberedFileName(const std::string& fileName, int64_t index);

// The first of NumberedFileName(fileName, 0), (…, 1), (…, 2), ... that does
// not exist (up to index 2147483647).
std::string UniqueFileName(const std::string& fileName);

// Creates the first free numbered name exclusively; a name that another
// process takes between the test and the creation is passed over for the
// next. A creation that fails for another reason ends the run.
OutputFile CreateUniqueFile(const std::string& fileName);

// The current directory, "/" and the name: how the writers print the files
// they create.
std::string PathInCurrentDirectory(const std::string& name);

// For writers that announce their files: takes the first free name that
// `nameFor` gives (index 0, 1, 2, ...), prints "Creating <current
// directory>/<name>..." and then creates it exclusively. Should another
// process take the name in between, the next free name is announced and
// taken. When the creation fails for another reason, `refused` gives the
// text of the error that ends the run (by default "Cannot create <path>:
// <reason>").
OutputFile AnnounceAndCreate(std::ostream& out, const std::function<std::string(int64_t)>& nameFor,
                             const std::function<std::string(const std::string& path)>& refused = nullptr);

}  // namespace kavrel

#endif
