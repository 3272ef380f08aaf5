#include "run/run.h"

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "parameters/dialogue.h"
#include "parameters/param_file.h"
#include "run/backup.h"
#include "run/in_place.h"
#include "run/messages.h"
#include "run/page.h"
#include "run/preview.h"
#include "run/process.h"
#include "text/console.h"
#include "text/interrupt.h"

namespace {

// The backup name must fit in 255 characters, so the page name gets at most
// 250, counted by TypedLength().
constexpr std::size_t kMaxNameLength = 250;

// Takes each map's link path as the folder of its "..///" path.
constexpr std::string_view kLinkFolderOption = "--link-folder";

// Reads the table's markers as a browser does (MarkerRule::kHtml).
constexpr std::string_view kHtmlOption = "--html";

// Ends the run early: prints the message of |failure| (the interruption's,
// when one has arrived, since it is then the cause) and gives the status -1.
// "le fichier n'existe pas" names no file: the error stream names it.
int Stop(const std::string& nom_du_fichier, const Failure& failure) {
  const Failure told = Interrupted()
                           ? FailureOf(FailedStep::kInterrupted, nom_du_fichier)
                           : failure;
  ConsoleWrite(MessageOf(told, nom_du_fichier));
  if (told.step == FailedStep::kOpen) {
    ConsoleWriteError(MsgMissingFile(told.name, told.error));
  }
  return -1;
}

// Stop(), once the backup may have been written: the error stream then
// says that it holds the page as it is, an earlier backup replaced.
int StopAfterBackup(const std::string& nom_du_fichier, const Page& page,
                    const Failure& failure) {
  const int status = Stop(nom_du_fichier, failure);
  if (page.backup_written) {
    ConsoleWriteError(MsgBackupHoldsThePage(BackupNameOf(nom_du_fichier)));
  }
  return status;
}

// Asks "Voulez vous continuer": only a first byte "N" or "n" says no; any
// other byte, an empty line or the end of input says yes.
Failure Confirm(ConsoleInput* input) {
  if (Interrupted() || !ConsoleWrite(kMsgConfirm)) {
    return FailureOf(FailedStep::kNoOutput);
  }
  int answer = NextInputByte(input);
  return answer == 'N' || answer == 'n' ? FailureOf(FailedStep::kStopped)
                                        : Failure{};
}

// Writes the backup and the new page, and asks for the column where the
// mode puts the questions: with "-1" first, from param.txt, so that one
// reading of the page writes the backup and the new page side by side (a
// param.txt refused still leaves a fresh backup); at the console between
// the backup and the new page, which then reads the page a second time.
Failure BackUpAndRebuild(bool from_file, Page* page,
                         const std::string& nom_sauvegarde, ConsoleInput* input,
                         Replacement* backup, Replacement* fresh) {
  ParamColonne param;
  if (from_file) {
    const Failure problem = ReadParamFile(kParamFileName, &param);
    if (!problem.failed()) {
      return BackUpAndRebuildPage(page, nom_sauvegarde, param, backup, fresh);
    }
    const Failure backed_up = BackUpPage(page, nom_sauvegarde, backup);
    return backed_up.failed() ? backed_up : problem;
  }
  Failure failure = BackUpPage(page, nom_sauvegarde, backup);
  if (!failure.failed()) failure = AskParameters(input, &param);
  if (!failure.failed()) failure = RebuildPage(page, param, fresh);
  return failure;
}

}  // namespace

int RealMain(int argc, char** argv) {
  PrepareProcess();
  // The preview's option, --link-folder and --html count in any position,
  // so that a user who types one last gets what was asked; the other
  // arguments keep their places.
  std::vector<std::string> args;
  bool preview = false;
  LinkRule link_rule = LinkRule::kNameLength;
  MarkerRule marker_rule = MarkerRule::kExact;
  for (int i = 1; i < argc; ++i) {
    if (AsksForPreview(argv[i])) {
      preview = true;
    } else if (std::string_view(argv[i]) == kLinkFolderOption) {
      link_rule = LinkRule::kFolder;
    } else if (std::string_view(argv[i]) == kHtmlOption) {
      marker_rule = MarkerRule::kHtml;
    } else {
      args.push_back(argv[i]);
    }
  }
  if (args.empty()) {
    ConsoleWrite(kMsgUsage);
    return -1;
  }
  // Only these exact first arguments are options: any other is the page's
  // name, and a page named "--help" is given as "./--help".
  if (AsksForHelp(args[0])) return ConsoleWrite(kMsgHelp) ? 0 : -1;
  if (args[0] == "--version") {
    return ConsoleWrite(MsgVersion(BRANTIX_VERSION)) ? 0 : -1;
  }
  const std::string nom_du_fichier = args[0];
  if (TypedLength(nom_du_fichier) > kMaxNameLength) {
    return Stop(nom_du_fichier,
                FailureOf(FailedStep::kNameTooLong, nom_du_fichier));
  }
  const std::string nom_sauvegarde = BackupNameOf(nom_du_fichier);
  const bool from_file = args.size() > 1 && args[1] == "-1";
  if (preview) {
    ConsoleInput input;
    return Preview(nom_du_fichier, from_file, link_rule, marker_rule, &input);
  }

  // The page is opened and locked, an earlier run's half-written page put
  // back, and the new page's file created, before anything is written.
  Page page;
  page.link_rule = link_rule;
  page.marker_rule = marker_rule;
  Replacement fresh, backup;
  Failure failure = OpenPage(nom_du_fichier, nom_sauvegarde, &page);
  if (!failure.failed()) failure = RecoverInterruptedRun(&page);
  if (!failure.failed()) failure = CheckBackupHeld(page, nom_sauvegarde);
  if (failure.failed()) return Stop(nom_du_fichier, failure);
  failure = PrepareNewPage(&page, &fresh);
  if (failure.failed()) return Stop(nom_du_fichier, failure);

  ConsoleInput input;
  failure = BackUpAndRebuild(from_file, &page, nom_sauvegarde, &input, &backup,
                             &fresh);
  // A question that cannot be shown is not answered: the run stops.
  if (!failure.failed()) failure = Confirm(&input);
  if (failure.failed()) return StopAfterBackup(nom_du_fichier, page, failure);
  failure = ReplacePage(&page, &fresh);
  if (failure.failed()) return Stop(nom_du_fichier, failure);
  // A page written without what was surely meant: said on the error
  // stream, so that the output and the status stay as they are.
  if (!page.inserted_cell) {
    ConsoleWriteError(kMsgNoCellInserted);
  } else if (!page.first_map_there.empty()) {
    ConsoleWriteError(MsgColumnAddedAgain(page.first_map_there));
  }
  return 0;
}
