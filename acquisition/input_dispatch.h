// Input dispatch: what an input argument or list line names, and where it
// goes. Local files are read whole and go to the reader their extension
// names or, for any other file, to the parser of the site the page's text
// names; page addresses and site positions are fetched first.
#ifndef KAVREL_ACQUISITION_INPUT_DISPATCH_H
#define KAVREL_ACQUISITION_INPUT_DISPATCH_H

#include <cstdint>
#include <string>
#include <string_view>

#include "acquisition/input_context.h"
#include "acquisition/site_table.h"

namespace kavrel {

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
  bool range = false;           // "[...]"
  bool malformedRange = false;  // a range ParsePositionRange refused
};
SitePositionInput ParseSitePositionInput(std::string_view input);

struct PositionRange {
  int32_t start = -1;
  int32_t end = -1;
  bool wellFormed = false;
};
// "[300w-970e]" -> 3300, 970; both -1 when the text is malformed.
PositionRange ParsePositionRange(std::string_view text);

// Processes one input: a page address, a site position input, or a local
// file name or mask. A leading "+" merges into known satellites.
void ProcessInput(InputContext& context, std::string input);

// Runs the parser of the site's markup that recognizes the page; a page of
// no known site is left alone (kRead).
ProducerResult ParsePage(SatelliteSink& sink, const SourceText& page, SiteType site);

}  // namespace kavrel

#endif
