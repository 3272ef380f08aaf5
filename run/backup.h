// The backup copy of the page, NomSauvegarde: the page's text, each lone LF
// as CR LF, written beside it and renamed over the earlier backup once it
// is complete on the disk.
#ifndef BRANTIX_RUN_BACKUP_H_
#define BRANTIX_RUN_BACKUP_H_

#include <string>

#include "parameters/param_colonne.h"
#include "run/page.h"
#include "run/replacement.h"
#include "text/failure.h"

/// The backup name: the page name as typed, followed by ".orig".
std::string BackupNameOf(const std::string& nom_du_fichier);

/// Reads the page from its start and writes its text to |backup|, put in
/// place as |nom_sauvegarde|. When it fails, the earlier backup stays as it
/// was.
Failure BackUpPage(Page* page, const std::string& nom_sauvegarde,
                   Replacement* backup);

/// The same, and in the same reading of the page, rebuilds it into |fresh|
/// with the column |param|. Should the new page fail, the page is still
/// read to its end and the backup put in place.
Failure BackUpAndRebuildPage(Page* page, const std::string& nom_sauvegarde,
                             const ParamColonne& param, Replacement* backup,
                             Replacement* fresh);

#endif  // BRANTIX_RUN_BACKUP_H_
