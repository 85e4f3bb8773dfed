#include "qt/fonts.h"

#include <QFontDatabase>
#include <QRawFont>
#include <algorithm>
#include <fontconfig/fontconfig.h>
#include <memory>

#include "look/look.h"
#include "qt/text.h"

namespace forms::qt {

namespace {

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
  QStringList families;
  for (const std::string_view family : look::standIns(face)) {
    families.append(qs(family));
  }
  return families;
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
  const Font f = look::fontOf(font);
  QFont q;
  if (const QStringList families = installedSubstitutesFor(f.face); !families.isEmpty()) {
    q.setFamilies(families);
  }
  q.setPixelSize(look::pixelsOfPoints(f.points));
  q.setWeight(look::isBold(f) ? QFont::Bold : QFont::Normal);
  q.setItalic(f.italic);
  q.setUnderline(f.underline);
  q.setStrikeOut(f.strikethrough);
  return q;
}

void installFontSubstitutions() {
  for (const std::string_view face : look::kNamedFaces) {
    QFont::insertSubstitutions(qs(face), installedSubstitutesFor(face));
  }
}

} // namespace forms::qt
