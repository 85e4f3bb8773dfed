// One widget per control, inside one window per scene. Labels and lines lie on
// their container's surface, beneath the windowed controls.
#pragma once

#include <QIcon>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <vector>

#include "look/look.h"
#include "runtime/runtime.h"

namespace forms::qt {

// Twips to whole pixels at 15 twips a pixel.
inline int px(double twips) { return look::pixels(twips); }
// A picture asset as built into the program; a null image when there is none.
QImage pictureFor(std::string_view asset);
// An icon asset as built into the program; a null icon when there is none.
QIcon iconFor(std::string_view asset);

class SceneWindow final : public QWidget {
  Q_OBJECT
public:
  SceneWindow(Runtime& runtime, Scene& scene);

  [[nodiscard]] Scene& scene() const { return *scene_; }
  [[nodiscard]] QWidget* widgetFor(int control) const;
  // The control whose widget Qt finds under a point of the client area, or -1.
  [[nodiscard]] int controlAt(QPoint clientPos) const;
  // Client size in twips as the window has it now (a maximized window is larger).
  [[nodiscard]] Twips clientWidthTwips() const { return width() * kTwipsPerPixel; }
  [[nodiscard]] Twips clientHeightTwips() const { return height() * kTwipsPerPixel; }

  void apply(int control, Property what);
  // Puts Qt's focus where the runtime has the scene's focus.
  void mirrorFocus();
  // Qt's state of the window, as the runtime has it.
  [[nodiscard]] static WindowState stateOf(Qt::WindowStates states);
  // Minimizes the window as soon as it is on screen: Wayland compositors drop a
  // minimize asked of a window that has not been mapped yet. Some have no
  // minimize at all; then keptOnScreen() follows.
  void minimizeOnceExposed();
  void detach() { detached_ = true; }
  [[nodiscard]] bool detached() const { return detached_; }

  // How long a compositor has to answer a minimize before a window that still
  // holds the keyboard focus counts as kept on screen. One that minimizes moves
  // the focus away within a frame or two.
  static constexpr int kMinimizeAnswerMs = 300;

signals:
  // The window was asked to minimize and still holds the keyboard focus: the
  // compositor kept it on screen, in front, with the player's keys.
  void keptOnScreen();
  // A click the runtime did not take (a handler or its box was running).
  void clickRefused(int control);

public:
  // From the control widgets.
  void pointerMoved(QPoint globalPos);
  void clicked(int control);
  void keyed(int control, Key k); // a key the runtime gives a meaning to, on a control with Qt's focus
  void edited(int control, const QString& text);

protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  // Tab and Shift+Tab: the runtime moves the focus, Qt follows.
  bool focusNextPrevChild(bool next) override;

private slots:
  void minimizeNow();
  void checkMinimized();

private:
  void build();
  void place(int control);
  void restack();

  Runtime* runtime_;
  Scene* scene_;
  std::vector<QWidget*> widgets_; // by control index; nullptr for timers and lines
  bool detached_ = false;         // the scene is gone; the window only waits to be deleted
  bool minimizePending_ = false;  // minimize at the first expose
  QTimer minimizeAnswer_;         // from the minimize to the look at where the focus went
};

// A label's caption: left-aligned from the top, broken into lines to fit, at the
// look's line pitch rather than the face's own line height; what falls below the
// bottom is cut off.
void drawCaption(QPainter& p, const QRect& r, QString text);
// Paints the lines whose container is `container` (-1: the client area) onto a surface.
void paintLines(QPainter& p, const Scene& scene, int container, QPoint origin);

class PictureWidget final : public QWidget {
  Q_OBJECT
public:
  PictureWidget(SceneWindow& window, QWidget* parent, int control);

  // The area inside the border, parent of the controls the box contains: Qt cuts
  // them at its edges, as the model does. Pointer input on it goes to the box.
  [[nodiscard]] QWidget* clientArea() const { return clientArea_; }

protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

private:
  [[nodiscard]] QRect inner() const;

  SceneWindow* window_;
  int control_;
  QWidget* clientArea_;
  bool pressed_ = false;
};

class LabelWidget final : public QWidget {
  Q_OBJECT
public:
  LabelWidget(SceneWindow& window, QWidget* parent, int control);

protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

private:
  SceneWindow* window_;
  int control_;
};

class ButtonWidget final : public QPushButton {
  Q_OBJECT
public:
  ButtonWidget(SceneWindow& window, QWidget* parent, int control);

protected:
  void mouseMoveEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;

private:
  SceneWindow* window_;
  int control_;
};

class TextWidget final : public QLineEdit {
  Q_OBJECT
public:
  TextWidget(SceneWindow& window, QWidget* parent, int control);

protected:
  void mouseMoveEvent(QMouseEvent* event) override;

private:
  SceneWindow* window_;
};

} // namespace forms::qt
