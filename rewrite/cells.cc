#include "rewrite/cells.h"

#include <charconv>
#include <cstring>

bool EcrireFormat(TextWriter* page, std::string_view format,
                  std::initializer_list<ArgFormat> args) {
  const ArgFormat* next = args.begin();
  std::size_t literal = 0;  // Start of the literal run not yet written.
  for (std::size_t i = 0; i + 1 < format.size(); ++i) {
    // Jump to the next "%" that has a byte after it.
    const void* pct =
        std::memchr(format.data() + i, '%', format.size() - 1 - i);
    if (pct == nullptr) break;
    i = static_cast<std::size_t>(static_cast<const char*>(pct) - format.data());
    char directive = format[i + 1];
    if (directive != '%' && directive != 's' && directive != 'd') continue;
    if (!WriteText(page, format.substr(literal, i - literal))) return false;
    literal = i + 2;
    ++i;
    if (directive == '%') {
      if (!WriteText(page, "%")) return false;
      continue;
    }
    if (next == args.end()) continue;
    const ArgFormat& arg = *next++;
    if (!arg.est_nombre) {
      if (!WriteText(page, arg.texte)) return false;
      continue;
    }
    char digits[16];
    auto done = std::to_chars(digits, digits + sizeof digits, arg.nombre);
    if (!WriteText(page, std::string_view(digits, done.ptr - digits))) {
      return false;
    }
  }
  return WriteText(page, format.substr(literal));
}

bool EcrireCelluleEntete(TextWriter* page, std::string_view texte_entete) {
  return EcrireFormat(page,
                      "\n\t<td WIDTH=\"10%%\" BGCOLOR=\"#f0ffff\" HEIGHT=\"19\" "
                      "align=\"center\"><font size=\"3\">\n",
                      {}) &&
         EcrireFormat(page,
                      "<strong><em><center>%s</center>\n\t</em></strong></"
                      "font>\n\t</td>\n",
                      {Arg(texte_entete)});
}

bool EcrireCelluleMap(TextWriter* page, std::string_view nom_icone1,
                      std::string_view nom_icone2, std::string_view nom_map,
                      std::int32_t numero_map, std::string_view chemin_lien,
                      std::string_view nom_fichier_lien) {
  return EcrireFormat(page,
                      "<td WIDTH=\"10%%\" BGCOLOR=\"#f0ffff\" HEIGHT=\"19\" "
                      "align=\"center\"><font size=\"3\">\n",
                      {}) &&
         EcrireFormat(page,
                      "<IMG SRC=\"../%s\" USEMAP=\"#%s%d\" ALT=\"Video\" "
                      "BORDER=0 HEIGHT=30 WIDTH=30><IMG SRC=\"../%s\" "
                      "USEMAP=\"#%s%d\" ALT=\"Sound\" BORDER=0 HEIGHT=30 "
                      "WIDTH=30>\n",
                      {Arg(nom_icone1), Arg(nom_map), Arg(numero_map),
                       Arg(nom_icone2), Arg(nom_map), Arg(numero_map)}) &&
         EcrireFormat(page, "<MAP NAME=\"%s%d\">\n",
                      {Arg(nom_map), Arg(numero_map)}) &&
         EcrireFormat(page,
                      "<AREA SHAPE=\"rect\" COORDS=\"0,0,30,30\", "
                      "HREF=\"%s%s\" ALT=\"%s\">\n</MAP>\n</td>\n",
                      {Arg(chemin_lien), Arg(nom_fichier_lien), Arg(nom_map)});
}

bool EcrireCelluleTiret(TextWriter* page) {
  return EcrireFormat(page,
                      "<td WIDTH=\"10%%\" BGCOLOR=\"#f0ffff\" HEIGHT=\"19\" "
                      "align=\"center\"><font size=\"3\"><strong><em><center>\n",
                      {}) &&
         EcrireFormat(page, "- </center>\n</em></strong></font>\n</td>\n", {});
}
