// boxmodel: one day of gas-phase chemistry at one site. Takes no arguments;
// reads "inputn" and the site file from the working directory and writes
// "TS_species.txt" there and progress lines on standard output.
#include "driver/program.hpp"

int main() { return box::run_program("."); }
