// Watches the X server for a program's windows.
//
//   bench_xwatch launch NAME TIMEOUT -- PROGRAM [ARGS...]
//     Starts PROGRAM and prints "PID MS" as soon as a window of it titled NAME is
//     viewable (it and its window manager frame mapped), MS counted from just
//     before the fork. It listens to the server's map, reparent and property
//     events (SubstructureNotify on the root, StructureNotify on each new
//     window), so the figure is as fine as the event delivery: well under a
//     millisecond. Then it stays PROGRAM's parent until PROGRAM exits.
//
//   bench_xwatch find PID NAME TIMEOUT [NOT-ID]
//     Prints the id of a viewable window of PID titled NAME (other than NOT-ID),
//     waiting up to TIMEOUT seconds for one.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

Display* dpy = nullptr;
Atom netWmName = 0;
Atom netWmPid = 0;
Atom utf8 = 0;

int ignoreErrors(Display* /*unused*/, XErrorEvent* /*unused*/) { return 0; } // windows come and go

std::optional<std::string> property(Window w, Atom name, Atom type) {
  Atom actual = 0;
  int format = 0;
  unsigned long items = 0;
  unsigned long after = 0;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(dpy, w, name, 0, 1024, False, type, &actual, &format, &items, &after, &data) !=
          Success ||
      data == nullptr) {
    return std::nullopt;
  }
  std::string out(reinterpret_cast<const char*>(data), format == 8 ? items : items * sizeof(long));
  XFree(data);
  if (actual == None) {
    return std::nullopt;
  }
  return out;
}

std::optional<std::string> titleOf(Window w) {
  if (auto t = property(w, netWmName, utf8)) {
    return t;
  }
  return property(w, XA_WM_NAME, AnyPropertyType);
}

long pidOf(Window w) {
  const auto p = property(w, netWmPid, XA_CARDINAL);
  if (!p || p->size() < sizeof(long)) {
    return -1;
  }
  long pid = 0;
  std::copy_n(p->data(), sizeof(long), reinterpret_cast<char*>(&pid));
  return pid;
}

bool viewable(Window w) {
  XWindowAttributes a{};
  return XGetWindowAttributes(dpy, w, &a) != 0 && a.map_state == IsViewable;
}

bool isIt(Window w, long pid, const std::string& name, Window notId) {
  return w != notId && pidOf(w) == pid && titleOf(w) == name && viewable(w);
}

// Every window below the root, depth first.
void collect(Window w, std::vector<Window>& out) {
  Window root = 0;
  Window parent = 0;
  Window* kids = nullptr;
  unsigned int n = 0;
  if (XQueryTree(dpy, w, &root, &parent, &kids, &n) == 0) {
    return;
  }
  for (unsigned int i = 0; i < n; ++i) {
    out.push_back(kids[i]);
    collect(kids[i], out);
  }
  if (kids != nullptr) {
    XFree(kids);
  }
}

double msSince(Clock::time_point t0) {
  return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

// Waits for the next event up to `ms`; false when none came.
bool nextEvent(XEvent& ev, int ms) {
  if (XPending(dpy) == 0) {
    pollfd p{XConnectionNumber(dpy), POLLIN, 0};
    if (poll(&p, 1, ms) <= 0) {
      return false;
    }
  }
  XNextEvent(dpy, &ev);
  return true;
}

int launch(const std::string& name, double timeout, char** argv) {
  const Window root = XDefaultRootWindow(dpy);
  XSelectInput(dpy, root, SubstructureNotifyMask);
  XSync(dpy, False);
  fcntl(XConnectionNumber(dpy), F_SETFD, FD_CLOEXEC);

  const auto t0 = Clock::now();
  const pid_t child = fork();
  if (child == 0) {
    execvp(argv[0], argv);
    std::perror(argv[0]);
    _exit(127);
  }
  std::vector<Window> watched;
  bool found = false;
  while (!found) {
    if (msSince(t0) > timeout * 1000) {
      std::fprintf(stderr, "xwatch: no window \"%s\" within %.0f s\n", name.c_str(), timeout);
      kill(child, SIGKILL);
      waitpid(child, nullptr, 0);
      return 1;
    }
    int status = 0;
    if (waitpid(child, &status, WNOHANG) == child) {
      std::fprintf(stderr, "xwatch: %s exited before its window was seen\n", argv[0]);
      return 1;
    }
    XEvent ev{};
    if (!nextEvent(ev, 20)) {
      continue;
    }
    if (ev.type == CreateNotify && ev.xcreatewindow.parent == root &&
        ev.xcreatewindow.override_redirect == 0) {
      watched.push_back(ev.xcreatewindow.window);
      XSelectInput(dpy, ev.xcreatewindow.window, StructureNotifyMask | PropertyChangeMask);
    }
    if (ev.type == CreateNotify || ev.type == MapNotify || ev.type == ReparentNotify ||
        ev.type == PropertyNotify) {
      for (Window w : watched) {
        if (isIt(w, child, name, 0)) {
          found = true;
          break;
        }
      }
    }
  }
  std::printf("%d %.3f\n", static_cast<int>(child), msSince(t0));
  std::fflush(stdout);
  XCloseDisplay(dpy);
  int status = 0;
  waitpid(child, &status, 0);
  return 0;
}

int find(long pid, const std::string& name, double timeout, Window notId) {
  const auto t0 = Clock::now();
  while (msSince(t0) < timeout * 1000) {
    std::vector<Window> all;
    collect(XDefaultRootWindow(dpy), all);
    for (Window w : all) {
      if (isIt(w, pid, name, notId)) {
        std::printf("%lu\n", w);
        return 0;
      }
    }
    usleep(5000);
  }
  std::fprintf(stderr, "xwatch: no window \"%s\" of %ld within %.0f s\n", name.c_str(), pid, timeout);
  return 1;
}

} // namespace

int main(int argc, char* argv[]) {
  const std::string mode = argc > 1 ? argv[1] : "";
  dpy = XOpenDisplay(nullptr);
  if (dpy == nullptr) {
    std::fprintf(stderr, "xwatch: cannot open the display\n");
    return 1;
  }
  XSetErrorHandler(ignoreErrors);
  netWmName = XInternAtom(dpy, "_NET_WM_NAME", False);
  netWmPid = XInternAtom(dpy, "_NET_WM_PID", False);
  utf8 = XInternAtom(dpy, "UTF8_STRING", False);
  if (mode == "launch" && argc > 5 && std::string(argv[4]) == "--") {
    return launch(argv[2], std::atof(argv[3]), argv + 5);
  }
  if (mode == "find" && argc > 4) {
    return find(std::atol(argv[2]), argv[3], std::atof(argv[4]),
                argc > 5 ? std::strtoul(argv[5], nullptr, 10) : 0);
  }
  std::fprintf(stderr,
               "usage: %s launch NAME TIMEOUT -- PROGRAM [ARGS...] | find PID NAME TIMEOUT [NOT-ID]\n",
               argv[0]);
  return 2;
}
