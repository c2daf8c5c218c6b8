#include "platform/inet/ftp/RemoteStamp.h"

#include <algorithm>

#include "platform/Ascii.h"

namespace skyhaul::inet::detail {
namespace {

constexpr int kFileStatus = 213;
constexpr std::size_t kStampDigits = 14;

// YYYYMMDDHHMMSS, then perhaps "." and more digits.
bool isStamp(std::string_view text) {
  if (text.size() < kStampDigits) return false;
  const auto digits = text.substr(0, kStampDigits);
  if (!std::all_of(digits.begin(), digits.end(), platform::isAsciiDigit)) return false;
  if (text.size() == kStampDigits) return true;
  const auto fraction = text.substr(kStampDigits + 1);
  return text[kStampDigits] == '.' && !fraction.empty() &&
         std::all_of(fraction.begin(), fraction.end(), platform::isAsciiDigit);
}

bool isModifyFact(std::string_view fact) {
  constexpr std::string_view kName = "modify=";
  return fact.size() > kName.size() && platform::asciiLower(fact.substr(0, kName.size())) == kName;
}

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' ')) {
    text.remove_suffix(1);
  }
  return text;
}

}  // namespace

// The facts stand on the reply's one line that starts with a blank, before the path.
std::optional<std::string> parseModifyFact(std::string_view mlstReply) {
  while (!mlstReply.empty()) {
    const auto end = mlstReply.find('\n');
    const std::string_view line = mlstReply.substr(0, end);
    mlstReply = end == std::string_view::npos ? std::string_view() : mlstReply.substr(end + 1);
    if (line.empty() || line.front() != ' ') continue;
    std::string_view facts = line.substr(1, line.find(' ', 1) - 1);
    while (!facts.empty()) {
      const auto semicolon = facts.find(';');
      const std::string_view fact = facts.substr(0, semicolon);
      facts =
          semicolon == std::string_view::npos ? std::string_view() : facts.substr(semicolon + 1);
      if (isModifyFact(fact) && isStamp(fact.substr(7))) return std::string(fact.substr(7));
    }
  }
  return std::nullopt;
}

std::optional<std::string> parseMdtmReply(std::string_view text) {
  text = trimmed(text);
  if (text.size() < 4 || text.substr(0, 4) != "213 ") return std::nullopt;
  const auto stamp = text.substr(4);
  return isStamp(stamp) ? std::optional<std::string>(stamp) : std::nullopt;
}

Status askModificationTime(Connection& connection, const std::string& path, std::string& stamp) {
  stamp.clear();
  const Features& features = connection.features();
  if (!features.mlst && !features.mdtm) return {};
  Reply reply;
  const Status sent = features.mlst ? connection.mlst(path, reply)
                                    : connection.control().command("MDTM " + path, reply);
  if (!sent) return sent;
  if (!reply.isCompletion()) return {};
  const auto found = features.mlst               ? parseModifyFact(reply.text)
                     : reply.code == kFileStatus ? parseMdtmReply(reply.text)
                                                 : std::nullopt;
  if (found) stamp = *found;
  return {};
}

}  // namespace skyhaul::inet::detail
