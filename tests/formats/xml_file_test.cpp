#include "formats/xml_file.h"

#include <gtest/gtest.h>

#include <random>

#include "support/catalogue_fixture.h"
#include "support/memory_run.h"
#include "support/scratch_dir.h"

namespace kavrel::testing {
namespace {

TEST(XmlFile, WritesTheCatalogueLineByLine) {
  ScratchDir dir;
  CurrentDirectoryGuard cwd(dir.path());
  MemoryRun m;
  AddSatellite(m.run, "Example Sat", 130,
               {Transponder(10719, 'V', 27500, 5, 6), Transponder(10758, 'H', 27500, 3, 4),
                Transponder(11000, 'L', 2170, 0, 0), Transponder(11100, 'R', 30000, 7, 8),
                Transponder(11200, 'V', 27500, 3, 4, kKindDvbS2),
                Transponder(11300, 'V', 27500, 3, 4, kKindDss)});
  AddSatellite(m.run, "A&B <\"x\"> East", 1800, {Transponder(3794, 'L', 2170, 9, 10)});
  AddSatellite(m.run, "West Only S2", 1801, {Transponder(12000, 'H', 27500, 2, 3, kKindDvbS2)});
  WriteXmlFile(m.run.catalogue, m.Writer());

  EXPECT_EQ(m.printed.str(), "Writting XML file...\n");
  EXPECT_EQ(dir.Read("satellites.xml"),
            "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\n"
            "<satellites>\n"
            "\t<sat name=\"Example Sat\" flags=\"5\" position=\"130\">\n"
            "\t\t<transponder frequency=\"10719000\" symbol_rate=\"27500000\" polarization=\"1\" fec_inner=\"5\"/>\n"
            "\t\t<transponder frequency=\"10758000\" symbol_rate=\"27500000\" polarization=\"0\" fec_inner=\"3\"/>\n"
            "\t\t<transponder frequency=\"11000000\" symbol_rate=\"2170000\" polarization=\"2\" fec_inner=\"0\"/>\n"
            "\t\t<transponder frequency=\"11100000\" symbol_rate=\"30000000\" polarization=\"3\" fec_inner=\"7\"/>\n"
            "\t</sat>\n"
            "\t<sat name=\"A-B --x-> East\" flags=\"5\" position=\"1800\">\n"
            "\t\t<transponder frequency=\"3794000\" symbol_rate=\"2170000\" polarization=\"2\" fec_inner=\"9\"/>\n"
            "\t</sat>\n"
            "\t<sat name=\"West Only S2\" flags=\"5\" position=\"-1799\">\n"
            "\t</sat>\n"
            "</satellites>\n");

  // A second run never touches the first file.
  MemoryRun again;
  AddSatellite(again.run, "Other", 192, {});
  WriteXmlFile(again.run.catalogue, again.Writer());
  EXPECT_EQ(dir.Read("satellites(1).xml"),
            "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\n<satellites>\n"
            "\t<sat name=\"Other\" flags=\"5\" position=\"192\">\n\t</sat>\n</satellites>\n");
  EXPECT_EQ(dir.Names(), (std::vector<std::string>{"satellites(1).xml", "satellites.xml"}));
}

TEST(XmlFile, EmptyCatalogueCreatesNoFile) {
  ScratchDir dir;
  CurrentDirectoryGuard cwd(dir.path());
  MemoryRun m;
  WriteXmlFile(m.run.catalogue, m.Writer());
  EXPECT_EQ(m.PrintedLines(), std::vector<std::string>{"Writting XML file..."});
  EXPECT_TRUE(dir.Names().empty());
}

TEST(XmlFile, CodesBothWays) {
  EXPECT_EQ(XmlPolarizationCode('H'), '0');
  EXPECT_EQ(XmlPolarizationCode('V'), '1');
  EXPECT_EQ(XmlPolarizationCode('L'), '2');
  EXPECT_EQ(XmlPolarizationCode('R'), '3');
  EXPECT_EQ(XmlPolarizationCode('x'), 'x');
  EXPECT_EQ(PolarizationFromXmlCode('0'), 'H');
  EXPECT_EQ(PolarizationFromXmlCode('3'), 'R');
  EXPECT_EQ(PolarizationFromXmlCode('4'), std::nullopt);
  EXPECT_EQ(PolarizationFromXmlCode('H'), std::nullopt);
  for (char n = '1'; n <= '8'; ++n) {
    uint8_t value = static_cast<uint8_t>(n - '0');
    EXPECT_EQ(FecFromXmlCode(n), (FecFraction{value, static_cast<uint8_t>(value + 1)})) << n;
  }
  EXPECT_EQ(FecFromXmlCode('0'), FecFraction{});
  EXPECT_EQ(FecFromXmlCode('9'), FecFraction{});
  EXPECT_EQ(FecFromXmlCode('\0'), FecFraction{});
}

TEST(XmlFile, AttributeValues) {
  std::string_view line = "<sat name=\"Eutelsat position 7\" flags=\"5\" position=\"70\">";
  EXPECT_EQ(XmlAttributeValue(line, "name"), "Eutelsat position 7");
  EXPECT_EQ(XmlAttributeValue(line, "position"), "70");
  EXPECT_EQ(XmlAttributeValue("<sat  position = \" -30 \">", "position"), " -30 ");
  EXPECT_EQ(XmlAttributeValue("<sat position=\"130>", "position"), "");
  EXPECT_EQ(XmlAttributeValue("<sat position=130>", "position"), "");
  EXPECT_EQ(XmlAttributeValue("<sat name=\"x\">", "position"), "");
  EXPECT_EQ(XmlAttributeValue("<sat xposition=\"1\">", "position"), "");
}

TEST(XmlFile, ReadsWhatTheWriterAndOtherProgramsWrite) {
  ScratchDir dir;
  // CR LF line ends, a comment, a transponder before the first satellite,
  // a position inside the name, codes the writer never uses.
  dir.Write("in.xml",
            "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\r\n"
            "<!-- comment -->\r\n"
            "<satellites>\r\n"
            "\t\t<transponder frequency=\"11000000\" symbol_rate=\"27500000\" polarization=\"0\" fec_inner=\"3\"/>\r\n"
            "\t<sat name=\"Example Sat (13.0E)\" flags=\"5\" position=\"130\">\r\n"
            "\t\t<transponder frequency=\"10719000\" symbol_rate=\"27500000\" polarization=\"1\" fec_inner=\"7\"/>\r\n"
            "\t\t<transponder frequency=\"10758500\" symbol_rate=\"06602000\" polarization=\"0\" fec_inner=\"9\"/>\r\n"
            "\t\t<transponder frequency=\"11000000\" symbol_rate=\"27500000\" polarization=\"3\"/>\r\n"
            "\t\t<transponder frequency=\"11100000\" symbol_rate=\"27500000\" polarization=\"5\" fec_inner=\"3\"/>\r\n"
            "\t\t<transponder frequency=\"0\" symbol_rate=\"27500000\" polarization=\"1\" fec_inner=\"3\"/>\r\n"
            "\t\t<transponder frequency=\"11200000\" symbol_rate=\"999\" polarization=\"1\" fec_inner=\"3\"/>\r\n"
            "\t</sat>\r\n"
            "\t<sat name=\"West\" position=\"-1799\">\r\n"
            "\t\t<transponder frequency=\"3794000\" symbol_rate=\"2170000\" polarization=\"2\" fec_inner=\"2\"/>\r\n"
            "\t</sat>\r\n"
            "\t<sat name=\"0192 Astra\">\r\n"
            "\t\t<transponder frequency=\"12000000\" symbol_rate=\"27500000\" polarization=\"1\" fec_inner=\"2\"/>\r\n"
            "\t</sat>\r\n"
            "\t<sat name=\"Empty\" position=\"3000\">\r\n"
            "\t</sat>\r\n"
            "</satellites>\r\n");
  MemoryRun m;
  EXPECT_EQ(ReadXmlFile(m.run.sink, m.Source(dir.At("in.xml"))), FileReadResult::kRead);
  EXPECT_EQ(m.PrintedLines(), (std::vector<std::string>{"Loading XML file (" + dir.At("in.xml") + ")...",
                                                        "Example Sat 3 transponders loaded",
                                                        "West 1 transponders loaded",
                                                        "Astra 1 transponders loaded",
                                                        "Empty 0 transponders loaded"}));
  ASSERT_EQ(m.run.catalogue.SatelliteCount(), 3);
  EXPECT_EQ(m.Satellite(0).Name, "Example Sat");
  EXPECT_EQ(m.Satellite(0).Position, 130);
  TransponderRecord halfStep = Transponder(10758, 'H', 6602, 0, 0);
  halfStep.Details.FrequencyKhz = 500;  // kept beside the MHz
  EXPECT_EQ(m.TranspondersOf(0),
            (std::vector<TransponderRecord>{Transponder(10719, 'V', 27500, 7, 8), halfStep,
                                            Transponder(11000, 'R', 27500, 0, 0)}));
  EXPECT_EQ(m.Satellite(1).Position, 1801);
  EXPECT_EQ(m.TranspondersOf(1), std::vector<TransponderRecord>{Transponder(3794, 'L', 2170, 2, 3)});
  EXPECT_EQ(m.Satellite(2).Name, "Astra");
  EXPECT_EQ(m.Satellite(2).Position, 192);
}

TEST(XmlFile, TransponderLinesGoToTheSatelliteOfAnEarlierInput) {
  ScratchDir dir;
  dir.Write("tail.xml",
            "\t\t<transponder frequency=\"11000000\" symbol_rate=\"27500000\" polarization=\"0\" fec_inner=\"3\"/>\n"
            "</sat>\n");
  MemoryRun m;
  m.run.sink.FindOrAddSatellite("Earlier", 100);
  EXPECT_EQ(ReadXmlFile(m.run.sink, m.Source(dir.At("tail.xml"))), FileReadResult::kNoSatellite);
  EXPECT_EQ(m.PrintedLines().back(), " 1 transponders loaded");
  EXPECT_EQ(m.Satellite(0).Count(), 1);
}

TEST(XmlFile, BrokenFilesReadWhatIsWellFormed) {
  ScratchDir dir;
  // Cut in the middle of a line, without a closing "</sat>".
  dir.Write("cut.xml",
            "<satellites>\n<sat name=\"Cut\" position=\"130\">\n"
            "<transponder frequency=\"10719000\" symbol_rate=\"27500000\" polarization=\"1\" fec_inner=\"3\"/>\n"
            "<transponder frequency=\"107");
  // Missing quotes and attributes, numbers that overflow.
  dir.Write("quotes.xml",
            "<sat name=\"No end position=130>\n"
            "<transponder frequency=10719000 symbol_rate=\"27500000\" polarization=\"1\"/>\n"
            "<transponder frequency=\"99999999999999\" symbol_rate=\"27500000\" polarization=\"1\"/>\n"
            "<transponder frequency=\"11000000\" symbol_rate=\"27500000\" polarization=\"1\" fec_inner=\"\"/>\n"
            "</sat>\n");
  std::string noise(200000, '\0');
  std::mt19937 random(7);
  for (char& c : noise) c = static_cast<char>(random());
  dir.Write("noise.xml", "<sat name=\"N\" position=\"10\">\n" + noise);

  MemoryRun m;
  // What stood before the cut is read; the cut is said all the same.
  EXPECT_EQ(ReadXmlFile(m.run.sink, m.Source(dir.At("cut.xml"))), FileReadResult::kEndsEarly);
  EXPECT_EQ(ReadXmlFile(m.run.sink, m.Source(dir.At("quotes.xml"))), FileReadResult::kEndsEarly);
  EXPECT_EQ(ReadXmlFile(m.run.sink, m.Source(dir.At("noise.xml"))), FileReadResult::kEndsEarly);
  ASSERT_GE(m.run.catalogue.SatelliteCount(), 2);
  EXPECT_EQ(m.Satellite(0).Name, "Cut");
  EXPECT_EQ(m.TranspondersOf(0), std::vector<TransponderRecord>{Transponder(10719, 'V', 27500, 3, 4)});
  EXPECT_EQ(m.Satellite(1).Position, 0);
  EXPECT_EQ(m.TranspondersOf(1), std::vector<TransponderRecord>{Transponder(11000, 'V', 27500, 0, 0)});
}

}  // namespace
}  // namespace kavrel::testing
