#pragma once
// The texts the status line shows while all is well. Anything else there (an attempt's error,
// a final failure, a file left out) is something a person may have to act on.

#include <string>
#include <string_view>

namespace skyhaul::form {

inline constexpr const char* kUploading = "Status: prenos na strežnik...";
inline constexpr const char* kDownloading = "Status: prenos iz strežnika...";
inline constexpr const char* kDone = "Status: Prenos je končan.";

// What a finished transfer may add before kDone: the byte a download was taken up again from,
// the server's digest that confirmed it.
inline constexpr std::string_view kResumedNote = "Status: nadaljevano od bajta ";
inline constexpr std::string_view kCheckedNote = "Status: preverjeno s ";

inline bool isRoutineStatus(std::string_view text) {
  return text == kUploading || text == kDownloading || text == kDone || text == "Status:" ||
         text.starts_with(kResumedNote) || text.starts_with(kCheckedNote);
}

// A text of several lines (a server's reply) as the one line a status line is: each run of line
// ends becomes one blank, and none is left at the end.
inline std::string oneLine(std::string_view text) {
  std::string line;
  line.reserve(text.size());
  for (const char c : text) {
    if (c != '\r' && c != '\n') {
      line += c;
    } else if (!line.empty() && line.back() != ' ') {
      line += ' ';
    }
  }
  while (!line.empty() && line.back() == ' ') line.pop_back();
  return line;
}

}  // namespace skyhaul::form
