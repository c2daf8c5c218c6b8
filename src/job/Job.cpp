// Start-up and the job run.
#include "job/Job.h"

#include <charconv>
#include <chrono>

#include "form/StatusLine.h"
#include "job/LeaveOut.h"
#include "platform/PathParts.h"
#include "platform/ProcessLauncher.h"
#include "platform/inet/transport/ServerAddress.h"
#include "settings/Filled.h"
#include "settings/IniLine.h"
#include "settings/PopToken.h"
#include "settings/ReadIni.h"
#include "settings/TrimSpaces.h"

namespace skyhaul::job {

using settings::IsFilled;
using settings::ReadIni;
using settings::trimSpaces;

namespace {

std::string orDefault(std::string value, const std::string& fallback) {
  return IsFilled(value) ? value : fallback;
}

// "starost": whole seconds, at most a day; anything else keeps the default.
int settleSecondsOf(const std::string& value) {
  constexpr int kMaxSeconds = 24 * 60 * 60;
  int seconds = 0;
  const auto end = value.data() + value.size();
  const auto [last, error] = std::from_chars(value.data(), end, seconds);
  if (value.empty() || error != std::errc() || last != end || seconds < 0 ||
      seconds > kMaxSeconds) {
    return kSettleSeconds;
  }
  return seconds;
}

// The server as host:port, the way an administrator checks it; the text itself when it is no
// server address at all.
std::string serverDescription(const std::string& server) {
  const auto address = inet::parseServerAddress(server, 0);
  if (!address) return server;
  const bool v6 = address->host.find(':') != std::string::npos;
  return (v6 ? "[" + address->host + "]" : address->host) + ":" + std::to_string(address->port);
}

}  // namespace

Job::Job(form::FrmUpdate& form, form::View& view, platform::Clock& clock,
         platform::ProgramEnd& programEnd, JobEnvironment environment)
    : mFTP(clock),
      form_(form),
      view_(view),
      clock_(clock),
      programEnd_(programEnd),
      environment_(std::move(environment)),
      log_(clock),
      plan_(environment_.dryRun),
      ownRecord_(clock, {}, {}),
      record_(environment_.record != nullptr ? *environment_.record : ownRecord_) {}

void Job::Form_Load() {
  form_.IniPath = environment_.settingsPath.value_or(
      platform::pathIn(environment_.programDirectory, kSettingsFileName));
  const std::string& ini = form_.IniPath;
  form_.SelectedSection = ReadIni("PROGRAM", "IZBRANO", ini);
  const std::string& section = form_.SelectedSection;
  form_.textURL.setText(orDefault(ReadIni(section, "FTPURL", ini), kDefaultServer));
  form_.textDIR.setText(ReadIni(section, "ftpdir", ini));
  form_.textLDIR.setText(ReadIni(section, "localdir", ini));
  form_.FtpUser = orDefault(ReadIni(section, "uporabnik", ini), kDefaultUser);
  form_.FtpPassword = orDefault(ReadIni(section, "geslo", ini), kDefaultPassword);
  applySectionSwitches(section);
  if (!IsFilled(form_.textLDIR.text())) form_.textLDIR.setText(environment_.programDirectory + "/");
  warnAboutSettings();
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
  bool sectionFromCommand = false;
  if (IsFilled(command)) {
    const std::string first = settings::PopToken(command);
    if (IsFilled(ReadIni(first, "FTPURL", form_.IniPath))) {
      switchToSection(first);
      job = command;
      sectionFromCommand = true;
      view_.yieldBeforeWait();
    } else {
      warnAboutMaskLikeSection(first);
    }
  }
  view_.yieldBeforeWait();
  checkSettings(job, sectionFromCommand);
  RunJob(job);
}

// A job that silently runs on defaults, or a password anyone may read, is what an administrator
// must hear about: each gets one line.
void Job::warnAboutSettings() {
  const std::string& ini = form_.IniPath;
  if (!platform::isReadableFile(ini)) {
    const char* cause = platform::pathExists(ini) ? "ni berljiva" : "ne obstaja";
    // A file named on purpose is never stood in for by defaults: they would run another job.
    if (environment_.settingsPath) {
      endBeforeStart("Datoteka z nastavitvami \"" + ini + "\" (--settings) " + cause +
                     "; posel se ne začne.");
    }
    view_.notice("Opozorilo: datoteka z nastavitvami \"" + ini + "\" " + cause +
                 "; posel teče s privzetimi nastavitvami.");
  } else if (platform::isReadableByOthers(ini) && settings::AnySectionHolds("geslo", ini)) {
    view_.notice("Opozorilo: datoteka z nastavitvami \"" + ini +
                 "\" hrani geslo, brati pa jo smejo tudi drugi uporabniki (chmod 600 \"" + ini +
                 "\").");
  }
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
  applySectionSwitches(section);
}

// The section's keys beyond the design's: publishing by rename, the trusted certificates,
// digests (which a server that computes them too slowly may have turned off), and for SFTP the
// private key and the known_hosts file.
void Job::applySectionSwitches(const std::string& section) {
  const std::string& ini = form_.IniPath;
  publishByRename_ = ReadIni(section, "zacasno", ini) == "1";
  mFTP.SetTrustedCertificates(ReadIni(section, "certifikat", ini));
  mFTP.SetDigestChecks(ReadIni(section, "kontrolnevsote", ini) != "0");
  mFTP.SetPrivateKey(ReadIni(section, "kljuc", ini));
  mFTP.SetKnownHosts(ReadIni(section, "znanigostitelji", ini));
  settleSeconds_ = settleSecondsOf(ReadIni(section, "starost", ini));
}

// A dry run takes no lock (it must not hold off the real run), and neither waits nor starts the
// follow-up programs: it names them.
void Job::RunJob(const std::string& job) {
  describeRun();
  if (plan_ == nullptr) {
    lockJob();
  } else {
    planStart();
  }
  view_.detail("Povezovanje s strežnikom " + serverDescription(form_.textURL.text()) + " ...");
  const bool connected =
      mFTP.OpenConnection(form_.textURL.text(), form_.FtpUser, form_.FtpPassword);
  if (connected) {
    view_.detail("Prijavljen kot " + form_.FtpUser + ".");
    warnAboutRemotePrefix();
    if (plan_ != nullptr) planRemoteFolder();
    if (IsFilled(job)) ftpprenos(job);
    runStoredCommands();
    view_.yieldBeforeWait();
  } else {
    reportStartFailure();
  }
  view_.yieldBeforeWait();
  mFTP.CloseConnection();
  view_.yieldBeforeWait();
  const auto status = !connected       ? platform::ExitStatus::ConnectionFailed
                      : listingFailed_ ? platform::ExitStatus::ListingFailed
                                       : platform::ExitStatus::Completed;
  if (plan_ != nullptr) {
    planFollowUpPrograms();
  } else {
    clock_.sleep(std::chrono::milliseconds(5000));
    startFollowUpPrograms();
  }
  view_.detail("Konec, izhodni status " + std::to_string(static_cast<int>(status)) + ".");
  programEnd_.endProgram(status);
}

// What the run's record says of the job, and where the section wants it (a path on the command
// line wins): "json" and "metrike" name files, "dnevnik=0" keeps the system log out of it.
void Job::describeRun() {
  const auto setting = [this](const char* key) -> std::optional<std::string> {
    std::string value = ReadIni(form_.SelectedSection, key, form_.IniPath);
    if (!IsFilled(value)) return std::nullopt;
    return value;
  };
  const auto systemLog = setting("dnevnik");
  record_.describeJob({form_.IniPath, form_.SelectedSection, form_.textURL.text(), form_.FtpUser},
                      {setting("json"), setting("metrike"),
                       systemLog ? std::optional<bool>(*systemLog != "0") : std::nullopt});
}

// Two runs of one job (the same settings file and section) would send the same files twice and
// trip over each other's deletions: the later one ends before it connects, whoever started it.
void Job::lockJob() {
  long holder = 0;
  if (lock_.acquire(form_.IniPath, settings::foldedName(form_.SelectedSection), holder) ==
      platform::JobLock::Outcome::Acquired) {
    return;
  }
  const std::string other = holder > 0 ? "proces " + std::to_string(holder) : "drug proces";
  view_.notice("Posel \"" + form_.SelectedSection + "\" iz \"" + form_.IniPath + "\" že teče (" +
               other + "); ta zagon se konča, ne da bi kaj prenesel.");
  programEnd_.endProgram(platform::ExitStatus::AlreadyRunning);
}

// Nothing is transferred and nothing logged, but an unattended run must leave a trace of why:
// the status line shows the connection's error, and the error stream names the server.
// A view that prints the status line on the error stream prints this one there already.
void Job::reportStartFailure() {
  const std::string line = "Povezave s strežnikom " + serverDescription(form_.textURL.text()) +
                           " ni bilo mogoče odpreti: " + form::oneLine(mFTP.GetLastErrorMessage());
  form_.Label3.setText("Status napaka: " + line);
  if (!view_.printsStatusLines()) view_.notice(line);
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

}  // namespace skyhaul::job
