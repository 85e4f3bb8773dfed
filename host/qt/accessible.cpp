#include "qt/accessible.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QFile>
#include <QHash>
#include <QMessageBox>
#include <algorithm>
#include <vector>

#include "qt/text.h"
#include "qt/widgets.h"

namespace forms::qt {

namespace {

// The scene window a widget belongs to, while its scene is still loaded.
SceneWindow* liveWindowOf(const QWidget* w) {
  auto* window = qobject_cast<SceneWindow*>(w->window());
  return window != nullptr && !window->detached() ? window : nullptr;
}

// The index of the control a widget stands for, or -1.
int controlIndexOf(const SceneWindow& window, const QWidget* w) {
  const auto count = static_cast<int>(window.scene().controls().size());
  for (int i = 0; i < count; ++i) {
    if (window.widgetFor(i) == w) {
      return i;
    }
  }
  return -1;
}

// The controls a container (a scene window or a picture box) shows: those of its
// children that are not hidden, in the order of their TabIndex, which is the order
// the scene is meant to be read in (labels carry one too).
std::vector<QWidget*> exposedChildren(const QWidget* container) {
  std::vector<QWidget*> out;
  const SceneWindow* window = liveWindowOf(container);
  if (window == nullptr) {
    return out;
  }
  const auto& controls = window->scene().controls();
  // A picture box's controls lie in its client area, a widget of their own: ask the model.
  const int containerIndex = controlIndexOf(*window, container); // -1: the window itself
  std::vector<int> order;
  for (int i = 0; i < static_cast<int>(controls.size()); ++i) {
    const QWidget* w = window->widgetFor(i);
    if (w != nullptr && controls[static_cast<std::size_t>(i)].container == containerIndex && !w->isHidden()) {
      order.push_back(i);
    }
  }
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
    return controls[static_cast<std::size_t>(a)].def->tabIndex <
           controls[static_cast<std::size_t>(b)].def->tabIndex;
  });
  out.reserve(order.size());
  for (int i : order) {
    out.push_back(window->widgetFor(i));
  }
  return out;
}

// An object whose children are the widgets the player can see in it, no hidden ones.
class ShownChildren : public QAccessibleWidget {
public:
  ShownChildren(QWidget* w, QAccessible::Role role) : QAccessibleWidget(w, role) {}

  [[nodiscard]] int childCount() const override { return static_cast<int>(shown().size()); }

  [[nodiscard]] QAccessibleInterface* child(int index) const override {
    const auto children = shown();
    if (index < 0 || static_cast<std::size_t>(index) >= children.size()) {
      return nullptr;
    }
    return QAccessible::queryAccessibleInterface(children[static_cast<std::size_t>(index)]);
  }

  [[nodiscard]] int indexOfChild(const QAccessibleInterface* child) const override {
    if (child == nullptr) {
      return -1;
    }
    const auto children = shown();
    const auto it = std::find(children.begin(), children.end(), child->object());
    return it == children.end() ? -1 : static_cast<int>(it - children.begin());
  }

protected:
  [[nodiscard]] virtual std::vector<QWidget*> shown() const {
    std::vector<QWidget*> out;
    for (QObject* o : widget()->children()) {
      auto* w = qobject_cast<QWidget*>(o);
      if (w != nullptr && !w->isWindow() && !w->isHidden()) {
        out.push_back(w);
      }
    }
    return out;
  }
};

// What the scene windows, labels and picture boxes share: children in the scene's
// reading order, the control's record in the model, and whether it is on screen.
class GameAccessible : public ShownChildren {
public:
  GameAccessible(QWidget* w, QAccessible::Role role) : ShownChildren(w, role) {}

  [[nodiscard]] QAccessible::State state() const override {
    QAccessible::State s = ShownChildren::state();
    // Outside the client area: still reached by the keyboard, never seen.
    const SceneWindow* window = liveWindowOf(widget());
    const int index = window != nullptr ? controlIndexOf(*window, widget()) : -1;
    if (window != nullptr && index >= 0 &&
        visibleRect(window->scene().controls(), index, window->clientWidthTwips(),
                    window->clientHeightTwips())
            .empty()) {
      s.offscreen = true;
    }
    return s;
  }

  // A contained control's parent is its picture box, not the box's client area.
  [[nodiscard]] QAccessibleInterface* parent() const override {
    const SceneWindow* window = liveWindowOf(widget());
    const int index = window != nullptr ? controlIndexOf(*window, widget()) : -1;
    const int container =
        index >= 0 ? window->scene().controls()[static_cast<std::size_t>(index)].container : -1;
    return container >= 0 ? QAccessible::queryAccessibleInterface(window->widgetFor(container))
                          : ShownChildren::parent();
  }

protected:
  [[nodiscard]] std::vector<QWidget*> shown() const override { return exposedChildren(widget()); }

  // The control's live record; nullptr for the window itself or once the scene is gone.
  [[nodiscard]] const Control* control() const {
    const SceneWindow* window = liveWindowOf(widget());
    if (window == nullptr) {
      return nullptr;
    }
    const int i = controlIndexOf(*window, widget());
    return i < 0 ? nullptr : &window->scene().controls()[static_cast<std::size_t>(i)];
  }
};

class SceneAccessible final : public GameAccessible {
public:
  explicit SceneAccessible(SceneWindow* w) : GameAccessible(w, QAccessible::Window) {}

  [[nodiscard]] QString text(QAccessible::Text t) const override {
    if (t != QAccessible::Name) {
      return GameAccessible::text(t);
    }
    // The caption, not the window title: an untitled scene's bar holds a lone blank.
    const SceneWindow* window = liveWindowOf(widget());
    return window != nullptr ? qs(window->scene().def().caption) : QString();
  }
};

class LabelAccessible final : public GameAccessible {
public:
  explicit LabelAccessible(QWidget* w) : GameAccessible(w, QAccessible::StaticText) {}

  [[nodiscard]] QString text(QAccessible::Text t) const override {
    if (t != QAccessible::Name) {
      return GameAccessible::text(t);
    }
    const Control* c = control();
    return c != nullptr ? qs(c->caption) : QString();
  }
};

class PictureAccessible final : public GameAccessible {
public:
  explicit PictureAccessible(QWidget* w) : GameAccessible(w, QAccessible::Graphic) {}

  [[nodiscard]] QString text(QAccessible::Text t) const override {
    if (t != QAccessible::Name) {
      return GameAccessible::text(t);
    }
    const Control* c = control();
    return c != nullptr ? pictureDescription(c->picture) : QString();
  }
};

// The box the scenes speak through: an alert named by its title, described by its prompt.
class BoxAccessible final : public ShownChildren {
public:
  explicit BoxAccessible(QMessageBox* box) : ShownChildren(box, QAccessible::AlertMessage) {}

  [[nodiscard]] QString text(QAccessible::Text t) const override {
    const auto* box = static_cast<const QMessageBox*>(widget());
    switch (t) {
    case QAccessible::Name:
      return box->windowTitle();
    case QAccessible::Description:
      return box->text();
    default:
      return ShownChildren::text(t);
    }
  }
};

QAccessibleInterface* makeAccessible(const QString& /*className*/, QObject* object) {
  if (auto* box = qobject_cast<QMessageBox*>(object)) {
    return new BoxAccessible(box);
  }
  if (auto* window = qobject_cast<SceneWindow*>(object)) {
    return new SceneAccessible(window);
  }
  if (qobject_cast<LabelWidget*>(object) != nullptr) {
    return new LabelAccessible(static_cast<QWidget*>(object));
  }
  if (qobject_cast<PictureWidget*>(object) != nullptr) {
    return new PictureAccessible(static_cast<QWidget*>(object));
  }
  return nullptr;
}

void raise(QWidget& w, QAccessible::Event what) {
  QAccessibleEvent event(&w, what);
  QAccessible::updateAccessibility(&event);
}

} // namespace

void installAccessibility() { QAccessible::installFactory(makeAccessible); }

QString pictureDescription(std::string_view asset) {
  static const QHash<QString, QString> table = [] {
    QHash<QString, QString> t;
    QFile file(QStringLiteral(":/assets/descriptions.txt"));
    if (file.open(QIODevice::ReadOnly)) {
      for (const QString& line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'))) {
        const qsizetype blank = line.indexOf(QLatin1Char(' '));
        if (!line.startsWith(QLatin1Char('#')) && blank > 0) {
          t.insert(line.left(blank), line.mid(blank + 1).trimmed());
        }
      }
    }
    return t;
  }();
  return table.value(qs(asset));
}

void announceChange(QWidget& control, Property what, bool wasHidden) {
  if (!QAccessible::isActive()) {
    return;
  }
  switch (what) {
  case Property::Visible:
    // The container's children change: a screen reader learns of the one that came or went.
    if (control.isHidden() != wasHidden) {
      raise(control, control.isHidden() ? QAccessible::ObjectDestroyed : QAccessible::ObjectCreated);
    }
    break;
  case Property::Caption:
    // A button says so itself when its text is set; a label is painted by the game.
    if (qobject_cast<QAbstractButton*>(&control) == nullptr) {
      raise(control, QAccessible::NameChanged);
    }
    break;
  case Property::Picture:
    raise(control, QAccessible::NameChanged);
    break;
  case Property::Text:     // the line edit tells of its new text itself
  case Property::Position: // a moved control is found where it is when asked
  case Property::Interval: // timers are not exposed
  case Property::Focus:    // Qt tells of its own focus
    break;
  }
}

} // namespace forms::qt
