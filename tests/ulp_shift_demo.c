/* Calls the C library's sin, cos, atan2 and sincos (and the float forms) twice
 * each on the argument given and prints both results: the same twice as a
 * rule, different under the ulp-shifting stand-in. */
#define _GNU_SOURCE
#include <math.h>
#include <stdio.h>
#include <stdlib.h>

int main(int argc, char** argv) {
  volatile double x = argc > 1 ? atof(argv[1]) : 0.5;
  for (int i = 0; i < 2; ++i) {
    double s, c;
    float sf, cf;
    sincos(x, &s, &c);
    sincosf((float)x, &sf, &cf);
    printf("%a %a %a %a %a %a %a %a %a %a\n", sin(x), cos(x), atan2(x, 3.0), s, c, (double)sinf((float)x),
           (double)cosf((float)x), (double)atan2f((float)x, 3.0f), (double)sf, (double)cf);
  }
  return 0;
}
