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
        "usage : brantix NomDuFichier [-1] [--link-folder] [--html]\n"
        "        brantix --dry-run NomDuFichier [-1] [--link-folder] [--html]\n"
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
        "coupe a la longueur du nom de la page + 23 caracteres.\n"
        "--html (a toute place) : <TR, <tr suivi d'attributs, </th>, </TD>\n"
        "et SON.GIF sont lus comme un navigateur les lit.\n") +
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

// The notes on the error stream, each on a line of its own: after a run
// that did not do what was surely meant, and of what became of the files.
inline const char kMsgNoCellInserted[] =
    "\nattention : aucune cellule n'a ete inseree ; brantix --dry-run dit "
    "pourquoi\n";
inline std::string MsgMissingFile(const std::string& name, int error) {
  return "\nnote : le fichier qui n'a pas pu etre ouvert est " + name +
         CauseWords(error) + "\n";
}
inline std::string MsgBackupHoldsThePage(const std::string& backup) {
  return "\nnote : la sauvegarde " + backup +
         " contient maintenant la page telle qu'elle est (elle remplace "
         "toute sauvegarde plus ancienne)\n";
}
inline std::string MsgColumnAddedAgain(const std::string& map) {
  return "\nattention : la carte " + map +
         " etait deja dans la page : une colonne y avait deja ete ajoutee, "
         "la page en a maintenant une seconde\n";
}

// The messages of the preview, which words its own failures, and those
// MessageOf() shares: each |error| is a system's error number, 0 for none.
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
  return std::string("ce son.gif ne donnerait pas de carte : ") +
         (fate == SoundFate::kDash
              ? "sa ligne de tableau recevrait un tiret, place avant lui"
          : fate == SoundFate::kHeading
              ? "l'entete serait inseree apres lui"
              : "sa ligne de tableau ne recevrait pas de cellule");
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
    " ; <TR et <tr suivi d'attributs ne sont des lignes de tableau qu'avec "
    "--html";
inline std::string MsgWarnColumn(int column) {
  return "colonne " + std::to_string(column) +
         " : la nouvelle cellule irait apres la ligne qui suit chaque <tr>, "
         "avant toute cellule fermee";
}
inline const char kMsgWarnRowRunsOn[] =
    "la ligne de tableau precedente a trop peu de lignes qui ferment une "
    "cellule : sa nouvelle cellule irait dans celle-ci ou plus loin";
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
    "cette ligne de tableau ne recevrait pas de cellule : son <tr> suit de "
    "trop pres la nouvelle cellule de la precedente";
/// The warnings of where a browser shows the new cells.
inline std::string MsgWarnOutsideRow(bool in_table) {
  return in_table ? "la nouvelle cellule tomberait entre deux lignes du "
                    "tableau, apres un </tr> : le navigateur la montrerait "
                    "sur une ligne a part"
                  : "la nouvelle cellule tomberait hors de tout tableau";
}
inline const char kMsgWarnFirstInRow[] =
    "la nouvelle cellule tomberait avant la premiere cellule de sa ligne de "
    "tableau : elle y serait la premiere colonne";
inline std::string MsgWarnOtherColumn(long column, long heading) {
  return "la nouvelle cellule de cette ligne serait en colonne " +
         std::to_string(column) + ", l'entete en colonne " +
         std::to_string(heading);
}
/// Of the |rows| rows of a table, |missed| (the first on line |first|) get
/// no new cell and |doubled| more than one; |hidden|: some of the missed
/// ones are rows only as --html reads them.
inline std::string MsgWarnRagged(long rows, long missed, long first,
                                 long doubled, bool hidden) {
  std::string text = "les lignes de ce tableau finiraient inegales : ";
  if (missed > 0) {
    text += std::to_string(missed) + " de ses " + std::to_string(rows) +
            " lignes ne recevraient pas de nouvelle cellule (la premiere "
            "ligne " +
            std::to_string(first) + ")";
  }
  if (missed > 0 && doubled > 0) text += ", ";
  if (doubled > 0) {
    text += std::to_string(doubled) + " en recevraient plusieurs";
  }
  if (hidden) text += " ; avec --html, <TR et <tr suivi d'attributs en sont";
  return text;
}
inline std::string MsgWarnHiddenRows(long rows) {
  return std::to_string(rows) +
         " lignes de tableau que montre un navigateur (<TR, <tr suivi "
         "d'attributs), dont celle-ci, ne recevraient pas de cellule : "
         "--html les lit comme lui";
}
inline std::string MsgWarnHiddenSound(long icons) {
  return std::to_string(icons) +
         " icones son.gif ecrites en majuscules, dont celle-ci, ne donneraient "
         "pas de carte, leur ligne de tableau recevrait un tiret : --html les "
         "lit comme un navigateur";
}
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
inline std::string MsgWarnRefused(const std::string& message) {
  return "brantix refuserait : " + message;
}
inline std::string MsgNoteBackupReplaced(const std::string& backup) {
  return "la sauvegarde " + backup + " existe et serait remplacee";
}
inline const char kMsgNoteLoneLf[] =
    "les fins de ligne LF seules deviendraient CR LF";

#endif  // BRANTIX_RUN_MESSAGES_H_
