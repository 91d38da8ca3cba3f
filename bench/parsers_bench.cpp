// Page reading speed: each parser reads a 5 MB page of its own site's
// markup, made of transponder rows with channel lines between them.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "app/run.h"
#include "parsers/flysat_parser.h"
#include "parsers/kingofsat_parser.h"
#include "parsers/kingofsat_today_parser.h"
#include "parsers/lyngsat_parser.h"
#include "parsers/lyngsat_today_parser.h"
#include "parsers/satcodx_parser.h"
#include "parsers/telesputnik_parser.h"
#include "platform/file_system.h"

namespace kavrel {
namespace {

constexpr size_t kPageSize = 5u << 20;

// A few lines of a channel listing, as the sites print between rows.
const std::string kChannelLines =
    "<tr><td><font face=\"Arial\" size=1><a href=\"channel.html\">Example Channel</a></font></td>\n"
    "<td align=\"center\"><font face=\"Verdana\" size=1>MPEG-2/FTA</font></td>\n"
    "<td align=\"center\"><font face=\"Verdana\" size=1>V 512 A 650 eng</font></td>\n"
    "<td align=\"center\"><font face=\"Verdana\" size=1>SID 1234</font></td></tr>\n";

// Frequencies walk the Ku band in both polarizations, so that the
// catalogue sees new transponders and duplicates alike.
std::string Frequency(int row) { return std::to_string(10700 + (row * 7) % 2050); }
char Polarization(int row) { return row % 2 ? 'V' : 'H'; }
// The frequency in GHz with a decimal mark: "11.727" or "11,727".
std::string Gigahertz(int row, char mark) {
  std::string mhz = Frequency(row);
  return mhz.substr(0, 2) + mark + mhz.substr(2);
}

std::string LyngSatRow(int i) {
  return "<tr>\n<td rowspan=2 align=\"center\"><font face=\"Verdana\" size=2><b>" + Frequency(i) +
         ' ' + Polarization(i) +
         "</b></font></td>\n<td>Europe</td>\n<td bgcolor=\"#ffd0a0\"><font size=1>Provider</font>"
         "</td>\n<td>&nbsp;</td>\n<td><font>DVB</font><br>QPSK</td>\n"
         "<td><font>27500-3/4</font></td>\n<td>1-1026<br>x</td>\n</tr>\n";
}

// The current LyngSat markup: nine cells, the frequency in a link.
std::string LyngSatTodayRow(int i) {
  return "<tr>\n<td bgcolor=\"#ffbf00\"><font size=2>&nbsp;</font></td>\n<td align=\"center\">"
         "<font face=\"Verdana\"><font size=2><b><a href=\"muxes/x.html\" style=\"color:blue\">" +
         Frequency(i) + "&nbsp;" + Polarization(i) +
         "</a></b><br><br></font><font size=1><a href=\"beam.html\">Europe</a></font></td>\n"
         "<td width=52 align=\"center\"><img src=\"/logo.png\" width=52 height=39 border=0>\n</td>\n"
         "<td bgcolor=\"#ffcc99\"><font face=\"Arial\"><font size=2><b><i>Provider</i></b></td>\n"
         "<td bgcolor=\"#ffcc99\"><br></td>\n"
         "<td bgcolor=\"#ffcc99\"><font face=\"Verdana\"><font size=2>DVB-S</font></td>\n"
         "<td bgcolor=\"#ffcc99\" colspan=2><font face=\"Verdana\" size=1>27500-3/4<br>QPSK<br></td>\n"
         "<td bgcolor=\"#ffcc99\"><font face=\"Verdana\" size=1><font color=\"darkgreen\">1-1026"
         "</font><br>7.9&nbsp;<br></font></td>\n"
         "<td><font face=\"Verdana\" size=1>Watcher<br>260101</font></td>\n</tr>\n";
}

// The LyngSat markup since 2021: the frequency linked to its mux page in a
// cell with a gradient, every value of the transponder in the next cell.
std::string LyngSat2021Row(int i) {
  return "<tr>\n<td style=\"background: linear-gradient(to right, #ffffcc, #ffcc99)\" align=\"center\">"
         "<font face=\"Verdana\" size=2><b><a href=\"/muxes/Astra-1KR_" + Frequency(i) + ".html\">" +
         Frequency(i) + "&nbsp;" + Polarization(i) +
         "</a></b></font></td>\n<td><font face=\"Verdana\" size=1>DVB-S<br>QPSK<br>27500 3/4<br>"
         "Stream 2</font></td>\n<td>Europe</td>\n"
         "<td><font face=\"Arial\" size=2><a href=\"/tvchannels/x.html\">Channel</a></font></td>\n"
         "<td>MPEG-4</td><td>Clear</td><td>501</td><td>502</td><td>eng</td>\n</tr>\n";
}

std::string KingOfSatRow(int i) {
  return "<TR bgcolor=\"#FAF6EE\"><td colspan=14><table><tr><td>Sat</td> - <b>" + Frequency(i) +
         ".00&nbsp;" + Polarization(i) +
         "</b> - <td  width=\"50%\" bgcolor=\"#EEEEEE\">DVB-S (QPSK) - 27500 3/4 - NID:1 - "
         "TID:1070</td></tr></table></td></TR>\n";
}

// Today's KingOfSat markup: a 13-cell transponder table, then the channel
// table the channel lines belong to.
std::string KingOfSatTodayRow(int i) {
  return std::string(i ? "</table>\n" : "") +
         "<table class=\"frq\"><tr bgcolor=\"#D2D2D2\">\n\t<td class=\"pos\" dir=\"ltr\">"
         "28.2&deg;E</td>\n\t<td width=\"20%\"><img src=\"/x.gif\" id=\"im1\"><span "
         "class=\"nbc\">9</span><a class=\"bld\">Astra 2E</a></td>\n\t<td class=\"bld\">" +
         Frequency(i) + ".00</td><td class=\"bld\">" + Polarization(i) +
         "</td><td><a class=\"bld\" href=\"tp.php?tp=503\">45</a></td><td><a class=\"bld\" "
         "href=\"beams.php?s=1\">Europe</a></td><td bgcolor=\"#FFFFAA\">DVB-S</td><td "
         "bgcolor=\"#FFFFAA\">QPSK</td><td><a class=\"bld\">27500</a> <a class=\"bld\">3/4</a>"
         "</td><td><b>Net</b>, 50.1 Mb/s&nbsp;</td><td>2</td><td>2045</td><td><a "
         "href=\"update.php\"><img src=\"/edit.gif\"></a></td>\n  </tr></table>\n"
         "<table class=\"fl\">\n";
}

std::string FlySatRow(int i) {
  return "<tr>\n    <td rowspan=2 align=\"center\"><font face=\"Verdana\" size=2>\n<b>" +
         Frequency(i) + ' ' + Polarization(i) +
         "</b><br>DVB-S</font></td>\n<td align=\"center\"><font size=1>27500 3/4</font></td>\n"
         "<td bgcolor=\"#40e0d0\"><font size=1>Provider</font></td>\n</tr>\n";
}

std::string SatcoDXRow(int i) {
  return "<TR BGCOLOR=#FFCC00>\r\n<TD>MPEG-2</TD>\r\n<TD>Sat</TD>\r\n<TD><B>" +
         Gigahertz(i, '.') + "</B></TD>\r\n<TD>" + Polarization(i) +
         "</TD>\r\n<TD>a</TD>\r\n<TD>b</TD>\r\n<TD>c</TD>\r\n<TD>d</TD>\r\n<TD>e</TD>\r\n"
         "<TD>f</TD>\r\n<TD>g</TD>\r\n<TD>27500</TD>\r\n<TD>3/4</TD>\r\n</TR>\r\n";
}

std::string TelesputnikRow(int i) {
  return "<a href=\"pid.pl?id=1\">\xCF\xF0\xE8\xEC\xE5\xF0</a>\n<td>Ku</td>\n" +
         Gigahertz(i, ',') + "\n  <td c>" + Polarization(i) +
         "</td><td c>MPEG-2</td><td c>FTA</td><td c>27500</td><td c>3/4</td>\n";
}

// Writes a page of about kPageSize bytes to a temporary file, removed
// again when the benchmark binary ends.
class PageFile {
 public:
  PageFile(const std::string& header, std::string (*row)(int), const std::string& title = "page") {
    char name[] = "/tmp/kavrel-bench-XXXXXX";
    int fd = ::mkstemp(name);
    if (fd < 0) std::abort();
    ::close(fd);
    path_ = name;
    std::string page = "<html><head><title>" + title + "</title></head><body>\n" + header;
    for (int i = 0; page.size() < kPageSize; ++i) page += row(i) + kChannelLines;
    size_ = page.size();
    std::ofstream(path_, std::ios::binary) << page;
  }
  ~PageFile() { std::remove(path_.c_str()); }
  const std::string& path() const { return path_; }
  size_t size() const { return size_; }

 private:
  std::string path_;
  size_t size_ = 0;
};

// The page is read from disk each time, as a saved page is.
void ReadPage(benchmark::State& state, const PageFile& page, Producer parse) {
  for (auto _ : state) {
    std::ostringstream printed;
    Run run(printed);
    std::string bytes;
    ReadWholeFile(page.path(), bytes);
    benchmark::DoNotOptimize(parse(run.sink, SourceText{page.path(), bytes}));
    if (run.catalogue.Satellites().empty()) state.SkipWithError("the page yielded nothing");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
}

void BM_LyngSatPage(benchmark::State& state) {
  static const PageFile page(
      "<table><tr><td><b><font face=\"Arial\" size=5>Astra 1KR at 19.2\xB0"
      "E</font></b></td></tr></table>\n",
      LyngSatRow);
  ReadPage(state, page, ParseLyngSatPage);
}

void BM_LyngSatTodayPage(benchmark::State& state) {
  static const PageFile page("<table>\n", LyngSatTodayRow, "Astra 1KR at 19.2\xB0" "E - LyngSat");
  ReadPage(state, page, ParseTodaysLyngSatPage);
}

void BM_LyngSat2021Page(benchmark::State& state) {
  static const PageFile page("<table>\n", LyngSat2021Row, "Astra 1KR at 19.2\xB0" "E - LyngSat");
  ReadPage(state, page, ParseTodaysLyngSatPage);
}

void BM_KingOfSatPage(benchmark::State& state) {
  static const PageFile page("<TITLE>Eutelsat 16A (16.0&deg;E)</TITLE>\n", KingOfSatRow);
  ReadPage(state, page, ParseKingOfSatPage);
}

void BM_KingOfSatTodayPage(benchmark::State& state) {
  static const PageFile page("", KingOfSatTodayRow);
  ReadPage(state, page, ParseTodaysKingOfSatPage);
}

void BM_FlySatPage(benchmark::State& state) {
  static const PageFile page(
      "<table width=\"100%\" bgcolor=\"#ccffcc\" border=\"0\" align=\"center\" cellPadding=0 "
      "cellSpacing=0>\n<tr>\n<td>\n<b>Hot Bird 13C</b>\n<font>@13.0\xB0 East</font>\n",
      FlySatRow);
  ReadPage(state, page, ParseFlySatPage);
}

void BM_SatcoDXPage(benchmark::State& state) {
  static const PageFile page(
      "<font color=#FFFFFF><h3>SatcoDX</h3><h1>Astra 2E (28.2E - Europe)</h1></font>\r\n",
      SatcoDXRow);
  ReadPage(state, page, ParseSatcoDXPage);
}

void BM_TelesputnikPage(benchmark::State& state) {
  static const PageFile page(
      "<table border=0 width=\"100%\"><tr><td valign=bottom><h2>\xDF\xEC\xE0\xEB 201  "
      "90.0&deg;\xE2.\xE4.</h2>\n",
      TelesputnikRow);
  ReadPage(state, page, ParseTelesputnikPage);
}

BENCHMARK(BM_LyngSatPage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LyngSatTodayPage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LyngSat2021Page)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KingOfSatPage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KingOfSatTodayPage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FlySatPage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SatcoDXPage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TelesputnikPage)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kavrel
