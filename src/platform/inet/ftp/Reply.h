#pragma once
// FTP replies as they arrive on the control connection: lines cut from the byte stream and
// assembled into complete (possibly multi-line) replies.

#include <string>

namespace skyhaul::inet::detail {

// One complete reply of the server.
struct Reply {
  int code = 0;
  std::string text;  // every line of the reply, each ending in CR LF

  bool isPreliminary() const { return code / 100 == 1; }
  bool isCompletion() const { return code / 100 == 2; }
  bool isIntermediate() const { return code / 100 == 3; }
};

// Takes the first complete line off `buffer` into `line`, without its end (CR LF, or LF alone
// as some servers send). False, leaving `buffer` unchanged, when it holds no complete line.
bool takeLine(std::string& buffer, std::string& line);

// Builds replies line by line: "DDD text" is a whole reply; "DDD-text" opens a multi-line reply
// that the first line starting "DDD " (or the bare "DDD") closes. Lines that arrive while no
// reply is open and do not start with a code are dropped.
class ReplyAssembler {
 public:
  // Adds one line; true when it completes a reply, which take() then hands out.
  bool addLine(const std::string& line);
  Reply take();

 private:
  Reply current_;
  bool open_ = false;
};

}  // namespace skyhaul::inet::detail
