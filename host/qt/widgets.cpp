#include "qt/widgets.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QHash>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QScreen>
#include <QStyle>
#include <QTextLayout>
#include <QWindow>
#include <algorithm>
#include <cmath>

#include "qt/accessible.h"
#include "qt/fonts.h"
#include "qt/palette.h"
#include "qt/text.h"

namespace forms::qt {

namespace {

constexpr const char* kControlProperty = "formsControl";

const Control& controlOf(const Scene& scene, int i) { return scene.controls()[static_cast<std::size_t>(i)]; }

} // namespace

QImage pictureFor(std::string_view asset) {
  static QHash<QString, QImage> cache;
  if (asset.empty()) {
    return {};
  }
  const QString key = qs(asset);
  auto it = cache.find(key);
  if (it == cache.end()) {
    it = cache.insert(key, QImage(QStringLiteral(":/assets/") + qs(look::pictureFile(asset))));
  }
  return *it;
}

QIcon iconFor(std::string_view asset) {
  if (asset.empty()) {
    return {};
  }
  return QIcon(QStringLiteral(":/assets/") + qs(look::iconFile(asset)));
}

void paintLines(QPainter& p, const Scene& scene, int container, QPoint origin) {
  p.save();
  const look::Rgb ink = look::kLineColour;
  p.setPen(QPen(QColor(ink.r, ink.g, ink.b), look::kLinePixels));
  for (const Control& c : scene.controls()) {
    if (c.kind() != Kind::Line || c.container != container) {
      continue;
    }
    const auto& d = *c.def;
    p.drawLine(origin + QPoint(px(d.x1), px(d.y1)), origin + QPoint(px(d.x2), px(d.y2)));
  }
  p.restore();
}

void drawCaption(QPainter& p, const QRect& r, QString text) {
  const QFont& font = p.font();
  const QFontMetricsF fm(font);
  const qreal em = font.pixelSize() > 0 ? font.pixelSize() : fm.height();
  const qreal pitch = em * look::kCaptionLinePitchEm;
  const qreal baseline = std::min(fm.ascent(), std::round(em * look::kCaptionBaselineEm));
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text.replace(QLatin1Char('\n'), QChar::LineSeparator);
  QTextLayout layout(text, font);
  QTextOption option(Qt::AlignLeft | Qt::AlignTop);
  option.setWrapMode(QTextOption::WordWrap);
  layout.setTextOption(option);
  layout.beginLayout();
  for (int i = 0; i * pitch < r.height(); ++i) {
    QTextLine line = layout.createLine();
    if (!line.isValid()) {
      break;
    }
    line.setLineWidth(r.width());
    line.setPosition(QPointF(0, i * pitch + baseline - line.ascent()));
  }
  layout.endLayout();
  p.save();
  p.setClipRect(r);
  layout.draw(&p, r.topLeft());
  p.restore();
}

// ---- SceneWindow ------------------------------------------------------------

SceneWindow::SceneWindow(Runtime& runtime, Scene& scene) : runtime_(&runtime), scene_(&scene) {
  setAttribute(Qt::WA_DeleteOnClose, false);
  setMouseTracking(true);
  // Qt falls back to the program's name for an empty title; a lone blank keeps the bar empty.
  setWindowTitle(scene.def().caption.empty() ? QStringLiteral(" ") : qs(scene.def().caption));
  setObjectName(qs(scene.name()));
  if (!scene.def().icon.empty()) {
    setWindowIcon(iconFor(scene.def().icon));
  }
  QPalette pal = palette();
  pal.setColor(QPalette::Window, colourOf(look::backOf(scene.def()), pal));
  setPalette(pal);
  setAutoFillBackground(true);
  const SceneDef& d = scene.def();
  setGeometry(px(d.left), px(d.top), px(d.width), px(d.height));
  if (d.state == WindowState::Maximized && QGuiApplication::platformName() == QStringLiteral("wayland")) {
    // Some compositors have no maximize (sway keeps a floating window at the size
    // it asks for): there the window still opens as large as the screen, so that
    // every can placed beyond the design size can be reached. Where the window is
    // maximized, this size only comes back when the player restores it.
    resize(screen()->availableSize());
  }
  build();
  minimizeAnswer_.setSingleShot(true);
  connect(&minimizeAnswer_, &QTimer::timeout, this, &SceneWindow::checkMinimized);
}

void SceneWindow::build() {
  const auto& controls = scene_->controls();
  widgets_.assign(controls.size(), nullptr);
  // Containers first, so every child finds its parent widget.
  for (int pass = 0; pass < 2; ++pass) {
    for (std::size_t i = 0; i < controls.size(); ++i) {
      const Control& c = controls[i];
      const bool contained = c.container >= 0;
      if (contained != (pass == 1)) {
        continue;
      }
      QWidget* parent = this;
      if (contained) {
        if (auto* box = qobject_cast<PictureWidget*>(widgets_[static_cast<std::size_t>(c.container)])) {
          parent = box->clientArea();
        }
      }
      const int idx = static_cast<int>(i);
      QWidget* w = nullptr;
      switch (c.kind()) {
      case Kind::PictureBox:
        w = new PictureWidget(*this, parent, idx);
        break;
      case Kind::Label:
        w = new LabelWidget(*this, parent, idx);
        break;
      case Kind::CommandButton:
        w = new ButtonWidget(*this, parent, idx);
        break;
      case Kind::TextBox:
        w = new TextWidget(*this, parent, idx);
        break;
      case Kind::Timer:
      case Kind::Line:
        break;
      }
      if (w != nullptr) {
        // A press the control does not take is nobody's: the model gives the pointer
        // to the control on top, never to its container beneath.
        w->setAttribute(Qt::WA_NoMousePropagation);
        w->installEventFilter(this);
        w->setProperty(kControlProperty, idx);
        w->setObjectName(qs(c.name()));
        widgets_[i] = w;
        place(idx);
        w->setVisible(c.visible);
      }
    }
  }
  restack();
  // Tab order follows TabIndex, for the screen reader and the platform; the keys
  // themselves go to the runtime.
  QWidget* prev = nullptr;
  for (int i : tabOrder(controls)) {
    QWidget* w = widgets_[static_cast<std::size_t>(i)];
    if (prev != nullptr) {
      QWidget::setTabOrder(prev, w);
    }
    prev = w;
  }
}

void SceneWindow::place(int control) {
  // Relative to the container's client area: the window's, or a picture box's inside its border.
  QWidget* w = widgets_[static_cast<std::size_t>(control)];
  const Control& c = controlOf(*scene_, control);
  w->setGeometry(px(c.left), px(c.top), px(c.width), px(c.height));
}

void SceneWindow::restack() {
  // Lowest first, so each raise puts the next control above the ones before it.
  for (int i : stackingOrder(scene_->controls())) {
    if (QWidget* w = widgets_[static_cast<std::size_t>(i)]) {
      w->raise();
    }
  }
}

QWidget* SceneWindow::widgetFor(int control) const {
  if (control < 0 || static_cast<std::size_t>(control) >= widgets_.size()) {
    return nullptr;
  }
  return widgets_[static_cast<std::size_t>(control)];
}

int SceneWindow::controlAt(QPoint clientPos) const {
  for (QWidget* w = childAt(clientPos); w != nullptr && w != this; w = w->parentWidget()) {
    const QVariant v = w->property(kControlProperty);
    if (v.isValid()) {
      return v.toInt();
    }
  }
  return -1;
}

void SceneWindow::apply(int control, Property what) {
  QWidget* w = widgetFor(control);
  if (w == nullptr) {
    return;
  }
  const Control& c = controlOf(*scene_, control);
  const bool wasHidden = w->isHidden();
  switch (what) {
  case Property::Visible:
    w->setVisible(c.visible);
    break;
  case Property::Position:
    place(control);
    break;
  case Property::Text:
    if (auto* t = qobject_cast<QLineEdit*>(w); t != nullptr && t->text() != qs(c.text)) {
      t->setText(qs(c.text));
    }
    break;
  case Property::Caption:
    if (auto* b = qobject_cast<QPushButton*>(w)) {
      b->setText(qs(c.caption));
    }
    w->update();
    break;
  case Property::Picture:
  case Property::Interval:
    w->update();
    break;
  case Property::Focus:
    mirrorFocus();
    break;
  }
  announceChange(*w, what, wasHidden);
}

void SceneWindow::mirrorFocus() {
  if (QWidget* w = widgetFor(scene_->focus())) {
    if (focusWidget() != w) {
      w->setFocus(Qt::OtherFocusReason);
    }
  } else if (QWidget* f = focusWidget()) {
    f->clearFocus();
  }
}

WindowState SceneWindow::stateOf(Qt::WindowStates states) {
  if (states.testFlag(Qt::WindowMinimized)) {
    return WindowState::Minimized;
  }
  if (states.testFlag(Qt::WindowMaximized) || states.testFlag(Qt::WindowFullScreen)) {
    return WindowState::Maximized;
  }
  return WindowState::Normal;
}

bool SceneWindow::focusNextPrevChild(bool next) {
  if (!detached_) {
    // From the control that has Qt's focus: the player may have clicked it.
    const QVariant v = focusWidget() != nullptr ? focusWidget()->property(kControlProperty) : QVariant();
    if (v.isValid()) {
      runtime_->focus(*scene_, v.toInt());
    }
    runtime_->key(*scene_, next ? Key::Tab : Key::BackTab);
    mirrorFocus();
  }
  return true;
}

void SceneWindow::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::WindowStateChange && !detached_) {
    runtime_->windowStateChanged(*scene_, stateOf(windowState()));
  }
}

void SceneWindow::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  // What the window manager gives a maximized window is the work area here.
  if (!detached_ && isMaximized()) {
    runtime_->setWorkArea({clientWidthTwips(), clientHeightTwips()});
  }
}

void SceneWindow::minimizeOnceExposed() {
  create();
  minimizePending_ = true;
  windowHandle()->installEventFilter(this);
}

bool SceneWindow::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::FocusIn && !detached_) {
    // Qt moved its focus itself (a press, the window coming back): the runtime hears it.
    if (const QVariant v = watched->property(kControlProperty); v.isValid()) {
      runtime_->focus(*scene_, v.toInt());
    }
  }
  if (minimizePending_ && watched == windowHandle() && event->type() == QEvent::Expose &&
      windowHandle()->isExposed()) {
    minimizePending_ = false;
    windowHandle()->removeEventFilter(this);
    // After this expose has painted the window and handed it to the compositor.
    QMetaObject::invokeMethod(this, "minimizeNow", Qt::QueuedConnection);
  }
  return QWidget::eventFilter(watched, event);
}

void SceneWindow::minimizeNow() {
  showMinimized();
  minimizeAnswer_.start(kMinimizeAnswerMs);
}

void SceneWindow::checkMinimized() {
  if (!detached_ && isActiveWindow()) {
    emit keptOnScreen();
  }
}

void SceneWindow::pointerMoved(QPoint globalPos) {
  if (detached_) {
    return;
  }
  // The control under the pointer gets the move, also while a button is held
  // and Qt hands the moves to the widget that took the press; the runtime takes
  // it only where that kind takes a move.
  runtime_->mouseMove(*scene_, controlAt(mapFromGlobal(globalPos)));
}

void SceneWindow::clicked(int control) {
  if (!detached_ && !runtime_->click(*scene_, control)) {
    emit clickRefused(control);
  }
}

void SceneWindow::keyed(int control, Key k) {
  if (detached_) {
    return;
  }
  runtime_->focus(*scene_, control);
  if (!runtime_->key(*scene_, k)) {
    emit clickRefused(control); // Enter or Space on a button is its click
  }
}

void SceneWindow::edited(int control, const QString& text) {
  if (!detached_) {
    runtime_->typed(*scene_, control, text.toStdString());
  }
}

void SceneWindow::paintEvent(QPaintEvent* /*event*/) {
  QPainter p(this);
  const QImage pic = pictureFor(scene_->def().picture);
  if (!pic.isNull()) {
    p.drawImage(QPoint(0, 0), pic);
  }
  paintLines(p, *scene_, -1, QPoint(0, 0));
}

void SceneWindow::mouseMoveEvent(QMouseEvent* event) { pointerMoved(event->globalPosition().toPoint()); }

void SceneWindow::closeEvent(QCloseEvent* event) {
  // The runtime decides: it unloads the scene (and ends the program with the last one).
  event->ignore();
  if (!detached_) {
    runtime_->closeRequested(*scene_);
  }
}

// ---- Control widgets --------------------------------------------------------

PictureWidget::PictureWidget(SceneWindow& window, QWidget* parent, int control)
    : QWidget(parent), window_(&window), control_(control), clientArea_(new QWidget(this)) {
  setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);
  // Unpainted, so the box shows through; the pointer's moves, presses and releases
  // over it are left unhandled and so reach the box.
  clientArea_->setMouseTracking(true);
  clientArea_->setGeometry(inner());
}

QRect PictureWidget::inner() const {
  const int b = kPictureBorder / kTwipsPerPixel;
  return rect().adjusted(b, b, -b, -b);
}

void PictureWidget::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  clientArea_->setGeometry(inner());
}

void PictureWidget::paintEvent(QPaintEvent* /*event*/) {
  QPainter p(this);
  const Control& c = controlOf(window_->scene(), control_);
  const QRect outer = rect();
  const QRect inner = this->inner();
  // The sunken border, ring by ring from the outside in: the top-left colour over the
  // whole ring, then the bottom-right one over all of it but the top row and left column.
  QRect ring = outer;
  for (const look::Ring& r : look::kSunkenRings) {
    p.fillRect(ring, colourOf(r.topLeft, palette()));
    p.fillRect(ring.adjusted(1, 1, 0, 0), colourOf(r.bottomRight, palette()));
    ring.adjust(1, 1, -1, -1);
  }
  p.fillRect(inner, colourOf(look::backOf(*c.def), palette()));
  // The picture unscaled from the top-left corner of the inner area, and the lines
  // the box contains, both cut at its edges.
  p.setClipRect(inner);
  const QImage pic = pictureFor(c.picture);
  if (!pic.isNull()) {
    p.drawImage(inner.topLeft(), pic);
  }
  // No focus mark: a picture box shows its picture and nothing over it.
  paintLines(p, window_->scene(), control_, inner.topLeft());
}

void PictureWidget::mouseMoveEvent(QMouseEvent* event) {
  window_->pointerMoved(event->globalPosition().toPoint());
}

void PictureWidget::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    pressed_ = true;
    setFocus(Qt::MouseFocusReason);
  }
}

void PictureWidget::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && pressed_) {
    pressed_ = false;
    if (rect().contains(event->position().toPoint())) {
      window_->clicked(control_);
    }
  }
}

LabelWidget::LabelWidget(SceneWindow& window, QWidget* parent, int control)
    : QWidget(parent), window_(&window), control_(control) {
  setMouseTracking(true);
  setFocusPolicy(Qt::NoFocus);
  setFont(fontFor(controlOf(window.scene(), control).def->font));
}

void LabelWidget::paintEvent(QPaintEvent* /*event*/) {
  QPainter p(this);
  const Control& c = controlOf(window_->scene(), control_);
  p.fillRect(rect(), colourOf(look::backOf(*c.def), palette()));
  p.setPen(colourOf(look::foreOf(*c.def), palette()));
  p.setFont(font());
  drawCaption(p, rect(), qs(c.caption));
}

void LabelWidget::mouseMoveEvent(QMouseEvent* event) {
  window_->pointerMoved(event->globalPosition().toPoint());
}

ButtonWidget::ButtonWidget(SceneWindow& window, QWidget* parent, int control)
    : QPushButton(parent), window_(&window), control_(control) {
  const Control& c = controlOf(window.scene(), control);
  setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);
  setAutoDefault(false);
  setFont(fontFor(c.def->font));
  setText(qs(c.caption));
  connect(this, &QPushButton::clicked, this, [this, control] { window_->clicked(control); });
}

void ButtonWidget::mouseMoveEvent(QMouseEvent* event) {
  QPushButton::mouseMoveEvent(event);
  window_->pointerMoved(event->globalPosition().toPoint());
}

void ButtonWidget::keyPressEvent(QKeyEvent* event) {
  if (!event->isAutoRepeat() && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
    window_->keyed(control_, Key::Enter);
    return;
  }
  // Space shows the button down until the key is released.
  QPushButton::keyPressEvent(event);
}

void ButtonWidget::keyReleaseEvent(QKeyEvent* event) {
  if (!event->isAutoRepeat() && event->key() == Qt::Key_Space && isDown()) {
    setDown(false);
    window_->keyed(control_, Key::Space);
    return;
  }
  QPushButton::keyReleaseEvent(event);
}

TextWidget::TextWidget(SceneWindow& window, QWidget* parent, int control)
    : QLineEdit(parent), window_(&window) {
  const Control& c = controlOf(window.scene(), control);
  setMouseTracking(true);
  setFont(fontFor(c.def->font));
  setText(qs(c.text));
  connect(this, &QLineEdit::textEdited, this,
          [this, control](const QString& t) { window_->edited(control, t); });
}

void TextWidget::mouseMoveEvent(QMouseEvent* event) {
  QLineEdit::mouseMoveEvent(event);
  window_->pointerMoved(event->globalPosition().toPoint());
}

} // namespace forms::qt
