// Reading a column number the way C's formatted input reads "%d": an
// optional sign, then decimal digits, up to the first byte that is not one.
#ifndef BRANTIX_PARAMETERS_NUMBER_H_
#define BRANTIX_PARAMETERS_NUMBER_H_

#include <cstdint>

/// A number read one byte at a time.
struct NombreLu {
  bool negatif = false;
  bool signe_vu = false;
  bool chiffre_vu = false;
  bool trop_grand = false;  ///< Beyond the signed 32-bit range.
  bool fini = false;        ///< A byte that is not part of the number came.
  std::int64_t valeur = 0;  ///< Magnitude so far, capped past the range.
};

/// Feeds the next byte, after any leading blanks were skipped. Returns false
/// once the number has ended (that byte is not part of it).
bool AjouterOctet(NombreLu* nombre, unsigned char octet);

/// The signed value of a number that has digits and is in range.
std::int32_t Valeur(const NombreLu& nombre);

/// True for the bytes that "%d" skips before a number.
inline bool EstBlanc(int octet) {
  return octet == ' ' || (octet >= '\t' && octet <= '\r');
}

#endif  // BRANTIX_PARAMETERS_NUMBER_H_
