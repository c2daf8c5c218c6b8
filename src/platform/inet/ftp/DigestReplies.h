#pragma once
// Readers for what servers say about the digests they compute: the HASH line of FEAT, the 213
// reply to HASH and the 250 reply to XSHA256, XSHA1, XMD5 and XCRC.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Digest.h"

namespace skyhaul::inet::detail {

using platform::DigestAlgorithm;

// The algorithms of FEAT's " HASH SHA-256*;SHA-1;MD5" (the text after "HASH"), in the server's
// order, names this library does not know left out; `selected` is the starred one.
struct HashFeature {
  std::vector<DigestAlgorithm> algorithms;
  std::optional<DigestAlgorithm> selected;
};
HashFeature parseHashFeature(std::string_view facts);

// A digest value as this library compares them: lower case, of the algorithm's length; CRC32
// given with fewer digits (leading zeros left out) or "0x" before it is filled to 8. Nothing
// when it is not a hexadecimal value of that algorithm.
std::optional<std::string> normalDigestHex(std::string_view hex, DigestAlgorithm algorithm);

// The final line of a HASH reply: "213 <algorithm> <start>-<end> <hex> <path>".
struct HashAnswer {
  std::string algorithm;  // as the server wrote it
  std::int64_t start = 0;
  std::int64_t end = 0;
  std::string hex;  // as the server wrote it
};
// Reads the reply's last line (a server computing for a while sends "213-" lines before it).
// Nothing when that line does not have the form.
std::optional<HashAnswer> parseHashReply(std::string_view text);

// The value of a reply to an X command: the first word after the code of its last line
// ("250 363A3020"). Nothing when there is none.
std::optional<std::string> parseXDigestReply(std::string_view text);

}  // namespace skyhaul::inet::detail
