// What every test of the desktop front end shares: the application set up as the
// game sets itself up, on Qt's offscreen platform, and a front end over the real scenes.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <memory>
#include <string>
#include <vector>

#include "qt/desktop.h"
#include "qt/frontend.h"
#include "qt/widgets.h"
#include "scenes/scenes.h"

namespace offscreen {

// A front end over the real scenes whose boxes are answered at once and remembered.
class FrontendTest : public ::testing::Test {
protected:
  void SetUp() override {
    fe = std::make_unique<forms::qt::QtFrontend>(scenes::catalog());
    fe->setQuitOnEnd(false);
    fe->onBox = [this](QMessageBox& box) {
      boxes.push_back(box.text().toStdString());
      answer(box);
    };
  }
  void TearDown() override {
    fe.reset();
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
  // Closes the box once it is open; a test may answer otherwise.
  virtual void answer(QMessageBox& box) { QTimer::singleShot(0, &box, &QMessageBox::accept); }

  forms::qt::SceneWindow& show(std::string_view scene) {
    fe->runtime().show(scene);
    QCoreApplication::processEvents();
    forms::qt::SceneWindow* w = fe->windowOf(scene);
    EXPECT_NE(w, nullptr) << scene;
    return *w;
  }
  void unload(std::string_view scene) {
    fe->runtime().unload(scene);
    QCoreApplication::processEvents();
  }

  std::unique_ptr<forms::qt::QtFrontend> fe;
  std::vector<std::string> boxes; // prompts, in order
};

// The main of each test program: offscreen unless CTest names a platform, and no
// sound server, so a beep takes the fallback path at once.
inline int run(int argc, char** argv) {
  if (!qEnvironmentVariable("QT_QPA_PLATFORM").startsWith(u"offscreen")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  qunsetenv("CANBERRA_DRIVER");
  qputenv("PULSE_SERVER", "unix:/nonexistent/botoron-no-sound-server");
  forms::qt::prepareDesktop();
  QApplication app(argc, argv);
  forms::qt::setUpDesktop();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

} // namespace offscreen
