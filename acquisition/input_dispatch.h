// Input dispatch: what an input argument or list line names, and where it
// goes. Local files go to the reader their extension names or, for any other
// file, to the parser of the site the page's text names.
#ifndef KAVREL_ACQUISITION_INPUT_DISPATCH_H
#define KAVREL_ACQUISITION_INPUT_DISPATCH_H

#include <cstdint>
#include <string>
#include <string_view>

namespace kavrel {

struct Run;

enum SiteType : int {
  kSiteNone = 0,
  kSiteLyngSat = 1,
  kSiteSatcoDX = 2,
  kSiteTelesputnik = 3,
  kSiteFlySat = 4,
  kSiteKingOfSat = 5,
};

enum class InputKind { kPageAddress, kSitePosition, kLocalFiles };

// What an input (after a leading "+") names.
InputKind ClassifyInput(std::string_view input);

// A site position input "!<id>!<position>" or "!<id>![<range>]" read into
// its site and the first and last position of its walk (before the walk
// adds 3600 to an end below the start).
struct SitePositionInput {
  SiteType site = kSiteNone;
  int32_t walkStart = -1;
  int32_t walkEnd = -1;
};
SitePositionInput ParseSitePositionInput(std::string_view input);

// The site a page address names: the last match in the order SATCODX,
// LYNGSAT, TELESPUTNIK, FLYSAT, KINGOFSAT, letter case ignored.
SiteType SiteOfAddress(std::string_view address);

struct PositionRange {
  int32_t start = -1;
  int32_t end = -1;
};
// "[300w-970e]" -> 3300, 970; both -1 when the text is malformed.
PositionRange ParsePositionRange(std::string_view text);

// Processes one input: a page address, a site position input, or a local
// file name or mask. A leading "+" merges into known satellites.
void ProcessInput(Run& run, std::string input);

// Runs every line of a list file, each from the saved options plus its own.
// A missing list file does nothing.
void ProcessListFile(Run& run, const std::string& path);

// The site a saved page belongs to: the first line that names one decides,
// in the order LYNGSAT, SATCODX, TELESPUTNIK, FLYSAT, KINGOFSAT.
SiteType DetectPageSite(const std::string& path);

// Runs the parser of the site; 0 on success, non-zero when the parser gave
// up on the page. A page of no known site is left alone (0).
int ParsePage(Run& run, const std::string& path, SiteType site);

}  // namespace kavrel

#endif
