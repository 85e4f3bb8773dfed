// Run at build time: prints, as JSON, what the page's fonts are made from: the
// stand-ins for each face the scenes name, and every caption and text of the
// scene definitions. The scenes' handlers add their own texts, which the font
// script reads from their sources.
#include <cstdio>
#include <string>
#include <string_view>

#include "look/look.h"
#include "runtime/runtime.h"
#include "scenes/scenes.h"

namespace {

void printString(std::string_view s) {
  std::string out = "\"";
  for (const char c : s) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out.push_back('\\');
      out.push_back(c);
    } else if (u < 0x20) {
      constexpr const char* digits = "0123456789abcdef";
      out += "\\u00";
      out.push_back(digits[u >> 4U]);
      out.push_back(digits[u & 0xFU]);
    } else {
      out.push_back(c);
    }
  }
  out.push_back('"');
  std::fputs(out.c_str(), stdout);
}

} // namespace

// Out of memory is the only way out, and it should fail the build step.
int main() { // NOLINT(bugprone-exception-escape)
  std::fputs("{\"faces\": {", stdout);
  bool firstFace = true;
  for (const std::string_view face : forms::look::kNamedFaces) {
    std::fputs(firstFace ? "\n  " : ",\n  ", stdout);
    firstFace = false;
    printString(face);
    std::fputs(": [", stdout);
    bool first = true;
    for (const std::string_view family : forms::look::standIns(face)) {
      std::fputs(first ? "" : ", ", stdout);
      first = false;
      printString(family);
    }
    std::fputs("]", stdout);
  }
  std::fputs("\n},\n\"texts\": [\n  ", stdout);
  printString(forms::Runtime::kTitle);
  for (const forms::SceneEntry& e : scenes::catalog()) {
    std::fputs(",\n  ", stdout);
    printString(e.def->caption);
    for (const forms::ControlDef& c : e.def->controls) {
      for (const std::string_view t : {c.caption, c.text}) {
        if (!t.empty()) {
          std::fputs(",\n  ", stdout);
          printString(t);
        }
      }
    }
  }
  std::fputs("\n]}\n", stdout);
  return 0;
}
