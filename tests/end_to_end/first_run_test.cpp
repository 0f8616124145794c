#include <gtest/gtest.h>

#include "end_to_end/tessarin_process.h"

namespace tessarin::testing {
namespace {

const char* const kNotice =
    "This application requires command line parameters or prior configuration before use.  "
    "Read the included README.TXT for further information\n";

TEST(FirstRun, ShowsOnlyTheNoticeAndRecordsIt) {
  ThrowAwayUser user;
  const auto first = user.Run({"a.bmp,", "b.bmp,1,2,3,4,out.bmp"});
  EXPECT_EQ(first.exitCode, 0);
  EXPECT_EQ(first.standardError, kNotice);
  EXPECT_EQ(ReadFile(user.ConfigFolder() / "Tessarin.ini"), "[App]\nFirstRun=1\n");
}

}  // namespace
}  // namespace tessarin::testing
