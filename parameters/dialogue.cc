#include "parameters/dialogue.h"

#include "parameters/number.h"
#include "run/messages.h"

// Reads a number like "%d": blanks and line ends first, then a sign and
// digits. Leaves the byte after the number unread (it is dropped anyway).
static bool LireNumero(ConsoleInput* in, std::int32_t* numero,
                       std::string* err) {
  int octet = NextInputByte(in);
  while (octet != -1 && EstBlanc(octet)) octet = NextInputByte(in);
  NombreLu nombre;
  while (octet != -1 && AjouterOctet(&nombre, static_cast<unsigned char>(octet))) {
    octet = NextInputByte(in);
  }
  if (!nombre.chiffre_vu) {
    *err = octet == -1 && !nombre.signe_vu ? kMsgSaisieIncomplete
                                           : kMsgNumeroInvalide;
    return false;
  }
  if (nombre.trop_grand) {
    *err = kMsgNumeroHorsLimites;
    return false;
  }
  *numero = Valeur(nombre);
  return true;
}

// Reads a whole line without its line end (LF or CR LF) into |texte|.
template <std::size_t N>
static bool LireLigne(ConsoleInput* in, Texte<N>* texte, std::string* err) {
  std::string ligne;
  int octet = NextInputByte(in);
  if (octet == -1) {
    *err = kMsgSaisieIncomplete;
    return false;
  }
  // Keep one byte beyond the capacity, plus room for a CR before the LF.
  while (octet != -1 && octet != '\n') {
    if (ligne.size() > N + 1) break;
    ligne += static_cast<char>(octet);
    octet = NextInputByte(in);
  }
  if (octet == '\n' && !ligne.empty() && ligne.back() == '\r') ligne.pop_back();
  if (!Remplir(texte, ligne)) {
    *err = MsgReponseTropLongue(static_cast<int>(N));
    return false;
  }
  return true;
}

// Shows |prompt|. A question that cannot be shown (standard output closed
// or full) is not asked: false, with no message, since none could be shown.
static bool Ask(const char* prompt, std::string* err) {
  if (ConsoleWrite(prompt)) return true;
  err->clear();
  return false;
}

template <std::size_t N>
static bool Question(ConsoleInput* in, const char* prompt, Texte<N>* texte,
                     std::string* err) {
  if (!Ask(prompt, err) || !LireLigne(in, texte, err)) return false;
  DropReceivedInput(in);
  return true;
}

bool DemanderParametres(ConsoleInput* in, ParamColonne* param,
                        std::string* err) {
  if (!Ask("\nNumero de colonne : ", err) ||
      !LireNumero(in, &param->NumeroColonne, err)) {
    return false;
  }
  DropReceivedInput(in);
  return Question(in, "\nTexte d'entete : ", &param->TexteEntete, err) &&
         Question(in, "Nom icone 1: ", &param->NomIcone1, err) &&
         Question(in, "Nom icone 2: ", &param->NomIcone2, err) &&
         Question(in, "Nom de la MAP: ", &param->NomMap, err) &&
         Question(in, "Nom Fichier pour le lien : ", &param->NomFichierLien,
                  err);
}
