// Every message the program prints, in one place: the texts here, the
// message of a Failure in messages.cc, the last lines of --help in
// messages_posix.cc and messages_win32.cc; only the six questions of the
// dialogue are in parameters/prompts.h, as parameters/ does not use run/.
// Messages are French, plain ASCII, and carry no line end; only the texts
// of --help and --version, printed by a run that then ends normally, end
// with one.
#ifndef BRANTIX_RUN_MESSAGES_H_
#define BRANTIX_RUN_MESSAGES_H_

#include <string>

#include "text/failure.h"

inline const char kMsgUsage[] =
    "type : brantix \"NomDuFichier\" -1:Utilise le fichier param.txt";
// The texts of --help (the usage, quoted whole in the manual page) and
// --version. The last lines of --help, where to read more, depend on the
// platform: messages_posix.cc, messages_win32.cc.
extern const char kMsgHelpMore[];
inline const std::string kMsgHelp =
    std::string(
        "usage : brantix NomDuFichier [-1]\n"
        "        brantix --dry-run NomDuFichier [-1]\n"
        "        brantix --help | --version\n"
        "Ajoute une colonne au tableau de la page HTML NomDuFichier.\n"
        "Sans -1, les six reponses sont demandees a la console ;\n"
        "avec -1, elles sont lues dans le fichier param.txt du dossier "
        "courant.\n"
        "La page est d'abord copiee dans NomDuFichier.orig, la sauvegarde :\n"
        "la page telle qu'elle etait avant l'execution.\n"
        "--dry-run (ou -n, a toute place) montre chaque cellule qui serait\n"
        "inseree et les pieges, sans rien ecrire ; a essayer d'abord.\n") +
    kMsgHelpMore;
inline std::string MsgVersion(const std::string& version) {
  return "brantix " + version + "\n";
}
inline const char kMsgConfirm[] = "Voulez vous continuer [O|N] (Par defaut O):";

/// The message of |failure|, in a run on the page |nom_du_fichier|; empty
/// for a failure that no message can be shown for.
std::string MessageOf(const Failure& failure,
                      const std::string& nom_du_fichier);

/// The cause that the system's error number |error| gives, in brackets
/// after a blank; empty for 0.
std::string CauseWords(int error);

// The messages of the in-place write, of the recovery of an interrupted
// run and of the preview, which word their failures themselves: each
// |error| is a system's error number, 0 for none.
inline std::string MsgPageReadError(const std::string& page, int error = 0) {
  return "erreur de lecture du fichier " + page + CauseWords(error);
}
inline std::string MsgPageWriteError(const std::string& page, int error = 0) {
  return "erreur d'ecriture du fichier " + page + CauseWords(error) +
         " : le fichier n'a pas ete modifie";
}
inline std::string MsgInterruption(const std::string& page) {
  return "interruption : le fichier " + page + " n'a pas ete modifie";
}
inline std::string MsgInPlaceUndone(const std::string& page,
                                    const std::string& backup, int error) {
  return "erreur d'ecriture du fichier " + page + CauseWords(error) +
         " : le fichier a ete remis tel qu'il etait depuis sa sauvegarde " +
         backup;
}
inline std::string MsgInPlaceLeft(const std::string& page,
                                  const std::string& backup, int error) {
  return "erreur d'ecriture du fichier " + page + CauseWords(error) +
         " : il sera remis tel qu'il etait depuis sa sauvegarde " + backup +
         " a la prochaine execution";
}
inline std::string MsgEditedDuringWrite(const std::string& page,
                                        const std::string& backup) {
  return "le fichier " + page +
         " a ete modifie par un autre programme pendant son ecriture : rien "
         "de ce qu'il y a ecrit n'a ete retire, verifiez-le (son texte "
         "d'avant est dans sa sauvegarde " +
         backup + ")";
}
inline std::string MsgBackupChanged(const std::string& backup,
                                    const std::string& page) {
  return "la sauvegarde " + backup +
         " a ete modifiee pendant l'execution : le fichier " + page +
         " n'a pas ete modifie";
}
inline std::string MsgBackupReadError(const std::string& backup,
                                      const std::string& page, int error) {
  return "erreur de lecture de la sauvegarde " + backup + CauseWords(error) +
         " : le fichier " + page + " n'a pas ete modifie";
}
inline std::string MsgFolderNotFlushed(const std::string& folder,
                                       const std::string& page, int error) {
  return "impossible d'enregistrer sur le disque le dossier " + folder +
         CauseWords(error) + " : le fichier " + page + " n'a pas ete modifie";
}
inline std::string MsgJournalNameTaken(const std::string& journal,
                                       const std::string& page) {
  return "le nom du journal " + journal + " du fichier " + page +
         " est deja pris : supprimez ce fichier, puis relancez brantix ; le "
         "fichier n'a pas ete modifie";
}

// What a run finds of an earlier run stopped while it wrote the page in
// place. |clear| says how to clear the mark or the journal by hand.
inline std::string EarlierRunStopped(const std::string& page) {
  return "une execution precedente a ete interrompue pendant l'ecriture du "
         "fichier " +
         page;
}
inline std::string MsgClearMark(const std::string& page) {
  return "retirez sa marque (setfattr -x user.brantix " + page + ")";
}
inline std::string MsgClearJournal(const std::string& journal) {
  return "supprimez le journal " + journal;
}
inline std::string MsgRestored(const std::string& page,
                               const std::string& backup,
                               const std::string& kept) {
  return EarlierRunStopped(page) +
         " : il a ete remis tel qu'il etait depuis sa sauvegarde " + backup +
         " (ce qu'il contenait alors est garde dans " + kept +
         "), relancez brantix";
}
inline std::string MsgNotRestored(const std::string& page,
                                  const std::string& backup, int error) {
  return EarlierRunStopped(page) +
         " : impossible de le remettre tel qu'il etait depuis sa sauvegarde " +
         backup + CauseWords(error);
}
inline std::string MsgNotKept(const std::string& page, int error) {
  return EarlierRunStopped(page) +
         " : impossible d'en garder une copie avant de le remettre en etat" +
         CauseWords(error) + ", rien n'a ete remis";
}
inline std::string MsgKeptIn(const std::string& kept) {
  return " (ce qu'il contenait est garde dans " + kept + ")";
}
inline std::string MsgRecoveryReadError(const std::string& page,
                                        const std::string& file, int error) {
  return EarlierRunStopped(page) + " : erreur de lecture de " + file +
         CauseWords(error) + ", rien n'a ete remis";
}
inline std::string MsgEditedSince(const std::string& page,
                                  const std::string& backup,
                                  const std::string& clear) {
  return EarlierRunStopped(page) +
         ", qui a ete modifie depuis : rien n'a ete remis ; comparez-le a sa "
         "sauvegarde " +
         backup + ", puis " + clear;
}
inline std::string MsgBackupNotTrusted(const std::string& page,
                                       const std::string& backup,
                                       const std::string& clear) {
  return EarlierRunStopped(page) +
         ", qui peut etre incomplet : sa sauvegarde " + backup +
         " n'est plus celle que cette execution a ecrite, rien n'a ete "
         "remis ; verifiez-les, puis " +
         clear;
}
inline std::string MsgJournalUntrusted(const std::string& journal,
                                       const std::string& page) {
  return "le journal " + journal + " du fichier " + page +
         " n'est pas fiable : rien n'a ete remis ; verifiez " + page +
         " et sa sauvegarde, puis supprimez le journal";
}

// The preview (--dry-run): one line per cell, then the warnings, the
// notes and the total, each ended by a line end. Every text in them is
// plain ASCII: names and links are given escaped.
inline std::string MsgPreviewLine(long line) {
  return "ligne " + std::to_string(line) + " : ";
}
inline const char kMsgPreviewHeading[] = "entete";
inline std::string MsgPreviewMap(const std::string& name,
                                 const std::string& href) {
  return "carte " + name + " -> " + href;
}
inline const char kMsgPreviewDash[] = "tiret";
inline const char kMsgWarning[] = "attention : ";
inline const char kMsgNote[] = "note : ";
inline std::string MsgPreviewTotal(long headings, long maps, long dashes,
                                   long warnings) {
  return "total : " + std::to_string(headings) + " entete, " +
         std::to_string(maps) + " cartes, " + std::to_string(dashes) +
         " tirets, " + std::to_string(warnings) + " avertissements\n";
}
inline std::string MsgWarnLinkBreaks(const std::string& name,
                                     const std::string& href) {
  return "le lien pris sur cette ligne, " + href + " dans la carte " + name +
         ", contient un guillemet, un chevron ou une fin de ligne : il peut "
         "casser le lien ou la balise";
}
inline std::string MsgWarnNoLinkYet(const std::string& name) {
  return "la carte " + name +
         " vient avant toute ligne ..///, son lien est le nom du fichier seul";
}
inline std::string MsgWarnLinkReused(const std::string& name, long line) {
  return "la carte " + name + " reprend le lien pris ligne " +
         std::to_string(line) + ", dans une ligne de tableau precedente";
}
inline const char kMsgWarnSoundNotSeen[] =
    "son.gif sur une ligne qu'aucune ligne de tableau n'examine : sa ligne "
    "de tableau recoit un tiret";
inline const char kMsgWarnNoCell[] = "aucune cellule ne serait inseree";
inline const char kMsgWarnNotRows[] =
    " ; <TR et <tr suivi d'attributs ne sont pas des lignes de tableau, "
    "seul <tr> en est une";
inline std::string MsgWarnColumn(int column) {
  return "colonne " + std::to_string(column) +
         " : la nouvelle cellule irait apres la ligne qui suit chaque <tr>, "
         "avant toute cellule fermee";
}
inline const char kMsgWarnRowRunsOn[] =
    "ce <tr> est compte dans la ligne de tableau precedente, dont la "
    "cellule voulue ne se ferme qu'ici ou plus loin";
inline const char kMsgWarnMidLine[] =
    "la cellule serait inseree au milieu de cette ligne";
inline std::string MsgWarnMarkerCut(const std::string& marker) {
  return "le repere " + marker +
         " est coupe en deux par la limite de 511 octets : il n'est pas vu";
}
inline std::string MsgWarnCharset(bool answers_utf8, const std::string& page) {
  return std::string(answers_utf8 ? "les reponses sont en UTF-8"
                                  : "les reponses sont en 8 bits") +
         ", la page est en " + page;
}
inline const char kMsgWarnOtherTable[] =
    "l'entete irait dans un autre tableau que la plupart des cellules";
inline const char kMsgWarnRowNotSeen[] =
    "<tr> sur une ligne qu'aucune recherche n'examine : cette ligne de "
    "tableau ne recoit pas de cellule";
inline std::string MsgWarnQuote(const char* field) {
  return "le champ " + std::string(field) +
         " contient un guillemet : il casse la balise ou il est ecrit";
}
inline std::string MsgWarnNotWritable(const std::string& page) {
  return "brantix refuserait : le fichier " + page +
         " ne peut pas etre ecrit par cet utilisateur";
}
inline std::string MsgWarnFolderClosed(const std::string& folder) {
  return "brantix refuserait : aucun fichier ne peut etre cree dans le "
         "dossier " +
         folder;
}
inline std::string MsgWarnUnfinished(const std::string& page) {
  return "brantix remettrait d'abord en etat le fichier " + page +
         ", dont une ecriture sur place est restee inachevee";
}
inline std::string MsgNoteBackupReplaced(const std::string& backup) {
  return "la sauvegarde " + backup + " existe et serait remplacee";
}
inline const char kMsgNoteLoneLf[] =
    "les fins de ligne LF seules deviendraient CR LF";

#endif  // BRANTIX_RUN_MESSAGES_H_
