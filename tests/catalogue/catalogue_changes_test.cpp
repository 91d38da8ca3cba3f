#include "catalogue/catalogue_changes.h"

#include <gtest/gtest.h>

#include <sstream>

#include "support/catalogue_fixture.h"

namespace kavrel {
namespace {

using testing::AddSatellite;
using testing::Transponder;

TransponderRecord Stream(int32_t frequency, int16_t id, uint8_t plsMode = kPlsUnset, uint32_t plsCode = 0) {
  TransponderRecord t = Transponder(frequency, 'V', 30000, 2, 3, kKindDvbS2, kModulation8psk);
  t.Details.StreamId = id;
  t.Details.PlsMode = plsMode;
  t.Details.PlsCode = plsCode;
  return t;
}

std::string Text(const Catalogue& before, const Catalogue& after) {
  std::ostringstream out;
  WriteChangesText(out, CompareCatalogues(before, after));
  return out.str();
}

TEST(CatalogueChanges, TextNamesEveryKindOfChangeInOrder) {
  std::ostringstream quiet;
  kavrel::Run before(quiet), after(quiet);
  AddSatellite(before, "Unchanged", 192, {Transponder(10729, 'V', 22000, 5, 6)});
  // A modulation one side does not give is no change.
  AddSatellite(after, "Unchanged", 192, {Transponder(10729, 'V', 22000, 5, 6, kKindDvbS, kModulationQpsk)});
  // Within 2 MHz is the same transponder; a narrow listed carrier must
  // match exactly; the same frequency in another polarization or stream is
  // another transponder.
  AddSatellite(before, "Hot Bird", 130,
               {Transponder(10719, 'V', 27500, 3, 4), Transponder(10723, 'H', 29900, 3, 4),
                Transponder(11000, 'H', 3000, 3, 4), Stream(11500, 1), Stream(11500, 2, kPlsGold, 8),
                Transponder(12000, 'H', 27500, 3, 4)});
  AddSatellite(after, "Hot Bird", 130,
               {Transponder(10721, 'V', 27500, 3, 4), Transponder(10726, 'V', 29900, 3, 4),
                Transponder(11001, 'H', 3000, 3, 4), Stream(11500, 1), Stream(11500, 2, kPlsGold, 9),
                Transponder(12000, 'H', 27500, 5, 6, kKindDvbS2, kModulation8psk)});
  AddSatellite(before, "Gone", 3300, {Transponder(11000, 'R', 27500, 3, 4)});
  AddSatellite(after, "New", 50, {Transponder(12000, 'L', 27500, 7, 8)});
  before.catalogue.SortSatellites();

  EXPECT_EQ(Text(before.catalogue, after.catalogue),
            "5.0E New: 1 added, 0 removed, 0 changed (0 -> 1 transponders)\n"
            "  + 12000 L 27500 7/8 DVB-S\n"
            "13.0E Hot Bird: 2 added, 2 removed, 3 changed (6 -> 6 transponders)\n"
            "  ~ 10719 V 27500 3/4 DVB-S -> 10721 V 27500 3/4 DVB-S\n"
            "  - 10723 H 29900 3/4 DVB-S\n"
            "  + 10726 V 29900 3/4 DVB-S\n"
            "  - 11000 H 3000 3/4 DVB-S\n"
            "  + 11001 H 3000 3/4 DVB-S\n"
            "  ~ 11500 V 30000 2/3 DVB-S2 8PSK stream 2 PLS gold 8 -> "
            "11500 V 30000 2/3 DVB-S2 8PSK stream 2 PLS gold 9\n"
            "  ~ 12000 H 27500 3/4 DVB-S -> 12000 H 27500 5/6 DVB-S2 8PSK\n"
            "30.0W Gone: 0 added, 1 removed, 0 changed (1 -> 0 transponders)\n"
            "  - 11000 R 27500 3/4 DVB-S\n");
  EXPECT_EQ(Text(after.catalogue, after.catalogue), "");
  EXPECT_EQ(Text(before.catalogue, before.catalogue), "");
}

TEST(CatalogueChanges, JsonIsOneValidUtf8Document) {
  std::ostringstream quiet;
  kavrel::Run before(quiet), after(quiet);
  AddSatellite(before, "Astra \"1\"\\ caf\xe9\x01", 192, {Transponder(10729, 'V', 22000, 5, 6)});
  TransponderRecord t2mi = Transponder(11000, 'H', 27500, 0, 0, kKindDvbS2, kModulationNone);
  t2mi.Details.FrequencyKhz = 500;
  t2mi.Details.T2miPlpId = 0;
  t2mi.Details.T2miPid = 4096;
  AddSatellite(after, "x", 192, {Transponder(10729, 'V', 22000, 5, 6), t2mi});
  std::ostringstream out;
  WriteChangesJson(out, CompareCatalogues(after.catalogue, before.catalogue));
  EXPECT_EQ(out.str(),
            "{\"satellites\":[\n"
            "{\"position\":\"19.2E\",\"name\":\"Astra \\\"1\\\"\\\\ caf\xc3\xa9\\u0001\",\"before\":2,\"after\":1,"
            "\"added\":0,\"removed\":1,\"changed\":0,\"transponders\":[\n"
            " {\"change\":\"removed\",\"before\":{\"frequency\":11000.5,\"polarization\":\"H\",\"symbol_rate\":27500,"
            "\"fec\":null,\"system\":\"DVB-S2\",\"modulation\":null,\"stream\":null,\"pls_mode\":null,"
            "\"pls_code\":null,\"t2mi_plp\":0,\"t2mi_pid\":4096}}]}]}\n");
  std::ostringstream none;
  WriteChangesJson(none, CompareCatalogues(after.catalogue, after.catalogue));
  EXPECT_EQ(none.str(), "{\"satellites\":[]}\n");
}

}  // namespace
}  // namespace kavrel
