// A plain model of the table rewrite, for the unit tests and the fuzz
// target: it walks the line pieces of a page as plain strings, follows the
// rules of where each new cell goes, and writes the cells from their text
// typed out by hand (tests/expected_cells.h). It shares no code with the
// program, so that the two can be compared on any page.
#ifndef BRANTIX_TESTS_REWRITE_MODEL_H_
#define BRANTIX_TESTS_REWRITE_MODEL_H_

#include <cstddef>
#include <cstdint>
#include <string>

/// The column's six answers, as plain strings.
struct ModelAnswers {
  std::int32_t column = 0;  ///< NumeroColonne.
  std::string heading;      ///< TexteEntete.
  std::string icon1;        ///< NomIcone1.
  std::string icon2;        ///< NomIcone2.
  std::string map;          ///< NomMap.
  std::string link_file;    ///< NomFichierLien.
};

/// The page that rewriting |backup| (the bytes of the file) must give, as
/// the file must hold it: every piece once, in order, each LF as CR LF, and
/// the new cells in between. |name_length| bounds the link path;
/// |first_map| is NumeroMap when the rewrite starts.
std::string ModelRewrite(const std::string& backup, const ModelAnswers& answers,
                         std::size_t name_length, std::int32_t first_map = 0);

/// Where |got| and |want| first differ, with the bytes around it escaped,
/// for a failure message; empty when they are equal.
std::string FirstDifference(const std::string& got, const std::string& want);

#endif  // BRANTIX_TESTS_REWRITE_MODEL_H_
