// The site table: one row per listing site (or per markup of a site), with
// everything that tells inputs, addresses and saved pages of that site
// apart. A new site, or a new markup of a site, is one row here and one
// parser in parsers/. The rows of one site share its letter, markers and
// section and differ in the markup they read: a page goes to the first row
// of its site that recognizes it.
#ifndef KAVREL_ACQUISITION_SITE_TABLE_H
#define KAVREL_ACQUISITION_SITE_TABLE_H

#include <span>
#include <string_view>

#include "catalogue/satellite_sink.h"

namespace kavrel {

enum SiteType : int {
  kSiteNone = 0,
  kSiteLyngSat = 1,
  kSiteSatcoDX = 2,
  kSiteTelesputnik = 3,
  kSiteFlySat = 4,
  kSiteKingOfSat = 5,
};

struct SiteRow {
  SiteType site;
  // The site's name as messages write it.
  std::string_view name;
  // The letter of "!<letter>!<position>" inputs.
  char letter;
  // The site's name as it stands, in capitals, in its page addresses and
  // in the text of its saved pages.
  std::string_view marker;
  // When several markers stand in one page address, the one of highest
  // address rank names the site.
  int addressRank;
  // When several markers stand in one line of a saved page, the one of
  // lowest page rank names the site.
  int pageRank;
  // The configuration section that lists the site's page addresses.
  std::string_view section;
  // Whether a page of the site is in the markup this row reads; nullptr
  // for the row that takes every page no earlier row took.
  bool (*recognizes)(std::string_view page);
  Producer parse;
};

// The first row of a site, or nullptr for kSiteNone.
const SiteRow* FindSiteRow(SiteType site);

// The row that reads a page of a site: the first of the site's rows that
// recognizes it; nullptr for kSiteNone.
const SiteRow* PageReaderRow(SiteType site, std::string_view page);

// The row of a "!<letter>!" letter, or nullptr.
const SiteRow* SiteOfLetter(char letter);

// The site a page address names: of the markers it holds (letter case
// ignored), the one of highest address rank; kSiteNone for none.
SiteType SiteOfAddress(std::string_view address);

// The site a saved page belongs to: the first line that holds a marker
// (letter case ignored) decides, by the lowest page rank in that line;
// kSiteNone when no line holds one.
SiteType DetectPageSite(std::string_view page);

}  // namespace kavrel

#endif
