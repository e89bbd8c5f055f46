#include "app/CommandLine.h"

#include <QCommandLineParser>
#include <QStringList>

#include "codec/QtText.h"

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
    "                 CSV などを新しい単語ファイルに変換して終了します (--import だけで詳しく)\n";

// Options QApplication reads from the command line itself.
constexpr const char* kQtValueOptions[] = {
    "platform",     "platformpluginpath", "platformtheme", "plugin",  "qwindowgeometry",
    "qwindowicon",  "qwindowtitle",       "session",       "display", "geometry",
    "style",        "stylesheet",         "name",          "title",   "visual",
    "qmljsdebugger"};
constexpr const char* kQtFlagOptions[] = {"reverse", "widgetcount", "nograb", "dograb", "sync"};

}  // namespace

CommandLine ParseCommandLine(int argc, const char* const* argv) {
  QStringList args;
  for (int i = 0; i < argc; ++i) args << codec::FromFsName(argv[i]);
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
    const QString why = parsed ? QStringLiteral("ファイルは一つだけ指定できます。") : parser.errorText();
    result.text = "vevez: " + why.toStdString() + "\n" + kUsage;
  } else if (!parser.positionalArguments().isEmpty()) {
    result.file = codec::ToFsName(parser.positionalArguments().first());
  }
  return result;
}

}  // namespace vz
