// The backup copy of the page, made before anything is asked or changed.
#ifndef BRANTIX_RUN_BACKUP_H_
#define BRANTIX_RUN_BACKUP_H_

#include <string>

/// The backup name: the page name as typed, followed by ".orig".
std::string NomSauvegardeDe(const std::string& nom_du_fichier);

/// Copies the page |nom_du_fichier| as text to |nom_sauvegarde|. The copy is
/// written to a temporary file in the same folder and renamed over the
/// backup only once complete, so a failed run leaves any earlier backup as
/// it was and no temporary file behind. Returns false with the message in
/// |err| when the page cannot be read or the backup cannot be written.
bool MakeBackup(const std::string& nom_du_fichier,
                const std::string& nom_sauvegarde, std::string* err);

#endif  // BRANTIX_RUN_BACKUP_H_
