#include "support/scratch_dir.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace kavrel::testing {

ScratchDir::ScratchDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "kavrel-test-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  // Tests may leave read-only directories behind; make them removable.
  for (auto it = std::filesystem::recursive_directory_iterator(path_, ignored);
       it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
    std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
  }
  std::filesystem::remove_all(path_, ignored);
}

std::string ScratchDir::At(const std::string& name) const { return path_ + "/" + name; }

void ScratchDir::Write(const std::string& name, const std::string& bytes) const {
  std::ofstream out(At(name), std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + At(name));
}

std::string ScratchDir::Read(const std::string& name) const {
  std::ifstream in(At(name), std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + At(name));
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

bool ScratchDir::Exists(const std::string& name) const {
  return std::filesystem::exists(std::filesystem::symlink_status(At(name)));
}

std::vector<std::string> ScratchDir::Names() const {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(path_)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

void ScratchDir::MakeDir(const std::string& name) const { std::filesystem::create_directories(At(name)); }

CurrentDirectoryGuard::CurrentDirectoryGuard(const std::string& directory)
    : old_(std::filesystem::current_path().string()) {
  std::filesystem::current_path(directory);
}

CurrentDirectoryGuard::~CurrentDirectoryGuard() {
  std::error_code ignored;
  std::filesystem::current_path(old_, ignored);
}

}  // namespace kavrel::testing
