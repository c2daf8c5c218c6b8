#pragma once
// Asking the server about one plain name on the control connection, without a listing: MLST for
// the entry, SIZE for a file's size.

#include <cstdint>
#include <optional>
#include <string>

#include "platform/inet/Status.h"
#include "platform/inet/Types.h"
#include "platform/inet/ftp/Connection.h"

namespace skyhaul::inet::detail {

// Looks up `path`, whose last component is the plain name `name`, with MLST or SIZE where the
// server has them. `answered` is true only for a clear answer naming exactly that entry; else
// the look-up is a listing's to make. Fails only when the control connection failed.
Status lookUpSingleName(Connection& connection, const std::string& path, const std::string& name,
                        FindData& entry, bool& answered);

// The same for a name taken from a listing: "*", "?" and "[" in it are its own characters, so it
// is asked for even when it holds them (MLST and SIZE take a path, never a pattern).
Status lookUpListedName(Connection& connection, const std::string& path, const std::string& name,
                        FindData& entry, bool& answered);

// The size the server reports for a file it stores: SIZE (in binary type), else MLST. No size
// and success when the server offers neither; StoredSizeUnknown when it offers one but
// tells nothing.
Status reportStoredSize(Connection& connection, const std::string& path,
                        std::optional<std::int64_t>& size);

}  // namespace skyhaul::inet::detail
