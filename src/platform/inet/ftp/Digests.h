#pragma once
// Digests the server computes of a file it stores: which it offers (FEAT), and asking for one
// with HASH (after OPTS HASH, and RANG for a range) or with XSHA256, XSHA1, XMD5 or XCRC.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/Digest.h"
#include "platform/inet/Status.h"
#include "platform/inet/ftp/Connection.h"
#include "platform/inet/ftp/ReplyParsers.h"

namespace skyhaul::inet::detail {

using platform::DigestAlgorithm;

// One way the server offers to compute a digest.
struct DigestOffer {
  DigestAlgorithm algorithm = DigestAlgorithm::Sha256;
  bool hash = false;    // through HASH; else through the algorithm's X command
  bool ranges = false;  // it can be limited to a range (HASH with RANG, or an X command)
};

// The digests FEAT announced, strongest first (SHA-256, SHA-1, MD5, CRC32), one per algorithm:
// HASH where it offers the algorithm, since it names what it computed; else the X command.
std::vector<DigestOffer> digestsOffered(const Features& features);
// The strongest of them; nothing when the server offers none.
std::optional<DigestOffer> strongestDigest(const Features& features);

// First and last byte of a range, both included (as RANG gives them).
using ByteRange = std::pair<std::int64_t, std::int64_t>;

// Asks the server for the digest of `path` (all of it, or `range`), computed with `algorithm`,
// and gives it in `hex` as normalDigestHex() writes it. HASH when offered (OPTS HASH first when
// another algorithm is in force; RANG first for a range), else the X command (with start and
// exclusive end for a range). The whole reply, intermediate "213-"/"250-" lines included, must
// arrive within `timeout`, which the caller scales with the file's size; a timeout kills the
// connection like any other wait. Fails with DigestNotOffered when the server offers no way,
// FtpDigestRefused when it will not compute it (its reply is the control's last reply),
// FtpDigestMalformed when the answer is of another form, algorithm or range (a HASH answered
// for another range leaves none in force).
Status askDigest(Connection& connection, const std::string& path, DigestAlgorithm algorithm,
                 std::optional<ByteRange> range, std::chrono::milliseconds timeout,
                 std::string& hex);

}  // namespace skyhaul::inet::detail
