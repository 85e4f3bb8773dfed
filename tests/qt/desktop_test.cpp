// The game on a player's desktop, on Qt's offscreen platform: the beep and its
// fallback, the faces that stand in for the named ones and whether they can draw
// every text, the window states, and the keyboard.
#include <gtest/gtest.h>

#include "offscreen.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGlyphRun>
#include <QMessageBox>
#include <QPainter>
#include <QProcess>
#include <QPushButton>
#include <QRawFont>
#include <QRegularExpression>
#include <QScreen>
#include <QStandardPaths>
#include <QStyleHints>
#include <QTemporaryDir>
#include <QTest>
#include <QTextLayout>
#include <QThread>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <clocale>
#include <cstdio>
#include <locale.h>
#include <unistd.h>

#include "qt/beep.h"
#include "qt/desktop.h"
#include "qt/fonts.h"
#include "qt/frontend.h"
#include "qt/text.h"
#include "qt/widgets.h"
#include "scenes/scenes.h"

using namespace forms;
using namespace forms::qt;

namespace {

constexpr std::string_view kPop = "HG創英角ﾎﾟｯﾌﾟ体";
constexpr std::string_view kPGothic = "ＭＳ Ｐゴシック";
// Where no sound server listens.
constexpr const char* kNoServer = "unix:/nonexistent/botoron-no-sound-server";

// Collects what the code under it writes to standard error.
class StderrCapture {
public:
  StderrCapture() : file_(std::tmpfile()), saved_(dup(STDERR_FILENO)) {
    std::fflush(stderr);
    dup2(fileno(file_), STDERR_FILENO);
  }
  ~StderrCapture() { restore(); }
  StderrCapture(const StderrCapture&) = delete;
  StderrCapture& operator=(const StderrCapture&) = delete;
  StderrCapture(StderrCapture&&) = delete;
  StderrCapture& operator=(StderrCapture&&) = delete;

  std::string take() {
    restore();
    std::string out;
    std::rewind(file_);
    for (int c = std::fgetc(file_); c != EOF; c = std::fgetc(file_)) {
      out.push_back(static_cast<char>(c));
    }
    return out;
  }

private:
  void restore() {
    if (saved_ >= 0) {
      std::fflush(stderr);
      dup2(saved_, STDERR_FILENO);
      close(saved_);
      saved_ = -1;
    }
  }
  std::FILE* file_;
  int saved_;
};

// Thirty beeps, as the title rings them; the wall time they take in total.
qint64 thirtyBeepsMs(Beeper& b) {
  QElapsedTimer t;
  t.start();
  for (int i = 0; i < 30; ++i) {
    b.beep();
  }
  return t.elapsed();
}

} // namespace

// ---- Beep ---------------------------------------------------------------------

TEST(Beep, WithoutASoundServerTheDisplayBellRingsAtOnceAndQuietly) {
  qputenv("PULSE_SERVER", kNoServer);
  Beeper b;
  EXPECT_EQ(b.path(), "");
  StderrCapture err;
  const qint64 ms = thirtyBeepsMs(b);
  const std::string said = err.take();
  EXPECT_EQ(b.path(), "display bell");
  EXPECT_LT(ms, 1000) << "the beeps block the title";
  EXPECT_EQ(said, "") << "a missing sound server is no error";
}

TEST(Beep, TheFrontEndRingsThroughItsBeeper) {
  qputenv("PULSE_SERVER", kNoServer);
  QtFrontend fe(scenes::catalog());
  EXPECT_EQ(fe.beeper().path(), "");
  fe.runtime().beep();
  EXPECT_EQ(fe.beeper().path(), "display bell");
}

// A private PulseAudio with a null sink stands in for the desktop's sound server;
// the test needs the pulseaudio program and skips without it.
TEST(Beep, WithASoundServerTheBellGoesThroughIt) {
  const QString daemon = QStandardPaths::findExecutable(QStringLiteral("pulseaudio"));
  if (daemon.isEmpty()) {
    GTEST_SKIP() << "pulseaudio is not installed";
  }
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString socket = dir.filePath(QStringLiteral("native"));
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("HOME"), dir.path());
  env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.path());
  env.remove(QStringLiteral("PULSE_SERVER"));
  QProcess server;
  server.setProcessEnvironment(env);
  server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  server.start(daemon, {QStringLiteral("-n"), QStringLiteral("--daemonize=no"),
                        QStringLiteral("--exit-idle-time=-1"), QStringLiteral("--use-pid-file=no"),
                        QStringLiteral("--log-target=stderr"), QStringLiteral("--log-level=error"),
                        QStringLiteral("-L"), QStringLiteral("module-null-sink"), QStringLiteral("-L"),
                        QStringLiteral("module-native-protocol-unix auth-anonymous=1 socket=") + socket});
  ASSERT_TRUE(server.waitForStarted(5000));
  QElapsedTimer up;
  up.start();
  while (!QFile::exists(socket) && up.elapsed() < 10000) {
    QThread::msleep(20);
  }
  ASSERT_TRUE(QFile::exists(socket)) << "the private sound server did not come up";

  const QByteArray address = "unix:" + socket.toUtf8();
  qputenv("PULSE_SERVER", address);
  {
    Beeper b;
    const qint64 ms = thirtyBeepsMs(b);
    EXPECT_EQ(b.path(), "canberra");
    EXPECT_LT(ms, 1000) << "the beeps block the title";

    // The server keeps the bell it has played in its sample cache.
    const QString pactl = QStandardPaths::findExecutable(QStringLiteral("pactl"));
    if (!pactl.isEmpty()) {
      QProcessEnvironment withServer = env;
      withServer.insert(QStringLiteral("PULSE_SERVER"), QString::fromUtf8(address));
      QString samples;
      QElapsedTimer t;
      t.start();
      do {
        QProcess list;
        list.setProcessEnvironment(withServer);
        list.start(pactl, {QStringLiteral("list"), QStringLiteral("samples"), QStringLiteral("short")});
        list.waitForFinished(5000);
        samples = QString::fromUtf8(list.readAllStandardOutput());
      } while (!samples.contains(u"bell-window-system") && t.elapsed() < 3000);
      EXPECT_TRUE(samples.contains(u"bell-window-system")) << samples.toStdString();
    }
  }
  qputenv("PULSE_SERVER", kNoServer);
  server.terminate();
  if (!server.waitForFinished(5000)) {
    server.kill();
    server.waitForFinished(5000);
  }
}

// ---- Fonts --------------------------------------------------------------------

namespace {

// With the game's own fonts installed, each text must come whole from the faces
// its font names; with only a few faces installed, it must at least have no boxes.
bool ownFacesOnly() { return qEnvironmentVariableIsEmpty("BOTORON_FONTS_ONLY_MPLUS"); }

// What one font cannot draw of a text: characters with no glyph, and characters
// drawn from a face the system fell back on instead of one the font names.
std::vector<std::string> undrawn(const QFont& font, const QString& text) {
  std::vector<std::string> faults;
  const QStringList families = font.families();
  for (const char32_t c : text.toUcs4()) {
    if (!QChar::isPrint(c) || c == U' ') {
      continue;
    }
    const QString one = QString::fromUcs4(&c, 1);
    QTextLayout layout(one, font);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    for (const QGlyphRun& run : layout.glyphRuns()) {
      const QString family = run.rawFont().familyName();
      const bool own = !ownFacesOnly() || families.contains(family, Qt::CaseInsensitive);
      const bool blank = run.glyphIndexes().contains(0U);
      if (!own || blank) {
        faults.push_back(one.toStdString() +
                         (blank ? " has no glyph" : " is drawn in " + family.toStdString()));
      }
    }
  }
  return faults;
}

// Every string literal with Japanese in it in the scene sources but the names of
// faces: the message boxes' prompts among them, which are plain default-font text.
std::vector<std::pair<std::string, QString>> japaneseLiteralsOfScenes() {
  QStringList faces;
  for (const SceneEntry& e : scenes::catalog()) {
    for (const ControlDef& c : e.def->controls) {
      if (c.font) {
        faces.append(qs(c.font->face));
      }
    }
  }
  std::vector<std::pair<std::string, QString>> found;
  const QRegularExpression literal(QStringLiteral(R"re("((?:[^"\\\n]|\\.)*)")re"));
  QDirIterator it(QStringLiteral(BOTORON_SOURCE_DIR "/scenes"), {QStringLiteral("*.cpp")});
  while (it.hasNext()) {
    QFile f(it.next());
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << f.fileName().toStdString();
    const QString source = QString::fromUtf8(f.readAll());
    for (const QRegularExpressionMatch& m : literal.globalMatch(source)) {
      const QString s = m.captured(1);
      if (!faces.contains(s) &&
          std::any_of(s.begin(), s.end(), [](QChar ch) { return ch.unicode() > 0x7F; })) {
        found.emplace_back(QFileInfo(f).fileName().toStdString(), s);
      }
    }
  }
  return found;
}

} // namespace

TEST(Fonts, NamedFacesResolveToInstalledJapaneseFaces) {
  struct Case {
    std::optional<Font> font;
    QString family;
  };
  const std::vector<Case> cases = {
      {Font{.face = kPop, .points = 36, .weight = 700}, QStringLiteral("RocknRoll One")},
      {Font{.face = kPGothic, .points = 9, .weight = 700}, QStringLiteral("IPAPGothic")},
      {Font{.face = kPGothic, .points = 21.75, .weight = 400}, QStringLiteral("IPAPGothic")},
      {std::nullopt, QStringLiteral("IPAPGothic")},
  };
  const QStringList installed = QFontDatabase::families();
  for (const Case& c : cases) {
    const QFont f = fontFor(c.font);
    ASSERT_FALSE(f.families().isEmpty());
    // Only installed faces are named, and the first is the one Qt really draws with.
    for (const QString& family : f.families()) {
      EXPECT_TRUE(installed.contains(family, Qt::CaseInsensitive)) << family.toStdString();
    }
    EXPECT_EQ(f.families().front(), c.family);
    EXPECT_EQ(QFontInfo(f).family(), c.family);
  }
  // The pop face falls back on heavy rounded gothics, then on the plain gothic (and
  // on a last gothic where a desktop happens to have it).
  EXPECT_EQ(installedSubstitutesFor(kPop).mid(0, 3),
            QStringList(
                {QStringLiteral("RocknRoll One"), QStringLiteral("M PLUS 2"), QStringLiteral("IPAPGothic")}));
  // The default font of the application and of its message boxes is the gothic.
  EXPECT_EQ(QFontInfo(QApplication::font()).family(), QStringLiteral("IPAPGothic"));
  EXPECT_EQ(QFontInfo(QFont(qs(kPop))).family(), QStringLiteral("RocknRoll One"));
}

// CTest runs this once more with only the M PLUS fonts installed, as on a desktop
// that lacks the first choices.
TEST(Fonts, WithoutTheFirstChoicesTheNextInstalledFaceIsTaken) {
  if (ownFacesOnly()) {
    GTEST_SKIP() << "runs with the restricted font set only";
  }
  ASSERT_FALSE(QFontDatabase::families().contains(QStringLiteral("RocknRoll One")));
  EXPECT_EQ(installedSubstitutesFor(kPop), QStringList({QStringLiteral("M PLUS 2")}));
  EXPECT_EQ(QFontInfo(fontFor(Font{.face = kPop, .points = 36, .weight = 700})).family(),
            QStringLiteral("M PLUS 2"));
  // None of the gothics is there: any face that writes Japanese takes their place.
  const QStringList gothic = installedSubstitutesFor(kPGothic);
  ASSERT_EQ(gothic.size(), 1);
  EXPECT_NE(gothic.front(), QStringLiteral("M PLUS 2")) << "not only the pop face's own stand-in";
  EXPECT_EQ(QFontInfo(fontFor(std::nullopt)).family(), gothic.front());
  EXPECT_EQ(undrawn(fontFor(std::nullopt), QStringLiteral("ない！プログラム作成、日本")),
            std::vector<std::string>{});
}

TEST(Fonts, EveryTextOfEverySceneIsDrawnWholeInItsOwnFace) {
  int texts = 0;
  const auto expectDrawn = [&texts](const QFont& font, std::string_view text, const std::string& where) {
    if (text.empty()) {
      return;
    }
    ++texts;
    for (const std::string& fault : undrawn(font, qs(text))) {
      ADD_FAILURE() << where << ": " << fault << " (" << font.families().join(u',').toStdString() << ")";
    }
  };
  const QFont plain = fontFor(std::nullopt);
  for (const SceneEntry& e : scenes::catalog()) {
    const SceneDef& d = *e.def;
    const std::string scene(d.name);
    expectDrawn(plain, d.caption, scene + " caption");
    for (const ControlDef& c : d.controls) {
      const QFont f = fontFor(c.font);
      expectDrawn(f, c.caption, scene + "." + std::string(c.name) + " caption");
      expectDrawn(f, c.text, scene + "." + std::string(c.name) + " text");
    }
  }
  expectDrawn(plain, Runtime::kTitle, "message box title");
  for (const auto& [file, literal] : japaneseLiteralsOfScenes()) {
    const std::string text = literal.toStdString();
    expectDrawn(plain, text, file + " \"" + text + "\"");
  }
  EXPECT_GT(texts, 0);
}

// ---- Locales --------------------------------------------------------------------

namespace {

// Set for the copies of this program that the test below starts, one per locale:
// where to put what they draw.
constexpr const char* kDrawTo = "BOTORON_DRAW_SCENES_TO";

// Every scene's window as it opens, one under the other, then the box the thrower
// choice opens as it loads, whose prompt is in the default face.
QImage everySceneDrawn(QString& titleFamily) {
  QtFrontend fe(scenes::catalog());
  fe.setQuitOnEnd(false);
  std::vector<QImage> shots;
  fe.onBox = [&shots](QMessageBox& box) {
    QTimer::singleShot(0, &box, [&shots, &box] {
      shots.push_back(box.grab().toImage());
      box.accept();
    });
  };
  for (const SceneEntry& e : scenes::catalog()) {
    fe.runtime().show(e.def->name);
    QCoreApplication::processEvents();
    SceneWindow* w = fe.windowOf(e.def->name);
    EXPECT_NE(w, nullptr) << e.def->name;
    if (w == nullptr) {
      continue;
    }
    shots.push_back(w->grab().toImage());
    if (e.def->name == "Form1") {
      titleFamily = QFontInfo(w->widgetFor(w->scene().def().indexOf("Label1"))->font()).family();
    }
    fe.runtime().unload(e.def->name);
    QCoreApplication::processEvents();
  }
  int width = 0;
  int height = 0;
  for (const QImage& shot : shots) {
    width = std::max(width, shot.width());
    height += shot.height();
  }
  QImage all(width, height, QImage::Format_RGB32);
  all.fill(Qt::magenta);
  QPainter p(&all);
  int y = 0;
  for (const QImage& shot : shots) {
    p.drawImage(0, y, shot);
    y += shot.height();
  }
  return all;
}

struct Drawn {
  QImage image;
  QString locale; // as the C library took it up
  QString titleFamily;
};

// This program started again with only the scenes drawn, in the given locale.
Drawn drawnIn(const QString& locale, const QTemporaryDir& dir) {
  const QString out = dir.filePath(locale + QStringLiteral(".png"));
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  for (const char* name : {"FC_LANG", "LANGUAGE", "LC_CTYPE", "LC_MESSAGES"}) {
    env.remove(QString::fromLatin1(name));
  }
  env.insert(QStringLiteral("LC_ALL"), locale);
  env.insert(QStringLiteral("LANG"), locale);
  env.insert(QString::fromLatin1(kDrawTo), out);
  QProcess child;
  child.setProcessEnvironment(env);
  child.setProcessChannelMode(QProcess::ForwardedChannels);
  child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--gtest_filter=Locales.*")});
  EXPECT_TRUE(child.waitForFinished(60000)) << locale.toStdString();
  EXPECT_EQ(child.exitStatus(), QProcess::NormalExit) << locale.toStdString();
  EXPECT_EQ(child.exitCode(), 0) << locale.toStdString();
  QFile facts(out + QStringLiteral(".txt"));
  EXPECT_TRUE(facts.open(QIODevice::ReadOnly)) << locale.toStdString();
  const QStringList lines = QString::fromUtf8(facts.readAll()).split(u'\n');
  return {QImage(out), lines.value(0), lines.value(1)};
}

} // namespace

// The game's first players use a Japanese desktop, where fontconfig and Qt name the
// faces in Japanese ("ロックンロール One", "IPA Pゴシック"): every window and box must
// look there exactly as it does in the C locale, title face and all.
TEST(Locales, EverySceneIsDrawnAlikeInTheCAndTheJapaneseLocale) {
  if (const QString out = qEnvironmentVariable(kDrawTo); !out.isEmpty()) {
    // A text box's cursor stays lit, so both drawings catch it alike.
    QGuiApplication::styleHints()->setCursorFlashTime(0);
    QString titleFamily;
    const QImage drawn = everySceneDrawn(titleFamily);
    ASSERT_TRUE(drawn.save(out));
    QFile facts(out + QStringLiteral(".txt"));
    ASSERT_TRUE(facts.open(QIODevice::WriteOnly));
    facts.write(QByteArray(std::setlocale(LC_CTYPE, nullptr)) + '\n' + titleFamily.toUtf8());
    return;
  }
  locale_t japanese = newlocale(LC_ALL_MASK, "ja_JP.UTF-8", nullptr);
  ASSERT_NE(japanese, nullptr) << "the ja_JP.UTF-8 locale is not generated (scripts/test generates it)";
  freelocale(japanese);

  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const Drawn c = drawnIn(QStringLiteral("C.UTF-8"), dir);
  const Drawn ja = drawnIn(QStringLiteral("ja_JP.UTF-8"), dir);
  EXPECT_EQ(c.locale.toStdString(), "C.UTF-8");
  EXPECT_EQ(c.titleFamily.toStdString(), "RocknRoll One");
  // The Japanese run really saw the faces by their Japanese names.
  EXPECT_EQ(ja.locale.toStdString(), "ja_JP.UTF-8");
  EXPECT_EQ(ja.titleFamily.toStdString(), "ロックンロール One");
  ASSERT_FALSE(c.image.isNull());
  ASSERT_EQ(ja.image.size(), c.image.size());
  qsizetype differing = 0;
  for (int y = 0; y < c.image.height(); ++y) {
    for (int x = 0; x < c.image.width(); ++x) {
      differing += c.image.pixel(x, y) != ja.image.pixel(x, y) ? 1 : 0;
    }
  }
  if (differing > 0) {
    dir.setAutoRemove(false);
  }
  EXPECT_EQ(differing, 0) << "pixels differ; both drawings are in " << dir.path().toStdString();
}

namespace {

// A caption drawn in black on white into a label of the given size.
QImage drawnCaption(const QFont& font, QSize size, const QString& text) {
  QImage img(size, QImage::Format_RGB32);
  img.fill(Qt::white);
  QPainter p(&img);
  p.setFont(font);
  p.setPen(Qt::black);
  drawCaption(p, img.rect(), text);
  return img;
}

int lowestInkRow(const QImage& img) {
  for (int y = img.height() - 1; y >= 0; --y) {
    for (int x = 0; x < img.width(); ++x) {
      if (img.pixel(x, y) != qRgb(255, 255, 255)) {
        return y;
      }
    }
  }
  return -1;
}

} // namespace

// Two lines of a caption fit in a label two ems tall, whole, in every face the
// scenes use; the title is such a label and shows its two lines.
TEST(Captions, LinesFollowEachOtherOneEmApart) {
  for (const std::optional<Font>& f :
       {std::optional<Font>(Font{.face = kPop, .points = 36, .weight = 700}),
        std::optional<Font>(Font{.face = kPop, .points = 21.75, .weight = 700}),
        std::optional<Font>(Font{.face = kPGothic, .points = 9, .weight = 700}), std::optional<Font>()}) {
    const QFont font = fontFor(f);
    const int em = font.pixelSize();
    const QString text = QStringLiteral("ボトロン\nゲーム");
    const QImage tall = drawnCaption(font, QSize(10 * em, 4 * em), text);
    const QImage label = drawnCaption(font, QSize(10 * em, 2 * em), text);
    EXPECT_LT(lowestInkRow(tall), 2 * em) << em << " px: the second line reaches below two ems";
    EXPECT_GE(lowestInkRow(tall), em) << em << " px: no second line";
    EXPECT_EQ(label, tall.copy(label.rect())) << em << " px";
  }
}

// ---- Windows and keyboard -------------------------------------------------------

namespace {

class DesktopTest : public offscreen::FrontendTest {};

} // namespace

TEST_F(DesktopTest, EveryWindowOpensWhereAndHowItsDefinitionWants) {
  for (const SceneEntry& e : scenes::catalog()) {
    const SceneDef& d = *e.def;
    SceneWindow& w = show(d.name);
    // The title bar shows the caption; where there is none it stays blank, which
    // takes a title that is not empty, since Qt fills an empty one with the program's name.
    ASSERT_NE(w.windowHandle(), nullptr);
    const QString title = w.windowHandle()->title();
    if (d.caption.empty()) {
      EXPECT_TRUE(!title.isEmpty() && title.trimmed().isEmpty())
          << d.name << ": \"" << title.toStdString() << '"';
    } else {
      EXPECT_EQ(title, qs(d.caption)) << d.name;
    }
    switch (d.state) {
    case WindowState::Normal:
      EXPECT_EQ(w.windowState(), Qt::WindowNoState) << d.name;
      EXPECT_EQ(w.geometry(), QRect(px(d.left), px(d.top), px(d.width), px(d.height))) << d.name;
      break;
    case WindowState::Minimized:
      EXPECT_TRUE(w.isMinimized()) << d.name;
      break;
    case WindowState::Maximized:
      EXPECT_TRUE(w.isMaximized()) << d.name;
      EXPECT_GE(w.width(), px(d.width)) << d.name;
      EXPECT_GE(w.height(), px(d.height)) << d.name;
      break;
    }
    unload(d.name);
  }
}

TEST_F(DesktopTest, ALaterShowLeavesTheWindowAsThePlayerLeftIt) {
  for (const std::string_view scene : {"Form4", "Form5"}) {
    SceneWindow& w = show(scene);
    EXPECT_NE(w.windowState(), Qt::WindowNoState) << scene;
    w.showNormal();
    QCoreApplication::processEvents();
    fe->runtime().show(scene);
    QCoreApplication::processEvents();
    EXPECT_EQ(w.windowState(), Qt::WindowNoState) << scene;
    EXPECT_TRUE(w.isVisible()) << scene;
    unload(scene);
  }
}

// A show of a loaded scene that the player has minimized brings it back, in the
// state it had before, and to the front.
TEST_F(DesktopTest, AShowRestoresAndRaisesAWindowThePlayerMinimized) {
  for (const std::string_view scene : {"Form2", "Form5"}) {
    SceneWindow& w = show(scene);
    const Qt::WindowStates before = w.windowState();
    show("Form6"); // another window comes to the front
    w.showMinimized();
    QCoreApplication::processEvents();
    ASSERT_TRUE(w.isMinimized()) << scene;
    fe->runtime().show(scene);
    QCoreApplication::processEvents();
    EXPECT_FALSE(w.isMinimized()) << scene;
    EXPECT_EQ(w.windowState() & ~Qt::WindowActive, before & ~Qt::WindowActive) << scene;
    EXPECT_TRUE(w.isVisible()) << scene;
    EXPECT_EQ(QApplication::activeWindow(), &w) << scene;
    unload("Form6");
    unload(scene);
  }
}

namespace {

// Focus goes round the windowed controls that can be seen, in TabIndex order, from
// the lowest; a box outside the client area takes part, a hidden one does not.
void expectFocusFollowsTabIndex(SceneWindow& w) {
  const std::string name(w.scene().name());
  const std::vector<int> order = focusOrder(w.scene().controls());
  if (order.empty()) {
    return;
  }
  ASSERT_EQ(w.focusWidget(), w.widgetFor(order.front())) << name;
  for (std::size_t k = 1; k <= order.size(); ++k) {
    QTest::keyClick(w.focusWidget(), Qt::Key_Tab);
    ASSERT_EQ(w.focusWidget(), w.widgetFor(order[k % order.size()])) << name << " after " << k << " tabs";
  }
}

const SceneDef& keysScene() {
  static const SceneDef def{
      .name = "Keys",
      .caption = "Keys",
      .left = 1500,
      .top = 1500,
      .width = 4500,
      .height = 3000,
      .controls =
          {
              button("Command1", 120, 120, 1200, 375, "一").tab(3),
              textBox("Text1", 120, 600, 1200, 285, "0").tab(1),
              textBox("Text2", 9000, 600, 1200, 285, "0").tab(4), // outside the client area
              pictureBox("Picture1", 1500, 120, 1200, 1200).tab(0),
              button("Command2", 120, 1200, 1200, 375, "二").tab(2).hidden(),
              button("Command3", 120, 1800, 1200, 375, "三").tab(5),
              label("Label1", 3000, 120, 1200, 375, "ラベル").tab(6),
          },
  };
  return def;
}

// Counts the events of one type that reach a widget while it lives.
class EventCounter final : public QObject {
public:
  EventCounter(QWidget& w, QEvent::Type type, int& count) : type_(type), count_(&count) {
    w.installEventFilter(this);
  }

protected:
  bool eventFilter(QObject* /*watched*/, QEvent* event) override {
    if (event->type() == type_) {
      ++*count_;
    }
    return false;
  }

private:
  QEvent::Type type_;
  int* count_;
};

} // namespace

// How the companion window is minimized on Wayland, where a minimize asked before
// the window is on screen is dropped.
TEST_F(DesktopTest, AWindowToBeMinimizedOnceExposedIsMinimizedAfterItsFirstExpose) {
  fe->runtime().form("Form6");
  SceneWindow* w = fe->windowOf("Form6");
  ASSERT_NE(w, nullptr);
  w->minimizeOnceExposed();
  EXPECT_FALSE(w->isMinimized());
  w->show();
  QElapsedTimer t;
  t.start();
  while (!w->isMinimized() && t.elapsed() < 2000) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  EXPECT_TRUE(w->isMinimized());
}

// A compositor without a minimize (sway) leaves the companion on screen, in front
// and with the keyboard: the maze maps anew, which gives it both back. Where the
// minimize moved the focus away, as it does where minimize works, nothing changes.
TEST_F(DesktopTest, TheMazeGetsTheFocusBackFromACompanionKeptOnScreen) {
  for (const bool minimizeWorks : {true, false}) {
    SCOPED_TRACE(minimizeWorks ? "the minimize moved the focus" : "the companion kept the focus");
    SceneWindow& maze = show("Form3");
    int mapped = 0;
    EventCounter shows(maze, QEvent::Show, mapped);
    fe->runtime().form("Form4");
    SceneWindow* companion = fe->windowOf("Form4");
    ASSERT_NE(companion, nullptr);
    companion->minimizeOnceExposed();
    companion->show();
    companion->activateWindow();
    ASSERT_TRUE(QTest::qWaitFor([&] { return companion->isMinimized(); }, 2000));
    if (minimizeWorks) {
      maze.activateWindow();
    }
    QTest::qWait(SceneWindow::kMinimizeAnswerMs + 200);
    EXPECT_EQ(mapped, minimizeWorks ? 0 : 1);
    EXPECT_EQ(companion->windowHandle()->flags().testFlag(Qt::WindowDoesNotAcceptFocus), !minimizeWorks);
    EXPECT_TRUE(maze.isVisible());
    unload("Form3");
    unload("Form4");
  }
}

TEST_F(DesktopTest, FocusStartsAtTheLowestTabIndexAndTabFollowsTheOrder) {
  for (const SceneEntry& e : scenes::catalog()) {
    expectFocusFollowsTabIndex(show(e.def->name));
    unload(e.def->name);
  }
  fe = std::make_unique<QtFrontend>(std::vector<SceneEntry>{scenes::plainEntry(keysScene())});
  SceneWindow& w = show("Keys");
  const SceneDef& d = w.scene().def();
  const std::vector<int> expected = {d.indexOf("Picture1"), d.indexOf("Text1"), d.indexOf("Command1"),
                                     d.indexOf("Text2"), d.indexOf("Command3")};
  ASSERT_EQ(focusOrder(w.scene().controls()), expected);
  expectFocusFollowsTabIndex(w);
}

// Qt's focus is the runtime's: a press, Tab and Shift+Tab reach the runtime,
// and where the runtime moves the focus (from a control being hidden) Qt follows.
TEST_F(DesktopTest, QtsFocusAndWindowStateAreTheRuntimes) {
  fe = std::make_unique<QtFrontend>(std::vector<SceneEntry>{scenes::plainEntry(keysScene())});
  fe->setQuitOnEnd(false);
  SceneWindow& w = show("Keys");
  Scene& s = w.scene();
  const auto same = [&] {
    EXPECT_EQ(w.focusWidget(), w.widgetFor(s.focus())) << "Qt's focus is not the runtime's " << s.focus();
  };
  same();
  QTest::keyClick(w.focusWidget(), Qt::Key_Tab);
  EXPECT_EQ(s.focus(), s.def().indexOf("Text1"));
  same();
  QTest::keyClick(w.focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
  QTest::keyClick(w.focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
  EXPECT_EQ(s.focus(), s.def().indexOf("Command3"));
  same();
  QTest::mouseClick(w.widgetFor(s.def().indexOf("Command1")), Qt::LeftButton);
  EXPECT_EQ(s.focus(), s.def().indexOf("Command1"));
  same();
  ControlRef(s, s.def().indexOf("Command1")).setVisible(false);
  EXPECT_EQ(s.focus(), s.def().indexOf("Text2"));
  same();

  w.showMaximized();
  QCoreApplication::processEvents();
  EXPECT_EQ(s.windowState(), WindowState::Maximized);
  EXPECT_EQ(s.clientSize(), (Size{w.clientWidthTwips(), w.clientHeightTwips()}));
  w.showMinimized();
  QCoreApplication::processEvents();
  EXPECT_EQ(s.windowState(), WindowState::Minimized);
  fe->runtime().show("Keys");
  QCoreApplication::processEvents();
  EXPECT_EQ(s.windowState(), WindowState::Maximized);
  EXPECT_TRUE(w.isMaximized());
}

TEST_F(DesktopTest, SpaceAndEnterPressTheFocusedButton) {
  for (const Qt::Key key : {Qt::Key_Space, Qt::Key_Return, Qt::Key_Enter}) {
    SceneWindow& w = show("Form2");
    QWidget* enter = w.widgetFor(w.scene().def().indexOf("Command1"));
    ASSERT_NE(enter, nullptr);
    enter->setFocus();
    QTest::keyClick(enter, key);
    QCoreApplication::processEvents();
    EXPECT_EQ(fe->windowOf("Form2"), nullptr) << key;
    EXPECT_NE(fe->windowOf("Form3"), nullptr) << key;
    unload("Form3");
    unload("Form4");
  }
}

TEST_F(DesktopTest, EnterAndEscapeCloseTheMessageBox) {
  for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
    bool stuck = false;
    fe->onBox = [key, &stuck](QMessageBox& box) {
      QTimer::singleShot(0, &box, [&box, key] {
        QWidget* target = box.focusWidget() != nullptr ? box.focusWidget() : &box;
        QTest::keyClick(target, key);
      });
      QTimer::singleShot(3000, &box, [&box, &stuck] {
        stuck = true;
        box.done(0);
      });
    };
    fe->runtime().messageBox("ない！");
    EXPECT_FALSE(stuck) << key;
  }
}

// The player closes a scolding box and, in the same breath, presses "わかりました":
// the press reaches the game while the box's handler is still finishing. It came
// after the box, so it is the station's, and goes before the scolding tick that
// fell due meanwhile. A press made while the box was still open is not.
TEST_F(DesktopTest, AClickOnItsWayAsABoxClosesIsTheScenesBeforeTheHeldTick) {
  for (const bool afterTheBox : {true, false}) {
    SCOPED_TRACE(afterTheBox ? "pressed after the box closed" : "pressed while the box was open");
    SceneWindow& f8 = show("Form8");
    auto* accept = qobject_cast<QPushButton*>(f8.widgetFor(f8.scene().def().indexOf("Command1")));
    auto* refuse = qobject_cast<QPushButton*>(f8.widgetFor(f8.scene().def().indexOf("Command2")));
    ASSERT_NE(accept, nullptr);
    ASSERT_NE(refuse, nullptr);
    int opened = 0;
    fe->onBox = [&](QMessageBox& box) {
      const int n = ++opened;
      QTimer::singleShot(0, &box, [&box, accept, afterTheBox, n] {
        if (n == 2) { // the first scolding: ticks fall due and are held while it is open
          QTest::qWait(20);
          if (!afterTheBox) {
            accept->click();
          }
        }
        box.accept();
        if (n == 2 && afterTheBox) {
          accept->click();
        }
      });
    };
    refuse->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return fe->windowOf("Form9") != nullptr || opened >= 3; }, 3000));
    if (afterTheBox) {
      EXPECT_NE(fe->windowOf("Form9"), nullptr);
      EXPECT_EQ(fe->windowOf("Form8"), nullptr);
      EXPECT_EQ(opened, 2) << "the held tick scolded again";
      unload("Form9");
    } else {
      EXPECT_EQ(fe->windowOf("Form9"), nullptr);
      EXPECT_GE(opened, 3) << "the scolding went on";
      fe->onBox = [](QMessageBox& box) { QTimer::singleShot(0, &box, &QMessageBox::accept); };
      unload("Form8");
    }
  }
}

TEST_F(DesktopTest, TheBoxIsWideEnoughForTheTitleBarToShowTheGamesTitle) {
  int width = 0;
  bool plainOk = false;
  fe->onBox = [&](QMessageBox& box) {
    QTimer::singleShot(0, &box, [&] {
      width = box.width();
      plainOk = box.button(QMessageBox::Ok)->icon().isNull();
      box.accept();
    });
  };
  fe->runtime().messageBox("ない！");
  // The title in a bold face a quarter larger than the box's own, beside a title
  // bar's icon and three buttons.
  QFont bar = QApplication::font();
  bar.setBold(true);
  bar.setPixelSize(bar.pixelSize() * 5 / 4);
  EXPECT_GE(width, QFontMetrics(bar).horizontalAdvance(qs(Runtime::kTitle)) + 4 * 24);
  EXPECT_TRUE(plainOk);
}

// CTest runs this once more on a screen of 144 dots per inch, a desktop set to 150 %.
TEST(HighDensity, PicturesAreDrawnAtAWholeScaleWithHardEdges) {
  const qreal dpr = QGuiApplication::primaryScreen()->devicePixelRatio();
  if (dpr == 1.0) {
    GTEST_SKIP() << "runs on a high-density screen only";
  }
  ASSERT_EQ(dpr, 2.0) << "150 % is drawn at 2, a whole number";
  QtFrontend fe(scenes::catalog());
  fe.setQuitOnEnd(false);
  fe.runtime().show("Form2");
  QCoreApplication::processEvents();
  SceneWindow* w = fe.windowOf("Form2");
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->size(), QSize(394, 315)) << "still 15 twips to a logical pixel";
  QWidget* box = w->widgetFor(w->scene().def().indexOf("Picture1"));
  ASSERT_NE(box, nullptr);
  const QImage shown = box->grab().toImage();
  ASSERT_EQ(shown.size(), box->size() * 2);
  const QImage asset = pictureFor("Form2.Picture1");
  // Each picture pixel is a square of two by two device pixels of its own colour.
  for (int y = 0; y < 213; ++y) {
    for (int x = 0; x < 389; ++x) {
      for (int d = 0; d < 4; ++d) {
        ASSERT_EQ(shown.pixel(2 * (x + 2) + d % 2, 2 * (y + 2) + d / 2), asset.pixel(x, y)) << x << "," << y;
      }
    }
  }
}

int main(int argc, char** argv) { return offscreen::run(argc, argv); }
