#pragma once
// Whole-file transfers between a local file and the server in one call (STOR, RETR).

#include <string>

#include "platform/inet/ftp/Connection.h"
#include "platform/inet/Status.h"
#include "platform/inet/Types.h"

namespace skyhaul::inet::detail {

// Stores the local file under `remote`. The local file is opened first, so that a missing one
// leaves the server untouched; its failure is the local file's code.
Status putFile(Connection& connection, const std::string& local, const std::string& remote,
               TransferType type);

// Fetches `remote` into the local file, which keeps its old contents until the new copy is
// whole and confirmed.
Status getFile(Connection& connection, const std::string& remote, const std::string& local,
               TransferType type);

}  // namespace skyhaul::inet::detail
