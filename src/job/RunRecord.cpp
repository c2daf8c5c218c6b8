#include "job/RunRecord.h"

#include <array>
#include <charconv>
#include <sstream>
#include <utility>

#include "platform/ErrorCode.h"
#include "platform/IsoTime.h"
#include "platform/ReplacedFile.h"
#include "platform/SystemLog.h"
#include "platform/inet/transport/ServerAddress.h"

namespace skyhaul::job {

using json = nlohmann::ordered_json;
using platform::ExitStatus;

namespace {

// Numbers as programs read them, whatever the locale's decimal separator.
std::string plainNumber(double value) {
  std::array<char, 64> text{};
  const auto end =
      std::to_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed, 3);
  std::string number(text.data(), end.ptr);
  while (number.back() == '0') number.pop_back();
  if (number.back() == '.') number.pop_back();
  return number;
}

// To the millisecond, as the ISO texts of the record give it.
double unixSeconds(std::chrono::system_clock::time_point when) {
  const auto milliseconds = std::chrono::floor<std::chrono::milliseconds>(when.time_since_epoch());
  return static_cast<double>(milliseconds.count()) / 1000;
}

// To the millisecond.
double secondsBetween(std::chrono::system_clock::time_point from,
                      std::chrono::system_clock::time_point to) {
  return static_cast<double>(std::chrono::round<std::chrono::milliseconds>(to - from).count()) /
         1000;
}

bool isUtf8(const std::string& text) {
  try {
    (void)json(text).dump();
    return true;
  } catch (const json::type_error&) {
    return false;
  }
}

std::string hexOf(const std::string& text) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    hex += kDigits[byte >> 4];
    hex += kDigits[byte & 15];
  }
  return hex;
}

// A name is kept as it is; one that is no UTF-8 (JSON carries nothing else) gets its bytes in
// hexadecimal beside the text, where the bytes that are no UTF-8 show as U+FFFD.
void putName(json& object, const std::string& key, const std::string& name) {
  object[key] = name;
  if (!isUtf8(name)) object[key + "_hex"] = hexOf(name);
}

json timeObject(std::chrono::system_clock::time_point when) {
  return {{"utc", platform::isoUtcText(when)}, {"local", platform::isoLocalText(when)}};
}

const char* directionName(Direction direction) {
  return direction == Direction::Up ? "up" : "down";
}

// In the exposition format a label value escapes the backslash, the quote and the line feed.
std::string labelValue(const std::string& value) {
  std::string escaped;
  for (const char c : value) {
    if (c == '\\') {
      escaped += "\\\\";
    } else if (c == '"') {
      escaped += "\\\"";
    } else if (c == '\n') {
      escaped += "\\n";
    } else {
      escaped += c;
    }
  }
  return escaped;
}

constexpr const char* kLastSuccess = "skyhaul_last_success_timestamp_seconds";

// The last success the previous file recorded for these labels; 0 (never) when none.
std::string previousSuccess(const std::string& previous, const std::string& labels) {
  const std::string head = std::string(kLastSuccess) + labels + " ";
  std::istringstream lines(previous);
  std::string line;
  while (std::getline(lines, line)) {
    if (!line.starts_with(head)) continue;
    const std::string value = line.substr(head.size());
    double parsed = 0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), parsed);
    if (error == std::errc{} && end == value.data() + value.size() && parsed >= 0) return value;
  }
  return "0";
}

platform::LogPriority priorityOf(ExitStatus status) {
  switch (status) {
    case ExitStatus::Completed:
      return platform::LogPriority::Info;
    case ExitStatus::ListingFailed:
    case ExitStatus::AlreadyRunning:
    case ExitStatus::ClosedByUser:
      return platform::LogPriority::Warning;
    default:
      return platform::LogPriority::Error;
  }
}

}  // namespace

const char* exitStatusMeaning(ExitStatus status) {
  switch (status) {
    case ExitStatus::Completed:
      return "opravilo je teklo do konca";
    case ExitStatus::FileFailed:
      return "datoteka ni uspela niti v tretjem poskusu";
    case ExitStatus::UnhandledError:
      return "opravilo je končala napaka, ki je ne obravnava";
    case ExitStatus::ClosedByUser:
      return "končal ga je uporabnik";
    case ExitStatus::ConnectionFailed:
      return "povezave ob začetku ni bilo mogoče vzpostaviti";
    case ExitStatus::AlreadyRunning:
      return "drug zagon istega opravila že teče";
    case ExitStatus::ListingFailed:
      return "opravilo je teklo do konca, a seznama datotek na strežniku ni bilo mogoče dobiti";
    case ExitStatus::UsageError:
      return "napačna uporaba";
  }
  return "neznan status";
}

RunRecord::RunRecord(platform::Clock& clock, RunOutputs fromCommandLine, std::string version)
    : clock_(clock),
      outputs_(fromCommandLine),
      commandLine_(std::move(fromCommandLine)),
      version_(std::move(version)),
      started_(clock.now()),
      ended_(started_) {}

void RunRecord::describeJob(JobDescription job, const RunOutputs& fromSettings) {
  job_ = std::move(job);
  outputs_.jsonPath = commandLine_.jsonPath ? commandLine_.jsonPath : fromSettings.jsonPath;
  outputs_.metricsPath =
      commandLine_.metricsPath ? commandLine_.metricsPath : fromSettings.metricsPath;
  outputs_.systemLog = commandLine_.systemLog ? commandLine_.systemLog : fromSettings.systemLog;
}

RunRecord::FileEntry* RunRecord::current() {
  return files_.empty() || files_.back().finished ? nullptr : &files_.back();
}

// An entry stays open from its file's first attempt to its success or failure; its paths are
// those of the latest attempt (the client hands them back trimmed of spaces).
void RunRecord::attemptStarted(Direction direction, const std::string& localPath,
                               const std::string& remotePath) {
  FileEntry* entry = current();
  if (entry == nullptr) {
    files_.push_back({});
    entry = &files_.back();
    entry->started = clock_.now();
  }
  entry->direction = direction;
  entry->localPath = localPath;
  entry->remotePath = remotePath;
  ++entry->attempts;
}

void RunRecord::succeeded(const ftp::cFTP::TransferFacts& facts) {
  FileEntry* entry = current();
  if (entry == nullptr) return;
  entry->finished = true;
  entry->ok = true;
  entry->facts = facts;
  entry->ended = clock_.now();
}

void RunRecord::failed(const std::string& error) {
  FileEntry* entry = current();
  if (entry == nullptr) return;
  entry->finished = true;
  entry->error = error;
  entry->ended = clock_.now();
  entry->deleted = false;
  entry->sourceReason = "prenos ni uspel";
}

void RunRecord::sourceHandled(bool deleted, const std::string& reason) {
  if (files_.empty()) return;
  files_.back().deleted = deleted;
  files_.back().sourceReason = reason;
}

RunRecord::Totals RunRecord::totals() const {
  Totals sums;
  for (const FileEntry& file : files_) {
    if (!file.ok) {
      sums.failed += file.finished ? 1 : 0;
      continue;
    }
    (file.direction == Direction::Up ? sums.filesUp : sums.filesDown) += 1;
    (file.direction == Direction::Up ? sums.bytesUp : sums.bytesDown) += file.facts.bytes;
    sums.sizeChecked += file.facts.sizeConfirmed ? 1 : 0;
    sums.digestChecked += file.facts.digest.empty() ? 0 : 1;
  }
  return sums;
}

double RunRecord::seconds() const { return secondsBetween(started_, ended_); }

nlohmann::ordered_json RunRecord::document(ExitStatus status) const {
  json record;
  record["schema"] = "skyhaul-run";
  record["schema_version"] = kRunRecordSchemaVersion;
  record["program"] = {{"name", "skyhaul"}, {"version", version_}};
  json job = {{"settings_file", nullptr}, {"section", nullptr}};
  json server = nullptr;
  if (job_) {
    putName(job, "settings_file", job_->settingsPath);
    putName(job, "section", job_->section);
    const auto parts = inet::serverParts(job_->server);
    server = {{"scheme", parts ? json(parts->scheme) : json(nullptr)},
              {"host", parts ? json(parts->host) : json(job_->server)},
              {"port", parts ? json(parts->port) : json(nullptr)}};
    putName(server, "user", job_->user);
  }
  record["job"] = job;
  record["server"] = server;
  record["start"] = timeObject(started_);
  record["end"] = timeObject(ended_);
  record["duration_seconds"] = seconds();
  record["exit"] = {{"status", static_cast<int>(status)}, {"meaning", exitStatusMeaning(status)}};
  const Totals sums = totals();
  record["totals"] = {{"up", {{"files", sums.filesUp}, {"bytes", sums.bytesUp}}},
                      {"down", {{"files", sums.filesDown}, {"bytes", sums.bytesDown}}},
                      {"failed", sums.failed}};
  json files = json::array();
  for (const FileEntry& file : files_) {
    json entry;
    entry["direction"] = directionName(file.direction);
    putName(entry, "local_path", file.localPath);
    putName(entry, "remote_path", file.remotePath);
    entry["outcome"] = file.ok ? "ok" : file.finished ? "failed" : "interrupted";
    entry["bytes"] = file.ok ? json(file.facts.bytes) : json(nullptr);
    const auto end = file.finished ? file.ended : ended_;
    entry["seconds"] = secondsBetween(file.started, end);
    entry["attempts"] = file.attempts;
    entry["resumed_from"] = file.facts.resumedFrom ? json(*file.facts.resumedFrom) : json(nullptr);
    entry["checks"] = {
        {"size", file.facts.sizeConfirmed},
        {"digest", file.facts.digest.empty() ? json(nullptr) : json(file.facts.digest)}};
    entry["source"] = {{"deleted", file.deleted.value_or(false)},
                       {"reason", file.deleted ? json(file.sourceReason) : json(nullptr)}};
    entry["error"] = file.finished && !file.ok ? json(file.error) : json(nullptr);
    files.push_back(std::move(entry));
  }
  record["files"] = std::move(files);
  return record;
}

std::string RunRecord::labels() const {
  if (!job_) return "{settings=\"\",section=\"\"}";
  return "{settings=\"" + labelValue(job_->settingsPath) + "\",section=\"" +
         labelValue(job_->section) + "\"}";
}

std::string RunRecord::metricsText(ExitStatus status, const std::string& previous) const {
  const std::string own = labels();
  const std::string withDirection = own.substr(0, own.size() - 1) + ",direction=\"";
  const Totals sums = totals();
  std::ostringstream text;
  const auto metric = [&text](const char* name, const char* help) {
    text << "# HELP " << name << ' ' << help << "\n# TYPE " << name << " gauge\n";
  };
  metric("skyhaul_last_run_start_timestamp_seconds", "Začetek zadnjega zagona (čas Unix).");
  text << "skyhaul_last_run_start_timestamp_seconds" << own << ' '
       << plainNumber(unixSeconds(started_)) << '\n';
  metric("skyhaul_last_run_end_timestamp_seconds", "Konec zadnjega zagona (čas Unix).");
  text << "skyhaul_last_run_end_timestamp_seconds" << own << ' ' << plainNumber(unixSeconds(ended_))
       << '\n';
  metric("skyhaul_last_run_exit_status", "Izhodni status zadnjega zagona.");
  text << "skyhaul_last_run_exit_status" << own << ' ' << static_cast<int>(status) << '\n';
  metric("skyhaul_last_run_files", "Prenesene datoteke zadnjega zagona po smeri.");
  text << "skyhaul_last_run_files" << withDirection << "up\"} " << sums.filesUp << '\n';
  text << "skyhaul_last_run_files" << withDirection << "down\"} " << sums.filesDown << '\n';
  metric("skyhaul_last_run_bytes", "Preneseni bajti zadnjega zagona po smeri.");
  text << "skyhaul_last_run_bytes" << withDirection << "up\"} " << sums.bytesUp << '\n';
  text << "skyhaul_last_run_bytes" << withDirection << "down\"} " << sums.bytesDown << '\n';
  metric("skyhaul_last_run_failed_files", "Datoteke zadnjega zagona, ki niso uspele.");
  text << "skyhaul_last_run_failed_files" << own << ' ' << sums.failed << '\n';
  metric(kLastSuccess, "Konec zadnjega uspešnega zagona (čas Unix; 0: še nobenega).");
  text << kLastSuccess << own << ' '
       << (status == ExitStatus::Completed ? plainNumber(unixSeconds(ended_))
                                           : previousSuccess(previous, own))
       << '\n';
  return text.str();
}

std::string RunRecord::summaryLine(ExitStatus status) const {
  const Totals sums = totals();
  const std::string job =
      job_ ? "posel \"" + job_->section + "\" (" + job_->settingsPath + ")" : "posel";
  return "Skyhaul, " + job + ": poslanih datotek " + std::to_string(sums.filesUp) + " (" +
         std::to_string(sums.bytesUp) + " B), prejetih " + std::to_string(sums.filesDown) + " (" +
         std::to_string(sums.bytesDown) + " B), neuspelih " + std::to_string(sums.failed) +
         "; preverjenih po velikosti " + std::to_string(sums.sizeChecked) + ", s kontrolno vsoto " +
         std::to_string(sums.digestChecked) + "; izhodni status " +
         std::to_string(static_cast<int>(status)) + " (" + exitStatusMeaning(status) +
         "); trajanje " + plainNumber(seconds()) + " s";
}

void RunRecord::finish(ExitStatus status, std::ostream& errors) {
  ended_ = clock_.now();
  writeJson(status, errors);
  writeMetrics(status, errors);
  if (outputs_.systemLog.value_or(true)) writeSystemLog(status);
}

void RunRecord::writeJson(ExitStatus status, std::ostream& errors) const {
  if (!outputs_.jsonPath) return;
  const std::string text =
      document(status).dump(2, ' ', false, json::error_handler_t::replace) + "\n";
  const auto written = platform::replaceFileWith(*outputs_.jsonPath, text);
  if (written != platform::ErrorCode::Success) {
    errors << "Zapisa o zagonu ni mogoče zapisati v \"" << *outputs_.jsonPath
           << "\": " << platform::messageFor(written) << "\n";
  }
}

void RunRecord::writeMetrics(ExitStatus status, std::ostream& errors) const {
  if (!outputs_.metricsPath) return;
  const std::string previous = platform::wholeFileText(*outputs_.metricsPath).value_or("");
  const auto written =
      platform::replaceFileWith(*outputs_.metricsPath, metricsText(status, previous));
  if (written != platform::ErrorCode::Success) {
    errors << "Metrik ni mogoče zapisati v \"" << *outputs_.metricsPath
           << "\": " << platform::messageFor(written) << "\n";
  }
}

void RunRecord::writeSystemLog(ExitStatus status) const {
  const Totals sums = totals();
  std::vector<platform::LogField> fields = {
      {"SKYHAUL_EXIT_STATUS", std::to_string(static_cast<int>(status))},
      {"SKYHAUL_FILES_UP", std::to_string(sums.filesUp)},
      {"SKYHAUL_BYTES_UP", std::to_string(sums.bytesUp)},
      {"SKYHAUL_FILES_DOWN", std::to_string(sums.filesDown)},
      {"SKYHAUL_BYTES_DOWN", std::to_string(sums.bytesDown)},
      {"SKYHAUL_DURATION_SECONDS", plainNumber(seconds())}};
  if (job_) {
    fields.push_back({"SKYHAUL_SETTINGS", job_->settingsPath});
    fields.push_back({"SKYHAUL_SECTION", job_->section});
  }
  (void)platform::writeSystemLog(priorityOf(status), summaryLine(status), fields);
}

}  // namespace skyhaul::job
