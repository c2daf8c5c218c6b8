#include "platform/ReplacedFile.h"

#include <fstream>
#include <iterator>

#include "platform/LocalTarget.h"

namespace skyhaul::platform {

ErrorCode replaceFileWith(const std::string& path, std::string_view text) {
  LocalTarget file;
  if (!file.openForWriting(path)) return file.error();
  if (!file.write(text.data(), text.size())) {
    const ErrorCode error = file.error();
    file.discard();
    return error;
  }
  if (!file.close()) return file.error();
  return syncLocalFile(path);
}

std::optional<std::string> wholeFileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (in.bad()) return std::nullopt;
  return text;
}

}  // namespace skyhaul::platform
