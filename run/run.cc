#include "run/run.h"

#include <cstring>
#include <string>

#include "parameters/dialogue.h"
#include "parameters/param_file.h"
#include "rewrite/rewrite.h"
#include "run/backup.h"
#include "run/messages.h"
#include "text/console.h"

namespace {

// The backup name must fit in 255 bytes, so the page name gets at most 250.
constexpr std::size_t kLongueurNomMax = 250;

int Arreter(const std::string& message) {
  ConsoleWrite(message);
  return -1;
}

// Asks "Voulez vous continuer": only a first byte "N" or "n" says no; any
// other byte, an empty line or the end of input says yes.
bool Confirmer(ConsoleInput* input) {
  ConsoleWrite("Voulez vous continuer [O|N] (Par defaut O):");
  int reponse = NextInputByte(input);
  return reponse != 'N' && reponse != 'n';
}

}  // namespace

int RealMain(int argc, char** argv) {
  PrepareProcess();
  if (argc < 2) return Arreter(kMsgUsage);
  const std::string nom_du_fichier = argv[1];
  if (nom_du_fichier.size() > kLongueurNomMax) return Arreter(kMsgNomTropLong);
  const std::string nom_sauvegarde = NomSauvegardeDe(nom_du_fichier);

  std::string err;
  if (!MakeBackup(nom_du_fichier, nom_sauvegarde, &err)) return Arreter(err);

  const char* mode = argc > 2 ? argv[2] : "0";
  ConsoleInput input;
  ParamColonne param;
  bool lu = std::strcmp(mode, "-1") == 0
                ? LireFichierParametres(kNomFichierParam, &param, &err)
                : DemanderParametres(&input, &param, &err);
  if (!lu) return Arreter(err);

  if (!Confirmer(&input)) return Arreter(kMsgArret);

  int status = ReecrirePage(nom_du_fichier, nom_sauvegarde, param, &err);
  if (status != 0) ConsoleWrite(err);
  return status;
}
