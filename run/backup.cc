#include "run/backup.h"

std::string BackupNameOf(const std::string& nom_du_fichier) {
  return nom_du_fichier + ".orig";
}
