#include "parameters/number.h"

bool AjouterOctet(NombreLu* n, unsigned char octet) {
  if (n->fini) return false;
  if (!n->signe_vu && !n->chiffre_vu && (octet == '-' || octet == '+')) {
    n->signe_vu = true;
    n->negatif = octet == '-';
    return true;
  }
  if (octet < '0' || octet > '9') {
    n->fini = true;
    return false;
  }
  n->chiffre_vu = true;
  n->valeur = n->valeur * 10 + (octet - '0');
  const std::int64_t limite = n->negatif ? 2147483648LL : 2147483647LL;
  if (n->valeur > limite) {
    n->trop_grand = true;
    n->valeur = limite + 1;  // Stays put however many digits follow.
  }
  return true;
}

std::int32_t Valeur(const NombreLu& n) {
  return static_cast<std::int32_t>(n.negatif ? -n.valeur : n.valeur);
}
