// What the server receives, command by command, for the job's usual steps: the login, the
// listing (FEAT decides between MLSD and LIST), a download and an upload.
#include <gtest/gtest.h>

#include "job/JobTestBase.h"

namespace skyhaul::test {
namespace {

using Commands = std::vector<std::string>;

struct Exchange {
  const char* name;
  std::vector<std::string> faults;
  const char* command;  // the job command
  Commands expected;    // after the login, before QUIT
};

void PrintTo(const Exchange& e, std::ostream* os) { *os << e.name; }

const Commands kLogin = {"USER ftpjob", "PASS pelmun", "FEAT", "OPTS UTF8 ON"};

class ServerCommands : public JobTest, public ::testing::WithParamInterface<Exchange> {};

TEST_P(ServerCommands, AreExactlyThese) {
  std::filesystem::create_directory(server.root() / "in");
  writeFile(server.root() / "in/a.txt", patternBytes(600, 1));
  writeFile(local.path() / "b.txt", patternBytes(700, 2));
  server.setFaults(GetParam().faults);
  writeSettings();
  run(GetParam().command);
  Commands expected = kLogin;
  expected.insert(expected.end(), GetParam().expected.begin(), GetParam().expected.end());
  expected.push_back("QUIT");
  EXPECT_EQ(server.commandsOf(1), expected);
  EXPECT_EQ(server.commandsOf(2), Commands{}) << "a second connection";
}

INSTANTIATE_TEST_SUITE_P(
    Steps, ServerCommands,
    ::testing::Values(
        Exchange{"LoginOnly", {}, "", {}},
        // A plain name is asked for alone (MLST), once to list it and once to size it.
        Exchange{"DownloadOfAName",
                 {},
                 "a.txt,DOWN",
                 {"MLST in/a.txt", "CWD /", "MLST in/a.txt", "MLST in/a.txt", "TYPE I", "PASV",
                  "RETR in/a.txt"}},
        Exchange{"DownloadOfAMaskWithMlsd",
                 {},
                 "*.txt,DOWN",
                 {"PASV", "MLSD in", "CWD /", "MLST in/a.txt", "MLST in/a.txt", "TYPE I", "PASV",
                  "RETR in/a.txt"}},
        // Without MLST: LIST; SIZE is refused in ASCII type, so the size comes from LIST too.
        // Before each download its modification time (MLST, else MDTM): what a part kept for a
        // later attempt records.
        Exchange{"DownloadOfAMaskWithList",
                 {"no-mlst"},
                 "*.txt,DOWN",
                 {"PASV", "LIST in", "CWD /", "SIZE in/a.txt", "PASV", "LIST in", "MDTM in/a.txt",
                  "TYPE I", "PASV", "RETR in/a.txt"}},
        // The stored size is asked before the upload counts.
        Exchange{"Upload",
                 {},
                 "b.txt,UP",
                 {"CWD /", "TYPE I", "PASV", "STOR in/b.txt", "SIZE in/b.txt"}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace skyhaul::test
