// The backup copy of the page, made before anything is asked or changed.
#ifndef BRANTIX_RUN_BACKUP_H_
#define BRANTIX_RUN_BACKUP_H_

#include <string>

/// The backup name: the page name as typed, followed by ".orig".
std::string BackupNameOf(const std::string& nom_du_fichier);

#endif  // BRANTIX_RUN_BACKUP_H_
