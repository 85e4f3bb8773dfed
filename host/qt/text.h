// The scenes' texts are UTF-8; Qt's are QString.
#pragma once

#include <QString>
#include <string_view>

namespace forms::qt {

inline QString qs(std::string_view s) {
  return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

} // namespace forms::qt
