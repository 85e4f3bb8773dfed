// The beep: the desktop's own bell sound, played through its sound server so that
// the player's sound settings apply; the display's bell where no server answers.
// A beep starts the sound and returns at once.
#pragma once

#include <memory>
#include <string_view>

namespace forms::qt {

class Beeper {
public:
  Beeper();
  ~Beeper();
  Beeper(const Beeper&) = delete;
  Beeper& operator=(const Beeper&) = delete;
  Beeper(Beeper&&) = delete;
  Beeper& operator=(Beeper&&) = delete;

  void beep();
  // How the beeps sound: "canberra" (the sound server), "display bell", or "" before
  // the first beep, which is when the sound server is first asked.
  [[nodiscard]] std::string_view path() const;

private:
  enum class Path : unsigned char { Undecided, Canberra, DisplayBell };
  struct Sound;
  std::unique_ptr<Sound> sound_;
  Path path_ = Path::Undecided;
};

} // namespace forms::qt
