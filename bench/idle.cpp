// What the game costs while it waits, read from /proc/self/stat (user plus system
// time, in clock ticks) over a stretch of wall-clock time. Prints "name value".
//
//   bench_idle rest SECONDS    Form2, which has no timer, waiting for its button
//   bench_idle scold SECONDS   Form8 after "やだ": its 1 ms timer held behind the open box
#include <unistd.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "qt/desktop.h"
#include "qt/frontend.h"
#include "scenes/scenes.h"

namespace {

using Clock = std::chrono::steady_clock;

// utime + stime of this process, in seconds.
double cpuSeconds() {
  std::ifstream in("/proc/self/stat");
  std::string line;
  std::getline(in, line);
  // The command name may hold blanks; the fields after it are plain numbers.
  std::istringstream rest(line.substr(line.rfind(')') + 2));
  std::string field;
  unsigned long long utime = 0;
  unsigned long long stime = 0;
  for (int i = 3; i <= 15 && rest >> field; ++i) {
    if (i == 14) {
      utime = std::stoull(field);
    } else if (i == 15) {
      stime = std::stoull(field);
    }
  }
  return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// Reads the CPU time over `seconds` from now, prints it as a share of one core,
// then calls `after`.
void measure(const char* name, double seconds, std::function<void()> after) {
  const double cpu0 = cpuSeconds();
  const auto wall0 = Clock::now();
  QTimer::singleShot(static_cast<int>(seconds * 1000), [=, after = std::move(after)] {
    const double cpu = cpuSeconds() - cpu0;
    const double wall = std::chrono::duration<double>(Clock::now() - wall0).count();
    std::printf("%s %.3f\n", name, 100.0 * cpu / wall);
    std::fflush(stdout);
    after();
  });
}

QPushButton* buttonOf(forms::qt::QtFrontend& fe, std::string_view scene, std::string_view control) {
  forms::qt::SceneWindow* w = fe.windowOf(scene);
  forms::Scene* s = fe.runtime().find(scene);
  auto* b = w == nullptr || s == nullptr ? nullptr
                                         : qobject_cast<QPushButton*>(w->widgetFor(s->ctl(control).index()));
  if (b == nullptr) {
    std::fprintf(stderr, "bench: no button %.*s in a shown %.*s\n", static_cast<int>(control.size()),
                 control.data(), static_cast<int>(scene.size()), scene.data());
    std::exit(1);
  }
  return b;
}

} // namespace

int main(int argc, char* argv[]) {
  // Set up exactly as the game sets itself up, so the figures compare like with like.
  forms::qt::prepareDesktop();
  QApplication app(argc, argv);
  forms::qt::setUpDesktop();
  const std::string mode = argc > 1 ? argv[1] : "";
  const double seconds = argc > 2 ? std::atof(argv[2]) : 0;
  if ((mode != "rest" && mode != "scold") || seconds <= 0) {
    std::fprintf(stderr, "usage: %s rest|scold SECONDS\n", argv[0]);
    return 2;
  }
  forms::qt::QtFrontend fe(scenes::catalog());
  fe.setQuitOnEnd(false);
  constexpr int kSettleMs = 1000; // let the window be mapped and drawn first

  if (mode == "rest") {
    fe.runtime().show("Form2");
    QTimer::singleShot(
        kSettleMs, [seconds] { measure("cpu_rest_percent", seconds, [] { QCoreApplication::exit(0); }); });
    return QApplication::exec();
  }

  // "なに？こうしてやる！" is closed after a moment; the first scolding box then
  // stays open while the timer, due every millisecond, is held behind it.
  int boxes = 0;
  bool measuring = false;
  fe.onBox = [&](QMessageBox& box) {
    ++boxes;
    QMessageBox* b = &box;
    if (boxes == 1) {
      QTimer::singleShot(200, b, [b] { b->button(QMessageBox::Ok)->click(); });
    } else if (boxes == 2) {
      measuring = true;
      QTimer::singleShot(kSettleMs, b, [seconds, &boxes, &fe] {
        forms::Scene* station = fe.runtime().find("Form8");
        if (station == nullptr || station->ctl("Timer1").interval() != 1 || !fe.runtime().boxOpen()) {
          std::fprintf(stderr, "bench: Form8 is not scolding behind an open box\n");
          std::exit(1);
        }
        measure("cpu_scold_percent", seconds, [&boxes] {
          std::printf("scold_boxes %d\n", boxes);
          QCoreApplication::exit(0); // leaves the box's loop and the main one
        });
      });
    } else {
      QTimer::singleShot(0, b, [b] { b->button(QMessageBox::Ok)->click(); });
    }
  };
  fe.runtime().show("Form8");
  QTimer::singleShot(500, [&fe] { buttonOf(fe, "Form8", "Command2")->click(); });
  const int rc = QApplication::exec();
  if (!measuring) {
    std::fprintf(stderr, "bench: the scolding box never opened\n");
    return 1;
  }
  return rc;
}
