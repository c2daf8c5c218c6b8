#pragma once
// The texts the status line shows while all is well. Anything else there (an attempt's error,
// a final failure, a file left out) is something a person may have to act on.

#include <string_view>

namespace skyhaul::form {

inline constexpr const char* kUploading = "Status: prenos na strežnik...";
inline constexpr const char* kDownloading = "Status: prenos iz strežnika...";
inline constexpr const char* kDone = "Status: Prenos je končan.";

inline bool isRoutineStatus(std::string_view text) {
  return text == kUploading || text == kDownloading || text == kDone || text == "Status:";
}

}  // namespace skyhaul::form
