// A source is deleted after its upload only while its name still names the very file that was
// sent: what takes its place after the last check (a newer version renamed over it while the
// server computed its digest) stays, and the status line says why.
#include <filesystem>

#include "form/StatusLine.h"
#include "job/JobTestBase.h"

namespace skyhaul::test {
namespace {

class SentSource : public JobTest {};

TEST_F(SentSource, OnlyTheVeryFileThatWasSentIsDeleted) {
  struct Row {
    const char* name;
    std::function<void(const std::filesystem::path&)> meanwhile;  // after the last check
    bool sourceStays;
    const char* why;  // the end of the status line when it stays
  };
  const std::vector<Row> rows = {
      {"unchanged", [](const std::filesystem::path&) {}, false, ""},
      {"newer version renamed over it",
       [](const std::filesystem::path& source) {
         writeFile(source.string() + ".new", "newer");
         std::filesystem::rename(source.string() + ".new", source);
       },
       true,
       "\" ni izbrisana: pod njenim imenom je zdaj druga ali spremenjena datoteka, ne poslana."},
      {"moved away",
       [](const std::filesystem::path& source) {
         std::filesystem::rename(source, source.string() + ".moved");
       },
       false, "\" ni izbrisana: med prenosom je bila premaknjena ali izbrisana."},
  };
  std::filesystem::create_directory(server.root() / "in");
  writeSettings();
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const auto source = local.path() / "a.txt";
    writeFile(source, "sent");
    view.onStatus = [&](const std::string& status) {
      if (status == form::kDone) row.meanwhile(source);
    };
    view.statuses.clear();

    EXPECT_EQ(run("a.txt,UP,DEL").status, platform::ExitStatus::Completed);

    view.onStatus = nullptr;
    EXPECT_EQ(readFile(server.root() / "in/a.txt"), "sent");
    EXPECT_EQ(std::filesystem::exists(source), row.sourceStays);
    if (*row.why != '\0') {
      EXPECT_EQ(view.statuses.back(), "Status: izvorna datoteka \"" + source.string() + row.why);
    } else {
      EXPECT_EQ(view.statuses.back(), form::kDone);
    }
    EXPECT_EQ(logLines().size(), 1u);
    std::filesystem::remove(work.path() / "SKYHAUL.log");
    std::filesystem::remove(source.string() + ".moved");
  }
}

}  // namespace
}  // namespace skyhaul::test
