#pragma once
// What assistive technology is told of the quiz board: the question as the
// board's name; the answer when shown and the last result as its
// description; and what is announced when a result comes in.
#include <QString>

#include "core/quiz/QuizEngine.h"

namespace vz {

// "問題: <question>", or "問題なし" without one.
QString BoardName(const QuizState& quiz);
// "答え: <answer>" while the answer is shown, and the newest result, joined
// with "、"; empty when there is neither.
QString BoardDescription(const QuizState& quiz);
// The newest result, with the answer after a time-out.
QString ResultAnnouncement(const QuizState& quiz);
// "答え: <answer>".
QString AnswerAnnouncement(const QuizState& quiz);

}  // namespace vz
