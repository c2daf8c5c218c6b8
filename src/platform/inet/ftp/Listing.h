#pragma once
// Remote listings: the directory part of a mask is listed (MLSD or LIST, never with the mask
// itself, which many servers do not expand) and the last component is matched here.

#include <string>
#include <vector>

#include "platform/inet/ftp/Connection.h"
#include "platform/inet/Status.h"
#include "platform/inet/Types.h"

namespace skyhaul::inet::detail {

// Lists `directory` ("" for the current one) with MLSD when the server has it, else LIST.
// Entries read before the data connection failed are kept; a missing or unreadable directory is
// FtpFolderMissing, also where the server lists it as empty (an empty listing is checked with
// CWD there and back); a listing beyond the bounds is FtpListingTooLong, with nothing kept.
Status fetchListing(Connection& connection, const std::string& directory,
                    std::vector<FindData>& entries);

// The entries of `directory` that match `mask`'s last component, with bare names; NoMoreFiles
// when none does. A plain name is asked for alone first (lookUpSingleName).
Status findMatches(Connection& connection, const std::string& mask, std::vector<FindData>& found);

// The entry of exactly the name `path` ends in, never matched as a pattern: asked for alone
// (lookUpListedName), else the listing's entry of that very name. NoMoreFiles when there is none.
Status findEntry(Connection& connection, const std::string& path, FindData& entry);

}  // namespace skyhaul::inet::detail
