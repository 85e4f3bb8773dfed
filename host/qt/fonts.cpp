#include "qt/fonts.h"

#include <QFontDatabase>
#include <QRawFont>
#include <algorithm>
#include <cmath>

#include "qt/text.h"

namespace forms::qt {

namespace {

constexpr std::string_view kPGothic = "ＭＳ Ｐゴシック";
constexpr std::string_view kPop = "HG創英角ﾎﾟｯﾌﾟ体";

// A real face of its own (not a generic name such as "Sans Serif") with kana and kanji.
bool writesJapanese(const QString& family) {
  QFont f(family);
  f.setStyleStrategy(QFont::NoFontMerging);
  const QRawFont raw = QRawFont::fromFont(f);
  return raw.isValid() && raw.familyName().compare(family, Qt::CaseInsensitive) == 0 &&
         raw.supportsCharacter(U'あ') && raw.supportsCharacter(U'ア') && raw.supportsCharacter(U'日');
}

} // namespace

QStringList substitutesFor(std::string_view face) {
  if (face == kPop) {
    // A heavy, rounded, playful pop face, then heavy rounded gothics.
    return {QStringLiteral("RocknRoll One"), QStringLiteral("M PLUS 2"), QStringLiteral("IPAPGothic"),
            QStringLiteral("Noto Sans CJK JP")};
  }
  // IPA P Gothic is drawn to the metrics of the proportional gothic the scenes name.
  return {QStringLiteral("IPAPGothic"), QStringLiteral("VL PGothic"), QStringLiteral("Noto Sans CJK JP"),
          QStringLiteral("IPAGothic")};
}

QStringList installedSubstitutesFor(std::string_view face) {
  const QStringList installed = QFontDatabase::families();
  QStringList found;
  for (const QString& family : substitutesFor(face)) {
    if (installed.contains(family, Qt::CaseInsensitive)) {
      found.append(family);
    }
  }
  if (found.isEmpty()) {
    // Fontconfig marks a face as Japanese only when it covers a long list of kanji,
    // which some good Japanese faces miss; so every installed face is asked too.
    for (const QStringList& candidates : {QFontDatabase::families(QFontDatabase::Japanese), installed}) {
      const auto it = std::find_if(candidates.begin(), candidates.end(), writesJapanese);
      if (it != candidates.end()) {
        found.append(*it);
        break;
      }
    }
  }
  return found;
}

QFont fontFor(const std::optional<Font>& font) {
  const Font f = font.value_or(Font{.face = kPGothic, .points = 9, .weight = 400});
  QFont q;
  if (const QStringList families = installedSubstitutesFor(f.face); !families.isEmpty()) {
    q.setFamilies(families);
  }
  // Points at 96 pixels per inch, the same ratio that makes 15 twips a pixel.
  q.setPixelSize(static_cast<int>(std::lround(f.points * 96.0 / 72.0)));
  q.setWeight(f.weight >= 700 ? QFont::Bold : QFont::Normal);
  q.setItalic(f.italic);
  q.setUnderline(f.underline);
  q.setStrikeOut(f.strikethrough);
  return q;
}

void installFontSubstitutions() {
  QFont::insertSubstitutions(qs(kPGothic), installedSubstitutesFor(kPGothic));
  QFont::insertSubstitutions(qs(kPop), installedSubstitutesFor(kPop));
}

} // namespace forms::qt
