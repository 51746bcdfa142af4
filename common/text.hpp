#pragma once
// Small pieces of reading text as it comes from other programs.
#include <algorithm>
#include <cctype>
#include <istream>
#include <string_view>

namespace box {

// Names as scenarios and mechanism files match them: the same letters
// without regard to case (ASCII), `o3` for `O3`.
inline bool same_name(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
         });
}

// The UTF-8 byte-order mark that spreadsheet programs put at the start of
// "CSV UTF-8" files (and some editors at the start of any file). It is no
// part of the first name or value.
inline constexpr std::string_view utf8_bom = "\xEF\xBB\xBF";

// `text` without a leading byte-order mark.
inline std::string_view strip_bom(std::string_view text) {
  if (text.starts_with(utf8_bom)) text.remove_prefix(utf8_bom.size());
  return text;
}

// Skips a byte-order mark at the current position of `in` (its start),
// leaving the stream where it was when there is none.
inline void skip_bom(std::istream& in) {
  for (std::size_t k = 0; k < utf8_bom.size(); ++k) {
    if (in.peek() != static_cast<unsigned char>(utf8_bom[k])) {
      // A partial mark is text of the file: put back what was taken.
      for (std::size_t j = k; j > 0; --j) in.unget();
      in.clear(in.rdstate() & ~std::ios::eofbit);
      return;
    }
    in.get();
  }
}

}  // namespace box
