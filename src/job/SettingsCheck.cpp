// Settings mistakes told before anything moves. A mistyped key or section would otherwise be
// ignored and a default would fill in, and a job that runs on defaults may put its files where
// nobody looks and delete their sources. Each warning is one line on the error stream, also in
// a quiet run; a job that cannot run as meant ends with status 2 before it connects.
#include <algorithm>
#include <string>

#include "job/Job.h"
#include "job/LeaveOut.h"
#include "job/SettingsKeys.h"
#include "platform/FileInfo.h"
#include "platform/LocalDirectory.h"
#include "platform/PathParts.h"
#include "platform/SystemError.h"
#include "settings/Filled.h"
#include "settings/IniContents.h"
#include "settings/IniLine.h"
#include "settings/PopToken.h"
#include "settings/ReadIni.h"

namespace skyhaul::job {

using settings::IsFilled;

namespace {

// The name a warning shows a prefix joined to: the prefix is data, so the example is plain.
constexpr const char* kExampleName = "a.txt";

}  // namespace

void Job::checkSettings(const std::string& job, bool sectionFromCommand) {
  if (!sectionFromCommand) requireChosenSection();
  warnAboutUnknownKeys("PROGRAM");
  if (IsFilled(form_.SelectedSection) && !settings::sameName(form_.SelectedSection, "PROGRAM")) {
    warnAboutUnknownKeys(form_.SelectedSection);
  }
  warnAboutLocalPrefix();
  requireLocalFolder(job);
}

// IZBRANO that names no section would run the job on the built-in defaults.
void Job::requireChosenSection() {
  const std::string& section = form_.SelectedSection;
  if (!IsFilled(section)) return;
  const auto names = settings::SectionNames(form_.IniPath);
  const auto same = [&](const std::string& name) { return settings::sameName(name, section); };
  if (std::any_of(names.begin(), names.end(), same)) return;
  endBeforeStart("Odseka [" + section + "], ki ga izbere IZBRANO, v datoteki \"" + form_.IniPath +
                 "\" ni; posel se ne začne.");
}

void Job::warnAboutUnknownKeys(const std::string& section) {
  const KeyPlace place =
      settings::sameName(section, "PROGRAM") ? KeyPlace::Program : KeyPlace::Connection;
  for (const settings::IniKey& key : settings::SectionKeys(section, form_.IniPath)) {
    if (isKnownKey(place, key.name)) continue;
    const std::string resembling = resemblingKey(place, key.name);
    view_.notice("Opozorilo: \"" + form_.IniPath + "\", vrstica " + std::to_string(key.line) +
                 ": neznan ključ \"" + escapedName(key.name) + "\" v odseku [" + section +
                 "] se ne upošteva" +
                 (resembling.empty() ? "." : "; ali ste mislili \"" + resembling + "\"?"));
  }
}

// The token stays a mask, as always; only a person is told, when it matches no local file and
// looks like a slip in a section's name.
void Job::warnAboutMaskLikeSection(const std::string& first) {
  for (const std::string& section : settings::SectionNames(form_.IniPath)) {
    if (settings::sameName(section, "PROGRAM") || !settings::resemblesName(first, section)) {
      continue;
    }
    try {
      if (!platform::listMatchingFiles(form_.textLDIR.text() + first).empty()) return;
    } catch (const platform::SystemError&) {
      // No local folder to match in: the check of the folder itself tells of it.
    }
    view_.notice("Opozorilo: \"" + escapedName(first) +
                 "\" ni odsek s FTPURL, zato velja za masko datotek; ali ste mislili odsek [" +
                 section + "]?");
    return;
  }
}

// A prefix that names a folder but lacks its "/" puts the name behind the folder's own name.
void Job::warnAboutLocalPrefix() {
  const std::string& prefix = form_.textLDIR.text();
  if (!IsFilled(prefix) || prefix.ends_with('/') || !platform::isDirectory(prefix)) return;
  view_.notice("Opozorilo: localdir \"" + prefix + "\" je mapa, a se ne konča z \"/\"; datoteka " +
               kExampleName + " bi dobila pot \"" + prefix + kExampleName + "\".");
}

// Without its local folder no command can work: a download would fail every file three times
// (and with DEL the remote copies would be at risk), an upload would find nothing to send.
void Job::requireLocalFolder(const std::string& job) {
  bool anyCommand = IsFilled(job);
  for (int i = 1; i <= kStoredEntries && !anyCommand; ++i) {
    anyCommand = IsFilled(
        settings::ReadIni(form_.SelectedSection, "prenos" + std::to_string(i), form_.IniPath));
  }
  const std::string folder = platform::folderOf(form_.textLDIR.text());
  if (!anyCommand || platform::isDirectory(folder)) return;
  endBeforeStart("Lokalne mape \"" + folder + "\" (localdir \"" + form_.textLDIR.text() +
                 "\") ni; posel se ne začne.");
}

// A remote prefix without its "/" may be meant as the start of each name, so only a prefix
// that the server takes as a folder is warned about; the folder the session stood in is
// restored, for the listings that follow.
void Job::warnAboutRemotePrefix() {
  const std::string prefix = form_.textDIR.text();
  if (!IsFilled(prefix) || prefix.ends_with('/')) return;
  const std::string current = mFTP.GetFTPDirectory();
  if (current.empty() || !mFTP.SetFTPDirectory(prefix)) return;
  mFTP.SetFTPDirectory(current);
  view_.notice("Opozorilo: ftpdir \"" + prefix +
               "\" je mapa na strežniku, a se ne konča z \"/\"; datoteka " + kExampleName +
               " bi dobila pot \"" + prefix + kExampleName + "\".");
}

void Job::endBeforeStart(const std::string& line) {
  view_.notice(line);
  programEnd_.endProgram(platform::ExitStatus::UnhandledError);
}

}  // namespace skyhaul::job
