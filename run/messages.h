// Every message the program prints, in one place. Messages are French, plain
// ASCII, and carry no line end; only the texts of --help and --version,
// printed by a run that then ends normally, end with one.
#ifndef BRANTIX_RUN_MESSAGES_H_
#define BRANTIX_RUN_MESSAGES_H_

#include <string>

#include "parameters/param_error.h"
#include "run/process.h"
#include "text/file.h"

inline const char kMsgUsage[] =
    "type : brantix \"NomDuFichier\" -1:Utilise le fichier param.txt";
// The texts of --help (the usage, quoted whole in the manual page) and
// --version. The last line of --help, where to read more, depends on the
// platform: help_posix.cc, help_win32.cc.
extern const char kMsgHelpMore[];
inline const std::string kMsgHelp =
    std::string(
        "usage : brantix NomDuFichier [-1] [--link-folder]\n"
        "        brantix --dry-run NomDuFichier [-1] [--link-folder]\n"
        "        brantix --help | --version\n"
        "Ajoute une colonne au tableau de la page HTML NomDuFichier.\n"
        "Sans -1, les six reponses sont demandees a la console ;\n"
        "avec -1, elles sont lues dans le fichier param.txt du dossier "
        "courant.\n"
        "La page est d'abord copiee dans NomDuFichier.orig, la sauvegarde :\n"
        "la page telle qu'elle etait avant l'execution.\n"
        "--dry-run (ou -n, a toute place) montre chaque cellule qui serait\n"
        "inseree et les pieges, sans rien ecrire ; a essayer d'abord.\n"
        "--link-folder (a toute place) : le lien de chaque carte est le\n"
        "dossier du chemin ..///, jusqu'a son dernier / ; sans elle, il est\n"
        "coupe a la longueur du nom de la page + 23 caracteres.\n") +
    kMsgHelpMore;
inline std::string MsgVersion(const std::string& version) {
  return "brantix " + version + "\n";
}
inline const char kMsgNoSuchFile[] = "le fichier n'existe pas";
inline const char kMsgStopped[] = "Vous avez ARRETE";
inline const char kMsgNameTooLong[] =
    "nom de fichier trop long (250 caracteres au plus)";

/// What the system said, for the messages of failures that have a system
/// error number: the user's advice depends on it.
inline std::string Cause(FailureKind kind) {
  switch (kind) {
    case FailureKind::kNoSpace:
      return " (disque plein ou quota atteint)";
    case FailureKind::kRefused:
      return " (acces refuse)";
    case FailureKind::kTooManyFiles:
      return " (trop de fichiers ouverts)";
    case FailureKind::kOther:
      return " (erreur d'entree-sortie)";
    case FailureKind::kNone:
      break;
  }
  return "";
}

// Backup.
inline std::string MsgBackupNotCreated(const std::string& backup,
                                       FailureKind kind = FailureKind::kNone) {
  return "impossible de creer la sauvegarde " + backup + Cause(kind);
}
inline std::string MsgBackupWriteError(const std::string& backup,
                                       FailureKind kind = FailureKind::kNone) {
  return "erreur d'ecriture de la sauvegarde " + backup + Cause(kind);
}
inline std::string MsgPageReadError(const std::string& page,
                                    FailureKind kind = FailureKind::kNone) {
  return "erreur de lecture du fichier " + page + Cause(kind);
}

// Column parameters.
inline const char kMsgParamReadError[] =
    "erreur de lecture du fichier param.txt";
inline const char kMsgParamUtf16[] =
    "param.txt est en UTF-16 : enregistrez-le en UTF-8 ou en ANSI";
inline const char kMsgParamIncomplete[] =
    "param.txt incomplet : il faut six lignes";
inline std::string MsgParamLineTooLong(int line, int capacity) {
  return "param.txt : ligne " + std::to_string(line) + " trop longue (" +
         std::to_string(capacity) + " caracteres au plus)";
}
inline std::string MsgAnswerTooLong(int capacity) {
  return "reponse trop longue (" + std::to_string(capacity) +
         " caracteres au plus)";
}
inline const char kMsgNumberOutOfRange[] = "numero de colonne hors limites";
inline const char kMsgNumberInvalid[] = "numero de colonne invalide";
inline const char kMsgInputEnded[] =
    "fin de la saisie avant la derniere reponse";

// The page's checks, before anything is written.
inline std::string MsgNotAFile(const std::string& name) {
  return "le fichier " + name + " n'est pas un fichier ordinaire";
}

/// The message for a file that OpenForReading() did not open: |name| is
/// missing, a folder (|read_error| is the message then), or not a file.
inline std::string MsgNotOpened(OpenReadResult result, const std::string& name,
                                const std::string& read_error) {
  switch (result) {
    case OpenReadResult::kIsDirectory:
      return read_error;
    case OpenReadResult::kNotRegular:
      return MsgNotAFile(name);
    default:
      return kMsgNoSuchFile;
  }
}

/// The message for a page that could not be opened: missing, not to be
/// read by this user, a folder or not a file, as MsgNotOpened() says; a
/// disk that failed, or too many open files, is a read error with its
/// cause. |error| is the system's error number of the failed open.
inline std::string MsgPageNotOpened(OpenReadResult result,
                                    const std::string& page, int error) {
  if (result == OpenReadResult::kCannotOpen && SystemFailed(error)) {
    return MsgPageReadError(page, KindOf(error));
  }
  return MsgNotOpened(result, page, MsgPageReadError(page));
}

inline std::string MsgPageLocked(const std::string& page) {
  return "le fichier " + page +
         " est deja en cours de modification par un autre brantix";
}
inline std::string MsgPageIsItsBackup(const std::string& page,
                                      const std::string& backup) {
  return "le fichier " + page + " et sa sauvegarde " + backup +
         " sont le meme fichier";
}

// Rewrite and replacement of the page. Until the new page is renamed into
// place, the page keeps its old text: every message says so.
inline std::string MsgPageNotWritable(const std::string& page) {
  return "impossible d'ecrire le fichier " + page +
         " : le fichier n'a pas ete modifie";
}
inline std::string MsgFolderNotWritable(const std::string& folder,
                                        const std::string& page,
                                        FailureKind kind) {
  return "impossible de creer un fichier dans le dossier " + folder +
         Cause(kind) + " : le fichier " + page + " n'a pas ete modifie";
}
inline std::string MsgPageWriteError(const std::string& page,
                                     FailureKind kind = FailureKind::kNone) {
  return "erreur d'ecriture du fichier " + page + Cause(kind) +
         " : le fichier n'a pas ete modifie";
}
inline std::string MsgPageChanged(const std::string& page) {
  return "le fichier " + page +
         " a ete modifie pendant l'execution : la nouvelle version n'a pas "
         "ete enregistree";
}
inline std::string MsgInterruption(const std::string& page) {
  return "interruption : le fichier " + page + " n'a pas ete modifie";
}

// Writing the page in place, and what a later run does with a write that
// was stopped: every message says what the page holds then.
inline std::string MsgInPlaceLeft(const std::string& page, FailureKind kind,
                                  bool finishing) {
  return "erreur d'ecriture du fichier " + page + Cause(kind) +
         " : la prochaine execution de brantix " +
         (finishing ? "achevera son ecriture" : "le remettra tel qu'il etait");
}
inline std::string MsgCutNotFlushed(const std::string& page, FailureKind kind,
                                    bool finishing) {
  return "erreur d'ecriture du fichier " + page + Cause(kind) + " : il a " +
         (finishing ? "sa nouvelle colonne" : "son ancien texte") +
         ", qui n'est peut-etre pas encore sur le disque";
}
inline std::string MsgEditedDuringWrite(const std::string& page,
                                        const std::string& kept) {
  return "le fichier " + page +
         " a ete modifie par un autre programme pendant son ecriture : ce "
         "qu'il contenait alors est garde dans " +
         kept + ", verifiez-le";
}
inline std::string MsgEditNotKept(const std::string& page, FailureKind kind) {
  return "le fichier " + page +
         " a ete modifie par un autre programme pendant son ecriture, et il "
         "est impossible d'en garder une copie" +
         Cause(kind) + " : rien n'en a ete retire, verifiez-le";
}
inline std::string MsgBackupHeldByAnother(const std::string& backup,
                                          const std::string& page) {
  return "la sauvegarde " + backup +
         " appartient a un autre utilisateur, dans un dossier ou lui seul "
         "peut la remplacer : demandez-lui de la supprimer ; le fichier " +
         page + " n'a pas ete modifie";
}

inline std::string EarlierRunStopped(const std::string& page) {
  return "une execution precedente a ete interrompue pendant l'ecriture du "
         "fichier " +
         page;
}
inline std::string MsgKeptIn(const std::string& kept) {
  return " (ce qu'il contenait est garde dans " + kept + ")";
}
inline std::string MsgWriteFinished(const std::string& page,
                                    const std::string& kept) {
  return EarlierRunStopped(page) +
         " : son ecriture a ete achevee, il a la colonne qu'elle ajoutait" +
         MsgKeptIn(kept) + " ; relancez brantix pour en ajouter une autre";
}
inline std::string MsgWriteUndone(const std::string& page,
                                  const std::string& kept) {
  return EarlierRunStopped(page) + " : il a ete remis tel qu'il etait" +
         MsgKeptIn(kept) + ", relancez brantix";
}
inline std::string MsgNotRecovered(const std::string& page, FailureKind kind) {
  return EarlierRunStopped(page) + " : impossible de le remettre en etat" +
         Cause(kind) +
         ", la prochaine execution de brantix par un utilisateur qui peut "
         "l'ecrire le fera";
}
inline std::string MsgNotKept(const std::string& page, FailureKind kind) {
  return EarlierRunStopped(page) +
         " : impossible d'en garder une copie avant de le remettre en etat" +
         Cause(kind) + ", rien n'a ete change";
}
inline std::string MsgRecoveryReadError(const std::string& page,
                                        FailureKind kind) {
  return EarlierRunStopped(page) + " : erreur de lecture" + Cause(kind) +
         ", rien n'a ete change";
}
inline std::string MsgEditedSince(const std::string& page) {
  return EarlierRunStopped(page) +
         ", qui a ete modifie depuis : rien n'a ete change ; verifiez-le, "
         "puis retirez sa fin, depuis la ligne \"<!-- brantix-en-cours\"";
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
/// The warning of a link path that may break the link or the tag
/// (|breaks|: it holds a quote, an angle bracket or a line end) or that
/// does not end with '/' (|cut|: its cut fell inside a name), or both.
/// Under --link-folder (|folder|) a path is cut only by the 511-byte limit.
inline std::string MsgWarnLink(const std::string& name, const std::string& href,
                               bool breaks, bool cut, bool folder) {
  std::string text =
      "le lien pris sur cette ligne, " + href + " dans la carte " + name + ", ";
  if (breaks) {
    text +=
        "contient un guillemet, un chevron ou une fin de ligne : il peut "
        "casser le lien ou la balise";
  }
  if (breaks && cut) text += " ; son chemin ";
  if (cut && !breaks) text += "a un chemin qui ";
  if (cut && folder) {
    text += "ne finit pas par / : il est coupe par la limite de 511 octets";
  } else if (cut) {
    text +=
        "ne finit pas par / : la coupure tombe dans un nom, --link-folder "
        "donne le dossier";
  }
  return text;
}
inline std::string MsgWarnNoLinkYet(const std::string& name) {
  return "la carte " + name +
         " vient avant toute ligne ..///, son lien est le nom du fichier seul";
}
inline std::string MsgWarnLinkReused(const std::string& name, long line) {
  return "la carte " + name + " reprend le lien pris ligne " +
         std::to_string(line) + ", dans une ligne de tableau precedente";
}
/// What a row gets where its son.gif is not looked for.
enum class SoundFate { kDash, kHeading, kNoCell };
inline std::string MsgWarnSoundNotSeen(SoundFate fate) {
  return std::string(
             "son.gif sur une ligne qu'aucune ligne de tableau n'examine : sa "
             "ligne de tableau ") +
         (fate == SoundFate::kDash      ? "recoit un tiret"
          : fate == SoundFate::kHeading ? "recoit l'entete"
                                        : "ne recoit pas de cellule");
}
inline std::string MsgWarnColumnAdded(const std::string& map) {
  return "la carte " + map +
         " est deja dans la page : une colonne y a deja ete ajoutee, une "
         "execution en ajouterait une seconde";
}
inline std::string MsgWarnMore(long more) {
  return std::to_string(more) + " autres avertissements de ce type";
}
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
inline std::string MsgWarnUnfinishedEdited(const std::string& page) {
  return "brantix refuserait : le fichier " + page +
         " porte la trace d'une ecriture sur place inachevee, mais a ete "
         "modifie depuis";
}
inline std::string MsgNoteBackupReplaced(const std::string& backup) {
  return "la sauvegarde " + backup + " existe et serait remplacee";
}
inline const char kMsgNoteLoneLf[] =
    "les fins de ligne LF seules deviendraient CR LF";

/// The message of a problem met while the column parameters were read;
/// empty when none can be shown.
inline std::string MsgParamError(const ParamError& error) {
  switch (error.problem) {
    case ParamProblem::kNone:
    case ParamProblem::kNoOutput:
      return "";
    case ParamProblem::kInputEnded:
      return kMsgInputEnded;
    case ParamProblem::kNumberInvalid:
      return kMsgNumberInvalid;
    case ParamProblem::kNumberOutOfRange:
      return kMsgNumberOutOfRange;
    case ParamProblem::kAnswerTooLong:
      return MsgAnswerTooLong(error.capacity);
    case ParamProblem::kFileMissing:
      return kMsgNoSuchFile;
    case ParamProblem::kFileNotRegular:
      return MsgNotAFile("param.txt");
    case ParamProblem::kFileReadError:
      return kMsgParamReadError + Cause(KindOf(error.system_error));
    case ParamProblem::kFileUtf16:
      return kMsgParamUtf16;
    case ParamProblem::kFileIncomplete:
      return kMsgParamIncomplete;
    case ParamProblem::kLineTooLong:
      return MsgParamLineTooLong(error.line, error.capacity);
  }
  return "";
}

#endif  // BRANTIX_RUN_MESSAGES_H_
