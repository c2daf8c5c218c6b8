#pragma once
// The checks that every end-to-end case shares: status lines, log lines (support/JobFiles.h),
// and that no source was deleted unless its copy is complete and byte-identical.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "support/JobFiles.h"
#include "support/SkyhaulProcess.h"

namespace skyhaul::test {

// Exit statuses of the program.
inline constexpr int kCompleted = 0;
inline constexpr int kFileFailed = 1;
inline constexpr int kUnhandledError = 2;
inline constexpr int kConnectionFailed = 4;
inline constexpr int kAlreadyRunning = 5;
inline constexpr int kListingFailed = 6;

// Status texts of the per-file steps.
inline constexpr const char* kUploading = "Status: prenos na strežnik...";
inline constexpr const char* kDownloading = "Status: prenos iz strežnika...";
inline constexpr const char* kDone = "Status: Prenos je končan.";
inline constexpr const char* kUploadFailed = "Status napaka:";
inline constexpr const char* kDownloadFailed = "Status napaka: ";

// The regular files of one folder and their bytes, taken before a run.
struct Snapshot {
  std::filesystem::path folder;
  std::map<std::string, std::string> files;
};
Snapshot snapshot(const std::filesystem::path& folder);

// Every file of `before` is still in its folder, unchanged, or it is gone and `copies` holds a
// byte-identical copy under the same name. Returns the names of the sources that went.
std::vector<std::string> expectNothingLost(const Snapshot& before,
                                           const std::filesystem::path& copies);
// Absent, or the first bytes of `source` and no more: never bytes the source does not hold.
::testing::AssertionResult isAbsentOrPrefixOf(const std::filesystem::path& path,
                                              const std::string& source);

// The status texts printed for `file`, in order: its "file: text" lines, CR dropped.
std::vector<std::string> statusesOf(const std::string& errors, const std::string& file);
// Whether one of the status texts printed for `file` holds `part`.
bool holdsStatus(const RunOutcome& outcome, const std::string& file, const std::string& part);
// The statuses of a file that failed its first attempt only, and of one that failed all three
// (`error` is the text shown between attempts).
std::vector<std::string> recoveredStatuses(const char* working, const std::string& error);
std::vector<std::string> failedStatuses(const char* working, const std::string& error,
                                        const char* finalPrefix);

}  // namespace skyhaul::test
