#pragma once
// The built-in mechanism written as a mechanism file (the FACSIMILE-style
// text io/mechanism_file.hpp reads), so that a chemist can start from it:
// edit a rate, add a reaction, run it at run time.
//
// Every rate coefficient is written as an expression with the operations of
// its rate law in the law's order, so that the expression, compiled and
// evaluated, gives the compiled coefficient. The two fixed species of the
// built-in mechanism, M and H2O, are not species of the file: where a
// reaction has one as a reactant factor, its concentration multiplies the
// expression (`...*M`), as the MCM writes third bodies. Photolysis
// reactions are driven by J<n>, the MCM channel of the built-in slot
// (chemistry/builtin_photolysis.hpp); a slot with no MCM counterpart is
// J<100 + slot>, above the MCM's numbering.
#include <string>

namespace box {

// The file's text.
std::string builtin_mechanism_file();

// The photolysis channel number J<n> of a built-in slot that has no MCM
// counterpart.
inline constexpr int builtin_channel_offset = 100;

}  // namespace box
