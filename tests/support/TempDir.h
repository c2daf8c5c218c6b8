#pragma once
// A fresh directory under the system's temporary folder, removed with everything in it.

#include <filesystem>
#include <string>

namespace skyhaul::test {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // The path with a trailing "/", ready to be used as a directory prefix.
  std::string prefix() const { return path_.string() + "/"; }

 private:
  std::filesystem::path path_;
};

// The process works in `path` while this lives, then goes back to where it was; throws
// std::filesystem::filesystem_error when `path` cannot be entered.
class InDirectory {
 public:
  explicit InDirectory(const std::filesystem::path& path);
  ~InDirectory();
  InDirectory(const InDirectory&) = delete;
  InDirectory& operator=(const InDirectory&) = delete;

 private:
  std::filesystem::path previous_;
};

// Small file helpers for tests.
void writeFile(const std::filesystem::path& path, const std::string& bytes);
std::string readFile(const std::filesystem::path& path);
// `size` bytes of a repeatable pattern that is not periodic in 255 or 256.
std::string patternBytes(std::size_t size, unsigned seed = 1);
// prefix + n + suffix ("f12.bin"), built without "literal" + std::string, which GCC 12
// misreads at -O3 (-Wrestrict).
std::string numberedName(const char* prefix, long n, const char* suffix = "");
// Waits (at most 10 s: the machine may be busy) until `path` exists: a program started and not
// waited for leaves it.
bool appears(const std::filesystem::path& path);

}  // namespace skyhaul::test
