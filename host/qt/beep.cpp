#include "qt/beep.h"

#include <QApplication>
#include <canberra.h>
#include <cstdlib>
#include <string>

#include "runtime/runtime.h"

namespace forms::qt {

// One libcanberra context for the whole run, and the bell's properties, made once.
struct Beeper::Sound {
  ca_context* context = nullptr;
  ca_proplist* bell = nullptr;

  Sound() = default;
  Sound(const Sound&) = delete;
  Sound& operator=(const Sound&) = delete;
  Sound(Sound&&) = delete;
  Sound& operator=(Sound&&) = delete;
  ~Sound() {
    if (bell != nullptr) {
      ca_proplist_destroy(bell);
    }
    if (context != nullptr) {
      ca_context_destroy(context);
    }
  }

  // Connects to the sound server once; false when none answers.
  bool open() {
    if (ca_context_create(&context) != CA_SUCCESS) {
      context = nullptr;
      return false;
    }
    // PulseAudio, or PipeWire speaking its protocol, as on every current desktop; no
    // server means the display's bell rather than probing sound cards one beep at a
    // time. CANBERRA_DRIVER still picks another way for a player who sets it.
    if (std::getenv("CANBERRA_DRIVER") == nullptr && ca_context_set_driver(context, "pulse") != CA_SUCCESS) {
      return false;
    }
    ca_proplist* app = nullptr;
    if (ca_proplist_create(&app) != CA_SUCCESS) {
      return false;
    }
    // The server shows these beside the game's sounds, e.g. in the desktop's volume mixer.
    ca_proplist_sets(app, CA_PROP_APPLICATION_NAME, std::string(Runtime::kTitle).c_str());
    // The game's id on the desktop, which its installed icon carries too.
    const std::string id = QGuiApplication::desktopFileName().toStdString();
    ca_proplist_sets(app, CA_PROP_APPLICATION_ID, id.c_str());
    ca_proplist_sets(app, CA_PROP_APPLICATION_ICON_NAME, id.c_str());
    const int changed = ca_context_change_props_full(context, app);
    ca_proplist_destroy(app);
    if (changed != CA_SUCCESS || ca_context_open(context) != CA_SUCCESS) {
      return false;
    }
    if (ca_proplist_create(&bell) != CA_SUCCESS) {
      bell = nullptr;
      return false;
    }
    // The sound theme looks for "bell-window-system" and, shortening the name at its
    // dashes, finds "bell" in themes that have no window-system bell of their own.
    ca_proplist_sets(bell, CA_PROP_EVENT_ID, "bell-window-system");
    ca_proplist_sets(bell, CA_PROP_EVENT_DESCRIPTION, "Bell");
    // Kept in the server after the first beep, so the rest start from memory.
    ca_proplist_sets(bell, CA_PROP_CANBERRA_CACHE_CONTROL, "permanent");
    return true;
  }

  // Starts the bell without waiting for it to finish.
  bool play() const { return ca_context_play_full(context, 0, bell, nullptr, nullptr) == CA_SUCCESS; }
};

Beeper::Beeper() = default;
Beeper::~Beeper() = default;

void Beeper::beep() {
  if (path_ == Path::Undecided) {
    sound_ = std::make_unique<Sound>();
    path_ = sound_->open() ? Path::Canberra : Path::DisplayBell;
  }
  // A server that does not take a bell is not asked again: the beeps come ten a
  // second, and each failed try could cost the time of a connection.
  if (path_ == Path::Canberra && !sound_->play()) {
    path_ = Path::DisplayBell;
  }
  if (path_ == Path::DisplayBell) {
    sound_.reset();
    QApplication::beep();
  }
}

std::string_view Beeper::path() const {
  switch (path_) {
  case Path::Canberra:
    return "canberra";
  case Path::DisplayBell:
    return "display bell";
  case Path::Undecided:
    break;
  }
  return "";
}

} // namespace forms::qt
