// A plain model of text files, for the tests and the fuzz targets: what
// reading delivers, how it is cut into line pieces, and what writing gives.
// Written over whole strings, without the reader's or writer's code.
#ifndef BRANTIX_TESTS_TEXT_MODEL_H_
#define BRANTIX_TESTS_TEXT_MODEL_H_

#include <algorithm>
#include <cstddef>
#include <string>
#include <vector>

/// Each LF that does not follow a CR made CR LF: what writing a text file
/// does to text that has been read as one.
inline std::string LoneLfToCrLf(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out += '\r';
    out += text[i];
  }
  return out;
}

/// Every LF made CR LF, even after a CR: what a text file holds for |text|
/// written with LF line ends.
inline std::string EveryLfToCrLf(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

/// Each CR LF made LF: the text that reading delivers for |raw|.
inline std::string CrLfToLf(const std::string& raw) {
  std::string out;
  for (std::size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n') continue;
    out += raw[i];
  }
  return out;
}

/// The line pieces of a text as reading delivers it (see CrLfToLf): up to
/// and including the next LF, or 511 bytes, or to the end.
inline std::vector<std::string> PiecesOf(const std::string& text) {
  std::vector<std::string> pieces;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t lf = text.find('\n', at);
    std::size_t end = lf == std::string::npos ? text.size() : lf + 1;
    end = std::min(end, at + 511);
    pieces.push_back(text.substr(at, end - at));
    at = end;
  }
  return pieces;
}

#endif  // BRANTIX_TESTS_TEXT_MODEL_H_
