#include "rewrite/rewrite.h"

#include <string_view>
#include <utility>

#include "rewrite/cells.h"

namespace {

// The piece the rewrite holds, and the files it moves between.
struct Curseur {
  TextReader* sauvegarde = nullptr;
  TextWriter* page = nullptr;
  std::string_view piece;
  bool present = false;  ///< A piece is current.
  FinReecriture fin = FinReecriture::kOk;
};

// Makes the next piece of the backup current. Returns false when there is
// none, at the end of the backup or on a read error.
bool Lire(Curseur* c) {
  PieceResult got = ReadPiece(c->sauvegarde, &c->piece);
  if (got == PieceResult::kError) c->fin = FinReecriture::kErreurLecture;
  c->present = got == PieceResult::kPiece;
  return c->present;
}

// Writes the current piece to the page, then makes the next one current.
// Returns false when no piece is current afterwards.
bool Avancer(Curseur* c) {
  if (!WritePiece(c->page, c->piece)) {
    c->fin = FinReecriture::kErreurEcriture;
    c->present = false;
    return false;
  }
  return Lire(c);
}

// Markers are found with a memchr-driven scan of the piece in place.
bool Contient(std::string_view piece, std::string_view marqueur) {
  return ContainsBytes(piece, marqueur);
}

bool DebutDeRangee(const Curseur& c) {
  return c.present && Contient(c.piece, "<tr>");
}

// Takes the link path from the first "..///" of |piece|: at most
// |longueur_nom| + 23 bytes, or the rest of the piece when it ends sooner.
void PrendreChemin(std::string_view piece, std::size_t longueur_nom,
                   EtatReecriture* etat) {
  std::string_view chemin = piece.substr(piece.find("..///"));
  Remplir(&etat->CheminLien, chemin.substr(0, longueur_nom + 23));
}

// The heading row: the new heading cell goes after the NumeroColonne-th
// piece holding "</td>". Returns false when the backup ends inside the scan.
bool LigneEntete(Curseur* c, const ParamColonne& param, EtatReecriture* etat) {
  if (!Avancer(c)) return false;
  while (etat->CompteCellules < param.NumeroColonne) {
    if (!Avancer(c)) return false;
    if (Contient(c->piece, "</td>")) ++etat->CompteCellules;
  }
  etat->EnteteFaite = true;
  Avancer(c);
  if (c->fin != FinReecriture::kOk) return false;
  if (!WriteHeadingCell(c->page, param.TexteEntete.vue())) {
    c->fin = FinReecriture::kErreurEcriture;
    return false;
  }
  return true;
}

// A data row: the scan also watches for "son.gif" and "..///", and the new
// cell is an image-map cell when the row has a sound icon, a dash otherwise.
bool LigneDonnees(Curseur* c, const ParamColonne& param,
                  std::size_t longueur_nom, EtatReecriture* etat) {
  if (!Avancer(c)) return false;
  while (etat->CompteCellules < param.NumeroColonne) {
    if (!Avancer(c)) return false;
    if (Contient(c->piece, "son.gif")) etat->SonVu = true;
    if (Contient(c->piece, "</td>")) ++etat->CompteCellules;
    if (Contient(c->piece, "..///")) PrendreChemin(c->piece, longueur_nom, etat);
  }
  Avancer(c);
  if (c->fin != FinReecriture::kOk) return false;
  bool ecrit;
  if (etat->SonVu) {
    // Map numbers wrap like the 32-bit counter they are.
    etat->NumeroMap = static_cast<std::int32_t>(
        static_cast<std::uint32_t>(etat->NumeroMap) + 1u);
    ecrit = WriteMapCell(c->page, param.NomIcone1.vue(),
                             param.NomIcone2.vue(), param.NomMap.vue(),
                             etat->NumeroMap, etat->CheminLien.vue(),
                             param.NomFichierLien.vue());
    etat->SonVu = false;
  } else {
    ecrit = WriteDashCell(c->page);
  }
  if (!ecrit) c->fin = FinReecriture::kErreurEcriture;
  return ecrit;
}

}  // namespace

FinReecriture Reecrire(TextReader* sauvegarde, TextWriter* page,
                       const ParamColonne& param, std::size_t longueur_nom,
                       EtatReecriture* etat) {
  Curseur c;
  c.sauvegarde = sauvegarde;
  c.page = page;
  Lire(&c);
  while (c.present) {
    Avancer(&c);
    // The flag is tested first: once the heading is written, a piece is
    // searched for "<tr>" only once per pass.
    if (!etat->EnteteFaite && DebutDeRangee(c) &&
        !LigneEntete(&c, param, etat)) {
      break;
    }
    etat->CompteCellules = 0;
    if (DebutDeRangee(c) && etat->EnteteFaite &&
        !LigneDonnees(&c, param, longueur_nom, etat)) {
      break;
    }
  }
  return c.fin;
}
