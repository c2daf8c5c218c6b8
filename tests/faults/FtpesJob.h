#pragma once
// Whole jobs against a real FTPS server over explicit TLS (proftpd, vsftpd): the settings that
// log in to it, the server's certificate checked against the tests' CA.

#include <filesystem>
#include <string>

#include "support/ProgramFolder.h"

namespace skyhaul::test {

struct FtpesLogin {
  std::string address;  // "host:port"
  std::string user;
  std::string password;
};

// Runs `program` with the command `command` in the working folder `work`, status lines printed,
// between the local folder `local` and the folder `ftpdir` of the server.
RunOutcome runFtpesJob(const ProgramFolder& program, const std::filesystem::path& work,
                       const FtpesLogin& login, const std::string& ftpdir,
                       const std::filesystem::path& local, const std::string& command);

}  // namespace skyhaul::test
