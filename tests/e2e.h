// The fixture of the end-to-end tests: a scratch folder in which the real
// program runs, and helpers to set up and read its files.
#ifndef BRANTIX_TESTS_E2E_H_
#define BRANTIX_TESTS_E2E_H_

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/expected_cells.h"
#include "tests/process.h"
#include "tests/test_util.h"
#include "tests/text_model.h"

inline const char kUsage[] =
    "type : brantix \"NomDuFichier\" -1:Utilise le fichier param.txt";
inline const char kConfirm[] = "Voulez vous continuer [O|N] (Par defaut O):";
inline const char kNotFound[] = "le fichier n'existe pas";
inline const char kStopped[] = "Vous avez ARRETE";

/// The fields of the column that most tests add, in the order of the
/// questions that follow the column number: heading, icon 1, icon 2, map
/// name, link file.
inline const char kHeading[] = "Entete";
inline const char kIcon1[] = "video.gif";
inline const char kIcon2[] = "son2.gif";
inline const char kMap[] = "carte";
inline const char kLinkFile[] = "lien.htm";

/// A param.txt for that column after cell |column|.
inline std::string Params(const std::string& column) {
  return column + "\n" + kHeading + "\n" + kIcon1 + "\n" + kIcon2 + "\n" +
         kMap + "\n" + kLinkFile + "\n";
}
inline const std::string kParams = Params("1");

/// The six questions of the console dialogue, in order, as printed.
inline const char* const kPrompts[] = {
    "\nNumero de colonne : ", "\nTexte d'entete : ",
    "Nom icone 1: ",          "Nom icone 2: ",
    "Nom de la MAP: ",        "Nom Fichier pour le lien : ",
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
  /// Run(), its error stream kept in the file "errors" of the folder.
  RunResult RunKeepingErrors(const std::vector<std::string>& args,
                             const std::string& input) {
    RunOptions options;
    options.folder = dir_.path.string();
    options.input = input;
    options.prefix = {"sh", "-c", "\"$@\" 2>errors", "sh"};
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
    return std::filesystem::exists(
        std::filesystem::symlink_status(dir_ / name));
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

/// Runs on SmallTable() (tests/expected_cells.h) in "page.htm", and checks
/// the page that a run leaves.
class SmallTableTest : public E2eTest {
 protected:
  /// A completed run: |printed_| then the confirmation, status 0, and the
  /// page rewritten with these fields.
  void ExpectRewritten(const RunResult& r, int column,
                       const std::string& heading = kHeading,
                       const std::string& icon1 = kIcon1,
                       const std::string& icon2 = kIcon2,
                       const std::string& map = kMap,
                       const std::string& link_file = kLinkFile) {
    EXPECT_EQ(r.output, printed_ + kConfirm);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(Get("page.htm"), SmallTableRewritten(column, heading, icon1,
                                                   icon2, map, link_file));
  }
  /// A run refused before the confirmation, having printed |output|: the
  /// page as it was, and the backup made.
  void ExpectRefused(const RunResult& r, const std::string& output) {
    EXPECT_EQ(r.output, output);
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(Get("page.htm"), SmallTable());
    EXPECT_EQ(Get("page.htm.orig"), EveryLfToCrLf(SmallTable()));
  }

  /// What a completed run prints before the confirmation.
  std::string printed_;
};

// The checksum of the records of a write in place as the version before
// this one computed it, typed out here: 64-bit little-endian words, the
// last one of the zero to seven bytes left, word i mixed in FNV fashion
// into lane i mod 4; the four lanes then mixed into one, and the count of
// bytes. A run still finishes, cuts or undoes the writes it left.
inline std::uint64_t RecordSum(const std::string& bytes) {
  std::uint64_t lanes[4] = {0xCBF29CE484222325ULL, 0xCBF29CE484222326ULL,
                            0xCBF29CE484222327ULL, 0xCBF29CE484222328ULL};
  auto mix = [](std::uint64_t* state, std::uint64_t word) {
    *state = (*state ^ word) * 0x100000001B3ULL;
    *state ^= *state >> 29;
  };
  for (std::size_t at = 0; at <= bytes.size(); at += 8) {
    std::uint64_t word = 0;
    for (std::size_t k = 0; k < 8 && at + k < bytes.size(); ++k) {
      word |=
          static_cast<std::uint64_t>(static_cast<unsigned char>(bytes[at + k]))
          << (8 * k);
    }
    mix(&lanes[at / 8 % 4], word);
  }
  for (int k = 1; k < 4; ++k) mix(&lanes[0], lanes[k]);
  return lanes[0] ^ bytes.size();
}

// What a write in place of |fresh| over |old| leaves when stopped once the
// first |head| bytes of the new text are over the old ones, typed out: the
// new text past the old end, then the first record at the next 4096-byte
// boundary, and once the new text is whole (|tail| bytes of it are
// written), the last record a block further.
inline std::string LeftByAWrite(const std::string& old,
                                const std::string& fresh, std::size_t head,
                                std::size_t tail) {
  const std::size_t at = std::max(old.size(), fresh.size()) + 4096;
  const std::size_t record_at = (at + fresh.size() + 4095) / 4096 * 4096;
  auto hex = [](std::uint64_t v) {
    char text[17];
    std::snprintf(text, sizeof text, "%016llx",
                  static_cast<unsigned long long>(v));
    return std::string(text);
  };
  auto record = [&](std::uint64_t new_sum) {
    const std::string fields = "\n<!-- brantix-en-cours " + hex(old.size()) +
                               " " + hex(at) + " " + hex(fresh.size()) + " " +
                               hex(new_sum) + " " + hex(RecordSum(old)) + " ";
    return fields + hex(RecordSum(fields)) + " -->\n";
  };
  std::string page = old;
  page.resize(record_at, '\0');
  page.replace(at, tail, fresh, 0, tail);
  page.replace(0, head, fresh, 0, head);
  page += record(0);
  if (tail < fresh.size()) return page;
  page.resize(record_at + 4096, '\0');
  return page + record(RecordSum(fresh));
}

#endif  // BRANTIX_TESTS_E2E_H_
