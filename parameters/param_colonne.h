// The description of the new column, filled once per run from the console
// dialogue or from "param.txt", and only read afterwards.
#ifndef BRANTIX_PARAMETERS_PARAM_COLONNE_H_
#define BRANTIX_PARAMETERS_PARAM_COLONNE_H_

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

/// A byte string of at most N bytes, stored in place.
template <std::size_t N>
struct Texte {
  static constexpr std::size_t kCapacite = N;
  char octets[N] = {};
  std::size_t longueur = 0;

  std::string_view vue() const { return std::string_view(octets, longueur); }
};

/// Stores |value| in |texte|. Returns false, leaving |texte| unchanged, when
/// it does not fit.
template <std::size_t N>
bool Remplir(Texte<N>* texte, std::string_view value) {
  if (value.size() > N) return false;
  if (!value.empty()) std::memcpy(texte->octets, value.data(), value.size());
  texte->longueur = value.size();
  return true;
}

struct ParamColonne {
  std::int32_t NumeroColonne = 0;
  Texte<251> TexteEntete;
  Texte<27> NomIcone1;
  Texte<27> NomIcone2;
  Texte<27> NomMap;
  Texte<27> NomFichierLien;
};

#endif  // BRANTIX_PARAMETERS_PARAM_COLONNE_H_
