#include "gui/window/BoardSpeech.h"

#include <QStringList>
#include <cstring>

#include "core/text/TextCut.h"
#include "gui/kit/QtText.h"

namespace vz {
namespace {

// Assistive technology is told the start of a text, as much as anyone
// listens to: converting a line of megabytes on every draw would freeze the
// board.
QString Told(const QuizState& quiz, const std::string& text) {
  constexpr std::size_t kToldBytes = 4096;
  return codec::FromBytes(quiz.TextEncoding, codec::Head(text, kToldBytes, quiz.TextEncoding));
}

// The newest history entry as words: "正解: ...", "不正解: ...", "時間切れ", or
// empty.
QString LastResult(const QuizState& quiz) {
  // The entry keeps the encoding of the list it came from.
  const HistoryEntry& last = quiz.History[6];
  const HistoryMarks& marks = MarksFor(last.encoding);
  auto typed = [&](const char* mark) {
    return codec::FromBytes(last.encoding, std::string_view(last.text).substr(std::strlen(mark)));
  };
  switch (last.kind) {
    case HistoryEntry::Kind::TimeOut:
      return QStringLiteral("時間切れ");
    case HistoryEntry::Kind::Wrong:
      return QStringLiteral("不正解: ") + typed(marks.wrong);
    case HistoryEntry::Kind::Correct:
      return QStringLiteral("正解: ") + typed(marks.correct);
    case HistoryEntry::Kind::None:
      break;
  }
  return {};
}

}  // namespace

QString BoardName(const QuizState& quiz) {
  const QString question = Told(quiz, quiz.QuesText);
  return question.isEmpty() ? QStringLiteral("問題なし") : QStringLiteral("問題: ") + question;
}

QString BoardDescription(const QuizState& quiz) {
  QStringList about;
  if (quiz.AnsShown) about << AnswerAnnouncement(quiz);
  if (const QString result = LastResult(quiz); !result.isEmpty()) about << result;
  return about.join(QStringLiteral("、"));
}

QString ResultAnnouncement(const QuizState& quiz) {
  QString text = LastResult(quiz);
  if (quiz.History[6].kind == HistoryEntry::Kind::TimeOut)
    text += QStringLiteral("、") + AnswerAnnouncement(quiz);
  return text;
}

QString AnswerAnnouncement(const QuizState& quiz) {
  return QStringLiteral("答え: ") + Told(quiz, quiz.AnsText);
}

}  // namespace vz
