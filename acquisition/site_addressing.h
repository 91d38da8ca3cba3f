// Site addressing: the configuration file holds, per site, the page address
// of each orbital position; downloaded pages are stored under a local name
// taken from the address.
#ifndef KAVREL_ACQUISITION_SITE_ADDRESSING_H
#define KAVREL_ACQUISITION_SITE_ADDRESSING_H

#include <cstdint>
#include <string>
#include <string_view>

#include "acquisition/site_table.h"

namespace kavrel {

class TIniFile;

// The page address of a site for a position, from the site's section of
// the configuration file: the key "%.4d" of the position, else the West
// key "-" + "%.4d" of |position - 3600| (3300 may be listed as -0300).
// Empty when the table holds neither.
std::string FindSitePageAddress(TIniFile& configuration, SiteType site, int32_t position);

// A name for a downloaded page in the current directory that does not exist
// yet: the address's last segment ("index.htm" when it has none), a script
// address such as freq-tab.pl?sat=30 turned into freq-tab.htm, numbered
// when taken (index(1).htm).
std::string LocalPageName(std::string_view address);

}  // namespace kavrel

#endif
