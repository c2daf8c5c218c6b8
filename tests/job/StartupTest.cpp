// Loading the settings and the first activation: defaults, section switching, the input box.
#include <gtest/gtest.h>

#include "job/JobTestBase.h"

namespace skyhaul::test {
namespace {

using platform::ExitStatus;

class Startup : public JobTest {
 protected:
  void load() {
    job = std::make_unique<job::Job>(form, view, clock, programEnd,
                                     job::JobEnvironment{program.path().string(), ""});
    job->Form_Load();
  }
};

struct DefaultsCase {
  const char* name;
  const char* ini;  // empty: no settings file at all
};

class LoadDefaults : public Startup, public ::testing::WithParamInterface<DefaultsCase> {};

TEST_P(LoadDefaults, UnfilledValuesTakeTheBuiltInDefaults) {
  if (*GetParam().ini != '\0') writeIni(GetParam().ini);
  load();
  EXPECT_EQ(form.textURL.text(), "localhost");
  EXPECT_EQ(form.textDIR.text(), "");
  EXPECT_EQ(form.textLDIR.text(), program.prefix());
  EXPECT_EQ(form.FtpUser, "ftpjob");
  EXPECT_EQ(form.FtpPassword, "pelmun");
  EXPECT_EQ(form.IniPath, program.prefix() + "ftpjob.ini");
  EXPECT_TRUE(form.FirstActivation);
}

INSTANTIATE_TEST_SUITE_P(
    Settings, LoadDefaults,
    ::testing::Values(DefaultsCase{"NoFile", ""},
                      DefaultsCase{"MissingSection", "[PROGRAM]\nIZBRANO=nowhere\n"},
                      DefaultsCase{"NoSelection", "[x]\nFTPURL=elsewhere\n"},
                      DefaultsCase{"BlankValues",
                                   "[PROGRAM]\nIZBRANO=s\n[s]\nFTPURL= \ngeslo=\nuporabnik=  \n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Startup, ExplicitValuesWinOverDefaults) {
  writeIni(
      "[program]\nizbrano=Mine\n[MINE]\nftpurl=host.example:2121\nFTPDIR=/in/\n"
      "LOCALDIR=/data/\nUPORABNIK=u\nGESLO=\"p w\"\n");
  load();
  EXPECT_EQ(form.SelectedSection, "Mine");
  EXPECT_EQ(form.textURL.text(), "host.example:2121");
  EXPECT_EQ(form.textDIR.text(), "/in/");
  EXPECT_EQ(form.textLDIR.text(), "/data/");
  EXPECT_EQ(form.FtpUser, "u");
  EXPECT_EQ(form.FtpPassword, "p w");
}

TEST_F(Startup, ASectionWithoutLocaldirLeavesTheLocalPrefixEmpty) {
  writeIni(
      "[PROGRAM]\nIZBRANO=a\n[a]\nFTPURL=127.0.0.1:1\nlocaldir=/loaded/\n"
      "[bare]\nFTPURL=127.0.0.1:1\n");
  EXPECT_EQ(run("bare").status, ExitStatus::Completed);
  EXPECT_EQ(form.SelectedSection, "bare");
  EXPECT_EQ(form.textLDIR.text(), "");
  EXPECT_EQ(form.FtpUser, "");
  EXPECT_EQ(form.FtpPassword, "");
}

TEST_F(Startup, AFirstTokenThatIsNoSectionIsPartOfTheCommand) {
  writeIni("[PROGRAM]\nIZBRANO=a\n[a]\nFTPURL=127.0.0.1:1\n[nourl]\nftpdir=/x/\n");
  EXPECT_EQ(run("nourl,x.txt").status, ExitStatus::Completed);
  EXPECT_EQ(form.SelectedSection, "a");
}

TEST_F(Startup, AnAnswerTypedIntoTheInputBoxIsTheJob) {
  std::filesystem::create_directory(server.root() / "in");
  writeFile(local.path() / "typed.txt", "typed");
  writeSettings();
  view.answer = "typed.txt,UP";
  EXPECT_EQ(run("   ").status, ExitStatus::Completed);
  EXPECT_EQ(view.prompts.size(), 1u);
  EXPECT_EQ(readFile(server.root() / "in/typed.txt"), "typed");
}

TEST_F(Startup, OnlyTheFirstActivationStartsAJob) {
  writeIni("[PROGRAM]\nIZBRANO=a\n[a]\nFTPURL=127.0.0.1:1\n");
  EXPECT_EQ(run("").status, ExitStatus::Completed);
  const auto sleeps = clock.sleeps.size();
  EXPECT_NO_THROW(job->Form_Activate());
  EXPECT_EQ(clock.sleeps.size(), sleeps);
}

}  // namespace
}  // namespace skyhaul::test
