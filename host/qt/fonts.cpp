#include "qt/fonts.h"

#include <QFontDatabase>
#include <QRawFont>
#include <algorithm>
#include <cmath>
#include <fontconfig/fontconfig.h>
#include <memory>

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

template <auto Free> struct FcDeleter {
  template <typename T> void operator()(T* p) const { Free(p); }
};

// The name Qt lists an installed family under, asked by any of its names. Fontconfig
// gives a family each name its font carries, the one in the locale's language first,
// and Qt lists it by that first one: under a Japanese locale RocknRoll One is
// "ロックンロール One" and IPAPGothic "IPA Pゴシック". An empty string when none is installed.
QString listedName(const QString& family) {
  const std::unique_ptr<FcPattern, FcDeleter<FcPatternDestroy>> pattern(FcPatternCreate());
  const QByteArray utf8 = family.toUtf8();
  FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(utf8.constData()));
  const std::unique_ptr<FcObjectSet, FcDeleter<FcObjectSetDestroy>> objects(FcObjectSetCreate());
  FcObjectSetAdd(objects.get(), FC_FAMILY);
  const std::unique_ptr<FcFontSet, FcDeleter<FcFontSetDestroy>> fonts(
      FcFontList(nullptr, pattern.get(), objects.get()));
  if (!fonts) {
    return {};
  }
  const QStringList listed = QFontDatabase::families();
  QString found;
  for (int i = 0; i < fonts->nfont; ++i) {
    FcChar8* first = nullptr;
    if (FcPatternGetString(fonts->fonts[i], FC_FAMILY, 0, &first) != FcResultMatch) {
      continue;
    }
    QString name = QString::fromUtf8(reinterpret_cast<const char*>(first));
    if (!listed.contains(name, Qt::CaseInsensitive)) {
      continue;
    }
    // A face may lead with a narrower name of its own ("M PLUS 2 Black") and answer
    // to the family's too: a face listed under the very name asked for wins.
    if (name.compare(family, Qt::CaseInsensitive) == 0) {
      return name;
    }
    if (found.isEmpty()) {
      found = name;
    }
  }
  return found;
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
    if (const QString name = listedName(family); !name.isEmpty() && !found.contains(name)) {
      found.append(name);
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
