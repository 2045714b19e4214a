/* A stand-in for the platform's sin, cos, sincos and atan2 and their float
 * forms, loaded with LD_PRELOAD: each passes the C library's result through,
 * moved up by one unit in the last place on every other call of that function.
 * A program whose output does not change under it takes nothing from them. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdint.h>
#include <string.h>

static double upDouble(double r) {
  uint64_t b;
  memcpy(&b, &r, sizeof b);
  if ((b & 0x7ff0000000000000u) == 0x7ff0000000000000u) return r; /* NaN, infinity */
  if ((b << 1) == 0) b = (b & 0x8000000000000000u) | 1;           /* a zero: the least subnormal */
  else if (b >> 63) --b;                                          /* negative: toward zero */
  else ++b;
  memcpy(&r, &b, sizeof b);
  return r;
}

static float upFloat(float r) {
  uint32_t b;
  memcpy(&b, &r, sizeof b);
  if ((b & 0x7f800000u) == 0x7f800000u) return r;
  if ((b << 1) == 0) b = (b & 0x80000000u) | 1;
  else if (b >> 31) --b;
  else ++b;
  memcpy(&r, &b, sizeof b);
  return r;
}

static void* next(const char* name) { return dlsym(RTLD_NEXT, name); }

/* True on the second, fourth, ... call through this counter. */
static int shiftNow(unsigned* calls) { return (__atomic_add_fetch(calls, 1, __ATOMIC_RELAXED) & 1) == 0; }

#define UNARY(type, fn, up)                                      \
  type fn(type x) {                                              \
    static unsigned calls;                                       \
    type (*real)(type) = (type(*)(type))next(#fn);               \
    const type r = real(x);                                      \
    return shiftNow(&calls) ? up(r) : r;                         \
  }

#define BINARY(type, fn, up)                                     \
  type fn(type y, type x) {                                      \
    static unsigned calls;                                       \
    type (*real)(type, type) = (type(*)(type, type))next(#fn);   \
    const type r = real(y, x);                                   \
    return shiftNow(&calls) ? up(r) : r;                         \
  }

#define SINCOS(type, fn, up)                                     \
  void fn(type x, type* s, type* c) {                            \
    static unsigned calls;                                       \
    void (*real)(type, type*, type*) = (void (*)(type, type*, type*))next(#fn); \
    real(x, s, c);                                               \
    if (shiftNow(&calls)) {                                      \
      *s = up(*s);                                               \
      *c = up(*c);                                               \
    }                                                            \
  }

UNARY(double, sin, upDouble)
UNARY(double, cos, upDouble)
BINARY(double, atan2, upDouble)
SINCOS(double, sincos, upDouble)
UNARY(float, sinf, upFloat)
UNARY(float, cosf, upFloat)
BINARY(float, atan2f, upFloat)
SINCOS(float, sincosf, upFloat)
