// boxmodel: gas-phase chemistry of one air parcel at one site. Without
// arguments it runs the model's own day, reading "inputn" and the site file
// from the working directory and writing "TS_species.txt" there and
// progress lines on standard output; `boxmodel run` runs a scenario.
#include "app/program.hpp"

int main(int argc, char** argv) { return box::main_program(argc, argv); }
