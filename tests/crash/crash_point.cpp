// One save of each kind, or the start that follows a crash, for the
// crash-point enumeration (crash_points_test.sh): the script kills it at
// each state-changing system call of a save, then runs "start" and checks.
//   crash_point save FILE BYTES      replace or create FILE (WriteFileAtomic)
//   crash_point settings DIR         the shutdown write of DIR/kobeli.ini
//   crash_point --import SRC TARGET  the import command
//   crash_point answer FILE N        a copy of the program: opens FILE as the
//                                    remembered word file, answers line N
//                                    and saves; prints whether it was saved
//   crash_point start FILE           recovery at start-up, then the clean-up
//                                    of stale temporaries beside FILE; prints
//                                    what the start-up box would say
#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/files/AtomicFile.h"
#include "core/files/Error.h"
#include "core/files/Recovery.h"
#include "core/files/TempNames.h"
#include "core/import/ImportCommand.h"
#include "core/session/WordSession.h"
#include "core/settings/Settings.h"

int main(int argc, char** argv) {
  if (auto status = vz::import::RunImportCommand(argc, argv, stdout, stderr)) return *status;
  const std::string what = argc > 2 ? argv[1] : "";
  try {
    if (what == "save" && argc == 4) {
      vz::WriteFileAtomic(argv[2], argv[3]);
    } else if (what == "settings") {
      const vz::Settings s{true, 777, "w.txt", "/words/", false};
      return vz::WriteSettings(vz::SettingsFile(argv[2]), s).written == vz::SettingsWritten::All ? 0 : 1;
    } else if (what == "answer" && argc == 4) {
      vz::WordSession session;
      struct Never : vz::UnmarkedPolicy {
        Choice AskAboutUnmarked(const std::string&) override { return Choice::Cancel; }
      } never;
      session.Open(argv[2], never, vz::WordSession::Source::Remembered);
      session.List().MarkAnswered(std::atoi(argv[3]));
      const timespec pause{0, 20'000'000};  // the other copy opens meanwhile
      ::nanosleep(&pause, nullptr);
      std::printf("%s\n", session.Save() == vz::WordList::SaveResult::Saved ? "saved" : "not saved");
    } else if (what == "start") {
      for (const vz::InterruptedRewrite& r : vz::RecoverInterruptedRewrites()) {
        std::printf("%s\n", vz::InterruptedRewriteMessage(r).c_str());
      }
      vz::RemoveStaleTemps(argv[2]);
    } else {
      std::fprintf(stderr,
                   "usage: crash_point save FILE BYTES | settings DIR | --import SRC TARGET | start FILE\n");
      return 2;
    }
  } catch (const vz::Error& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}
