#include "gui/dialogs/OptionForm.h"

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <climits>

#include "gui/kit/ErrorGuard.h"

namespace vz {

namespace {

constexpr QSize kOuterSize(200, 96);

template <typename W>
W* Make(QWidget* parent, const char* name, int x, int y, int w, int h) {
  auto* widget = new W(parent);
  widget->setObjectName(name);
  widget->setGeometry(x, y, w, h);
  return widget;
}

}  // namespace

TOptionDlg::TOptionDlg(QWidget* owner) : OuterSizedDialog(owner, kOuterSize) {
  setObjectName("OptionDlg");
  setWindowTitle("各種設定");

  // Declaration order; the stacking follows it, so Label2 lies on Shape1.
  Label1 = Make<QLabel>(this, "Label1", 2, 44, 48, 12);
  Label1->setText("制限秒数");
  Label1->adjustSize();

  UpDown1 = Make<UpDown>(this, "UpDown1", 90, 40, 13, 20);
  UpDown1->SetRange(0, 100);
  UpDown1->SetPosition(50);
  UpDown1->setAccessibleName(Label1->text());
  connect(UpDown1, &UpDown::Click, this, Guarded([this](UpDownButton b) { UpDown1Click(b); }));

  BitBtn1 = Make<QPushButton>(this, "BitBtn1", 112, 8, 74, 25);
  BitBtn1->setText("OK");
  BitBtn1->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));
  BitBtn1->setDefault(true);
  connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);

  // Esc reaches QDialog::reject, as this button does.
  BitBtn2 = Make<QPushButton>(this, "BitBtn2", 112, 40, 74, 25);
  BitBtn2->setText("Cancel");
  BitBtn2->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));
  connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);

  CheckBox1 = Make<QCheckBox>(this, "CheckBox1", 2, 8, 97, 17);
  CheckBox1->setText("音を再生しない");

  Shape1 = Make<QFrame>(this, "Shape1", 50, 40, 40, 20);
  Shape1->setFrameStyle(QFrame::Box | QFrame::Plain);
  Shape1->setLineWidth(1);
  QPalette white = Shape1->palette();
  white.setColor(QPalette::Window, Qt::white);
  white.setColor(QPalette::WindowText, Qt::black);
  Shape1->setPalette(white);
  Shape1->setAutoFillBackground(true);

  Label2 = Make<QLabel>(this, "Label2", 56, 44, 12, 12);
  // No background of its own: the white of Shape1 shows through.
  QPalette black = Label2->palette();
  black.setColor(QPalette::WindowText, Qt::black);  // on white, whatever the theme
  Label2->setPalette(black);
  SetSeconds(10);
  Label2->raise();

  setTabOrder(UpDown1, BitBtn1);
  setTabOrder(BitBtn1, BitBtn2);
  setTabOrder(BitBtn2, CheckBox1);
}

void TOptionDlg::SetValues(bool noSound, int timeLimit) {
  CheckBox1->setChecked(noSound);
  SetSeconds(std::max(1, timeLimit / 100));
}

bool TOptionDlg::NoSoundChecked() const { return CheckBox1->isChecked(); }

long long TOptionDlg::Seconds() const { return Label2->text().toLongLong(); }

int TOptionDlg::TimeLimitTicks() const {
  return static_cast<int>(std::clamp(Seconds() * 100, 100LL, static_cast<long long>(INT_MAX)));
}

void TOptionDlg::UpDown1Click(UpDownButton button) {
  const long long n = Seconds();
  if (button == UpDownButton::Up)
    SetSeconds(n + 1);
  else
    SetSeconds(n < 2 ? 1 : n - 1);
}

void TOptionDlg::SetSeconds(long long seconds) {
  Label2->setText(QString::number(seconds));
  UpDown1->SetShownValue(seconds);
  Label2->adjustSize();  // the label is as wide as its text
}

std::optional<QuizOptions> ExecOptionDialog(QWidget* owner, QPoint topLeft, const QuizOptions& current) {
  auto* dlg = new TOptionDlg(owner);
  dlg->SetValues(current.NoSound, current.TimeLimit);
  std::optional<QuizOptions> chosen;
  ExecAt(dlg, topLeft, [&](TOptionDlg& d) { chosen = QuizOptions{d.NoSoundChecked(), d.TimeLimitTicks()}; });
  return chosen;
}

}  // namespace vz
