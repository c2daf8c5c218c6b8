#include "window/qt/DisplayProbe.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <QDir>
#include <QLibraryInfo>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace skyhaul::window {
namespace {

std::string environment(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string() : std::string(value);
}

struct XcbDisconnect {
  void operator()(xcb_connection_t* connection) const { xcb_disconnect(connection); }
};

bool xServerAnswers(const std::string& display) {
  const std::unique_ptr<xcb_connection_t, XcbDisconnect> connection(
      xcb_connect(display.c_str(), nullptr));
  return connection && xcb_connection_has_error(connection.get()) == 0;
}

// A relative WAYLAND_DISPLAY names a socket in XDG_RUNTIME_DIR.
bool waylandAnswers(const std::string& display) {
  const std::string path =
      display.front() == '/' ? display : environment("XDG_RUNTIME_DIR") + "/" + display;
  sockaddr_un address{};
  if (path.size() >= sizeof address.sun_path) return false;
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  const bool answered = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  ::close(fd);
  return answered;
}

bool qtSupportsWayland() {
  const QDir platforms(QLibraryInfo::path(QLibraryInfo::PluginsPath) + "/platforms");
  return !platforms.entryList({"libqwayland*"}, QDir::Files).isEmpty();
}

}  // namespace

DisplayChoice probeDisplay() {
  if (!environment("QT_QPA_PLATFORM").empty()) return {true, {}, {}};
  const std::string x = environment("DISPLAY");
  if (!x.empty() && xServerAnswers(x)) return {true, "xcb", {}};
  const std::string wayland = environment("WAYLAND_DISPLAY");
  const bool waylandUp = !wayland.empty() && waylandAnswers(wayland);
  if (waylandUp && qtSupportsWayland()) return {true, "wayland", {}};
  if (!x.empty()) return {false, {}, "zaslon " + x + " se ne odziva"};
  if (waylandUp) return {false, {}, "Qt nima podpore za Wayland"};
  if (!wayland.empty()) return {false, {}, "zaslon Wayland " + wayland + " se ne odziva"};
  return {false, {}, "ni zaslona"};
}

}  // namespace skyhaul::window
