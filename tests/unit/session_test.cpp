// The word-file session: what an open from each source leaves when the file
// is missing, unreadable or unmarked, and what a save then does.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <optional>

#include "core/session/WordSession.h"
#include "support/Files.h"
#include "support/UnmarkedAnswer.h"
#include "support/WordLines.h"

namespace vz {
namespace {

using test::Lines;
using Source = WordSession::Source;
using Opened = WordSession::Opened;
using Choice = UnmarkedPolicy::Choice;
using Saved = WordList::SaveResult;
using Problem = WordList::LoadProblem;
using namespace std::string_literals;

// notes.txt: missing, a directory, a FIFO (never read) or these bytes.
const std::string kMissing = "<missing>", kDir = "<dir>", kFifo = "<fifo>";
const std::string kUnmarked = "ネコ,cat\n", kMarked = "0x,y\r\n";

TEST(WordSession, EachSourceAdoptsDisownsOrKeepsWhatItHad) {
  const struct {
    Source source;  // a chosen file is opened over word.txt, "0a,b"
    std::string content;
    Choice choice;
    std::optional<Opened> opened;  // nullopt: the open raises the open error
    std::string file;              // the session's file afterwards
    Lines lines;
    Saved saved;
    Problem problem = Problem::None;
  } cases[] = {
      {Source::Remembered, kMissing, Choice::Cancel, Opened::Absent, "notes.txt", {}, Saved::Saved},
      {Source::Remembered, kDir, Choice::Cancel, Opened::Disowned, "notes.txt", {}, Saved::NotOwned},
      {Source::Remembered, kFifo, Choice::Cancel, std::nullopt, "notes.txt", {}, Saved::NotOwned},
      {Source::Remembered, kMarked, Choice::Cancel, Opened::Adopted, "notes.txt", {"0x,y"}, Saved::Saved},
      {Source::Remembered, kUnmarked, Choice::Cancel, Opened::Disowned, "notes.txt", {}, Saved::NotOwned},
      {Source::StartFile, kMissing, Choice::Cancel, std::nullopt, "notes.txt", {}, Saved::NotOwned},
      {Source::StartFile, kUnmarked, Choice::Cancel, Opened::Disowned, "notes.txt", {}, Saved::NotOwned},
      {Source::StartFile, kUnmarked, Choice::AsIs, Opened::Adopted, "notes.txt", {"ネコ,cat"}, Saved::Saved},
      {Source::Chosen, kMissing, Choice::Cancel, std::nullopt, "word.txt", {"0a,b"}, Saved::Saved},
      {Source::Chosen, kDir, Choice::Cancel, std::nullopt, "word.txt", {"0a,b"}, Saved::Saved},
      {Source::Chosen, kUnmarked, Choice::Cancel, Opened::Cancelled, "word.txt", {"0a,b"}, Saved::Saved},
      {Source::Chosen,
       kUnmarked,
       Choice::Convert,
       Opened::Adopted,
       "notes-vevez-2.txt",
       {"0\x83l\x83R,cat"},
       Saved::Saved},
      // Nothing to convert (no line has a comma): refused, as if cancelled.
      {Source::Chosen, "words\n", Choice::Convert, Opened::Cancelled, "word.txt", {"0a,b"}, Saved::Saved},
      {Source::StartFile, "words\n", Choice::Convert, Opened::Disowned, "notes.txt", {}, Saved::NotOwned},
      {Source::Chosen,
       "0a\0b\r\n"s,
       Choice::Cancel,
       Opened::Adopted,
       "notes.txt",
       {"0a"},
       Saved::NotOwned,
       Problem::CutAtNul},
  };
  const std::filesystem::path before = std::filesystem::current_path();
  for (const auto& c : cases) {
    test::TempDir scratch("vevez-session");
    const std::string notes = scratch / "notes.txt";
    const bool isFile = c.content != kMissing && c.content != kDir && c.content != kFifo;
    if (c.content == kDir) std::filesystem::create_directory(notes);
    if (c.content == kFifo) ::mkfifo(notes.c_str(), 0600);
    if (isFile) test::WriteBytes(notes, c.content);
    test::WriteBytes(scratch / "word.txt", "0a,b\r\n");
    test::WriteBytes(scratch / "notes-vevez.txt", "0taken,already\r\n");  // a conversion's first name
    WordSession session;
    test::UnmarkedAnswer policy(c.choice);
    if (c.source == Source::Chosen) session.Open(scratch / "word.txt", policy, Source::Remembered);
    // A start file is named relative to the current directory.
    std::filesystem::current_path(scratch.path());
    const std::string given = c.source == Source::StartFile ? "notes.txt" : notes;
    std::optional<WordSession::OpenResult> r;
    const std::string error = test::ErrorOf([&] { r = session.Open(given, policy, c.source); });
    std::filesystem::current_path(before);
    const std::string row = given + " " + c.content;
    EXPECT_EQ(test::FirstLine(error), r ? "(no error)" : test::OpenMessage(notes)) << row;
    EXPECT_EQ(r ? std::optional(r->opened) : std::nullopt, c.opened) << row;
    EXPECT_EQ(r ? r->problem : Problem::None, c.problem) << row;
    EXPECT_EQ(r && r->conversionError, c.choice == Choice::Convert && c.opened != Opened::Adopted) << row;
    EXPECT_EQ(session.Dir(), scratch.dir()) << row;
    EXPECT_EQ(session.Name(), c.file) << row;
    EXPECT_EQ(test::LinesOf(session.List()), c.lines) << row;
    EXPECT_EQ(policy.asked.size(), c.content == kUnmarked || c.content == "words\n" ? 1u : 0u) << row;
    EXPECT_EQ(session.Save(), c.saved) << row;
    // notes.txt is written only as the session's own file.
    const bool own = c.file == "notes.txt" && c.saved == Saved::Saved;
    const auto now = [&] { return std::filesystem::exists(notes) ? test::ReadBytes(notes) : kMissing; };
    EXPECT_EQ(c.content == kDir || c.content == kFifo ? c.content : now(),
              own ? test::CrLfText(c.lines) : c.content)
        << row;
  }
}

// A second session on a file another holds (another copy of the program)
// asks; it never writes the file, and once the first lets go nobody asks.
TEST(WordSession, ASecondCopyOnTheSameFileAsksAndNeverWritesIt) {
  struct BusyAnswer : BusyPolicy {
    Choice answer;
    int asked = 0;
    explicit BusyAnswer(Choice a) : answer(a) {}
    Choice AskAboutBusy(const std::string&) override { return ++asked, answer; }
  };
  const struct {
    Source source;
    bool exists;
    BusyPolicy::Choice answer;
    Opened opened;
    Saved saved;
  } cases[] = {
      {Source::Remembered, true, BusyPolicy::Choice::WithoutSaving, Opened::Adopted, Saved::NotOwned},
      {Source::Remembered, false, BusyPolicy::Choice::WithoutSaving, Opened::Absent, Saved::NotOwned},
      {Source::Remembered, true, BusyPolicy::Choice::Cancel, Opened::Disowned, Saved::NotOwned},
      {Source::Chosen, true, BusyPolicy::Choice::Cancel, Opened::Cancelled, Saved::Saved},
      {Source::StartFile, true, BusyPolicy::Choice::WithoutSaving, Opened::Adopted, Saved::NotOwned},
  };
  for (const auto& c : cases) {
    test::TempDir scratch("vevez-session");
    ::setenv("XDG_CACHE_HOME", (scratch / "cache").c_str(), 1);
    const std::string word = scratch / "word.txt", other = scratch / "other.txt";
    if (c.exists) test::WriteBytes(word, "0a,b\r\n");
    test::WriteBytes(other, "0c,d\r\n");
    test::UnmarkedAnswer policy(Choice::AsIs);
    auto first = std::make_optional<WordSession>();
    first->Open(word, policy, Source::Remembered);
    WordSession second;
    if (c.source == Source::Chosen) second.Open(other, policy, Source::Remembered);
    BusyAnswer busy(c.answer);
    EXPECT_EQ(second.Open(word, policy, c.source, &busy).opened, c.opened);
    EXPECT_EQ(busy.asked, 1);
    second.List().Add("0mine,x");
    EXPECT_EQ(second.Save(), c.saved);  // a cancelled choice kept other.txt
    EXPECT_EQ(c.exists ? test::ReadBytes(word) : "(none)", c.exists ? "0a,b\r\n" : "(none)");
    EXPECT_EQ(first->Save(), Saved::Saved);
    first.reset();
    BusyAnswer never(BusyPolicy::Choice::Cancel);
    WordSession third;
    EXPECT_EQ(third.Open(word, policy, Source::Chosen, &never).opened, Opened::Adopted);
    // Opened again, the file it holds is its own still.
    EXPECT_EQ(third.Open(word, policy, Source::Chosen, &never).opened, Opened::Adopted);
    EXPECT_EQ(never.asked, 0);
    ::unsetenv("XDG_CACHE_HOME");
  }
}

}  // namespace
}  // namespace vz
