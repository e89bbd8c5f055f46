#include "gui/window/MainMenu.h"

#include <QKeySequence>
#include <QMainWindow>
#include <QMenuBar>

#include "gui/kit/ErrorGuard.h"

namespace vz {

void BuildMainMenu(QMainWindow* window, const MenuCommands& commands) {
  window->menuBar()->setNativeMenuBar(false);
  auto add = [window](QMenu* menu, const char* name, const QString& text, const QKeySequence& key,
                      const std::function<void()>& handler) {
    QAction* a = menu->addAction(text);
    a->setObjectName(name);
    a->setShortcut(key);
    QObject::connect(a, &QAction::triggered, window, Guarded([handler] { handler(); }));
    return a;
  };
  QMenu* file = window->menuBar()->addMenu(QStringLiteral("ファイル(&F)"));
  file->setObjectName("File1");
  add(file, "Open", QStringLiteral("別の問題を開く(&O)..."), QKeySequence("Ctrl+O"), commands.OpenClick);
  file->addSeparator();
  add(file, "S1", QStringLiteral("開始(&P)"), QKeySequence(Qt::Key_F9), commands.S1Click);
  add(file, "N3", QStringLiteral("停止(&S)"), QKeySequence(Qt::Key_F8), commands.N3Click);
  file->addSeparator();
  add(file, "Exit1", QStringLiteral("終了(&X)"), QKeySequence(Qt::Key_Escape), commands.Exit1Click);
  QMenu* edit = window->menuBar()->addMenu(QStringLiteral("編集(&E)"));
  edit->setObjectName("Edit2");
  add(edit, "A1", QStringLiteral("単語追加削除(&A)..."), QKeySequence("Ctrl+P"), commands.A1Click);
  edit->addSeparator();
  // Ctrl+O belongs to the file command. Here it is only shown beside the
  // text: bound here too, even only while the menu bar has the keyboard, it
  // would make the key ambiguous there and open nothing.
  add(edit, "O1", QStringLiteral("設定(&O)...\tCtrl+O"), QKeySequence(), commands.O1Click);
  add(edit, "R1", QStringLiteral("学習の記録(&S)..."), QKeySequence("Ctrl+T"), commands.R1Click);
}

}  // namespace vz
