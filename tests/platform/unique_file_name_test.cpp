#include "platform/unique_file_name.h"

#include <gtest/gtest.h>

#include "support/scratch_dir.h"

namespace kavrel::testing {
namespace {

TEST(UniqueFileName, NumbersGoBeforeTheExtension) {
  EXPECT_EQ(NumberedFileName("satellites.xml", 0), "satellites.xml");
  EXPECT_EQ(NumberedFileName("satellites.xml", 12), "satellites(12).xml");
  EXPECT_EQ(NumberedFileName("dir.d/page", 1), "dir.d/page(1)");
  EXPECT_EQ(NumberedFileName("/x/a.b.html", 2), "/x/a.b(2).html");
  EXPECT_EQ(NumberedFileName(".hidden", 1), "(1).hidden");

  ScratchDir dir;
  CurrentDirectoryGuard cwd(dir.path());
  EXPECT_EQ(UniqueFileName("carrier.dat"), "carrier.dat");
  dir.Write("carrier.dat", "old");
  dir.Write("carrier(1).dat", "old");
  EXPECT_EQ(UniqueFileName("carrier.dat"), "carrier(2).dat");
  OutputFile file = CreateUniqueFile("carrier.dat");
  EXPECT_EQ(file.path(), "carrier(2).dat");
  file.Write("new");
  file.Close();
  EXPECT_EQ(dir.Read("carrier.dat"), "old");
  EXPECT_EQ(dir.Read("carrier(2).dat"), "new");
}

}  // namespace
}  // namespace kavrel::testing
