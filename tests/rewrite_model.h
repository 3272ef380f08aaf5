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
#include <vector>

/// The column's six answers, as plain strings.
struct ModelAnswers {
  std::int32_t column = 0;  ///< NumeroColonne.
  std::string heading;      ///< TexteEntete.
  std::string icon1;        ///< NomIcone1.
  std::string icon2;        ///< NomIcone2.
  std::string map;          ///< NomMap.
  std::string link_file;    ///< NomFichierLien.
};

/// A cell the model inserts: the line holding the page's last byte before
/// it (lines counted by LF, from 1), and what it is: "entete", "tiret", or
/// "carte NAME -> HREF" with the link as written.
struct ModelCell {
  long line = 0;
  std::string what;
};

/// The page that rewriting |backup| (the bytes of the file) must give, as
/// the file must hold it: every piece once, in order, each LF as CR LF, and
/// the new cells in between. |name_length| bounds the link path;
/// |first_map| is NumeroMap when the rewrite starts. When |cells| is not
/// nullptr, it gets the cells inserted, in order. With |link_folder| the
/// link path is the folder part of the "..///" path (--link-folder). With
/// |html| the markers are read as a browser reads them (--html): "<tr" in
/// any case then '>' or white space, "</td>" or "</th>" and "son.gif" in
/// any case.
std::string ModelRewrite(const std::string& backup, const ModelAnswers& answers,
                         std::size_t name_length, std::int32_t first_map = 0,
                         std::vector<ModelCell>* cells = nullptr,
                         bool link_folder = false, bool html = false);

/// Where |got| and |want| first differ, with the bytes around it escaped,
/// for a failure message; empty when they are equal.
std::string FirstDifference(const std::string& got, const std::string& want);

#endif  // BRANTIX_TESTS_REWRITE_MODEL_H_
