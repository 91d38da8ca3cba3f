// The option parser.
//
// Options arrive as one token text: the program arguments 2 to N each
// preceded by one blank, or the rest of a list line from its first blank
// on. Tokens are taken off the end of the text, so options apply from the
// last to the first and the leftmost of two contradicting options wins. An
// empty token (two blanks in a row, an empty argument, a trailing blank)
// ends the parsing.
#ifndef KAVREL_APP_OPTION_PARSER_H
#define KAVREL_APP_OPTION_PARSER_H

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/options.h"

namespace kavrel {

struct Run;

// " arg2 arg3 ...": every argument after the input, each after one blank.
// `arguments` holds the whole command line, the program's path first.
std::string CollectOptionTokens(const std::vector<std::string>& arguments);

// Takes the token after the last blank off the text; empty (and the text
// unchanged) when the text holds no blank.
std::string NextOptionToken(std::string& tokenText);

// Applies the tokens of the text to `options` (and the run-wide
// ProvidersInfo). Bad switches print "Error in parameters - <token>" and the
// parsing goes on; unknown tokens change nothing. Every token that could
// not be read is named on standard error with its cause ("kavrel:
// <token>: <cause>", after "@<list>: " for the tokens of a line of the
// list file `listFile`), and the exit status tells.
void ParseOptions(Run& run, std::string tokenText, Options& options, std::string_view listFile = {});

void ReportParameterError(std::ostream& out, const std::string& token);

// The usage text of a run without arguments.
void PrintUsage(std::ostream& out);

// The usage text as --help gives it: every format beside the others and
// examples quoted for a shell.
void PrintHelp(std::ostream& out);

}  // namespace kavrel

#endif
