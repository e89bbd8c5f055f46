// The warning box of vevez-leakbox, built offscreen.

#include <gtest/gtest.h>

#include <QApplication>
#include <QFont>
#include <QFontInfo>
#include <QMessageBox>
#include <QPushButton>
#include <climits>

#include "gui/kit/Fonts.h"
#include "gui/leakbox/LeakBox.h"

namespace {

using namespace vz::memcheck;

TEST(LeakBox, TextIsTheCountFollowedByTheMessage) {
  EXPECT_EQ(LeakBoxText(3), QStringLiteral("3 回メモリーを解放し忘れています"));
  EXPECT_EQ(LeakBoxText(1234), QStringLiteral("1234 回メモリーを解放し忘れています"));
  EXPECT_EQ(LeakBoxText(INT_MAX), QStringLiteral("2147483647 回メモリーを解放し忘れています"));
  EXPECT_EQ(LeakBoxCaption(), QStringLiteral("メモリーリークエラー"));
}

TEST(LeakBox, IsAnOwnerlessWarningWithOneOkButton) {
  auto box = MakeLeakBox(3);
  EXPECT_EQ(box->parentWidget(), nullptr);
  EXPECT_EQ(box->windowTitle(), QStringLiteral("メモリーリークエラー"));
  EXPECT_EQ(box->text(), QStringLiteral("3 回メモリーを解放し忘れています"));
  EXPECT_EQ(box->icon(), QMessageBox::Warning);
  EXPECT_EQ(box->standardButtons(), QMessageBox::StandardButtons(QMessageBox::Ok));
  EXPECT_EQ(box->buttons().size(), 1);
  EXPECT_EQ(box->textFormat(), Qt::PlainText);  // never read as markup
}

TEST(LeakBox, OkClosesTheBox) {
  auto box = MakeLeakBox(5);
  box->show();
  ASSERT_TRUE(box->isVisible());
  box->button(QMessageBox::Ok)->click();
  EXPECT_FALSE(box->isVisible());
  EXPECT_EQ(box->result(), QMessageBox::Ok);
}

TEST(LeakBox, ArgumentMustBeADecimalInt) {
  EXPECT_EQ(ParseCount("3"), 3);
  EXPECT_EQ(ParseCount("2147483647"), INT_MAX);
  EXPECT_EQ(ParseCount("-4"), -4);
  EXPECT_EQ(ParseCount(nullptr), std::nullopt);
  EXPECT_EQ(ParseCount(""), std::nullopt);
  EXPECT_EQ(ParseCount("3x"), std::nullopt);
  EXPECT_EQ(ParseCount(" 3"), std::nullopt);
  EXPECT_EQ(ParseCount("+3"), std::nullopt);
  EXPECT_EQ(ParseCount("2147483648"), std::nullopt);
}

TEST(LeakBox, JapaneseRendersInTheProgramsDialogFace) {
  auto box = MakeLeakBox(3);
  EXPECT_EQ(QFontInfo(box->font()).family(), QStringLiteral("IPAPGothic"));
  EXPECT_EQ(box->font().pixelSize(), vz::kPx9pt);
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  vz::memcheck::InstallLeakBoxFont();
  QApplication app(argc, argv);
  vz::memcheck::UseLeakBoxFont();
  return RUN_ALL_TESTS();
}
