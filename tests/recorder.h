// Scenes that only say which handler the player's input reached: every event a
// control's kind takes is bound to a handler that does nothing, and an observer
// of the runtime writes down each one that runs, as "Picture1.Click".
#pragma once

#include <string>
#include <vector>

#include "runtime/runtime.h"

namespace recorder {

class Recorder final : public forms::Scene {
public:
  Recorder(forms::Runtime& rt, const forms::SceneDef& def) : Scene(rt, def) {
    for (const forms::ControlDef& c : def.controls) {
      for (const forms::Event e : {forms::Event::Click, forms::Event::MouseMove}) {
        if (forms::receives(c.kind, e)) {
          on(c.name, e, &Recorder::heard);
        }
      }
    }
  }

private:
  void heard() {}
};

inline forms::SceneEntry entry(const forms::SceneDef& def) {
  return {&def, [&def](forms::Runtime& rt) { return std::make_unique<Recorder>(rt, def); }};
}

inline std::vector<forms::SceneEntry> entries(const std::vector<forms::SceneEntry>& catalog) {
  std::vector<forms::SceneEntry> out;
  for (const forms::SceneEntry& e : catalog) {
    out.push_back(entry(*e.def));
  }
  return out;
}

class Heard final : public forms::Observer {
public:
  void handlerStarting(forms::Scene& scene, int control, forms::Event e) override {
    std::string what(control < 0 ? std::string_view("Form")
                                 : scene.controls()[static_cast<std::size_t>(control)].name());
    what += e == forms::Event::Click ? ".Click" : e == forms::Event::MouseMove ? ".MouseMove" : ".other";
    events.push_back(std::move(what));
  }
  void handlerReturned(forms::Scene& /*scene*/, int /*control*/, forms::Event /*e*/) override {}

  // What ran since the last call, as one text ("" for nothing).
  std::string take() {
    std::string out;
    for (const auto& e : events) {
      out += out.empty() ? e : " " + e;
    }
    events.clear();
    return out;
  }

  std::vector<std::string> events;
};

} // namespace recorder
