#include "faults/FtpesJob.h"

#include "support/JobFiles.h"
#include "support/TestCertificates.h"

namespace skyhaul::test {

namespace fs = std::filesystem;

RunOutcome runFtpesJob(const ProgramFolder& program, const fs::path& work, const FtpesLogin& login,
                       const std::string& ftpdir, const fs::path& local,
                       const std::string& command) {
  // Appended, not added up: GCC 12 warns falsely of overlapping copies in "literal" + string.
  std::string url = "ftpes://";
  url += login.address;
  std::string settings = jobSettings(url, local.string() + "/", ftpdir);
  settings += "uporabnik=";
  settings += login.user;
  settings += "\ngeslo=";
  settings += login.password;
  settings += "\ncertifikat=";
  settings += testCertificates().caCert.string();
  settings += "\n";
  program.writeIni(settings);
  // They hold a password: kept from other users, or the program warns.
  fs::permissions(program.path() / "ftpjob.ini", fs::perms(0600));
  RunOptions options;
  options.arguments = {command};
  options.workingDirectory = work;
  options.environment = {"SKYHAUL_VERBOSE=1"};
  return program.run(options);
}

}  // namespace skyhaul::test
