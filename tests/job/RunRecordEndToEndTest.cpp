// What a run leaves for monitoring, from the real program: the JSON record checked against its
// schema and against the files it describes, the metrics file read by a strict parser of the
// exposition format, and the summary line caught on a syslog socket of the test's own.
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>

#include "support/JobFiles.h"
#include "support/ProgramFolder.h"
#include "support/TempDir.h"
#include "support/TestFtpServer.h"

namespace skyhaul::test {
namespace {

using nlohmann::json;

// A datagram socket bound where the program is told to send its syslog line.
class SyslogCatcher {
 public:
  explicit SyslogCatcher(std::filesystem::path path)
      : path_(std::move(path)), fd_(::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path_.c_str(), sizeof(address.sun_path) - 1);
    if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
      throw std::runtime_error("no syslog socket");
    }
  }
  ~SyslogCatcher() { ::close(fd_); }
  SyslogCatcher(const SyslogCatcher&) = delete;
  SyslogCatcher& operator=(const SyslogCatcher&) = delete;
  std::string environment() const { return "SKYHAUL_SYSLOG_SOCKET=" + path_.string(); }
  // The lines sent so far (the program has ended: all it sent is queued).
  std::vector<std::string> lines() const {
    std::vector<std::string> received;
    std::array<char, 8192> buffer{};
    for (int i = 0; i < 100; ++i) {
      const ssize_t got = ::recv(fd_, buffer.data(), buffer.size(), MSG_DONTWAIT);
      if (got < 0) break;
      received.emplace_back(buffer.data(), static_cast<std::size_t>(got));
    }
    return received;
  }

 private:
  std::filesystem::path path_;
  int fd_;
};

// The record's schema, version 1: each member's JSON pointer and the types it may have.
using Schema = std::vector<std::pair<std::string, std::vector<json::value_t>>>;
constexpr auto kString = json::value_t::string;
constexpr auto kNull = json::value_t::null;
constexpr auto kUnsigned = json::value_t::number_unsigned;
constexpr auto kFloat = json::value_t::number_float;
constexpr auto kBool = json::value_t::boolean;

const Schema kRunSchema = {
    {"/schema", {kString}},
    {"/schema_version", {kUnsigned}},
    {"/program/version", {kString}},
    {"/job/settings_file", {kString, kNull}},
    {"/job/section", {kString, kNull}},
    {"/server/scheme", {kString, kNull}},
    {"/server/host", {kString}},
    {"/server/port", {kUnsigned, kNull}},
    {"/server/user", {kString}},
    {"/start/utc", {kString}},
    {"/start/local", {kString}},
    {"/end/utc", {kString}},
    {"/end/local", {kString}},
    {"/duration_seconds", {kFloat, kUnsigned}},
    {"/exit/status", {kUnsigned}},
    {"/exit/meaning", {kString}},
    {"/totals/up/files", {kUnsigned}},
    {"/totals/down/bytes", {kUnsigned}},
    {"/totals/failed", {kUnsigned}},
    {"/files", {json::value_t::array}},
};
const Schema kFileSchema = {
    {"/direction", {kString}},      {"/local_path", {kString}},
    {"/remote_path", {kString}},    {"/outcome", {kString}},
    {"/bytes", {kUnsigned, kNull}}, {"/seconds", {kFloat, kUnsigned}},
    {"/attempts", {kUnsigned}},     {"/resumed_from", {kUnsigned, kNull}},
    {"/checks/size", {kBool}},      {"/checks/digest", {kString, kNull}},
    {"/source/deleted", {kBool}},   {"/source/reason", {kString, kNull}},
    {"/error", {kString, kNull}},
};

void expectSchema(const json& value, const Schema& schema) {
  for (const auto& [pointer, types] : schema) {
    const json::json_pointer at(pointer);
    ASSERT_TRUE(value.contains(at)) << pointer << " missing";
    EXPECT_NE(std::find(types.begin(), types.end(), value.at(at).type()), types.end())
        << pointer << " has type " << value.at(at).type_name();
  }
}

// ISO 8601 with milliseconds: "Z" for UTC, the offset for local time.
bool isIsoTime(const std::string& text, bool utc) {
  static const std::regex kUtc(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z)");
  static const std::regex kLocal(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d)");
  return std::regex_match(text, utc ? kUtc : kLocal);
}

json readRecord(const std::filesystem::path& file) {
  const json record = json::parse(readFile(file));
  expectSchema(record, kRunSchema);
  for (const auto& file : record.at("files")) expectSchema(file, kFileSchema);
  for (const char* end : {"start", "end"}) {
    EXPECT_TRUE(isIsoTime(record[end]["utc"], true)) << record[end]["utc"];
    EXPECT_TRUE(isIsoTime(record[end]["local"], false)) << record[end]["local"];
  }
  return record;
}

// The text exposition format, strictly: HELP and TYPE lines, then samples of declared gauges
// whose label values are escaped; anything else fails the test. Samples by their name and
// labels as written.
std::map<std::string, double> parseMetrics(const std::string& text) {
  static const std::regex kHelp(R"(# HELP ([a-zA-Z_:][a-zA-Z0-9_:]*) .*)");
  static const std::regex kType(R"(# TYPE ([a-zA-Z_:][a-zA-Z0-9_:]*) (gauge|counter))");
  static const std::regex kSample(
      R"(([a-zA-Z_:][a-zA-Z0-9_:]*)(\{[a-zA-Z_][a-zA-Z0-9_]*="(?:[^"\\\n]|\\[\\"n])*")"
      R"((?:,[a-zA-Z_][a-zA-Z0-9_]*="(?:[^"\\\n]|\\[\\"n])*")*\})? (-?[0-9]+(?:\.[0-9]+)?(?:e[+-]?[0-9]+)?))");
  std::map<std::string, double> samples;
  std::map<std::string, std::string> types;
  EXPECT_TRUE(text.empty() || text.back() == '\n');
  std::istringstream lines(text);
  std::string line;
  std::smatch match;
  while (std::getline(lines, line)) {
    if (std::regex_match(line, match, kHelp)) continue;
    if (std::regex_match(line, match, kType)) {
      EXPECT_FALSE(types.contains(match[1])) << "second TYPE: " << line;
      types[match[1]] = match[2];
      continue;
    }
    if (!std::regex_match(line, match, kSample)) {
      ADD_FAILURE() << "not the exposition format: " << line;
      continue;
    }
    EXPECT_TRUE(types.contains(match[1])) << "no TYPE before " << line;
    const std::string key = match[1].str() + match[2].str();
    EXPECT_FALSE(samples.contains(key)) << "twice: " << key;
    samples[key] = std::stod(match[3]);
  }
  return samples;
}

class RunRecordEndToEnd : public ::testing::Test {
 protected:
  RunRecordEndToEnd() : syslog(sockets.path() / "log") {
    std::filesystem::create_directory(server.root() / "in");
    metrics = (outputs.path() / "skyhaul.prom").string();
    // The section's own keys name the metrics file; the record comes from the command line.
    program.writeIni(jobSettings(server.address(), local.prefix()) + "metrike=" + metrics + "\n");
  }
  RunOutcome run(std::vector<std::string> arguments) const {
    RunOptions options;
    options.arguments = std::move(arguments);
    options.workingDirectory = work.path();
    options.environment = {syslog.environment()};
    return program.run(std::move(options));
  }
  // The labels of this job's samples, as the file writes them.
  std::string labels(const std::string& more = "") const {
    return "{settings=\"" + (program.path() / "ftpjob.ini").string() + "\",section=\"job\"" + more +
           "}";
  }

  TestFtpServer server;
  ProgramFolder program;
  TempDir local;
  TempDir work;
  TempDir outputs;
  TempDir sockets;
  SyslogCatcher syslog;
  std::string metrics;
};

TEST_F(RunRecordEndToEnd, ASuccessfulRunIsRecordedCountedAndLogged) {
  writeFile(local.path() / "a.txt", patternBytes(5000, 1));
  writeFile(local.path() / "b.txt", patternBytes(300, 2));
  const auto record = outputs.path() / "run.json";

  const RunOutcome result = run({"--json", record.string(), "*.txt,UP,DEL"});

  ASSERT_EQ(result.exitStatus, 0) << result.errors;
  EXPECT_EQ(result.errors, "");
  const json run = readRecord(record);
  EXPECT_EQ(run["exit"]["status"], 0);
  EXPECT_EQ(run["job"]["section"], "job");
  EXPECT_EQ(run["server"]["port"], server.port());
  EXPECT_EQ(readFile(record).find(kFtpPassword), std::string::npos);
  EXPECT_EQ(run["totals"]["up"]["bytes"], 5300);
  ASSERT_EQ(run["files"].size(), 2U);
  std::map<std::string, int> sizes = {{"a.txt", 5000}, {"b.txt", 300}};
  for (const auto& file : run["files"]) {
    const std::string local_path = file["local_path"];
    const std::string name = local_path.substr(local.prefix().size());
    ASSERT_TRUE(sizes.contains(name)) << local_path;
    EXPECT_EQ(file["remote_path"], "in/" + name);
    EXPECT_EQ(file["bytes"], readFile(server.root() / "in" / name).size());
    EXPECT_EQ(file["attempts"], 1);
    EXPECT_EQ(file["checks"]["size"], true);
    EXPECT_EQ(file["source"]["deleted"], true);
    EXPECT_FALSE(std::filesystem::exists(local.path() / name));
  }

  const auto samples = parseMetrics(readFile(metrics));
  EXPECT_EQ(samples.at("skyhaul_last_run_exit_status" + labels()), 0);
  EXPECT_EQ(samples.at("skyhaul_last_run_files" + labels(",direction=\"up\"")), 2);
  EXPECT_EQ(samples.at("skyhaul_last_run_bytes" + labels(",direction=\"up\"")), 5300);
  EXPECT_EQ(samples.at("skyhaul_last_success_timestamp_seconds" + labels()),
            samples.at("skyhaul_last_run_end_timestamp_seconds" + labels()));

  const auto lines = syslog.lines();
  ASSERT_EQ(lines.size(), 1U);
  EXPECT_TRUE(lines[0].starts_with("<14>")) << lines[0];  // user, info
  EXPECT_NE(lines[0].find("poslanih datotek 2 (5300 B)"), std::string::npos) << lines[0];
  EXPECT_NE(lines[0].find("izhodni status 0"), std::string::npos) << lines[0];
}

TEST_F(RunRecordEndToEnd, AFailedFileIsRecordedAndTheLastSuccessKept) {
  writeFile(local.path() / "first.txt", "first");
  ASSERT_EQ(run({"first.txt,UP"}).exitStatus, 0);
  const double success =
      parseMetrics(readFile(metrics)).at("skyhaul_last_success_timestamp_seconds" + labels());
  writeFile(local.path() / "no.txt", "refused");
  server.setFaults({"refuse:STOR:553"});
  (void)syslog.lines();
  const auto record = outputs.path() / "failed.json";

  const RunOutcome result = run({"--json=" + record.string(), "no.txt,UP,DEL"});

  ASSERT_EQ(result.exitStatus, 1) << result.errors;
  const json run = readRecord(record);
  EXPECT_EQ(run["exit"]["meaning"], "datoteka ni uspela niti v tretjem poskusu");
  ASSERT_EQ(run["files"].size(), 1U);
  const json& file = run["files"][0];
  EXPECT_EQ(file["local_path"], local.prefix() + "no.txt");
  EXPECT_EQ(file["outcome"], "failed");
  EXPECT_EQ(file["attempts"], 3);
  EXPECT_EQ(file["source"]["deleted"], false);
  EXPECT_EQ(readFile(local.path() / "no.txt"), "refused");
  EXPECT_NE(file["error"].get<std::string>().find("553"), std::string::npos) << file["error"];

  const auto samples = parseMetrics(readFile(metrics));
  EXPECT_EQ(samples.at("skyhaul_last_run_exit_status" + labels()), 1);
  EXPECT_EQ(samples.at("skyhaul_last_success_timestamp_seconds" + labels()), success);

  const auto lines = syslog.lines();
  ASSERT_EQ(lines.size(), 1U);
  EXPECT_TRUE(lines[0].starts_with("<11>")) << lines[0];  // user, error
  EXPECT_NE(lines[0].find("izhodni status 1"), std::string::npos) << lines[0];
}

// An error the job does not handle ends the program from main, after the job is gone: the
// record the section names is written all the same; "dnevnik=0" keeps the line out of the log.
TEST_F(RunRecordEndToEnd, AnUnhandledErrorStillLeavesTheRecord) {
  writeFile(local.path() / "keep.txt", "keep");
  std::filesystem::create_directory(work.path() / "SKYHAUL.log");
  const auto record = outputs.path() / "error.json";
  program.writeIni(jobSettings(server.address(), local.prefix()) + "metrike=" + metrics +
                   "\ndnevnik=0\njson=" + record.string() + "\n");

  const RunOutcome result = run({"keep.txt,UP,DEL"});

  ASSERT_EQ(result.exitStatus, 2) << result.errors;
  const json run = readRecord(record);
  EXPECT_EQ(run["exit"]["status"], 2);
  ASSERT_EQ(run["files"].size(), 1U);
  EXPECT_EQ(run["files"][0]["source"]["deleted"], false);
  EXPECT_EQ(parseMetrics(readFile(metrics)).at("skyhaul_last_success_timestamp_seconds" + labels()),
            0);
  EXPECT_TRUE(syslog.lines().empty());
}

// Where the machine runs a journal, the line goes there with its fields, and journalctl reads it
// back by them.
TEST_F(RunRecordEndToEnd, TheJournalGetsTheLineWithItsFields) {
  if (!std::filesystem::exists("/run/systemd/journal/socket") ||
      !std::filesystem::exists("/usr/bin/journalctl")) {
    GTEST_SKIP() << "no journal on this machine";
  }
  RunOptions options;
  options.workingDirectory = work.path();
  options.environment = {"SKYHAUL_SYSLOG_SOCKET="};  // empty: the journal, as without it
  ASSERT_EQ(program.run(std::move(options)).exitStatus, 0);

  const std::string query = "journalctl --no-pager -o cat SKYHAUL_SETTINGS='" +
                            (program.path() / "ftpjob.ini").string() +
                            "' SKYHAUL_SECTION=job SKYHAUL_EXIT_STATUS=0 2>/dev/null";
  std::string found;
  for (int i = 0; i < 50 && found.empty(); ++i) {  // the journal may take a moment
    const std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(query.c_str(), "r"), &::pclose);
    std::array<char, 4096> buffer{};
    while (pipe && std::fgets(buffer.data(), buffer.size(), pipe.get()) != nullptr) {
      found += buffer.data();
    }
    if (found.empty()) ::usleep(100000);
  }
  EXPECT_NE(found.find("izhodni status 0"), std::string::npos) << found;
}

}  // namespace
}  // namespace skyhaul::test
