/* A small DLL of our own for the native call tests: the shapes of call that the system's DLLs do not
   offer (float returns, three-argument fastcall, structure returns of odd sizes, a 16-byte structure
   by value, mixed narrow and double arguments). Built by the suite with the same compiler. */
#include <stdint.h>

#define EXPORT __declspec(dllexport)

EXPORT float __stdcall halfOf(float x) { return x / 2; }
EXPORT double __cdecl mixed(char c, short s, double d, unsigned char u) { return c + s * 10 + d + u * 1000; }
EXPORT int __fastcall fastThree(int a, int b, int c) { return a * 100 + b * 10 + c; }
EXPORT int64_t __fastcall fastWide(int a, int64_t wide, int b) { return wide * 1000 + a * 10 + b; }

struct Bytes3 { char a, b, c; };
struct Bytes6 { short a, b, c; };
struct Bytes8 { int a, b; };
struct Bytes12 { int a, b, c; };
struct Bytes16 { int a, b, c, d; };

EXPORT struct Bytes3 __cdecl make3(char base) { struct Bytes3 r = {base, (char)(base + 1), (char)(base + 2)}; return r; }
EXPORT struct Bytes6 __stdcall make6(short base) { struct Bytes6 r = {base, (short)(base * 2), (short)(base * 3)}; return r; }
EXPORT struct Bytes8 __stdcall make8(int a, int b) { struct Bytes8 r = {a, b}; return r; }
EXPORT struct Bytes12 __cdecl make12(int base) { struct Bytes12 r = {base, base + 1, base + 2}; return r; }
EXPORT int __stdcall sum16(struct Bytes16 s, int extra) { return s.a + s.b * 10 + s.c * 100 + s.d * 1000 + extra; }
EXPORT double __stdcall sixArguments(int a, double b, float c, int64_t d, struct Bytes16* e, short f) {
  return a + b + c + (double)d + e->a + f;
}
