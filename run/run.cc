#include "run/run.h"

#include <cstring>
#include <string>

#include "parameters/dialogue.h"
#include "parameters/param_file.h"
#include "run/backup.h"
#include "run/messages.h"
#include "run/page.h"
#include "text/console.h"
#include "text/interrupt.h"

namespace {

// The backup name must fit in 255 bytes, so the page name gets at most 250.
constexpr std::size_t kLongueurNomMax = 250;

// Ends the run early: prints |message| (the interruption's, when one has
// arrived, since it is then the cause) and gives the status -1.
int Stop(const std::string& nom_du_fichier, const std::string& message) {
  ConsoleWrite(Interrupted() ? MsgInterruption(nom_du_fichier) : message);
  return -1;
}

enum class Answer { kYes, kNo, kNoOutput };

// Asks "Voulez vous continuer": only a first byte "N" or "n" says no; any
// other byte, an empty line or the end of input says yes.
Answer Confirm(ConsoleInput* input) {
  if (!ConsoleWrite("Voulez vous continuer [O|N] (Par defaut O):")) {
    return Answer::kNoOutput;
  }
  int reponse = NextInputByte(input);
  return reponse == 'N' || reponse == 'n' ? Answer::kNo : Answer::kYes;
}

}  // namespace

int RealMain(int argc, char** argv) {
  PrepareProcess();
  if (argc < 2) {
    ConsoleWrite(kMsgUsage);
    return -1;
  }
  const std::string nom_du_fichier = argv[1];
  if (nom_du_fichier.size() > kLongueurNomMax) {
    return Stop(nom_du_fichier, kMsgNomTropLong);
  }
  const std::string nom_sauvegarde = NomSauvegardeDe(nom_du_fichier);

  std::string err;
  Page page;
  if (!OpenPage(nom_du_fichier, nom_sauvegarde, &page, &err) ||
      !MakeBackup(&page, nom_sauvegarde, &err)) {
    return Stop(nom_du_fichier, err);
  }

  const char* mode = argc > 2 ? argv[2] : "0";
  ConsoleInput input;
  ParamColonne param;
  bool lu = std::strcmp(mode, "-1") == 0
                ? LireFichierParametres(kNomFichierParam, &param, &err)
                : DemanderParametres(&input, &param, &err);
  if (!lu) return Stop(nom_du_fichier, err);

  // A question that cannot be shown is not answered: the run stops.
  switch (Confirm(&input)) {
    case Answer::kYes:
      break;
    case Answer::kNo:
      return Stop(nom_du_fichier, kMsgArret);
    case Answer::kNoOutput:
      return Stop(nom_du_fichier, "");
  }
  if (Interrupted()) return Stop(nom_du_fichier, "");

  if (!ReplacePage(&page, nom_sauvegarde, param, &err)) {
    return Stop(nom_du_fichier, err);
  }
  return 0;
}
