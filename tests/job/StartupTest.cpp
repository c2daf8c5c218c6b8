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
    job->mFTP.setEvents(&events);
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
  EXPECT_EQ(run("bare").status, ExitStatus::ConnectionFailed);  // nothing listens there
  EXPECT_EQ(form.SelectedSection, "bare");
  EXPECT_EQ(form.textLDIR.text(), "");
  EXPECT_EQ(form.FtpUser, "");
  EXPECT_EQ(form.FtpPassword, "");
}

TEST_F(Startup, AFirstTokenThatIsNoSectionIsPartOfTheCommand) {
  writeIni("[PROGRAM]\nIZBRANO=a\n[a]\nFTPURL=127.0.0.1:1\n[nourl]\nftpdir=/x/\n");
  EXPECT_EQ(run("nourl,x.txt").status, ExitStatus::ConnectionFailed);  // nothing listens there
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
  EXPECT_EQ(run("").status, ExitStatus::ConnectionFailed);  // nothing listens there
  const auto sleeps = clock.sleeps.size();
  EXPECT_NO_THROW(job->Form_Activate());
  EXPECT_EQ(clock.sleeps.size(), sleeps);
}

// A run on defaults, or a password others may read, is worth one line to the administrator.
TEST_F(Startup, TheSettingsFileIsWarnedAboutWhenItIsMissingOrExposesAPassword) {
  using std::filesystem::perms;
  struct Case {
    const char* name;
    const char* ini;  // nullptr: no file
    perms mode;
    const char* notice;  // a part of the one line expected, or "" for none
  };
  const perms shared = perms::owner_read | perms::owner_write | perms::group_read;
  const perms own = perms::owner_read | perms::owner_write;
  for (const Case& c : std::vector<Case>{
           {"Missing", nullptr, own, "ne obstaja; posel teče s privzetimi nastavitvami"},
           {"Unreadable", "[s]\n", perms::none, "ni berljiva"},
           {"SharedPassword", "[a]\n[b]\ngeslo=skrivno\n", shared, "hrani geslo"},
           {"OwnPassword", "[b]\ngeslo=skrivno\n", own, ""},
           {"SharedWithoutPassword", "[b]\ngeslo= \n", shared, ""},
       }) {
    SCOPED_TRACE(c.name);
    const auto path = program.path() / "ftpjob.ini";
    std::filesystem::remove(path);
    if (c.ini != nullptr) {
      writeIni(c.ini);
      std::filesystem::permissions(path, c.mode);
    }
    view.notices.clear();
    if (c.mode == perms::none && ::geteuid() == 0) continue;  // root reads it all the same
    load();
    if (*c.notice == '\0') {
      EXPECT_TRUE(view.notices.empty()) << view.notices.front();
    } else {
      ASSERT_EQ(view.notices.size(), 1u);
      EXPECT_NE(view.notices[0].find(c.notice), std::string::npos) << view.notices[0];
      EXPECT_NE(view.notices[0].find(path.string()), std::string::npos) << view.notices[0];
    }
  }
}

// A second run of the same job ends before it connects; another section is another job.
TEST_F(Startup, ARunOfAJobThatIsUnderWayEndsAtOnceWithStatusFive) {
  std::filesystem::create_directory(server.root() / "in");
  writeFile(local.path() / "a.txt", "a");
  writeSettings("run1=touch " + work.prefix() + "after\n[other]\nFTPURL=" + server.address() +
                "\nuporabnik=ftpjob\ngeslo=pelmun\n");
  std::filesystem::permissions(program.path() / "ftpjob.ini", std::filesystem::perms::owner_read);
  ASSERT_EQ(run("").status, ExitStatus::Completed);
  auto first = std::move(job);  // still holds its lock

  view.notices.clear();
  const RunResult second = run("a.txt,UP,DEL");
  EXPECT_EQ(second.status, ExitStatus::AlreadyRunning);
  ASSERT_EQ(view.notices.size(), 1u);
  EXPECT_NE(view.notices[0].find("\"job\""), std::string::npos) << view.notices[0];
  EXPECT_NE(view.notices[0].find("proces " + std::to_string(::getpid())), std::string::npos)
      << view.notices[0];
  EXPECT_TRUE(std::filesystem::exists(local.path() / "a.txt"));
  EXPECT_TRUE(logLines().empty());
  EXPECT_EQ(clock.sleeps.size(), 1u);  // the first run's end; the second waited for nothing

  EXPECT_EQ(run("OTHER").status, ExitStatus::Completed) << view.statuses.back();
  first.reset();
  EXPECT_EQ(run("a.txt,UP,DEL").status, ExitStatus::Completed);
  EXPECT_FALSE(std::filesystem::exists(local.path() / "a.txt"));
}

}  // namespace
}  // namespace skyhaul::test
