// The fixture of the end-to-end tests: a scratch folder in which the real
// program runs, and helpers to set up and read its files.
#ifndef BRANTIX_TESTS_E2E_H_
#define BRANTIX_TESTS_E2E_H_

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/process.h"
#include "tests/test_util.h"
#include "tests/text_model.h"

inline const char kUsage[] =
    "type : brantix \"NomDuFichier\" -1:Utilise le fichier param.txt";
inline const char kConfirm[] = "Voulez vous continuer [O|N] (Par defaut O):";
inline const char kNotFound[] = "le fichier n'existe pas";
inline const char kStopped[] = "Vous avez ARRETE";
inline const char kParams[] = "1\nEntete\nv.gif\ns.gif\ncarte\nlien.htm\n";

/// The six questions of the console dialogue, in order, as printed.
inline const char* const kPrompts[] = {
    "\nNumero de colonne : ", "\nTexte d'entete : ", "Nom icone 1: ",
    "Nom icone 2: ",          "Nom de la MAP: ",     "Nom Fichier pour le lien : ",
};

class E2eTest : public ::testing::Test {
 protected:
  /// Runs the program in the scratch folder.
  RunResult Run(const std::vector<std::string>& args,
                const std::string& input = "", long long size_limit = -1) {
    RunOptions options;
    options.folder = dir_.path.string();
    options.input = input;
    options.file_size_limit = size_limit;
    return RunProgram(args, options);
  }
  Session Start(const std::vector<std::string>& args, bool terminal = false) {
    return StartSession(args, dir_.path.string(), terminal);
  }
  void Put(const std::string& name, const std::string& bytes) {
    WriteBytes(dir_ / name, bytes);
  }
  std::string Get(const std::string& name) { return ReadBytes(dir_ / name); }
  bool Exists(const std::string& name) {
    return std::filesystem::exists(std::filesystem::symlink_status(dir_ / name));
  }
  /// Names in the scratch folder, sorted.
  std::vector<std::string> Listing() {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir_.path)) {
      names.push_back(e.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
  bool Windows() { return FindProgramUnderTest().windows; }

  ScratchDir dir_;
};

#endif  // BRANTIX_TESTS_E2E_H_
