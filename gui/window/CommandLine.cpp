#include "gui/window/CommandLine.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QLibraryInfo>
#include <QStringList>
#include <QTranslator>
#include <optional>

#include "gui/kit/QtText.h"

#ifndef VEVEZ_VERSION
#define VEVEZ_VERSION "0"
#endif

namespace vz {
namespace {

constexpr char kUsage[] =
    "使い方: vevez [オプション] [ファイル]\n"
    "VeveZ 単語ドリル。ファイルを指定すると、前回の単語ファイルの代わりにそれを開きます。\n"
    "\n"
    "オプション:\n"
    "  -h, --help     この説明を表示して終了します\n"
    "  -v, --version  バージョンを表示して終了します\n"
    "  --import 元のファイル [単語ファイル]\n"
    "                 CSV などを新しい単語ファイルに変換して終了します (--import だけで詳しく)\n"
    "  --stats [単語ファイル] [--csv]\n"
    "                 学習の記録の概要 (--csv では全ての記録) を表示して終了します\n";

// Options QApplication reads from the command line itself.
constexpr const char* kQtValueOptions[] = {
    "platform",     "platformpluginpath", "platformtheme", "plugin",  "qwindowgeometry",
    "qwindowicon",  "qwindowtitle",       "session",       "display", "geometry",
    "style",        "stylesheet",         "name",          "title",   "visual",
    "qmljsdebugger"};
constexpr const char* kQtFlagOptions[] = {"reverse", "widgetcount", "nograb", "dograb", "sync"};

// A name that is not valid UTF-8 does not come back from its text: such an
// argument is passed to the parser as a stand-in that names its index.
const QString kStandIn = QStringLiteral("\uFDD0");

// The argument that gave the option `name`: "-name", "--name" or
// "--name=value", without its value.
QString AsTyped(const QString& name, const QStringList& args) {
  for (const QString& arg : args) {
    const QString typed = arg.section(QLatin1Char('='), 0, 0);
    if (typed == QLatin1Char('-') + name || typed == QLatin1String("--") + name) return typed;
  }
  return name;
}

// The parser's error (an unknown option, a missing value) in Japanese like
// the rest of the program, with Qt's own translation. Qt translates only
// while an application object exists: the parse is repeated with a
// short-lived one, before the real one is made.
QString JapaneseError(QCommandLineParser& parser, const QStringList& args) {
  std::optional<QCoreApplication> app;
  int argc = 1;
  char name[] = "vevez";
  char* argv[] = {name, nullptr};
  if (!QCoreApplication::instance()) app.emplace(argc, argv);
  QTranslator qt;
  const bool installed =
      qt.load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)) &&
      QCoreApplication::installTranslator(&qt);
  parser.parse(args);
  QString text = parser.errorText();
  if (installed) QCoreApplication::removeTranslator(&qt);
  // The parser names an unknown option without its dashes: the user is shown
  // it as typed.
  for (const QString& unknown : parser.unknownOptionNames()) {
    const QString quote = QStringLiteral("'");
    text.replace(quote + unknown + quote, quote + AsTyped(unknown, args) + quote);
  }
  return text;
}

}  // namespace

CommandLine ParseCommandLine(int argc, const char* const* argv) {
  QStringList args;
  for (int i = 0; i < argc; ++i) {
    const QString arg = codec::FromFsName(argv[i]);
    args << (codec::ToFsName(arg) == argv[i] ? arg : kStandIn + QString::number(i));
  }
  QCommandLineParser parser;
  // Qt's options are single-dash words ("-platform xcb").
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  const QCommandLineOption help(QStringList{"h", "help"});
  const QCommandLineOption version(QStringList{"v", "version"});
  parser.addOption(help);
  parser.addOption(version);
  for (const char* name : kQtValueOptions) {
    QCommandLineOption o(QString::fromLatin1(name), QString(), QStringLiteral("value"));
    o.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(o);
  }
  for (const char* name : kQtFlagOptions) {
    QCommandLineOption o(QString::fromLatin1(name));
    o.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(o);
  }

  CommandLine result;
  const bool parsed = parser.parse(args);
  if (parsed && parser.isSet(help)) {
    result.exitCode = 0;
    result.text = kUsage;
  } else if (parsed && parser.isSet(version)) {
    result.exitCode = 0;
    result.text = std::string("vevez ") + VEVEZ_VERSION + "\n";
  } else if (!parsed || parser.positionalArguments().size() > 1) {
    result.exitCode = 2;
    const QString why =
        parsed ? QStringLiteral("ファイルは一つだけ指定できます。") : JapaneseError(parser, args);
    result.text = "vevez: " + why.toStdString() + "\n" + kUsage;
  } else if (!parser.positionalArguments().isEmpty()) {
    const QString file = parser.positionalArguments().first();
    result.file = file.startsWith(kStandIn) ? argv[file.mid(1).toInt()] : codec::ToFsName(file);
  }
  return result;
}

}  // namespace vz
