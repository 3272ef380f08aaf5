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
struct FixedText {
  static constexpr std::size_t kCapacity = N;
  char bytes[N] = {};
  std::size_t size = 0;

  std::string_view view() const { return std::string_view(bytes, size); }
};

/// Stores |value| in |text|. Returns false, leaving |text| unchanged, when
/// it does not fit.
template <std::size_t N>
bool Assign(FixedText<N>* text, std::string_view value) {
  if (value.size() > N) return false;
  if (!value.empty()) std::memcpy(text->bytes, value.data(), value.size());
  text->size = value.size();
  return true;
}

struct ParamColonne {
  std::int32_t NumeroColonne = 0;
  FixedText<251> TexteEntete;
  FixedText<27> NomIcone1;
  FixedText<27> NomIcone2;
  FixedText<27> NomMap;
  FixedText<27> NomFichierLien;
};

#endif  // BRANTIX_PARAMETERS_PARAM_COLONNE_H_
