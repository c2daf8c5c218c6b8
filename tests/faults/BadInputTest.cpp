// Bad input: settings files that are binary, cut short or overlong, command lines that are huge
// or unbalanced, file names that the comma lists cannot carry, and empty files. Each row says
// how the job ends and which sources went (with a whole copy on the other side) or were only
// copied; every other source must be untouched.
#include <gtest/gtest.h>

#include "faults/ConcurrentCases.h"

namespace skyhaul::test {
namespace {

enum class Direction { Up, Down };

struct BadInput {
  std::string name;
  Direction direction;
  // Writes the settings and the files; returns the job command's arguments.
  std::function<std::vector<std::string>(Scene&)> prepare;
  int exitStatus;
  std::vector<std::string> moved;   // sources that went; their copies are whole
  std::vector<std::string> copied;  // sources that stayed; their copies are whole
};

std::filesystem::path sourceFolder(const Scene& scene, Direction direction) {
  return direction == Direction::Up ? scene.local.path() : scene.server.root() / "in";
}

std::filesystem::path copyFolder(const Scene& scene, Direction direction) {
  return direction == Direction::Up ? scene.server.root() / "in" : scene.local.path();
}

Case badInputCase(const BadInput& row) {
  Case c;
  c.name = row.name;
  c.prepare = [row](Scene& scene) {
    std::filesystem::create_directories(scene.server.root() / "in");
    auto arguments = row.prepare(scene);
    scene.sources = snapshot(sourceFolder(scene, row.direction));
    return arguments;
  };
  c.check = [row](Scene& scene, const RunOutcome& outcome) {
    EXPECT_EQ(outcome.signal, 0) << "the program was killed";
    EXPECT_EQ(outcome.exitStatus, row.exitStatus) << outcome.errors;
    const auto moved = expectNothingLost(scene.sources, copyFolder(scene, row.direction));
    EXPECT_EQ(moved, row.moved);
    for (const auto& name : row.copied) {
      const auto copy = copyFolder(scene, row.direction) / name;
      EXPECT_TRUE(std::filesystem::exists(copy) &&
                  readFile(copy) == readFile(sourceFolder(scene, row.direction) / name))
          << name << " has no whole copy";
    }
    const char* working = row.direction == Direction::Up ? kUploading : kDownloading;
    for (const auto& name : row.moved) {
      EXPECT_EQ(statusesOf(outcome.errors, name), (std::vector<std::string>{working, kDone}));
    }
    for (const auto& name : row.copied) {
      EXPECT_EQ(statusesOf(outcome.errors, name), (std::vector<std::string>{working, kDone}));
    }
    const char* failed = row.direction == Direction::Up ? kUploadFailed : kDownloadFailed;
    EXPECT_EQ(outcome.errors.find(std::string(": ") + failed) != std::string::npos,
              row.exitStatus == kFileFailed)
        << outcome.errors;
    std::size_t successes = 0;
    for (const auto& line : scene.logLines()) successes += line.starts_with("NAPAKA") ? 0 : 1;
    EXPECT_EQ(successes, row.moved.size() + row.copied.size()) << scene.logText();
    EXPECT_EQ(scene.logText().starts_with("NAPAKA") ||
                  scene.logText().find("\nNAPAKA") != std::string::npos,
              row.exitStatus == kFileFailed)
        << scene.logText();
  };
  return c;
}

void runTable(const std::vector<BadInput>& rows) {
  std::vector<Case> cases;
  for (const auto& row : rows) cases.push_back(badInputCase(row));
  runConcurrently(cases);
}

// One local file f.txt and the usual settings; returns `arguments`.
std::function<std::vector<std::string>(Scene&)> withLocalFile(std::vector<std::string> arguments,
                                                              std::string extraSettings = {}) {
  return [arguments, extraSettings](Scene& scene) {
    scene.writeSettings(extraSettings);
    writeFile(scene.localFile("f.txt"), patternBytes(700, 2));
    return arguments;
  };
}

std::string validSettings(const Scene& scene) {
  return jobSettings(scene.server.address(), scene.local.prefix()) + "geslo=pelmun";
}

// Bytes of every value, NUL and line ends among them.
std::string garbage() { return patternBytes(4096, 11); }

TEST(BadInput, SettingsFile) {
  const std::string cutCommand = "f.txt,UP," + std::string(242, ' ') + "DEL";
  runTable({
      {"BinaryFileGivesTheDefaults",
       Direction::Up,
       [](Scene& scene) {
         scene.writeIni(garbage());
         // The default local folder is the program's own; the default server has no FTP.
         writeFile(scene.program.path() / "f.txt", "stays");
         writeFile(scene.localFile("f.txt"), "stays");
         return std::vector<std::string>{"f.txt,UP,DEL"};
       },
       kConnectionFailed,
       {},
       {}},
      {"GarbageBeforeTheSections",
       Direction::Up,
       [](Scene& scene) {
         scene.writeIni(garbage() + "\n" + validSettings(scene) + "\n");
         writeFile(scene.localFile("f.txt"), "moves");
         return std::vector<std::string>{"f.txt,UP,DEL"};
       },
       kCompleted,
       {"f.txt"},
       {}},
      {"CutInTheLastValue",
       Direction::Up,
       [](Scene& scene) {
         const std::string text = validSettings(scene);
         scene.writeIni(text.substr(0, text.size() - 3));  // the password loses its end
         writeFile(scene.localFile("f.txt"), "stays");
         return std::vector<std::string>{"f.txt,UP,DEL"};
       },
       kConnectionFailed,
       {},
       {}},
      {"NoLineEndAfterTheLastValue",
       Direction::Up,
       [](Scene& scene) {
         scene.writeIni(validSettings(scene));
         writeFile(scene.localFile("f.txt"), "moves");
         return std::vector<std::string>{"f.txt,UP,DEL"};
       },
       kCompleted,
       {"f.txt"},
       {}},
      // Cut at 254 characters, the stored command ends in DEL; whole, it would not.
      {"StoredCommandCutAt254Characters",
       Direction::Up,
       withLocalFile({}, "prenos1=" + cutCommand + "XYZ\n"),
       kCompleted,
       {"f.txt"},
       {}},
  });
}

// The remote folder of 300 characters is cut to its first 254: 127 levels of "d/".
TEST(BadInput, RemoteFolderCutAt254Characters) {
  Scene scene;
  std::string folder;
  for (int i = 0; i < 150; ++i) folder += "d/";
  std::filesystem::create_directories(scene.server.root() / folder);
  scene.writeSettings({}, folder);
  writeFile(scene.localFile("f.txt"), "deep");

  const RunOutcome outcome = scene.start({"f.txt,UP"})->finish();

  EXPECT_EQ(outcome.exitStatus, kCompleted) << outcome.errors;
  EXPECT_EQ(readFile(scene.server.root() / folder.substr(0, 254) / "f.txt"), "deep");
  EXPECT_FALSE(std::filesystem::exists(scene.server.root() / folder / "f.txt"));
  EXPECT_EQ(readFile(scene.localFile("f.txt")), "deep");
  const auto log = scene.logLines();
  ASSERT_EQ(log.size(), 1u) << scene.logText();
  EXPECT_TRUE(isSuccessLine(log[0], scene.localPath("f.txt"), folder.substr(0, 254) + "f.txt"));
  EXPECT_EQ(statusesOf(outcome.errors, "f.txt"), (std::vector<std::string>{kUploading, kDone}));
}

TEST(BadInput, CommandLine) {
  runTable({
      // The mask and the direction stand; the rest is not DEL, so the source stays.
      {"OneHundredThousandCharacters",
       Direction::Up,
       withLocalFile({"f.txt,UP," + std::string(99991, 'x')}),
       kCompleted,
       {},
       {"f.txt"}},
      // A separator at character 32,767 is still found ...
      {"FirstTokenOf32766Characters",
       Direction::Up,
       withLocalFile({std::string(32761, '*') + "f.txt,UP,DEL"}),
       kCompleted,
       {"f.txt"},
       {}},
      // ... one further on it is not: the whole line is one mask, which matches nothing.
      {"FirstTokenOf32767Characters",
       Direction::Up,
       withLocalFile({std::string(32762, '*') + "f.txt,UP,DEL"}),
       kCompleted,
       {},
       {}},
      {"UnclosedQuoteBeforeTheMask",
       Direction::Up,
       withLocalFile({"'f.txt,UP,DEL"}),
       kCompleted,
       {},
       {}},
      {"UnclosedQuoteBeforeTheDirection",
       Direction::Up,
       withLocalFile({"f.txt,'DOWN,DEL"}),
       kCompleted,
       {},
       {"f.txt"}},
      {"UnclosedQuoteBeforeDel",
       Direction::Up,
       withLocalFile({"f.txt,UP,\"DEL"}),
       kCompleted,
       {},
       {"f.txt"}},
  });
}

// One file of the given name on the source side, with the usual settings.
std::function<std::vector<std::string>(Scene&)> named(Direction direction, const std::string& file,
                                                      std::vector<std::string> arguments) {
  return [direction, file, arguments](Scene& scene) {
    scene.writeSettings();
    writeFile(sourceFolder(scene, direction) / file, patternBytes(600, 4));
    // Names that are not UTF-8 reach the server's disk as the bytes they are.
    scene.server.setFaults({"byte-names"});
    return arguments;
  };
}

// Besides the named file, "keep.txt": a name that a comma list would have made of it.
std::function<std::vector<std::string>(Scene&)> besideKeep(Direction direction,
                                                           const std::string& file,
                                                           std::vector<std::string> arguments) {
  return [direction, file, arguments](Scene& scene) {
    auto result = named(direction, file, arguments)(scene);
    writeFile(sourceFolder(scene, direction) / "keep.txt", "not asked for");
    return result;
  };
}

// Every name moves exactly as it is, or stays with its status line: a separator of the comma
// lists is an ordinary character of a name. A blank at either end, which the client would trim
// into another name, leaves the file where it is.
std::vector<BadInput> fileNameRows(Direction way) {
  const std::string command = way == Direction::Up ? ",UP,DEL" : ",DOWN,DEL";
  const auto moves = [&](const char* row, const std::string& file, const std::string& mask) {
    return BadInput{row, way, besideKeep(way, file, {mask + command}), kCompleted, {file}, {}};
  };
  const auto stays = [&](const char* row, const std::string& file, const std::string& mask) {
    return BadInput{row, way, besideKeep(way, file, {mask + command}), kCompleted, {}, {}};
  };
  return {
      moves("Space", "i j.txt", "i?j.txt"),
      stays("LeadingSpace", " s.txt", "?s.txt"),
      stays("TrailingSpace", "t.txt ", "t.txt?"),
      moves("CommaBeforeAnotherName", "keep.txt,.csv", "*.csv"),
      moves("SemicolonBeforeTheRest", "a.csv;keep.txt", "*.csv*"),
      moves("DoubleQuote", "e\"f.txt", "e?f.txt"),
      moves("Apostrophe", "o'brien.txt", "o?brien.txt"),
      moves("Utf8", "čšž.txt", "č*.txt"),
      moves("EightBitCodePage", "\xe8rn\xe9.txt", "\xe8*.txt"),
      moves("LeadingDash", "-n.txt", "-n.txt"),
  };
}

TEST(BadInput, FileNamesUp) { runTable(fileNameRows(Direction::Up)); }

TEST(BadInput, FileNamesDown) { runTable(fileNameRows(Direction::Down)); }

TEST(BadInput, EmptyFiles) {
  const auto emptyFile = [](Direction direction) {
    return [direction](Scene& scene) {
      scene.writeSettings();
      writeFile(sourceFolder(scene, direction) / "empty.txt", "");
      return std::vector<std::string>{direction == Direction::Up ? "empty.txt,UP,DEL"
                                                                 : "empty.txt,DOWN,DEL"};
    };
  };
  runTable({
      {"Upload", Direction::Up, emptyFile(Direction::Up), kCompleted, {"empty.txt"}, {}},
      {"Download", Direction::Down, emptyFile(Direction::Down), kCompleted, {"empty.txt"}, {}},
  });
}

}  // namespace
}  // namespace skyhaul::test
