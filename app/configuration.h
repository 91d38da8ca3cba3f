// The configuration file's section "Common": a user's preferred options,
// read at every start between the defaults and the command line, written
// back at the end of a run with "/S".
//
//   AcceptDVBS2, AcceptDSS, AcceptData, AcceptFeeds, ConvertPolararization,
//   ConvertCBand, AcceptKu, AcceptC, AcceptLinear, AcceptCircular   on|off
//   MinSR, MaxSR                                                    integers
//   KeepHTML, AddProvidersInfo                                      on|off
//   SaveFormat              ini1|ini2|ini3|xml|dll|trp|kat
//   ProxyHost, ProxyPort, ProxyUser, ProxyPassword (stored in clear)
//
// and, read but never written by /S, the settings of secure downloads:
//
//   UserAgent                 the User-Agent sent (empty: kavrel's own)
//   PageDelay                 milliseconds between two requests to a host
//   MaxPageSize               bytes a page may take, received or decoded
//   PageDeadline              seconds fetching a page may take (0: four
//                             times the network time limit)
//
// The other sections of the file (the sites' page addresses) belong to
// the site table and are never touched here. The keys, their fields and
// text forms are one table in configuration.cpp.
#ifndef KAVREL_APP_CONFIGURATION_H
#define KAVREL_APP_CONFIGURATION_H

namespace kavrel {

struct Run;

// Reads section "Common" of the configuration file over the live options
// and ProvidersInfo, and the download settings into the input context.
// Missing file, section or key: the value takes its default; a switch is on only for exactly "on"; an integer that is not
// one takes its default; an unknown SaveFormat leaves the format as it is.
void LoadConfiguration(Run& run);

// Writes the nineteen option keys of section "Common" from the live
// options, in their fixed order, keeping every other key and section, and replaces the
// file in one step. A refused write ends the run with
// "Unable to write to <path>" and leaves the old file as it was.
void SaveConfiguration(Run& run);

}  // namespace kavrel

#endif
