// Start-up and the job run.
#include "job/Job.h"

#include <chrono>

#include "platform/ProcessLauncher.h"
#include "settings/Filled.h"
#include "settings/PopToken.h"
#include "settings/ReadIni.h"

namespace skyhaul::job {

using settings::IsFilled;
using settings::ReadIni;

namespace {

std::string trimSpaces(const std::string& text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::string orDefault(std::string value, const std::string& fallback) {
  return IsFilled(value) ? value : fallback;
}

}  // namespace

Job::Job(window::FrmUpdate& form, window::View& view, platform::Clock& clock,
         platform::ProgramEnd& programEnd, JobEnvironment environment)
    : mFTP(clock),
      form_(form),
      view_(view),
      clock_(clock),
      programEnd_(programEnd),
      environment_(std::move(environment)),
      progress_(form, view, clock),
      log_(clock) {}

void Job::Form_Load() {
  form_.IniPath =
      environment_.settingsPath.value_or(environment_.programDirectory + "/" + kSettingsFileName);
  const std::string& ini = form_.IniPath;
  form_.SelectedSection = ReadIni("PROGRAM", "IZBRANO", ini);
  const std::string& section = form_.SelectedSection;
  form_.textURL.setText(orDefault(ReadIni(section, "FTPURL", ini), kDefaultServer));
  form_.textDIR.setText(ReadIni(section, "ftpdir", ini));
  form_.textLDIR.setText(ReadIni(section, "localdir", ini));
  form_.FtpUser = orDefault(ReadIni(section, "uporabnik", ini), kDefaultUser);
  form_.FtpPassword = orDefault(ReadIni(section, "geslo", ini), kDefaultPassword);
  if (!IsFilled(form_.textLDIR.text())) form_.textLDIR.setText(environment_.programDirectory + "/");
  mFTP.setEvents(this);
  mFTP.SetModePassive();
  mFTP.SetTransferBinary();
  form_.FirstActivation = true;
}

void Job::Form_Activate() {
  if (!form_.FirstActivation) return;
  form_.FirstActivation = false;
  std::string command = trimSpaces(environment_.commandLine);
  if (!IsFilled(command)) command = view_.inputBox("Ime datoteke za prenos:", "Prenos");
  std::string job = command;
  if (IsFilled(command)) {
    const std::string first = settings::PopToken(command);
    if (IsFilled(ReadIni(first, "FTPURL", form_.IniPath))) {
      switchToSection(first);
      job = command;
      view_.yield();
    }
  }
  view_.yield();
  RunJob(job);
}

// A section chosen on the command line is used exactly as it stands: no defaults.
void Job::switchToSection(const std::string& section) {
  const std::string& ini = form_.IniPath;
  form_.SelectedSection = section;
  form_.textURL.setText(ReadIni(section, "FTPURL", ini));
  form_.textDIR.setText(ReadIni(section, "ftpdir", ini));
  form_.textLDIR.setText(ReadIni(section, "localdir", ini));
  form_.FtpUser = ReadIni(section, "uporabnik", ini);
  form_.FtpPassword = ReadIni(section, "geslo", ini);
}

void Job::RunJob(const std::string& job) {
  if (mFTP.OpenConnection(form_.textURL.text(), form_.FtpUser, form_.FtpPassword)) {
    if (IsFilled(job)) ftpprenos(job);
    runStoredCommands();
    view_.yield();
  } else {
    // Nothing is transferred and nothing logged, but an unattended run must leave a trace of
    // why: the status line shows the connection's error.
    form_.Label3.setText("Status napaka: " + mFTP.GetLastErrorMessage());
  }
  view_.yield();
  mFTP.CloseConnection();
  view_.yield();
  clock_.sleep(std::chrono::milliseconds(5000));
  startFollowUpPrograms();
  programEnd_.endProgram(platform::ExitStatus::Completed);
}

void Job::runStoredCommands() {
  for (int i = 1; i <= kStoredEntries; ++i) {
    const std::string command =
        ReadIni(form_.SelectedSection, "prenos" + std::to_string(i), form_.IniPath);
    if (IsFilled(command)) ftpprenos(command);
  }
}

void Job::startFollowUpPrograms() {
  for (int i = 1; i <= kStoredEntries; ++i) {
    const std::string commandLine =
        ReadIni(form_.SelectedSection, "run" + std::to_string(i), form_.IniPath);
    if (IsFilled(commandLine)) platform::startProgram(commandLine);
  }
}

void Job::RunUpdate(const std::string& UpdateURL) {
  platform::openWithDefaultApplication(UpdateURL);
}

void Job::FileTransferProgress(const std::int64_t& lCurrentBytes, const std::int64_t& lTotalBytes) {
  progress_.mFTP_FileTransferProgress(lCurrentBytes, lTotalBytes);
}

void Job::yield() { view_.yield(); }

void Job::setLabel11(const std::string& text) { form_.Label11.setText(text); }

}  // namespace skyhaul::job
