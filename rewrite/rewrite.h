// The table rewrite: the page's text copied from a reader to a writer, with
// a new cell after the chosen number of closed cells of each row. The reader
// holds the page's text, from a file or from bytes in memory.
#ifndef BRANTIX_REWRITE_REWRITE_H_
#define BRANTIX_REWRITE_REWRITE_H_

#include <cstddef>
#include <cstdint>

#include "parameters/param_colonne.h"
#include "rewrite/markers.h"
#include "text/text_file.h"

/// The state of one rewrite.
struct EtatReecriture {
  bool EnteteFaite = false;         ///< The heading cell has been written.
  std::int32_t CompteCellules = 0;  ///< Cells closed so far in this row.
  bool SonVu = false;               ///< "son.gif" seen in this row's scan.
  std::int32_t NumeroMap = 0;       ///< Image-map cells written so far.
  FixedText<511> CheminLien;        ///< Link path; empty until one is seen.
};

/// How an image-map cell's link path is taken from the piece that holds
/// "..///".
enum class LinkRule {
  /// At most the page name's length + 23 bytes from the first "..///", or
  /// the rest of the piece, its line end included.
  kNameLength,
  /// The folder part of the path that starts at the first "..///": up to
  /// and including its last '/'. The path ends at the first '"', '\'', '<',
  /// '>', space, tab, CR or LF after "..///", or at the end of the piece;
  /// one that runs to the end of a full piece (kPieceMax bytes, no line end)
  /// may go on in the next piece, and is taken whole. --link-folder.
  kFolder,
};

/// Copies every piece of |source|, from its current position to its end, to
/// |page| and inserts the new cells. |name_length| is the length of the
/// page name as typed (TypedLength() in run/), which bounds the link path
/// under LinkRule::kNameLength; |marker_rule| says how the markers are
/// read. Stops at the first read or write error. Does not finish |page|.
TextEnd RewriteTable(TextReader* source, TextWriter* page,
                     const ParamColonne& param, std::size_t name_length,
                     EtatReecriture* state,
                     LinkRule link_rule = LinkRule::kNameLength,
                     MarkerRule marker_rule = MarkerRule::kExact);

#endif  // BRANTIX_REWRITE_REWRITE_H_
