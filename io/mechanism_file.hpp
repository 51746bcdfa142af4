#pragma once
// The reader of mechanism files in the FACSIMILE-style text the MCM exports
// subsets in:
//
//   * a comment, running to the next ; (it may span lines) ;
//   VARIABLE O3 NO NO2 ... ;                       the species
//   KMT01 = K10*K1I*F1/(K10+K1I) ;                 a named rate coefficient
//   RO2 = CH3O2 + C2H5O2 ;                         the peroxy-radical sum
//   % 1.4D-12*EXP(-1310/TEMP) : NO + O3 = NO2 ;    a reaction
//
// Statements end with ; and may span lines, a line may hold several; blanks
// (spaces, tabs, line ends) may stand between any two tokens (`J <15>`,
// `EXP( -1000 / TEMP )`). Lines end with LF or CRLF, and are numbered as
// editors and grep number them: a lone CR in a file with line feeds is no
// line end; a file without any LF ends its lines with CR. A leading UTF-8
// byte-order mark is skipped. The whole file is read and checked before
// anything is returned; every fault is an InputError naming the file, the
// line and the column and what was expected.
#include <filesystem>
#include <string>
#include <string_view>

#include "mechanism/runtime_mechanism.hpp"

namespace box {

// Reads the mechanism file at `path`. Throws InputError.
Mechanism read_mechanism_file(const std::filesystem::path& path);

// Reads mechanism text; `name` stands for the file in messages.
Mechanism read_mechanism_text(std::string_view text, const std::string& name);

// The MCM v3.3.1 generic and complex rate coefficients in the file format;
// a name a file uses without defining it is taken from here.
std::string_view mcm_generic_coefficients();

}  // namespace box
