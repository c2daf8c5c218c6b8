#include "platform/inet/ftp/Digests.h"

#include <algorithm>

#include "platform/inet/ftp/DigestReplies.h"

namespace skyhaul::inet::detail {
namespace {

constexpr DigestAlgorithm kStrongestFirst[] = {DigestAlgorithm::Sha256, DigestAlgorithm::Sha1,
                                               DigestAlgorithm::Md5, DigestAlgorithm::Crc32};

const char* xCommand(DigestAlgorithm algorithm) {
  switch (algorithm) {
    case DigestAlgorithm::Sha256:
      return "XSHA256";
    case DigestAlgorithm::Sha1:
      return "XSHA1";
    case DigestAlgorithm::Md5:
      return "XMD5";
    case DigestAlgorithm::Crc32:
      return "XCRC";
  }
  return "";
}

bool xOffered(const Features& features, DigestAlgorithm algorithm) {
  switch (algorithm) {
    case DigestAlgorithm::Sha256:
      return features.xsha256;
    case DigestAlgorithm::Sha1:
      return features.xsha1;
    case DigestAlgorithm::Md5:
      return features.xmd5;
    case DigestAlgorithm::Crc32:
      return features.xcrc;
  }
  return false;
}

bool hashOffered(const Features& features, DigestAlgorithm algorithm) {
  return std::ranges::find(features.hashAlgorithms, algorithm) != features.hashAlgorithms.end();
}

// `words` and `argument` joined by a blank. (Appended, not added up: GCC 12 warns falsely of
// overlapping copies in a chain of string additions.)
std::string commandLine(std::string words, const std::string& argument) {
  words += ' ';
  words += argument;
  return words;
}

// A range left in force would cut the next RETR short: a HASH that did not take it resets it.
void resetRange(Connection& connection) {
  Reply ignored;
  (void)connection.control().command("RANG 1 0", ignored);
}

// Whether a HASH answer is for the range asked: its end is the range's last byte, or the byte
// after it (proftpd and SFTPGo give the end exclusive).
bool endsRange(const HashAnswer& answer, const ByteRange& range) {
  return answer.end == range.second || answer.end == range.second + 1;
}

Status selectHash(Connection& connection, DigestAlgorithm algorithm) {
  if (connection.hashSelected() == algorithm) return {};
  Reply reply;
  const std::string line = commandLine("OPTS HASH", std::string(platform::digestName(algorithm)));
  if (const Status sent = connection.control().command(line, reply); !sent) {
    return sent;
  }
  if (!reply.isCompletion()) return ErrorCode::FtpDigestRefused;
  connection.setHashSelected(algorithm);
  return {};
}

Status readDigest(Connection& connection, std::chrono::milliseconds timeout, Reply& reply) {
  if (const Status read = connection.control().readReply(reply, timeout); !read) return read;
  return reply.isCompletion() ? Status() : ErrorCode::FtpDigestRefused;
}

Status askHash(Connection& connection, const std::string& path, DigestAlgorithm algorithm,
               std::optional<ByteRange> range, std::chrono::milliseconds timeout,
               std::string& hex) {
  if (const Status selected = selectHash(connection, algorithm); !selected) return selected;
  Reply reply;
  if (range) {
    const std::string rang = commandLine(commandLine("RANG", std::to_string(range->first)),
                                         std::to_string(range->second));
    if (const Status sent = connection.control().command(rang, reply); !sent) return sent;
    if (!reply.isIntermediate()) return ErrorCode::FtpDigestRefused;
  }
  if (const Status sent = connection.control().send(commandLine("HASH", path)); !sent) return sent;
  if (const Status read = readDigest(connection, timeout, reply); !read) {
    if (range && connection.control().isAlive()) resetRange(connection);
    return read;
  }
  const auto answer = parseHashReply(reply.text);
  const auto normal = answer ? normalDigestHex(answer->hex, algorithm) : std::nullopt;
  if (!normal || platform::digestNamed(answer->algorithm) != algorithm ||
      answer->start != (range ? range->first : 0) || (range && !endsRange(*answer, *range))) {
    // proftpd takes RANG for transfers only: its HASH answers for the whole file and leaves the
    // range in force.
    if (range) resetRange(connection);
    return ErrorCode::FtpDigestMalformed;
  }
  hex = *normal;
  return {};
}

Status askX(Connection& connection, const std::string& path, DigestAlgorithm algorithm,
            std::optional<ByteRange> range, std::chrono::milliseconds timeout, std::string& hex) {
  std::string line = commandLine(xCommand(algorithm), path);
  if (range) {
    line = commandLine(line, std::to_string(range->first));
    line = commandLine(line, std::to_string(range->second + 1));
  }
  if (const Status sent = connection.control().send(line); !sent) return sent;
  Reply reply;
  if (const Status read = readDigest(connection, timeout, reply); !read) return read;
  const auto value = parseXDigestReply(reply.text);
  const auto normal = value ? normalDigestHex(*value, algorithm) : std::nullopt;
  if (!normal) return ErrorCode::FtpDigestMalformed;
  hex = *normal;
  return {};
}

}  // namespace

std::vector<DigestOffer> digestsOffered(const Features& features) {
  std::vector<DigestOffer> offers;
  for (const DigestAlgorithm algorithm : kStrongestFirst) {
    if (hashOffered(features, algorithm)) {
      offers.push_back({.algorithm = algorithm, .hash = true, .ranges = features.rang});
    } else if (xOffered(features, algorithm)) {
      offers.push_back({.algorithm = algorithm, .hash = false, .ranges = true});
    }
  }
  return offers;
}

std::optional<DigestOffer> strongestDigest(const Features& features) {
  const auto offers = digestsOffered(features);
  if (offers.empty()) return std::nullopt;
  return offers.front();
}

Status askDigest(Connection& connection, const std::string& path, DigestAlgorithm algorithm,
                 std::optional<ByteRange> range, std::chrono::milliseconds timeout,
                 std::string& hex) {
  if (const Status ready = connection.checkReady(); !ready) return ready;
  const Features& features = connection.features();
  // HASH for a range only with RANG; an X command takes a range as arguments.
  if (hashOffered(features, algorithm) && (!range || features.rang)) {
    return askHash(connection, path, algorithm, range, timeout, hex);
  }
  if (xOffered(features, algorithm)) return askX(connection, path, algorithm, range, timeout, hex);
  return ErrorCode::DigestNotOffered;
}

}  // namespace skyhaul::inet::detail
