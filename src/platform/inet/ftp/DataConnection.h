#pragma once
// Data connections of an FTP connection: passive (EPSV for IPv6, PASV for IPv4) or active
// (EPRT for IPv6, PORT for IPv4), and the start and end of a transfer over one.

#include <cstdint>
#include <optional>
#include <string>

#include "platform/inet/Status.h"
#include "platform/inet/ftp/Connection.h"
#include "platform/inet/ftp/DataStream.h"

namespace skyhaul::inet::detail {

// Opens a data connection and sends `command` (RETR, STOR, LIST, MLSD); `stream` holds the open
// data connection once the server has accepted the transfer. A refusal is
// InternetExtendedError; a file transfer "complete" at once, before any 1xx, is
// FtpUnexpectedReply. A `restartAt` above 0 sends REST right before the command, so that the
// transfer starts at that byte.
Status startTransfer(Connection& connection, const std::string& command,
                     std::optional<DataStream>& stream, std::int64_t restartAt = 0);

// Reads the final reply of the transfer started last: success only for 2xx; 4xx or 5xx is
// InternetExtendedError. The data connection must be closed first.
Status finishTransfer(Connection& connection);

}  // namespace skyhaul::inet::detail
