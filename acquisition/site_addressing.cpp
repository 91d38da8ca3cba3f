#include "acquisition/site_addressing.h"

#include <cstdlib>

#include "platform/int_text.h"
#include "platform/profile_file.h"
#include "platform/unique_file_name.h"

namespace kavrel {

namespace {

// Longer names would not fit a file name on most file systems; the cut
// keeps room for a "(n)" number.
constexpr size_t kMaxPageNameLength = 200;

}  // namespace

std::string FindSitePageAddress(TIniFile& configuration, SiteType site, int32_t position) {
  const SiteRow* row = FindSiteRow(site);
  if (row == nullptr) return std::string();
  std::string_view section = row->section;
  std::string address = configuration.ReadString(section, PaddedDecimalText(position, 4), "");
  if (address.empty()) {
    int64_t distance = std::llabs(static_cast<int64_t>(position) - kFullCircle);
    address = configuration.ReadString(section, "-" + PaddedDecimalText(distance, 4), "");
  }
  return address;
}

std::string LocalPageName(std::string_view address) {
  size_t slash = address.rfind('/');
  std::string name = slash == std::string_view::npos ? std::string() : std::string(address.substr(slash + 1));
  size_t dot = name.rfind('.');
  if (dot != std::string::npos && name.size() - dot > 5) {
    name.resize(name.find('.') + 1);
    name += "htm";
  }
  if (name.size() > kMaxPageNameLength) {
    dot = name.rfind('.');
    std::string extension = dot == std::string::npos ? std::string() : name.substr(dot);
    name = name.substr(0, kMaxPageNameLength - extension.size()) + extension;
  }
  if (name.empty() || name == "." || name == "..") name = "index.htm";
  return UniqueFileName(name);
}

}  // namespace kavrel
