#pragma once
// Every modal box and dialog of the program runs through ExecModal, so that
// a shutdown started by a signal (or by the end of the desktop session) can
// close whatever is open: the normal shutdown then runs, saving settings and
// progress, instead of waiting on a box that nobody will answer.
#include <QMessageBox>
#include <QString>
#include <memory>

class QDialog;
class QWidget;

namespace vz {

// Runs `dialog` modally and returns its result. A shutdown requested while it
// is open closes it with the result Rejected; once one has been requested, a
// dialog is not shown at all (Rejected), and a message box's text goes to
// standard error instead, since nobody may be there to answer it.
int ExecModal(QDialog& dialog);

// Starts the shutdown: every dialog that ExecModal runs is closed, innermost
// first, and every event loop is told to end with status 0. Code that runs
// the application's event loop checks ShutdownRequested() before it starts.
void RequestShutdown();
bool ShutdownRequested();

// A message box that shows `text` as plain text, never as markup: texts name
// files, and a file name may hold '<' and '&'. Without a parent it is centred
// on the screen at the size it is shown with. It has an OK button unless
// `buttons` says otherwise (NoButton: the caller adds its own).
std::unique_ptr<QMessageBox> PlainMessageBox(QMessageBox::Icon icon, const QString& title,
                                             const QString& text, QWidget* parent = nullptr,
                                             QMessageBox::StandardButtons buttons = QMessageBox::Ok);

// Shows `text` in a plain warning box with the program's title, over
// `parent` (nullptr: centred on the screen).
void ShowWarning(const QString& text, QWidget* parent = nullptr);

}  // namespace vz
