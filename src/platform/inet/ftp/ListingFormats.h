#pragma once
// Readers for the lines of a directory listing: MLSD (RFC 3659 facts) and LIST, which has no
// standard and comes in the Unix "ls -l" form or the DOS/IIS form.

#include <optional>
#include <string>
#include <string_view>

#include "platform/inet/Types.h"

namespace skyhaul::inet::detail {

// One MLSD line "fact=value;...; name". Nothing for a line that is not an entry, and for the
// listed directory itself and its parent (type=cdir, type=pdir), which some servers include.
std::optional<FindData> parseMlsdLine(std::string_view line);

// The entry of an MLST reply: its first line that starts with a blank holds the facts and the
// name as in MLSD. Nothing when the reply has no such line or the line is no entry.
std::optional<FindData> parseMlstReply(std::string_view text);

// One LIST line in either known form; nothing for lines such as "total 12".
std::optional<FindData> parseListLine(std::string_view line);

// "-rw-r--r--   1 owner group   60 Dec 08 04:36 a.txt": owner and group may be names or numbers
// (or the group missing), the day zero- or space-padded, a time or a year; a symbolic link
// "name -> target" gives "name"; a name may hold spaces.
std::optional<FindData> parseUnixListLine(std::string_view line);

// "12-08-26  04:36AM                   60 a.txt" or "12-08-26  04:36AM       <DIR>  sub".
std::optional<FindData> parseDosListLine(std::string_view line);

}  // namespace skyhaul::inet::detail
