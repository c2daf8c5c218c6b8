#include <gtest/gtest.h>

#include "platform/InternetLibrary.h"

namespace skyhaul::platform {
namespace {

TEST(InternetMessages, AreTheSystemsOwnTexts) {
  EXPECT_EQ(messageFor(kErrorInternetTimeout), "Čas za operacijo je potekel.");
  EXPECT_EQ(messageFor(kErrorInternetNameNotResolved), "Imena strežnika ni bilo mogoče razrešiti.");
  EXPECT_EQ(messageFor(kErrorInternetCannotConnect),
            "Povezave s strežnikom ni bilo mogoče vzpostaviti.");
}

TEST(InternetMessages, ExistForEveryCodeTheLibraryReports) {
  for (int code :
       {kErrorFileNotFound, kErrorPathNotFound, kErrorAccessDenied, kErrorInvalidHandle,
        kErrorNoMoreFiles, kErrorWriteFault, kErrorReadFault, kErrorInvalidParameter,
        kErrorDiskFull, kErrorInternetOutOfHandles, kErrorInternetExtendedError,
        kErrorInternetInternalError, kErrorInternetInvalidUrl, kErrorInternetConnectionAborted,
        kErrorInternetConnectionReset, kErrorFtpTransferInProgress, kErrorFtpNoPassiveMode}) {
    EXPECT_FALSE(messageFor(code).empty()) << code;
  }
}

TEST(InternetMessages, AreEmptyForUnknownCodes) {
  EXPECT_EQ(messageFor(12345), "");
  EXPECT_EQ(messageFor(-1), "");
}

}  // namespace
}  // namespace skyhaul::platform
