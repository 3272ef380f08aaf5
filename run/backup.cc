#include "run/backup.h"

#include <utility>

#include "run/messages.h"
#include "text/text_file.h"

std::string NomSauvegardeDe(const std::string& nom_du_fichier) {
  return nom_du_fichier + ".orig";
}

// Creates a temporary file of a short name of its own in |folder|, so that
// the name fits even beside a page whose name is as long as allowed.
static bool CreateTemporary(const std::string& folder, std::string* name,
                            File* file) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    *name = folder + "brantix-" + std::to_string(ProcessNumber()) + "-" +
            std::to_string(attempt) + ".tmp";
    if (CreateExclusive(*name, file)) return true;
  }
  return false;
}

enum class CopyResult { kOk, kReadError, kWriteError };

// The page goes to the backup as text. Every piece is written exactly as
// read, so the copy is the page with each lone LF made CR LF; CopyText gives
// those bytes from whole buffers instead of cutting the page into pieces.
static CopyResult CopyPage(TextReader* reader, TextWriter* writer) {
  switch (CopyText(reader, writer)) {
    case CopyEnd::kDone:
      break;
    case CopyEnd::kReadError:
      return CopyResult::kReadError;
    case CopyEnd::kWriteError:
      return CopyResult::kWriteError;
  }
  return FinishWriting(writer) ? CopyResult::kOk : CopyResult::kWriteError;
}

bool MakeBackup(const std::string& nom_du_fichier,
                const std::string& nom_sauvegarde, std::string* err) {
  File page;
  switch (OpenForReading(nom_du_fichier, &page)) {
    case OpenReadResult::kOk:
      break;
    case OpenReadResult::kCannotOpen:
      *err = kMsgFichierInexistant;
      return false;
    case OpenReadResult::kIsDirectory:
      *err = MsgLecturePage(nom_du_fichier);
      return false;
  }
  std::string temporary;
  File out;
  if (!CreateTemporary(FolderPart(nom_sauvegarde), &temporary, &out)) {
    *err = MsgSauvegardeImpossible(nom_sauvegarde);
    return false;
  }
  CopyPermissions(page, out);
  TextReader reader;
  TextWriter writer;
  StartReading(std::move(page), &reader);
  StartWriting(std::move(out), &writer);
  CopyResult copied = CopyPage(&reader, &writer);
  CloseFile(&writer.file);
  if (copied == CopyResult::kOk && RenameReplacing(temporary, nom_sauvegarde)) {
    return true;
  }
  RemoveFile(temporary);
  if (copied == CopyResult::kReadError) {
    *err = MsgLecturePage(nom_du_fichier);
  } else if (copied == CopyResult::kWriteError) {
    *err = MsgEcritureSauvegarde(nom_sauvegarde);
  } else {
    *err = MsgSauvegardeImpossible(nom_sauvegarde);
  }
  return false;
}
