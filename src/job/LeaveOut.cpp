#include "job/LeaveOut.h"

#include <algorithm>
#include <climits>

#include "platform/FileInfo.h"
#include "platform/PartFile.h"

namespace skyhaul::job {

namespace {

bool isControl(char c) {
  const auto code = static_cast<unsigned char>(c);
  return code < 0x20 || code == 0x7F;
}

bool holdsControl(const std::string& name) {
  return std::any_of(name.begin(), name.end(), isControl);
}

bool hasBlankEnd(const std::string& name) {
  return !name.empty() && (name.front() == ' ' || name.back() == ' ');
}

// What the local folder cannot hold under that name, or would take for another file.
bool isNoLocalName(const std::string& name) {
  return name.empty() || name == "." || name == ".." || name.size() > NAME_MAX ||
         name.find('/') != std::string::npos;
}

}  // namespace

const char* nameStatus(const std::string& name, bool download) {
  if (holdsControl(name)) {
    return "Status: izpuščena: ime vsebuje kontrolne znake, ki jih prenos ne more nositi.";
  }
  if (hasBlankEnd(name)) {
    return "Status: izpuščena: ime se začne ali konča s presledkom, ki ga prenos ne more nositi.";
  }
  if (platform::isPartFileName(name)) {
    return "Status: izpuščena: ime ima obliko začasne datoteke tega programa.";
  }
  if (download && isNoLocalName(name)) {
    return "Status: izpuščena: takega imena lokalna datoteka ne more imeti.";
  }
  return nullptr;
}

const char* localFileStatus(const std::string& path) {
  if (platform::isForeignLink(path)) {
    return "Status: izpuščena: to je simbolna povezava drugega uporabnika.";
  }
  if (platform::isOtherThanRegularFile(path)) return "Status: izpuščena: to ni navadna datoteka.";
  return nullptr;
}

std::string escapedName(const std::string& name) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(name.size());
  for (const char c : name) {
    if (!isControl(c)) {
      text += c;
      continue;
    }
    const auto code = static_cast<unsigned char>(c);
    text.append("\\x").append(1, kHex[code >> 4]).append(1, kHex[code & 0xF]);
  }
  return text;
}

}  // namespace skyhaul::job
