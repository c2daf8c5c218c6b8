// What the server receives, command by command, for the job's usual steps: the login, the
// listing (FEAT decides between MLSD and LIST), a download and an upload; and the commands of
// each further file, which on a distant server are round trips each.
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
        // A plain name is asked for alone (MLST), once to list it and once to size it; the
        // same answer gives its modification time.
        Exchange{"DownloadOfAName",
                 {},
                 "a.txt,DOWN",
                 {"MLST in/a.txt", "CWD /", "MLST in/a.txt", "TYPE I", "PASV", "RETR in/a.txt"}},
        Exchange{"DownloadOfAMaskWithMlsd",
                 {},
                 "*.txt,DOWN",
                 {"PASV", "MLSD in", "CWD /", "MLST in/a.txt", "TYPE I", "PASV", "RETR in/a.txt"}},
        // Without MLST: LIST, then SIZE in binary type (refused in ASCII) and the modification
        // time (MDTM): what a part kept for a later attempt records.
        Exchange{"DownloadOfAMaskWithList",
                 {"no-mlst"},
                 "*.txt,DOWN",
                 {"PASV", "LIST in", "CWD /", "TYPE I", "SIZE in/a.txt", "MDTM in/a.txt", "PASV",
                  "RETR in/a.txt"}},
        // The stored size is asked before the upload counts.
        Exchange{"Upload",
                 {},
                 "b.txt,UP",
                 {"CWD /", "TYPE I", "PASV", "STOR in/b.txt", "SIZE in/b.txt"}}),
    [](const auto& info) { return std::string(info.param.name); });

struct FileSteps {
  const char* name;
  std::vector<std::string> faults;
  const char* direction;
  Commands perFile;  // for the file NAME, which ends the last of them
};

void PrintTo(const FileSteps& f, std::ostream* os) { *os << f.name; }

class CommandsPerFile : public JobTest, public ::testing::WithParamInterface<FileSteps> {};

// Three files: the second and the third cost exactly their own commands, nothing more.
TEST_P(CommandsPerFile, AreOnlyTheFilesOwn) {
  const std::vector<std::string> names = {"a.txt", "b.txt", "c.txt"};
  std::filesystem::create_directory(server.root() / "in");
  for (std::size_t i = 0; i < names.size(); ++i) {
    const auto folder =
        std::string(GetParam().direction) == "DOWN" ? server.root() / "in" : local.path();
    writeFile(folder / names[i], patternBytes(500 + i, static_cast<int>(i)));
  }
  server.setFaults(GetParam().faults);
  writeSettings();
  run(std::string("*.txt,") + GetParam().direction);
  const Commands all = server.commandsOf(1);
  ASSERT_GE(all.size(), 2 * GetParam().perFile.size() + 1);
  // The files go in the order the queue has them; the last two before QUIT are compared.
  const auto tail = all.end() - 1 - 2 * static_cast<std::ptrdiff_t>(GetParam().perFile.size());
  const Commands got(tail, all.end() - 1);
  Commands expected;
  // Each file's name is taken from its last command, which ends with it.
  for (const std::size_t first : {std::size_t{0}, GetParam().perFile.size()}) {
    const std::string& last = got[first + GetParam().perFile.size() - 1];
    const std::string name = last.substr(last.rfind('/') + 1);
    for (const std::string& step : GetParam().perFile) {
      const auto at = step.find("NAME");
      expected.push_back(at == std::string::npos ? step : step.substr(0, at) + name);
    }
  }
  EXPECT_EQ(got, expected);
  EXPECT_EQ(all.back(), "QUIT");
}

INSTANTIATE_TEST_SUITE_P(
    Steps, CommandsPerFile,
    ::testing::Values(
        FileSteps{"DownloadWithMlst", {}, "DOWN", {"MLST in/NAME", "PASV", "RETR in/NAME"}},
        FileSteps{"DownloadWithoutMlst",
                  {"no-mlst"},
                  "DOWN",
                  {"SIZE in/NAME", "MDTM in/NAME", "PASV", "RETR in/NAME"}},
        FileSteps{"Upload", {}, "UP", {"PASV", "STOR in/NAME", "SIZE in/NAME"}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace skyhaul::test
