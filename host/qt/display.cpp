// Whether the game can open a window at all, asked before the toolkit starts: Qt
// aborts where no display answers, with advice to reinstall the program, which
// tells a player started from a text console or over plain ssh nothing useful.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>
#include <xcb/xcb.h>

#include "qt/desktop.h"

namespace forms::qt {

namespace {

std::string env(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string() : std::string(value);
}

// The platforms Qt tries, in its order: the ones QT_QPA_PLATFORM lists, else
// Wayland first in a Wayland session, then X11.
std::vector<std::string> platformsTried() {
  std::vector<std::string> platforms;
  const std::string asked = env("QT_QPA_PLATFORM");
  if (asked.empty()) {
    if (!env("WAYLAND_DISPLAY").empty() || env("XDG_SESSION_TYPE") == "wayland") {
      platforms.emplace_back("wayland");
    }
    platforms.emplace_back("xcb");
    return platforms;
  }
  std::string_view rest = asked;
  while (!rest.empty()) {
    const std::string_view one = rest.substr(0, rest.find(';'));
    rest.remove_prefix(std::min(rest.size(), one.size() + 1));
    platforms.emplace_back(one.substr(0, one.find(':'))); // options follow a colon
  }
  return platforms;
}

// What keeps the X11 display from opening; empty when it opens.
std::string x11Problem() {
  const std::string display = env("DISPLAY");
  if (display.empty()) {
    return env("WAYLAND_DISPLAY").empty() ? "no display is set (DISPLAY and WAYLAND_DISPLAY are empty)"
                                          : "no X display is set (DISPLAY is empty)";
  }
  xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
  const bool open = xcb_connection_has_error(connection) == 0;
  xcb_disconnect(connection);
  return open ? std::string() : "the X display " + display + " cannot be opened";
}

// What keeps the Wayland display from opening; empty when it opens. The socket is
// found as the Wayland client library finds it.
std::string waylandProblem() {
  if (!env("WAYLAND_SOCKET").empty()) {
    return {}; // the compositor handed over a connection already made
  }
  std::string name = env("WAYLAND_DISPLAY");
  if (name.empty()) {
    name = "wayland-0";
  }
  std::string path = name;
  if (name.front() != '/') {
    const std::string dir = env("XDG_RUNTIME_DIR");
    if (dir.empty()) {
      return "the Wayland display " + name + " cannot be found (XDG_RUNTIME_DIR is empty)";
    }
    path = dir + "/" + name;
  }
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  bool open = false;
  if (path.size() < sizeof(address.sun_path)) {
    path.copy(&address.sun_path[0], path.size());
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    open = fd >= 0 && connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
    if (fd >= 0) {
      close(fd);
    }
  }
  return open ? std::string() : "the Wayland display " + name + " cannot be opened";
}

} // namespace

bool displayAnswers() {
  std::string problems;
  for (const std::string& platform : platformsTried()) {
    std::string problem;
    if (platform == "xcb") {
      problem = x11Problem();
    } else if (platform.starts_with("wayland")) {
      problem = waylandProblem();
    } else {
      return true; // offscreen, vnc, a framebuffer...: no desktop session to find
    }
    if (problem.empty()) {
      return true;
    }
    problems += (problems.empty() ? "" : "; ") + problem;
  }
  std::fprintf(stderr, "botoron needs a graphical desktop session (X11 or Wayland): %s\n", problems.c_str());
  return false;
}

} // namespace forms::qt
