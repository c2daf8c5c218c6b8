// Settings mistakes, as an administrator makes them on a new machine, each told in one line on
// standard error before anything moves; the real program against the loopback server. Most rows
// run with --dry-run, which reads and checks the settings as a run does and moves nothing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/JobFiles.h"
#include "support/ProgramFolder.h"
#include "support/TempDir.h"
#include "support/TestFtpServer.h"

namespace skyhaul::test {
namespace {

struct Mistake {
  const char* name;
  std::string section;  // the lines of [job] after FTPURL; {local} is the local folder's path
  std::vector<std::string> arguments;
  int exitStatus;
  std::string line;            // a whole line of standard error; {ini} and {local} filled in
  bool connects = true;        // false: the program ends before it connects
  const char* chosen = "job";  // IZBRANO
};

void PrintTo(const Mistake& m, std::ostream* os) { *os << m.name; }

std::string filledIn(std::string text, const std::string& ini, const std::string& local) {
  for (const auto& [mark, value] : {std::pair<std::string, std::string>{"{ini}", ini},
                                    std::pair<std::string, std::string>{"{local}", local}}) {
    for (auto at = text.find(mark); at != std::string::npos; at = text.find(mark)) {
      text.replace(at, mark.size(), value);
    }
  }
  return text;
}

bool hasLine(const std::string& text, const std::string& line) {
  return ("\n" + text).find("\n" + line + "\n") != std::string::npos;
}

class SettingsMistakes : public ::testing::TestWithParam<Mistake> {
 protected:
  SettingsMistakes() {
    std::filesystem::create_directory(server.root() / "in");
    writeFile(server.root() / "in/r.zip", "remote");
    writeFile(local.path() / "l.txt", "local");
  }

  TestFtpServer server;
  ProgramFolder program;
  TempDir local;
  TempDir work;
};

TEST_P(SettingsMistakes, AreToldBeforeAnythingMoves) {
  const Mistake& row = GetParam();
  const std::string ini = (program.path() / "ftpjob.ini").string();
  program.writeIni("[PROGRAM]\nIZBRANO=" + std::string(row.chosen) + "\n[job]\nFTPURL=" +
                   server.address() + "\n" + filledIn(row.section, ini, local.path().string()) +
                   "[ftpdown]\nFTPURL=" + server.address() + "\n");
  RunOptions options;
  options.arguments = row.arguments;
  options.workingDirectory = work.path();

  const RunOutcome result = program.run(std::move(options));

  EXPECT_EQ(result.exitStatus, row.exitStatus) << result.errors;
  EXPECT_TRUE(hasLine(result.errors, filledIn(row.line, ini, local.path().string())))
      << result.errors;
  EXPECT_EQ(server.commands().empty(), !row.connects);
  EXPECT_EQ(readFile(server.root() / "in/r.zip"), "remote");
  EXPECT_EQ(readFile(local.path() / "l.txt"), "local");
  EXPECT_FALSE(std::filesystem::exists(server.root() / "in/l.txt"));
  EXPECT_FALSE(std::filesystem::exists(work.path() / "SKYHAUL.log"));
}

const std::string kDry = "--dry-run";

INSTANTIATE_TEST_SUITE_P(
    Rows, SettingsMistakes,
    ::testing::Values(
        Mistake{"KeyOfTheSection",
                "FTPDRI=in/\nlocaldir={local}/\n",
                {kDry, "*.txt,UP,DEL"},
                0,
                "Opozorilo: \"{ini}\", vrstica 5: neznan ključ \"FTPDRI\" v odseku [job] se ne "
                "upošteva; ali ste mislili \"ftpdir\"?"},
        Mistake{"SwappedLetters",
                "ftpdir=in/\nlocaldir={local}/\ngselo=pelmun\n",
                {kDry},
                0,
                "Opozorilo: \"{ini}\", vrstica 7: neznan ključ \"gselo\" v odseku [job] se ne "
                "upošteva; ali ste mislili \"geslo\"?"},
        Mistake{"StoredCommandBeyondTwenty",
                "ftpdir=in/\nlocaldir={local}/\nprenos21=*.txt,UP\n",
                {kDry},
                0,
                "Opozorilo: \"{ini}\", vrstica 7: neznan ključ \"prenos21\" v odseku [job] se ne "
                "upošteva; ali ste mislili \"prenos1..prenos20\"?"},
        Mistake{"NothingLikeIt",
                "ftpdir=in/\nlocaldir={local}/\nbarva=modra\n",
                {kDry},
                0,
                "Opozorilo: \"{ini}\", vrstica 7: neznan ključ \"barva\" v odseku [job] se ne "
                "upošteva."},
        Mistake{"ChosenSectionMissing",
                "ftpdir=in/\nlocaldir={local}/\n",
                {"*.txt,UP,DEL"},
                2,
                "Odseka [jbo], ki ga izbere IZBRANO, v datoteki \"{ini}\" ni; posel se ne začne.",
                false,
                "jbo"},
        Mistake{"SectionMistypedOnTheCommandLine",
                "ftpdir=in/\nlocaldir={local}/\n",
                {kDry, "ftpdwn"},
                0,
                "Opozorilo: \"ftpdwn\" ni odsek s FTPURL, zato velja za masko datotek; ali ste "
                "mislili odsek [ftpdown]?"},
        Mistake{"SettingsFileMissing",
                "",
                {"--settings", "nic.ini", "*.txt,UP,DEL"},
                2,
                "Datoteka z nastavitvami \"nic.ini\" (--settings) ne obstaja; posel se ne začne.",
                false},
        Mistake{"LocalPrefixWithoutSlash",
                "ftpdir=in/\nlocaldir={local}\n",
                {kDry, "*.txt,UP,DEL"},
                0,
                "Opozorilo: localdir \"{local}\" je mapa, a se ne konča z \"/\"; datoteka a.txt bi "
                "dobila pot \"{local}a.txt\"."},
        Mistake{"RemotePrefixWithoutSlash",
                "ftpdir=in\nlocaldir={local}/\n",
                {kDry, "*.zip,DOWN"},
                0,
                "Opozorilo: ftpdir \"in\" je mapa na strežniku, a se ne konča z \"/\"; datoteka "
                "a.txt bi dobila pot \"ina.txt\"."},
        Mistake{"DownloadFolderMissing",
                "ftpdir=in/\nlocaldir={local}/manjka/\n",
                {"*.zip,DOWN,DEL"},
                2,
                "Lokalne mape \"{local}/manjka\" (localdir \"{local}/manjka/\") ni; posel se ne "
                "začne.",
                false},
        Mistake{"UploadFolderMissing",
                "ftpdir=in/\nlocaldir={local}/manjka/\nprenos3=*.txt,UP,DEL\n",
                {},
                2,
                "Lokalne mape \"{local}/manjka\" (localdir \"{local}/manjka/\") ni; posel se ne "
                "začne.",
                false},
        // A real run, quiet as under cron, still says it.
        Mistake{"KeyInARealRun",
                "ftpdir=in/\nlokaldir={local}/\n",
                {"*.csv,UP,DEL"},
                0,
                "Opozorilo: \"{ini}\", vrstica 6: neznan ključ \"lokaldir\" v odseku [job] se ne "
                "upošteva; ali ste mislili \"localdir\"?"}),
    [](const ::testing::TestParamInfo<Mistake>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace skyhaul::test
