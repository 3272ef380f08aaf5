#include "parameters/param_file.h"

#include <utility>

#include "parameters/number.h"
#include "run/messages.h"

namespace {

// One line of the file, assembled from its pieces: the value keeps at most
// |limit| bytes. A longer line is given up as soon as it passes |limit|, so
// that a line without end is never read to its end.
struct Ligne {
  std::string valeur;
  std::size_t longueur = 0;
};

enum class LigneLue { kLigne, kFin, kErreur };

LigneLue LireLigne(TextReader* reader, std::size_t limit, Ligne* ligne) {
  ligne->valeur.clear();
  ligne->longueur = 0;
  std::string_view piece;
  for (;;) {
    PieceResult got = ReadPiece(reader, &piece);
    if (got == PieceResult::kError) return LigneLue::kErreur;
    if (got == PieceResult::kEnd) {
      return ligne->longueur > 0 ? LigneLue::kLigne : LigneLue::kFin;
    }
    bool fin_de_ligne = piece.back() == '\n';
    if (fin_de_ligne) piece.remove_suffix(1);
    ligne->longueur += piece.size();
    if (ligne->longueur > limit) return LigneLue::kLigne;
    ligne->valeur.append(piece);
    if (fin_de_ligne) return LigneLue::kLigne;
  }
}

// The first line: leading blanks, then the number; the rest of the line is
// read but ignored, and a line without digits gives 0.
LigneLue LireNombre(TextReader* reader, NombreLu* nombre) {
  bool debut = true;
  bool vide = true;
  std::string_view piece;
  for (;;) {
    PieceResult got = ReadPiece(reader, &piece);
    if (got == PieceResult::kError) return LigneLue::kErreur;
    if (got == PieceResult::kEnd) return vide ? LigneLue::kFin : LigneLue::kLigne;
    vide = false;
    for (char c : piece) {
      unsigned char octet = static_cast<unsigned char>(c);
      if (debut && octet != '\n' && EstBlanc(octet)) continue;
      debut = false;
      if (!AjouterOctet(nombre, octet)) break;
    }
    if (piece.back() == '\n') return LigneLue::kLigne;
  }
}

template <std::size_t N>
bool LireTexte(TextReader* reader, int numero_ligne, Texte<N>* texte,
               std::string* err) {
  Ligne ligne;
  switch (LireLigne(reader, N, &ligne)) {
    case LigneLue::kErreur:
      *err = kMsgLectureParam;
      return false;
    case LigneLue::kFin:
      *err = kMsgParamIncomplet;
      return false;
    case LigneLue::kLigne:
      break;
  }
  if (ligne.longueur > N || !Remplir(texte, ligne.valeur)) {
    *err = MsgParamLigneTropLongue(numero_ligne, static_cast<int>(N));
    return false;
  }
  return true;
}

}  // namespace

bool LireLignesParametres(TextReader* reader, ParamColonne* param,
                          std::string* err) {
  NombreLu nombre;
  switch (LireNombre(reader, &nombre)) {
    case LigneLue::kErreur:
      *err = kMsgLectureParam;
      return false;
    case LigneLue::kFin:
      *err = kMsgParamIncomplet;
      return false;
    case LigneLue::kLigne:
      break;
  }
  if (nombre.trop_grand) {
    *err = kMsgNumeroHorsLimites;
    return false;
  }
  param->NumeroColonne = nombre.chiffre_vu ? Valeur(nombre) : 0;
  return LireTexte(reader, 2, &param->TexteEntete, err) &&
         LireTexte(reader, 3, &param->NomIcone1, err) &&
         LireTexte(reader, 4, &param->NomIcone2, err) &&
         LireTexte(reader, 5, &param->NomMap, err) &&
         LireTexte(reader, 6, &param->NomFichierLien, err);
}

bool LireFichierParametres(const std::string& path, ParamColonne* param,
                           std::string* err) {
  File file;
  switch (OpenForReading(path, &file)) {
    case OpenReadResult::kOk:
      break;
    case OpenReadResult::kCannotOpen:
      *err = kMsgFichierInexistant;
      return false;
    case OpenReadResult::kIsDirectory:
      *err = kMsgLectureParam;
      return false;
    case OpenReadResult::kNotRegular:
      *err = MsgPasUnFichier(path);
      return false;
  }
  TextReader reader;
  StartReading(std::move(file), &reader, 4096);
  return LireLignesParametres(&reader, param, err);
}
