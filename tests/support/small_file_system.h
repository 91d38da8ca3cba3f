// A directory on a small file system of its own, mounted for one test (a
// full disk, a read-only one); only root can mount, so tests skip without.
#ifndef KAVREL_TESTS_SUPPORT_SMALL_FILE_SYSTEM_H
#define KAVREL_TESTS_SUPPORT_SMALL_FILE_SYSTEM_H

#include <sys/mount.h>

#include <string>

namespace kavrel::testing {

class SmallFileSystem {
 public:
  SmallFileSystem(const std::string& path, const std::string& options) : path_(path) {
    mounted_ = ::mount("tmpfs", path.c_str(), "tmpfs", 0, options.c_str()) == 0;
  }
  ~SmallFileSystem() {
    if (mounted_) ::umount2(path_.c_str(), MNT_DETACH);
  }
  SmallFileSystem(const SmallFileSystem&) = delete;
  SmallFileSystem& operator=(const SmallFileSystem&) = delete;
  bool mounted() const { return mounted_; }
  void MakeReadOnly() { ::mount("tmpfs", path_.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr); }

 private:
  std::string path_;
  bool mounted_ = false;
};

}  // namespace kavrel::testing

#endif
