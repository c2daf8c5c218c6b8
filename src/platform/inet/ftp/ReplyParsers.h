#pragma once
// Readers for the replies that carry data: PASV (227), EPSV (229), PWD (257) and FEAT (211).

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Digest.h"

namespace skyhaul::inet::detail {

// The address and port that a 227 reply names.
struct PassiveEndpoint {
  std::array<std::uint8_t, 4> address{};
  std::uint16_t port = 0;
};

// Finds the six numbers h1,h2,h3,h4,p1,p2 anywhere in a 227 reply (servers differ on the
// brackets around them). Nothing when there are none or one is out of range.
std::optional<PassiveEndpoint> parsePasvReply(std::string_view text);

// The port of a 229 reply "(<d><d><d>port<d>)"; nothing when the reply has no such part.
std::optional<std::uint16_t> parseEpsvReply(std::string_view text);

// The directory of a 257 reply: the text between the first pair of quotes, with a doubled quote
// standing for one. Nothing when the reply has no quoted name.
std::optional<std::string> parsePwdReply(std::string_view text);

// What a FEAT reply advertises that the library uses.
struct Features {
  bool mlst = false;  // MLST (and with it MLSD)
  bool size = false;  // SIZE
  bool mdtm = false;  // MDTM
  bool rest = false;  // REST STREAM: a transfer may start part-way
  bool utf8 = false;
  // The digests the server computes: HASH's algorithms (the starred one in force at first),
  // RANG to limit HASH to a range, and the X commands of one algorithm each.
  std::vector<platform::DigestAlgorithm> hashAlgorithms;
  std::optional<platform::DigestAlgorithm> hashSelected;
  bool rang = false;
  bool xsha256 = false;
  bool xsha1 = false;
  bool xmd5 = false;
  bool xcrc = false;
};
Features parseFeatReply(std::string_view text);

// The size of a 213 reply to SIZE: its text is the decimal size and nothing else. Nothing when
// the text is anything else (or too large for 64 bits).
std::optional<std::int64_t> parseSizeReply(std::string_view text);

}  // namespace skyhaul::inet::detail
