// The message of each failure that ends a run, and the words of each cause
// the system gives.
#include "run/messages.h"

#include "run/backup.h"
#include "run/process.h"

std::string CauseWords(int error) {
  const char* words = "";
  switch (CauseOf(error)) {
    case Cause::kNone:
      return "";
    case Cause::kRefused:
      words = "acces refuse";
      break;
    case Cause::kNoSpace:
      words = "disque plein ou quota atteint";
      break;
    case Cause::kTooLarge:
      words = "fichier trop grand pour la limite de taille";
      break;
    case Cause::kNameTooLong:
      words = "nom trop long";
      break;
    case Cause::kInvalidName:
      words = "nom de fichier invalide";
      break;
    case Cause::kLinkLoop:
      words = "trop de liens symboliques";
      break;
    case Cause::kTooManyLinks:
      words = "trop de liens";
      break;
    case Cause::kTooManyFiles:
      words = "trop de fichiers ouverts";
      break;
    case Cause::kReadOnly:
      words = "systeme de fichiers en lecture seule";
      break;
    case Cause::kInputOutput:
      words = "erreur d'entree-sortie";
      break;
    case Cause::kMissing:
      words = "fichier ou dossier absent";
      break;
    case Cause::kFolder:
      words = "c'est un dossier";
      break;
    case Cause::kNotFolder:
      words = "une partie du chemin n'est pas un dossier";
      break;
    case Cause::kNameTaken:
      words = "nom deja pris";
      break;
    case Cause::kOther:
      return " (erreur systeme " + std::to_string(error) + ")";
  }
  return std::string(" (") + words + ")";
}

namespace {

// How a message starts that tells of an earlier run stopped while it wrote
// the page in place.
std::string EarlierRunStopped(const std::string& page) {
  return "une execution precedente a ete interrompue pendant l'ecriture du "
         "fichier " +
         page;
}

// Where the bytes of another program that a recovery took away are kept.
std::string KeptIn(const std::string& kept) {
  if (kept.empty()) return "";
  return " (ce qu'elle a retire et qui n'etait pas a elle est garde dans " +
         kept + ")";
}

}  // namespace

std::string MessageOf(const Failure& f, const std::string& nom_du_fichier) {
  const std::string& page = nom_du_fichier;
  const std::string cause = CauseWords(f.error);
  switch (f.step) {
    case FailedStep::kNone:
    case FailedStep::kNoOutput:
      return "";
    case FailedStep::kOpen:
      return "le fichier n'existe pas";
    case FailedStep::kNotRegular:
      return "le fichier " + f.name + " n'est pas un fichier ordinaire";
    case FailedStep::kRead:
      return "erreur de lecture du fichier " + f.name + cause;
    case FailedStep::kNameTooLong:
      return "nom de fichier trop long (250 caracteres au plus)";
    case FailedStep::kPageLocked:
      return "le fichier " + page +
             " est deja en cours de modification par un autre brantix";
    case FailedStep::kPageIsItsBackup:
      return "le fichier " + page + " et sa sauvegarde " + f.name +
             " sont le meme fichier";
    case FailedStep::kPageNotWritable:
      return "impossible d'ecrire le fichier " + page +
             " : le fichier n'a pas ete modifie";
    case FailedStep::kFolderClosed:
      return "impossible de creer un fichier dans le dossier " + f.name +
             cause + " : le fichier " + page + " n'a pas ete modifie";
    case FailedStep::kPageWrite:
      return MsgPageWriteError(page, f.error);
    case FailedStep::kPageChanged:
      return "le fichier " + page +
             " a ete modifie pendant l'execution : la nouvelle version n'a "
             "pas ete enregistree";
    case FailedStep::kInterrupted:
      return MsgInterruption(page);
    case FailedStep::kInPlaceLeftToFinish:
    case FailedStep::kInPlaceLeftToUndo:
      return "erreur d'ecriture du fichier " + page + cause +
             " : la prochaine execution de brantix " +
             (f.step == FailedStep::kInPlaceLeftToFinish
                  ? "achevera son ecriture"
                  : "le remettra tel qu'il etait");
    case FailedStep::kInPlaceNotFlushedNew:
    case FailedStep::kInPlaceNotFlushedOld:
      return "erreur d'ecriture du fichier " + page + cause + " : il a " +
             (f.step == FailedStep::kInPlaceNotFlushedNew
                  ? "sa nouvelle colonne"
                  : "son ancien texte") +
             ", qui n'est peut-etre pas encore sur le disque";
    case FailedStep::kEditedDuringWrite:
      if (f.name.empty()) {
        return "le fichier " + page +
               " a ete modifie par un autre programme pendant son ecriture : "
               "il garde cette modification, sans la nouvelle colonne ; "
               "verifiez-le, puis relancez brantix";
      }
      return "le fichier " + page +
             " a ete modifie par un autre programme pendant son ecriture : "
             "ce qu'il contenait alors est garde dans " +
             f.name + ", verifiez-le";
    case FailedStep::kEditNotKept:
      return "le fichier " + page +
             " a ete modifie par un autre programme pendant son ecriture, et "
             "il est impossible d'en garder une copie" +
             cause + " : rien n'en a ete retire, verifiez-le";
    case FailedStep::kWriteFinished:
      return EarlierRunStopped(page) +
             " : son ecriture a ete achevee, il a la colonne qu'elle "
             "ajoutait" +
             KeptIn(f.name) + " ; relancez brantix pour en ajouter une autre";
    case FailedStep::kWriteUndone:
      return EarlierRunStopped(page) + " : il a ete remis tel qu'il etait" +
             KeptIn(f.name) + ", relancez brantix";
    case FailedStep::kWriteNotBegun:
      return EarlierRunStopped(page) +
             ", avant d'en ecrire le texte : les octets nuls qu'elle avait "
             "ajoutes a sa fin ont ete retires" +
             KeptIn(f.name) + ", relancez brantix";
    case FailedStep::kNotRecovered:
      return EarlierRunStopped(page) + " : impossible de le remettre en etat" +
             cause +
             ", la prochaine execution de brantix par un utilisateur qui "
             "peut l'ecrire le fera" +
             (f.name.empty() ? "" : KeptIn(f.name));
    case FailedStep::kNotKept:
      return EarlierRunStopped(page) +
             " : impossible d'en garder une copie avant de le remettre en "
             "etat" +
             cause + ", rien n'a ete change";
    case FailedStep::kRecoveryRead:
      return EarlierRunStopped(page) + " : erreur de lecture" + cause +
             ", rien n'a ete change";
    case FailedStep::kEditedSince:
      return EarlierRunStopped(page) +
             ", qui a ete modifie depuis : rien n'a ete change ; remplacez-le "
             "par sa sauvegarde " +
             BackupNameOf(page) +
             ", qui a son texte d'avant l'execution interrompue";
    case FailedStep::kBackupCreate:
      return "impossible de creer la sauvegarde " + f.name + cause;
    case FailedStep::kBackupWrite:
      return "erreur d'ecriture de la sauvegarde " + f.name + cause;
    case FailedStep::kBackupHeldByAnother:
      return "la sauvegarde " + f.name +
             " appartient a un autre utilisateur, dans un dossier ou lui "
             "seul peut la remplacer : demandez-lui de la supprimer ; le "
             "fichier " +
             page + " n'a pas ete modifie";
    case FailedStep::kParamUtf16:
      return "param.txt est en UTF-16 : enregistrez-le en UTF-8 ou en ANSI";
    case FailedStep::kParamIncomplete:
      return "param.txt incomplet : il faut six lignes";
    case FailedStep::kParamLineTooLong:
      return "param.txt : ligne " + std::to_string(f.line) + " trop longue (" +
             std::to_string(f.capacity) + " caracteres au plus)";
    case FailedStep::kAnswerTooLong:
      return "reponse trop longue (" + std::to_string(f.capacity) +
             " caracteres au plus)";
    case FailedStep::kNumberInvalid:
      return "numero de colonne invalide";
    case FailedStep::kNumberOutOfRange:
      return "numero de colonne hors limites";
    case FailedStep::kInputEnded:
      return "fin de la saisie avant la derniere reponse";
    case FailedStep::kStopped:
      return "Vous avez ARRETE";
  }
  return "";
}
