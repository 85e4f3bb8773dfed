// How well the desktop front end keeps time, with its real timers on a real
// display. Prints one "name value" line per figure.
//
//   bench_timekeeping stopwatch RUNS READING  time from "スタート" to the display reading READING
//   bench_timekeeping beeps RUNS              the title's beeps: their gaps, and the worst
//                                             lateness against the beat from the load
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "qt/desktop.h"
#include "qt/frontend.h"
#include "scenes/scenes.h"

namespace {

using Clock = std::chrono::steady_clock;

double msBetween(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double, std::milli>(b - a).count();
}

QWidget* widgetOf(forms::qt::QtFrontend& fe, std::string_view scene, std::string_view control) {
  forms::qt::SceneWindow* w = fe.windowOf(scene);
  forms::Scene* s = fe.runtime().find(scene);
  if (w == nullptr || s == nullptr) {
    std::fprintf(stderr, "bench: %.*s is not shown\n", static_cast<int>(scene.size()), scene.data());
    std::exit(1);
  }
  return w->widgetFor(s->ctl(control).index());
}

// Each run shows a fresh Form10, waits for its window to settle, presses
// "スタート" and notes the first moment the display reads `reading`.
class Stopwatch {
public:
  Stopwatch(forms::qt::QtFrontend& fe, int runs, QString reading)
      : fe_(fe), runs_(runs), reading_(std::move(reading)) {}

  void next() {
    if (done_ == runs_) {
      QCoreApplication::exit(0);
      return;
    }
    fe_.runtime().show("Form10");
    QTimer::singleShot(500, [this] { press(); });
  }

private:
  void press() {
    auto* display = qobject_cast<QLineEdit*>(widgetOf(fe_, "Form10", "Text1"));
    auto* start = qobject_cast<QPushButton*>(widgetOf(fe_, "Form10", "Command1"));
    if (display == nullptr || start == nullptr) {
      std::fprintf(stderr, "bench: Form10's display or start button is not the expected widget\n");
      std::exit(1);
    }
    seen_ = false;
    QObject::connect(display, &QLineEdit::textChanged, display, [this](const QString& text) {
      if (!seen_ && text == reading_) {
        seen_ = true;
        const double ms = msBetween(pressed_, Clock::now());
        std::printf("stopwatch_ms %.3f\n", ms);
        std::fflush(stdout);
        // Leave the tick that wrote it before the scene goes.
        QTimer::singleShot(0, [this] {
          fe_.runtime().unload("Form10");
          ++done_;
          next();
        });
      }
    });
    pressed_ = Clock::now();
    start->click();
  }

  forms::qt::QtFrontend& fe_;
  int runs_;
  QString reading_;
  int done_ = 0;
  bool seen_ = false;
  Clock::time_point pressed_{};
};

// Each run shows the title afresh and notes every beep until it has handed over.
class Beeps {
public:
  Beeps(forms::qt::QtFrontend& fe, int runs) : fe_(fe), runs_(runs) {
    fe_.onBeep = [this] { beeps_.push_back(Clock::now()); };
  }

  void next() {
    if (done_ == runs_) {
      QCoreApplication::exit(0);
      return;
    }
    beeps_.clear();
    shown_ = Clock::now();
    fe_.runtime().show("Form1");
    QTimer::singleShot(3300, [this] { finish(); });
  }

private:
  void finish() {
    if (fe_.runtime().find("Form1") != nullptr || fe_.runtime().find("Form2") == nullptr) {
      std::fprintf(stderr, "bench: the title did not hand over to Form2 within 3.3 s\n");
      std::exit(1);
    }
    std::printf("beep_count %zu\n", beeps_.size());
    double worst = 0;
    for (std::size_t i = 0; i < beeps_.size(); ++i) {
      if (i > 0) {
        std::printf("beep_gap_ms %.3f\n", msBetween(beeps_[i - 1], beeps_[i]));
      }
      // How late each beep comes against its beat, every 100 ms from the load.
      const double late = msBetween(shown_, beeps_[i]) - 100.0 * static_cast<double>(i + 1);
      worst = std::max(worst, std::abs(late));
    }
    std::printf("beep_beat_ms %.3f\n", worst);
    std::fflush(stdout);
    fe_.runtime().unload("Form2");
    ++done_;
    next();
  }

  forms::qt::QtFrontend& fe_;
  int runs_;
  int done_ = 0;
  Clock::time_point shown_{};
  std::vector<Clock::time_point> beeps_;
};

} // namespace

int main(int argc, char* argv[]) {
  // Set up exactly as the game sets itself up, so the figures compare like with like.
  forms::qt::prepareDesktop();
  QApplication app(argc, argv);
  forms::qt::setUpDesktop();
  const std::string mode = argc > 1 ? argv[1] : "";
  const int runs = argc > 2 ? std::atoi(argv[2]) : 1;
  if ((mode != "stopwatch" && mode != "beeps") || runs < 1) {
    std::fprintf(stderr, "usage: %s stopwatch RUNS READING | beeps RUNS\n", argv[0]);
    return 2;
  }
  forms::qt::QtFrontend fe(scenes::catalog());
  fe.setQuitOnEnd(false);

  if (mode == "stopwatch") {
    Stopwatch watch(fe, runs, QString::fromUtf8(argc > 3 ? argv[3] : "10"));
    QTimer::singleShot(0, [&watch] { watch.next(); });
    return QApplication::exec();
  }
  Beeps beeps(fe, runs);
  QTimer::singleShot(0, [&beeps] { beeps.next(); });
  return QApplication::exec();
}
