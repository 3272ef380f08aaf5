// Every message the program prints, in one place. Messages are French, plain
// ASCII, and carry no line end; only the texts of --help and --version,
// printed by a run that then ends normally, end with one.
#ifndef BRANTIX_RUN_MESSAGES_H_
#define BRANTIX_RUN_MESSAGES_H_

#include <string>

inline const char kMsgUsage[] =
    "type : brantix \"NomDuFichier\" -1:Utilise le fichier param.txt";
// The texts of --help (the usage, quoted whole in the manual page) and
// --version.
inline const char kMsgAide[] =
    "usage : brantix NomDuFichier [-1]\n"
    "        brantix --help | --version\n"
    "Ajoute une colonne au tableau de la page HTML NomDuFichier.\n"
    "Sans -1, les six reponses sont demandees a la console ;\n"
    "avec -1, elles sont lues dans le fichier param.txt du dossier courant.\n"
    "La page est d'abord copiee dans NomDuFichier.orig, la sauvegarde :\n"
    "la page telle qu'elle etait avant l'execution.\n"
    "Plus de details : man brantix, ou le fichier README.md.\n";
inline std::string MsgVersion(const std::string& version) {
  return "brantix " + version + "\n";
}
inline const char kMsgFichierInexistant[] = "le fichier n'existe pas";
inline const char kMsgArret[] = "Vous avez ARRETE";
inline const char kMsgNomTropLong[] =
    "nom de fichier trop long (250 caracteres au plus)";

// Backup.
inline std::string MsgSauvegardeImpossible(const std::string& sauvegarde) {
  return "impossible de creer la sauvegarde " + sauvegarde;
}
inline std::string MsgEcritureSauvegarde(const std::string& sauvegarde) {
  return "erreur d'ecriture de la sauvegarde " + sauvegarde;
}
inline std::string MsgLecturePage(const std::string& page) {
  return "erreur de lecture du fichier " + page;
}

// Column parameters.
inline const char kMsgLectureParam[] = "erreur de lecture du fichier param.txt";
inline const char kMsgParamIncomplet[] =
    "param.txt incomplet : il faut six lignes";
inline std::string MsgParamLigneTropLongue(int ligne, int capacite) {
  return "param.txt : ligne " + std::to_string(ligne) + " trop longue (" +
         std::to_string(capacite) + " caracteres au plus)";
}
inline std::string MsgReponseTropLongue(int capacite) {
  return "reponse trop longue (" + std::to_string(capacite) +
         " caracteres au plus)";
}
inline const char kMsgNumeroHorsLimites[] = "numero de colonne hors limites";
inline const char kMsgNumeroInvalide[] = "numero de colonne invalide";
inline const char kMsgSaisieIncomplete[] =
    "fin de la saisie avant la derniere reponse";

// The page's checks, before anything is written.
inline std::string MsgPasUnFichier(const std::string& nom) {
  return "le fichier " + nom + " n'est pas un fichier ordinaire";
}
inline std::string MsgPageVerrouillee(const std::string& page) {
  return "le fichier " + page +
         " est deja en cours de modification par un autre brantix";
}
inline std::string MsgPageEtSauvegardeConfondues(const std::string& page,
                                                 const std::string& sauvegarde) {
  return "le fichier " + page + " et sa sauvegarde " + sauvegarde +
         " sont le meme fichier";
}

// Rewrite and replacement of the page. Until the new page is renamed into
// place, the page keeps its old text: every message says so.
inline std::string MsgPageNonOuverte(const std::string& page) {
  return "impossible d'ecrire le fichier " + page +
         " : le fichier n'a pas ete modifie";
}
inline std::string MsgEcriturePage(const std::string& page) {
  return "erreur d'ecriture du fichier " + page +
         " : le fichier n'a pas ete modifie";
}
inline std::string MsgLectureSauvegarde(const std::string& sauvegarde,
                                        const std::string& page) {
  return "erreur de lecture de la sauvegarde " + sauvegarde + " : le fichier " +
         page + " n'a pas ete modifie";
}
inline std::string MsgPageModifiee(const std::string& page) {
  return "le fichier " + page +
         " a ete modifie pendant l'execution : la nouvelle version n'a pas "
         "ete enregistree";
}
inline std::string MsgInterruption(const std::string& page) {
  return "interruption : le fichier " + page + " n'a pas ete modifie";
}

inline std::string MsgFermetureSauvegarde(const std::string& sauvegarde) {
  return "erreur de fermeture de la sauvegarde " + sauvegarde;
}

#endif  // BRANTIX_RUN_MESSAGES_H_
