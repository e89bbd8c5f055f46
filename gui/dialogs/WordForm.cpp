#include "gui/dialogs/WordForm.h"

#include <QEvent>
#include <QFrame>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>
#include <QValidator>
#include <QWindow>
#include <algorithm>
#include <climits>

#include "core/wordlist/WordList.h"
#include "gui/dialogs/WordGridModel.h"
#include "gui/kit/ErrorGuard.h"
#include "gui/kit/Fonts.h"
#include "gui/kit/Modal.h"
#include "gui/kit/OuterSize.h"
#include "gui/kit/QtText.h"

namespace vz {

namespace {

constexpr QSize kOuterSize(370, 327);
constexpr int kPanelHeight = 28;
constexpr int kRowHeight = 14;
constexpr int kColumnWidths[3] = {13, 160, 160};

// A word line is one line of the word file: CR and LF would split it, and a
// NUL would end the file there when it is read again. Such characters can
// only arrive by pasting; they are dropped from the text.
class SingleLineValidator : public QValidator {
 public:
  using QValidator::QValidator;
  State validate(QString& input, int& pos) const override {
    int removedBeforePos = 0;
    qsizetype out = 0;
    for (qsizetype i = 0; i < input.size(); ++i) {
      const QChar c = input.at(i);
      if (c == u'\r' || c == u'\n' || c == u'\0') {
        if (i < pos) ++removedBeforePos;
        continue;
      }
      input[out++] = c;
    }
    input.truncate(out);
    pos -= removedBeforePos;
    return Acceptable;
  }
};

template <typename W>
W* Make(QWidget* parent, const char* name) {
  auto* widget = new W(parent);
  widget->setObjectName(name);
  return widget;
}

QPushButton* MakeButton(QWidget* parent, const char* name, int x, const QString& text, const QIcon& glyph) {
  auto* b = Make<QPushButton>(parent, name);
  b->setGeometry(x, 2, 75, 25);
  b->setText(text);
  b->setIcon(glyph);
  return b;
}

QFrame* MakePanel(QWidget* parent, const char* name) {
  auto* p = Make<QFrame>(parent, name);
  p->setFrameShape(QFrame::NoFrame);
  return p;
}

QLineEdit* MakeEdit(QWidget* parent, const char* name, int y, const QString& text) {
  auto* e = Make<QLineEdit>(parent, name);
  e->setGeometry(0, y, 353, 20);
  e->setValidator(new SingleLineValidator(e));
  e->setText(text);
  return e;
}

QLabel* MakeLabel(QWidget* parent, const char* name, int y, const QString& text, QWidget* buddy) {
  auto* l = Make<QLabel>(parent, name);
  l->move(0, y);
  l->setText(text);
  l->setBuddy(buddy);  // the access key puts the focus there
  l->adjustSize();
  return l;
}

bool IsEnter(int key) { return key == Qt::Key_Return || key == Qt::Key_Enter; }

// The first character of `text` that `enc` cannot hold: its start and
// length in UTF-16 units; length 0 when there is none.
std::pair<qsizetype, qsizetype> FirstUnrepresentable(codec::Encoding enc, const QString& text) {
  for (qsizetype i = 0; i < text.size();) {
    const qsizetype n = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
    if (!codec::ToBytes(enc, text.mid(i, n))) return {i, n};
    i += n;
  }
  return {0, 0};
}

// Tabs drawn as flat buttons: the shown page's tab looks pressed in, the
// others are plain captions on the dialog's face.
class FlatTabBar : public QTabBar {
 public:
  using QTabBar::QTabBar;

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    for (int i = 0; i < count(); ++i) {
      QStyleOptionButton button;
      button.initFrom(this);
      button.rect = tabRect(i);
      button.text = tabText(i);
      button.features = QStyleOptionButton::Flat;
      button.state &= ~(QStyle::State_HasFocus | QStyle::State_MouseOver);
      if (i == currentIndex()) button.state |= QStyle::State_Sunken | QStyle::State_On;
      style()->drawControl(QStyle::CE_PushButton, &button, &p, this);
    }
  }
};

class FlatTabWidget : public QTabWidget {
 public:
  explicit FlatTabWidget(QWidget* parent) : QTabWidget(parent) {
    setTabBar(new FlatTabBar(this));
    setDocumentMode(true);  // no frame around the pages
  }
};

}  // namespace

TWordFormDlg::TWordFormDlg(QWidget* owner) : OuterSizedDialog(owner, kOuterSize) {
  setObjectName("WordFormDlg");
  setWindowTitle("単語の追加削除");
  QStyle* s = style();
  const QIcon okGlyph = s->standardIcon(QStyle::SP_DialogOkButton);
  const QIcon cancelGlyph = s->standardIcon(QStyle::SP_DialogCancelButton);

  // The page control fills the window and grows and shrinks with it.
  WordControl = Make<FlatTabWidget>(this, "WordControl");
  auto* frame = new QVBoxLayout(this);
  frame->setContentsMargins(0, 0, 0, 0);
  frame->addWidget(WordControl);

  WordAdd = Make<QWidget>(nullptr, "WordAdd");
  WordDel = Make<QWidget>(nullptr, "WordDel");
  WordControl->addTab(WordAdd, "単語追加");
  WordControl->addTab(WordDel, "単語削除");

  // Page WordDel: the grid above, the buttons along the bottom.
  Panel1 = MakePanel(WordDel, "Panel1");
  Panel2 = MakePanel(WordDel, "Panel2");
  BitBtn1 = MakeButton(Panel2, "BitBtn1", 278, "削除",
                       QIcon::fromTheme("edit-delete", s->standardIcon(QStyle::SP_TrashIcon)));
  connect(BitBtn1, &QPushButton::clicked, this, Guarded([this] { BitBtn1Click(); }));

  // Page WordAdd: the two boxes, the buttons along the bottom.
  Panel3 = MakePanel(WordAdd, "Panel3");
  BitBtn2 = MakeButton(Panel3, "BitBtn2", 278, "追加",
                       QIcon::fromTheme("list-add", s->standardIcon(QStyle::SP_ArrowDown)));
  connect(BitBtn2, &QPushButton::clicked, this, Guarded([this] { BitBtn2Click(); }));
  BitBtn3 = MakeButton(Panel3, "BitBtn3", 0, "OK", okGlyph);
  connect(BitBtn3, &QPushButton::clicked, this, &QDialog::accept);
  BitBtn4 = MakeButton(Panel2, "BitBtn4", 0, "OK", okGlyph);
  connect(BitBtn4, &QPushButton::clicked, this, &QDialog::accept);

  StringGrid1 = Make<QTableView>(Panel1, "StringGrid1");
  auto* gridFrame = new QVBoxLayout(Panel1);
  gridFrame->setContentsMargins(0, 0, 0, 0);
  gridFrame->addWidget(StringGrid1);
  StringGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
  StringGrid1->setSelectionMode(QAbstractItemView::ContiguousSelection);
  StringGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
  StringGrid1->setTabKeyNavigation(false);  // Tab leaves the grid
  StringGrid1->setShowGrid(true);
  StringGrid1->setWordWrap(false);
  StringGrid1->setTextElideMode(Qt::ElideNone);  // cells clip their text
  StringGrid1->setCornerButtonEnabled(false);
  for (QHeaderView* h : {StringGrid1->horizontalHeader(), StringGrid1->verticalHeader()}) {
    h->hide();
    h->setMinimumSectionSize(1);
    h->setSectionResizeMode(QHeaderView::Fixed);
  }
  // Every row has the same height, so the view never measures a row.
  StringGrid1->verticalHeader()->setDefaultSectionSize(kRowHeight);

  Edit1 = MakeEdit(WordAdd, "Edit1", 48, "問題");
  Edit2 = MakeEdit(WordAdd, "Edit2", 112, "Question");
  Edit1->installEventFilter(this);
  Edit2->installEventFilter(this);
  Label1 = MakeLabel(WordAdd, "Label1", 32, "問題の入力(&Q)", Edit1);
  Label2 = MakeLabel(WordAdd, "Label2", 96, "答えの入力( ;で区切れば複数入力出来ます) (&A)", Edit2);

  // Esc reaches QDialog::reject, as these buttons do.
  BitBtn5 = MakeButton(Panel2, "BitBtn5", 80, "Cancel", cancelGlyph);
  connect(BitBtn5, &QPushButton::clicked, this, &QDialog::reject);
  BitBtn6 = MakeButton(Panel3, "BitBtn6", 80, "Cancel", cancelGlyph);
  connect(BitBtn6, &QPushButton::clicked, this, &QDialog::reject);

  // The panels follow the pages' size.
  WordAdd->installEventFilter(this);
  WordDel->installEventFilter(this);

  // Each page's OK button is the default while that page is shown.
  BitBtn3->setDefault(true);
  connect(WordControl, &QTabWidget::currentChanged, this,
          Guarded([this](int page) { (page == 0 ? BitBtn3 : BitBtn4)->setDefault(true); }));

  setTabOrder(WordControl, BitBtn2);
  setTabOrder(BitBtn2, BitBtn3);
  setTabOrder(BitBtn3, BitBtn6);
  setTabOrder(BitBtn6, Edit1);
  setTabOrder(Edit1, Edit2);
  setTabOrder(Edit2, StringGrid1);
  setTabOrder(StringGrid1, BitBtn1);
  setTabOrder(BitBtn1, BitBtn4);
  setTabOrder(BitBtn4, BitBtn5);

  WordControl->setCurrentWidget(WordAdd);
  // An empty list to show until Fill() brings the real one.
  Fill(std::vector<std::string_view>{});
}

void TWordFormDlg::Fill(const WordList& list) {
  std::vector<std::string_view> lines;
  lines.reserve(static_cast<size_t>(list.Count()));
  for (int i = 0; i < list.Count(); ++i) lines.push_back(list.Get(i));
  Fill(std::move(lines), list.TextEncoding());
}

void TWordFormDlg::Fill(std::vector<std::string_view> lines, codec::Encoding enc) {
  WordGridModel* oldModel = model_;
  QItemSelectionModel* oldSelection = StringGrid1->selectionModel();
  model_ = new WordGridModel(std::move(lines), enc, this);
  StringGrid1->setModel(model_);
  delete oldSelection;  // the view does not delete a replaced selection model
  delete oldModel;
  for (int c = 0; c < 3; ++c) StringGrid1->setColumnWidth(c, kColumnWidths[c]);
  ReduceSelectionTo(0);
  // A row stays selected at all times, as in a classic string grid: a click
  // below the last row or a Ctrl+click that empties the selection selects
  // the current row again.
  connect(StringGrid1->selectionModel(), &QItemSelectionModel::selectionChanged, this, Guarded([this] {
            if (!StringGrid1->selectionModel()->hasSelection()) ReduceSelectionTo(CurrentRow());
          }));
}

std::vector<std::string> TWordFormDlg::Lines() const { return model_->Rows().Lines(); }

int TWordFormDlg::CurrentRow() const {
  return std::max(0, StringGrid1->selectionModel()->currentIndex().row());
}

void TWordFormDlg::ReduceSelectionTo(int row) {
  row = std::clamp(row, 0, model_->rowCount() - 1);
  StringGrid1->selectionModel()->setCurrentIndex(
      model_->index(row, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void TWordFormDlg::BitBtn1Click() {
  int top = INT_MAX;
  int bottom = -1;
  for (const QItemSelectionRange& r : StringGrid1->selectionModel()->selection()) {
    top = std::min(top, r.top());
    bottom = std::max(bottom, r.bottom());
  }
  if (bottom < 0) return;  // only what is shown as selected is deleted
  const int current = CurrentRow();
  if (model_->DeleteRows(top, bottom) == 0) return;
  ReduceSelectionTo(current);
}

void TWordFormDlg::BitBtn2Click() {
  // New pairs are written in the list's encoding; only code page 932 can
  // refuse a character.
  const codec::Encoding enc = model_->Rows().TextEncoding();
  std::optional<std::string> question = codec::ToBytes(enc, Edit1->text());
  if (!question) return RefuseText(Edit1);
  std::optional<std::string> answers = codec::ToBytes(enc, Edit2->text());
  if (!answers) return RefuseText(Edit2);
  const int current = CurrentRow();
  model_->AppendPair(std::move(*question), std::move(*answers));
  ReduceSelectionTo(current);
  Edit1->setFocus();
  Edit1->clear();
  Edit2->clear();
}

void TWordFormDlg::RefuseText(QLineEdit* edit) {
  const auto [at, length] = FirstUnrepresentable(model_->Rows().TextEncoding(), edit->text());
  const QString what = length > 0 ? "「" + edit->text().mid(at, length) + "」は" : QString();
  ShowWarning(what +
                  "単語ファイルに書けない文字です（シフトJISにない文字です）。"
                  "この文字を使わずに入力し直してください。",
              this);
  edit->setFocus();
  if (length > 0) edit->setSelection(static_cast<int>(at), static_cast<int>(length));
}

bool TWordFormDlg::Edit1KeyDown(int key, Qt::KeyboardModifiers) {
  if (!IsEnter(key)) return false;
  Edit2->setFocus();
  return true;
}

bool TWordFormDlg::Edit2KeyDown(int key, Qt::KeyboardModifiers) {
  if (!IsEnter(key)) return false;
  // Run from the event filter, not through a connection: guarded here.
  Guard([&] { BitBtn2Click(); });
  return true;
}

bool TWordFormDlg::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (watched == Edit1) return Edit1KeyDown(key->key(), key->modifiers());
    if (watched == Edit2) return Edit2KeyDown(key->key(), key->modifiers());
  } else if (event->type() == QEvent::Resize && (watched == WordAdd || watched == WordDel)) {
    auto* page = static_cast<QWidget*>(watched);
    const int w = page->width();
    const int h = page->height();
    if (page == WordDel) {
      Panel1->setGeometry(0, 0, w, std::max(0, h - kPanelHeight));
      Panel2->setGeometry(0, h - kPanelHeight, w, kPanelHeight);
    } else {
      Panel3->setGeometry(0, h - kPanelHeight, w, kPanelHeight);
    }
  }
  return QDialog::eventFilter(watched, event);
}

bool ExecWordEditor(QWidget* owner, QPoint topLeft, WordList& list) {
  auto* dlg = new TWordFormDlg(owner);
  dlg->Fill(list);  // the rows refer to the list's lines until OK rebuilds it
  return ExecAt(dlg, topLeft, [&](TWordFormDlg& d) {
    // Built in full before the list is touched: the rows refer to its lines.
    std::vector<std::string> lines = d.Lines();
    list.Clear();
    for (std::string& line : lines) list.Add(std::move(line));
  });
}

}  // namespace vz
