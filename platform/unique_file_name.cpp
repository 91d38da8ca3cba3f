#include "platform/unique_file_name.h"

#include <cerrno>
#include <optional>

#include "platform/fatal_error.h"
#include "platform/int_text.h"

namespace kavrel {

std::string NumberedFileName(const std::string& fileName, int64_t index) {
  if (index == 0) return fileName;
  std::string directory = DirectoryPart(fileName);
  std::string_view name = NamePart(fileName);
  size_t dot = name.rfind('.');
  std::string_view extension = dot == std::string_view::npos ? std::string_view() : name.substr(dot);
  std::string_view base = extension.empty() ? name : name.substr(0, name.find(extension));
  return directory + std::string(base) + "(" + DecimalText(index) + ")" + std::string(extension);
}

std::string UniqueFileName(const std::string& fileName) {
  std::string name = fileName;
  for (int64_t i = 1; PathExists(name) && i <= INT32_MAX; ++i) name = NumberedFileName(fileName, i);
  return name;
}

OutputFile CreateUniqueFile(const std::string& fileName) {
  return OutputFile::CreateUnique(
      [&fileName](int64_t index) { return NumberedFileName(fileName, index); });
}

std::string PathInCurrentDirectory(const std::string& name) {
  return CurrentDirectory() + "/" + name;
}

OutputFile AnnounceAndCreate(std::ostream& out, const std::function<std::string(int64_t)>& nameFor,
                             const std::function<std::string(const std::string& path)>& refused) {
  std::string directory = CurrentDirectory() + "/";
  for (int64_t index = 0; index <= INT32_MAX; ++index) {
    std::string name = nameFor(index);
    if (PathExists(name)) continue;
    out << "Creating " << directory << name << "..." << '\n';
    int errnum = 0;
    std::optional<OutputFile> file = OutputFile::TryCreateExclusive(name, errnum);
    if (file) return std::move(*file);
    if (errnum == EEXIST) continue;
    if (refused) throw FatalError(refused(directory + name));
    ThrowFileError("Cannot create", name, errnum);
  }
  throw FatalError("Cannot create " + directory + nameFor(0) + ": every numbered name is taken");
}

}  // namespace kavrel
