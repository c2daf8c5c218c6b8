#include "platform/ErrorCode.h"

#include <gtest/gtest.h>

namespace skyhaul::platform {
namespace {

// Every code has a text: the table is a switch the compiler checks. These are what users see.
TEST(ErrorCode, TextsAreTheProgramsOwn) {
  EXPECT_EQ(messageFor(ErrorCode::InternetTimeout), "Čas za operacijo je potekel.");
  EXPECT_EQ(messageFor(ErrorCode::InternetNameNotResolved),
            "Imena strežnika ni bilo mogoče razrešiti.");
  EXPECT_EQ(messageFor(ErrorCode::InternetCannotConnect),
            "Povezave s strežnikom ni bilo mogoče vzpostaviti.");
  EXPECT_EQ(messageFor(12113), messageFor(ErrorCode::FtpSizeMismatch));
  EXPECT_EQ(messageFor(ErrorCode::Success), "");
}

TEST(ErrorCode, ANumberThatIsNoCodeHasNoText) {
  for (const int number : {12345, -1, 1, 38, 12019, 12111}) EXPECT_EQ(messageFor(number), "");
}

}  // namespace
}  // namespace skyhaul::platform
