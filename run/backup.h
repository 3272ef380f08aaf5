// The backup copy of the page, made before anything is asked or changed.
#ifndef BRANTIX_RUN_BACKUP_H_
#define BRANTIX_RUN_BACKUP_H_

#include <string>

#include "run/page.h"

/// The backup name: the page name as typed, followed by ".orig".
std::string BackupNameOf(const std::string& nom_du_fichier);

/// Copies the open page as text to |nom_sauvegarde|, with the page's owner,
/// group and permissions. The copy is written beside the backup, flushed
/// to the disk and renamed over it only once complete, so a failed or
/// interrupted run leaves any earlier backup as it was and no temporary
/// file behind. Returns false with the message in |err| when the page
/// cannot be read or the backup cannot be written.
bool MakeBackup(Page* page, const std::string& nom_sauvegarde,
                std::string* err);

#endif  // BRANTIX_RUN_BACKUP_H_
