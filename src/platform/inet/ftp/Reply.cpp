#include "platform/inet/ftp/Reply.h"

#include <utility>

#include "platform/Ascii.h"

namespace skyhaul::inet::detail {
namespace {

// "DDD", "DDD text" or "DDD-text" with a first digit 1 to 5.
bool startsWithCode(const std::string& line) {
  if (line.size() < 3 || !platform::isAsciiDigit(line[0]) || !platform::isAsciiDigit(line[1]) ||
      !platform::isAsciiDigit(line[2])) {
    return false;
  }
  if (line[0] < '1' || line[0] > '5') return false;
  return line.size() == 3 || line[3] == ' ' || line[3] == '-';
}

}  // namespace

bool takeLine(std::string& buffer, std::string& line) {
  const auto end = buffer.find('\n');
  if (end == std::string::npos) return false;
  std::size_t length = end;
  if (length > 0 && buffer[length - 1] == '\r') --length;
  line.assign(buffer, 0, length);
  buffer.erase(0, end + 1);
  return true;
}

bool ReplyAssembler::addLine(const std::string& line) {
  if (!open_) {
    if (!startsWithCode(line)) return false;
    current_.code = std::stoi(line.substr(0, 3));
    current_.text = line + "\r\n";
    open_ = line.size() > 3 && line[3] == '-';
    return !open_;
  }
  current_.text += line + "\r\n";
  const bool sameCode = line.size() >= 3 && line.compare(0, 3, current_.text, 0, 3) == 0;
  if (sameCode && (line.size() == 3 || line[3] == ' ')) {
    open_ = false;
    return true;
  }
  return false;
}

Reply ReplyAssembler::take() { return std::exchange(current_, Reply{}); }

}  // namespace skyhaul::inet::detail
