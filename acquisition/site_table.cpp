#include "acquisition/site_table.h"

#include "parsers/flysat_parser.h"
#include "parsers/kingofsat_parser.h"
#include "parsers/kingofsat_today_parser.h"
#include "parsers/lyngsat_parser.h"
#include "parsers/lyngsat_today_parser.h"
#include "parsers/satcodx_parser.h"
#include "parsers/telesputnik_parser.h"
#include "platform/line_reader.h"
#include "platform/text.h"

namespace kavrel {

namespace {

constexpr SiteRow kSites[] = {
    // Today's markups first: each recognizes only its own pages.
    {kSiteLyngSat, "LyngSat", 'l', "LYNGSAT", 2, 1, "lyngsat", IsTodaysLyngSatPage, ParseTodaysLyngSatPage},
    {kSiteKingOfSat, "KingOfSat", 'k', "KINGOFSAT", 5, 5, "kingofsat", IsTodaysKingOfSatPage,
     ParseTodaysKingOfSatPage},
    {kSiteLyngSat, "LyngSat", 'l', "LYNGSAT", 2, 1, "lyngsat", nullptr, ParseLyngSatPage},
    {kSiteSatcoDX, "SatcoDX", 's', "SATCODX", 1, 2, "satcodx", nullptr, ParseSatcoDXPage},
    {kSiteTelesputnik, "Telesputnik", 't', "TELESPUTNIK", 3, 3, "telesputnik", nullptr, ParseTelesputnikPage},
    {kSiteFlySat, "FlySat", 'f', "FLYSAT", 4, 4, "flysat", nullptr, ParseFlySatPage},
    {kSiteKingOfSat, "KingOfSat", 'k', "KINGOFSAT", 5, 5, "kingofsat", nullptr, ParseKingOfSatPage},
};

}  // namespace

const SiteRow* FindSiteRow(SiteType site) {
  for (const SiteRow& row : kSites) {
    if (row.site == site) return &row;
  }
  return nullptr;
}

const SiteRow* PageReaderRow(SiteType site, std::string_view page) {
  for (const SiteRow& row : kSites) {
    if (row.site == site && (row.recognizes == nullptr || row.recognizes(page))) return &row;
  }
  return nullptr;
}

const SiteRow* SiteOfLetter(char letter) {
  for (const SiteRow& row : kSites) {
    if (row.letter == letter) return &row;
  }
  return nullptr;
}

SiteType SiteOfAddress(std::string_view address) {
  std::string upper = UpperAscii(address);
  const SiteRow* found = nullptr;
  for (const SiteRow& row : kSites) {
    if (upper.find(row.marker) == std::string::npos) continue;
    if (found == nullptr || row.addressRank > found->addressRank) found = &row;
  }
  return found ? found->site : kSiteNone;
}

SiteType DetectPageSite(std::string_view page) {
  LineReader reader(page);
  while (!reader.AtEnd()) {
    std::string line = UpperAscii(reader.ReadTextLine());
    const SiteRow* found = nullptr;
    for (const SiteRow& row : kSites) {
      if (line.find(row.marker) == std::string::npos) continue;
      if (found == nullptr || row.pageRank < found->pageRank) found = &row;
    }
    if (found) return found->site;
  }
  return kSiteNone;
}

}  // namespace kavrel
