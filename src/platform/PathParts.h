#pragma once
// The folder and the name of a '/'-separated path (local or remote), cut at its last '/', and a
// path taken in a folder. Only the text is looked at: nothing is asked of the file system.
//
//   path       nameOf   folderPrefixOf   folderOf   folderOf(path, "")
//   "a/b/c"    "c"      "a/b/"           "a/b"      "a/b"
//   "/c"       "c"      "/"              "/"        "/"
//   "c"        "c"      ""               "."        ""
//   "a/"       ""       "a/"             "a"        "a"

#include <string>
#include <string_view>

namespace skyhaul::platform {

// The part after the last '/'; all of `path` when it has none.
inline std::string nameOf(std::string_view path) {
  const auto slash = path.rfind('/');
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

// The part up to and with the last '/'; "" when there is none. Followed by nameOf() it gives
// the path back, so a new name can be put in the same folder.
inline std::string folderPrefixOf(std::string_view path) {
  const auto slash = path.rfind('/');
  return std::string(slash == std::string_view::npos ? std::string_view()
                                                     : path.substr(0, slash + 1));
}

// The folder as a path of its own, to open or list: without the last '/' except at the root
// ("/"). `whenNone` when the path has no '/': "." names the current folder to the system; a
// caller that leaves the current folder unnamed passes "".
inline std::string folderOf(std::string_view path, std::string_view whenNone = ".") {
  const auto slash = path.rfind('/');
  if (slash == std::string_view::npos) return std::string(whenNone);
  return std::string(slash == 0 ? path.substr(0, 1) : path.substr(0, slash));
}

// `path` taken in `folder` (a folder of the file system or of a server): an absolute path
// stands as it is, "" names the folder itself, and a relative one follows the folder after one
// '/'. A folder of "" leaves `path` as it is. Nothing else changes: no "." or ".." goes.
inline std::string pathIn(std::string_view folder, std::string_view path) {
  if (folder.empty() || path.starts_with('/')) return std::string(path);
  if (path.empty()) return std::string(folder);
  std::string joined(folder);
  if (!joined.ends_with('/')) joined += '/';
  return joined.append(path);
}

}  // namespace skyhaul::platform
