// Listings against the loopback server, through MLSD and MLST, and (with no-mlst) SIZE and LIST
// in both formats.

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "platform/inet/TestSession.h"

namespace skyhaul::inet {
namespace {

using test::writeFile;

// The folder every listing case looks at.
void fillRoot(const std::filesystem::path& root) {
  writeFile(root / "a.txt", std::string(60, 'a'));
  writeFile(root / "b.txt", std::string(5, 'b'));
  writeFile(root / "ab.txt", "ab");
  writeFile(root / "c.bin", "c");
  writeFile(root / "with space.txt", "sp");
  writeFile(root / ".hidden.txt", "h");
  std::filesystem::create_directories(root / "sub");
  std::filesystem::create_directories(root / "in");
  writeFile(root / "in" / "a.txt", std::string(9, 'i'));
  writeFile(root / "in" / "x.dat", "x");
}

struct Found {
  std::set<std::string> names;
  std::vector<FindData> entries;
  bool none = false;  // findFirstFile gave null with ErrorCode::NoMoreFiles
};

Found findAll(RemoteSession& connection, const std::string& mask) {
  Found found;
  FindData entry;
  std::unique_ptr<RemoteFind> find;
  if (const Status first = connection.findFirstFile(mask, entry, find); !first) {
    EXPECT_EQ(first.code(), ErrorCode::NoMoreFiles) << mask;
    found.none = true;
    return found;
  }
  // Bounded: no folder of these tests holds that many entries.
  Status next;
  for (int i = 0; i < 1000; ++i) {
    found.names.insert(entry.fileName);
    found.entries.push_back(entry);
    next = find->findNextFile(entry);
    if (!next) break;
  }
  EXPECT_EQ(next.code(), ErrorCode::NoMoreFiles);
  return found;
}

// Listing modes: MLSD, SIZE for plain names (binary only on this server) with LIST for the rest,
// LIST in Unix form, LIST in DOS form.
struct ListingMode {
  const char* name;
  std::vector<std::string> faults;
  bool binary;  // a binary transfer comes first, leaving the connection in that type
};

class Listing : public SharedServer<Listing, testing::TestWithParam<ListingMode>> {
 protected:
  static void SetUpTestSuite() {
    SharedServer::SetUpTestSuite();
    fillRoot(server_->root());
  }
  void SetUp() override {
    server_->setFaults(GetParam().faults);
    ftp_ = std::make_unique<FtpTestSession>(*server_);
    ASSERT_NE(ftp_->connection, nullptr);
    std::string bytes;
    if (GetParam().binary) {
      ASSERT_TRUE(downloadInChunks(connection(), "c.bin", bytes));
    }
  }
  RemoteSession& connection() { return *ftp_->connection; }

  std::unique_ptr<FtpTestSession> ftp_;
};

TEST_P(Listing, StarMatchesTheLastComponentButNoDotfile) {
  const auto found = findAll(connection(), "*.txt");
  EXPECT_EQ(found.names, (std::set<std::string>{"a.txt", "ab.txt", "b.txt", "with space.txt"}));
}

TEST_P(Listing, QuestionMarkMatchesOneByte) {
  EXPECT_EQ(findAll(connection(), "?.txt").names, (std::set<std::string>{"a.txt", "b.txt"}));
}

TEST_P(Listing, ExactNameFindsThatEntryWithItsSize) {
  const auto found = findAll(connection(), "a.txt");
  ASSERT_EQ(found.entries.size(), 1u);
  EXPECT_EQ(found.entries[0].fileName, "a.txt");
  EXPECT_EQ(found.entries[0].fileSize, 60);
  EXPECT_FALSE(found.entries[0].isDirectory);
}

TEST_P(Listing, NameWithASpaceIsFoundWhole) {
  EXPECT_EQ(findAll(connection(), "with space.txt").names,
            (std::set<std::string>{"with space.txt"}));
}

TEST_P(Listing, NothingMatchingGivesNoMoreFiles) {
  EXPECT_TRUE(findAll(connection(), "*.none").none);
  EXPECT_TRUE(findAll(connection(), "missing.txt").none);
}

TEST_P(Listing, MaskWithADirectoryGivesBareNames) {
  const auto found = findAll(connection(), "in/a.txt");
  ASSERT_EQ(found.entries.size(), 1u);
  EXPECT_EQ(found.entries[0].fileName, "a.txt");
  EXPECT_EQ(found.entries[0].fileSize, 9);
  EXPECT_EQ(findAll(connection(), "/in/*").names, (std::set<std::string>{"a.txt", "x.dat"}));
}

TEST_P(Listing, SubdirectoryIsAnEntryLikeAFile) {
  const auto all = findAll(connection(), "*");
  EXPECT_EQ(all.names, (std::set<std::string>{"a.txt", "ab.txt", "b.txt", "c.bin", "in", "sub",
                                              "with space.txt"}));
  const auto sub = findAll(connection(), "sub");
  ASSERT_EQ(sub.entries.size(), 1u);
  EXPECT_TRUE(sub.entries[0].isDirectory);
}

// Not an empty folder: the caller must learn that nothing could be listed.
TEST_P(Listing, MissingDirectoryIsAFailureOfItsOwn) {
  FindData entry;
  std::unique_ptr<RemoteFind> find;
  EXPECT_EQ(connection().findFirstFile("nodir/*.txt", entry, find).code(),
            ErrorCode::FtpFolderMissing);
  EXPECT_EQ(find, nullptr);
}

TEST_P(Listing, TransferWorksRightAfterAListing) {
  FindData entry;
  std::unique_ptr<RemoteFind> find;
  ASSERT_TRUE(succeeded(connection().findFirstFile("a.txt", entry, find)));
  std::string bytes;
  ASSERT_TRUE(downloadInChunks(connection(), "a.txt", bytes));
  EXPECT_EQ(bytes, std::string(60, 'a'));
}

INSTANTIATE_TEST_SUITE_P(
    Modes, Listing,
    testing::Values(ListingMode{"mlsd", {}, false}, ListingMode{"size_and_list", {"no-mlst"}, true},
                    ListingMode{"size_refused_in_ascii", {"no-mlst"}, false},
                    ListingMode{"list_unix", {"no-mlst", "no-size"}, true},
                    ListingMode{"list_dos", {"no-mlst", "no-size", "list-format:dos"}, true},
                    ListingMode{"mlst_refused", {"refuse:MLST:550"}, false}),
    [](const auto& info) { return std::string(info.param.name); });

// A plain name is asked for on the control connection: it is found while every listing over a
// data connection breaks at once.
TEST(SingleName, IsFoundWithoutAListing) {
  test::TestFtpServer server({.faults = {"list-fail:0"}});
  fillRoot(server.root());
  FtpTestSession ftp(server);
  ASSERT_NE(ftp.connection, nullptr);
  const auto file = findAll(*ftp.connection, "in/a.txt");
  ASSERT_EQ(file.entries.size(), 1u);
  EXPECT_EQ(file.entries[0].fileName, "a.txt");
  EXPECT_EQ(file.entries[0].fileSize, 9);
  EXPECT_FALSE(file.entries[0].isDirectory);
  const auto folder = findAll(*ftp.connection, "sub");
  ASSERT_EQ(folder.entries.size(), 1u);
  EXPECT_TRUE(folder.entries[0].isDirectory);
  // The same server's listings do break: the look-ups above used none.
  FindData entry;
  std::unique_ptr<RemoteFind> find;
  EXPECT_FALSE(ftp.connection->findFirstFile("*.txt", entry, find));
  EXPECT_EQ(find, nullptr);
}

// Without MLST, a plain file's size comes from SIZE; a folder, which SIZE refuses, still needs
// the listing.
TEST(SingleName, IsSizedWithoutMlstOrAListing) {
  test::TestFtpServer server({.faults = {"no-mlst", "list-fail:0"}});
  fillRoot(server.root());
  FtpTestSession ftp(server);
  ASSERT_NE(ftp.connection, nullptr);
  // pyftpdlib answers SIZE only in binary mode; a binary download leaves the connection in it.
  std::string bytes;
  ASSERT_TRUE(downloadInChunks(*ftp.connection, "b.txt", bytes));
  const auto file = findAll(*ftp.connection, "in/a.txt");
  ASSERT_EQ(file.entries.size(), 1u);
  EXPECT_EQ(file.entries[0].fileName, "a.txt");
  EXPECT_EQ(file.entries[0].fileSize, 9);
  EXPECT_FALSE(file.entries[0].isDirectory);
  FindData entry;
  std::unique_ptr<RemoteFind> find;
  const Status found = ftp.connection->findFirstFile("sub", entry, find);
  EXPECT_FALSE(found);
  EXPECT_NE(found.code(), ErrorCode::NoMoreFiles);
}

TEST(ListingDotfiles, ADotPatternFindsThem) {
  test::TestFtpServer server;
  fillRoot(server.root());
  FtpTestSession ftp(server);
  ASSERT_NE(ftp.connection, nullptr);
  EXPECT_EQ(findAll(*ftp.connection, ".h*").names, (std::set<std::string>{".hidden.txt"}));
}

TEST(ListingFailure, HandsBackTheEntriesReadBeforeTheDataConnectionBroke) {
  test::TestFtpServer server({.faults = {"no-mlst"}});
  // Enough entries that the listing is far longer than the point where it breaks.
  for (int i = 0; i < 200; ++i) {
    // Appended, not "f" + ...: GCC 12's -Wrestrict misreads that at -O3.
    std::string name = "f";
    name.append(std::to_string(1000 + i));
    writeFile(server.root() / name, "x");
  }
  server.setFaults({"no-mlst", "list-fail:3000"});
  FtpTestSession ftp(server);
  ASSERT_NE(ftp.connection, nullptr);
  const auto found = findAll(*ftp.connection, "f*");
  EXPECT_GT(found.names.size(), 5u);
  EXPECT_LT(found.names.size(), 200u);
  // Only complete lines: every name is one the folder really has.
  for (const auto& name : found.names) {
    EXPECT_TRUE(std::filesystem::exists(server.root() / name)) << name;
  }
  // The connection is still in step.
  server.setFaults({"no-mlst"});
  EXPECT_EQ(findAll(*ftp.connection, "f*").names.size(), 200u);
}

}  // namespace
}  // namespace skyhaul::inet
