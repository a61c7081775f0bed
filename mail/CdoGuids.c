/* CDO's class and interface identifiers, which no MinGW-w64 import library
   carries. */
#include <cdosys_i.c>
