#pragma once
// The word editor: a grid of the word list's rows, a page for adding
// question/answer pairs and a page for deleting rows. It works on its own
// rows; ExecWordEditor rebuilds the word list from them only when the dialog
// is closed with OK.
#include <QPoint>
#include <string>
#include <string_view>
#include <vector>

#include "core/text/Encoding.h"
#include "gui/kit/OuterSize.h"

class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QTableView;

namespace vz {

class WordGridModel;
class WordList;

// Its controls carry the form designer's names as object names.
class TWordFormDlg : public OuterSizedDialog {
  Q_OBJECT
 public:
  explicit TWordFormDlg(QWidget* owner = nullptr);

  // Shows `lines` (or the list's lines) in the grid below the caption row.
  // The grid refers to them: they must stay unchanged while the dialog shows
  // them. The lines are in `enc`: the grid shows them in it, and pairs added
  // are written in it.
  void Fill(std::vector<std::string_view> lines, codec::Encoding enc = codec::Encoding::Cp932);
  void Fill(const WordList& list);
  // The word lines the grid stands for now (see WordRows for how each row
  // is written back).
  std::vector<std::string> Lines() const;
  WordGridModel* Grid() const { return model_; }

  // Key handlers of the edit boxes; true when the key was used up. Enter
  // (Return or the keypad's Enter, with any modifiers) is theirs and never
  // reaches the dialog's default button.
  bool Edit1KeyDown(int key, Qt::KeyboardModifiers shift);
  bool Edit2KeyDown(int key, Qt::KeyboardModifiers shift);

 public slots:
  // Deletes the selected block of rows; the caption row always stays.
  void BitBtn1Click();
  // Adds the typed pair as a new last row. Text that code page 932 cannot
  // hold is refused with a message and stays in the boxes.
  void BitBtn2Click();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  int CurrentRow() const;
  void ReduceSelectionTo(int row);
  void RefuseText(QLineEdit* edit);

  QTabWidget* WordControl;
  QWidget* WordAdd;
  QWidget* WordDel;
  QFrame* Panel1;
  QFrame* Panel2;
  QPushButton* BitBtn1;  // 削除
  QFrame* Panel3;
  QPushButton* BitBtn2;  // 追加
  QPushButton* BitBtn3;  // OK on WordAdd
  QPushButton* BitBtn4;  // OK on WordDel
  QTableView* StringGrid1;
  QLineEdit* Edit1;  // question
  QLineEdit* Edit2;  // answers
  QLabel* Label1;
  QLabel* Label2;
  QPushButton* BitBtn5;  // Cancel on WordDel
  QPushButton* BitBtn6;  // Cancel on WordAdd

  WordGridModel* model_ = nullptr;
};

// Opens the editor modally with its outer top-left corner at `topLeft`
// (screen coordinates), showing `list`. On OK the list is replaced by the
// grid's rows (the single line "0ネコ,cat" when no row is left); any other way
// of closing leaves it unchanged. Returns whether OK was chosen. The caller
// stops and restarts its timer around the call.
bool ExecWordEditor(QWidget* owner, QPoint topLeft, WordList& list);

}  // namespace vz
