#pragma once
// When a remote file was last modified, as the server writes it (YYYYMMDDHHMMSS, perhaps with a
// fraction): a part of a file may be taken up again only while the file is provably the same,
// and its size alone does not prove that.

#include <optional>
#include <string>
#include <string_view>

#include "platform/inet/Status.h"
#include "platform/inet/ftp/Connection.h"

namespace skyhaul::inet::detail {

// The "modify" fact of an MLST reply, or the stamp of a 213 reply to MDTM; nothing when the
// text holds none of the right form.
std::optional<std::string> parseModifyFact(std::string_view mlstReply);
std::optional<std::string> parseMdtmReply(std::string_view text);

// Asks with MLST where offered, else MDTM. `stamp` stays empty when the server offers neither
// or will not tell (a refusal is no failure: the file is then simply not provably the same).
Status askModificationTime(Connection& connection, const std::string& path, std::string& stamp);

}  // namespace skyhaul::inet::detail
