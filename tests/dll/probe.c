/* A small shared library for the tests of DLL calls: each function checks the
   arguments it is given or returns one value of a type, so a test sees what a
   declared word passed and how the result came back. */
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define EXPORT __attribute__((visibility("default")))

/* 0 when every argument is what the tests pass (-7, 65535, 4294967295, a true
   bool, the CP932 text "あabc", 2.5); else the number of the first that is not. */
EXPORT int probe_check(int i, unsigned short w, unsigned int d, int b, const char* p, double f) {
  if (i != -7) return 1;
  if (w != 65535) return 2;
  if (d != 4294967295u) return 3;
  if (b != -1) return 4;
  if (strcmp(p,
             "\x82\xa0"
             "abc") != 0)
    return 5;
  if (f != 2.5) return 6;
  return 0;
}

/* Two word parameters and an int after them, each arriving in its own place. */
EXPORT int probe_words(unsigned short a, unsigned short b, int c) {
  return a * 10000 + b * 100 + c;
}

EXPORT unsigned short probe_word_result(void) {
  return 65535;
}

/* Read as dword 4294967294, as int -2. */
EXPORT unsigned int probe_bits(void) {
  return 0xFFFFFFFEu;
}

EXPORT int probe_bool_back(int b) {
  return b;
}

/* A text, or the null pointer for a negative number. */
EXPORT const char* probe_text(int n) {
  return n < 0 ? NULL : "probe";
}

/* A value that needs more than 32 bits: untyped results are pointer-sized. */
EXPORT long probe_wide(void) {
  return 0x123456789L;
}

/* The texts joined with "|" (untyped: up to five texts). */
EXPORT const char* probe_join(const char* a, const char* b, const char* c, const char* d,
                              const char* e) {
  static char buffer[256];
  snprintf(buffer, sizeof buffer, "%s|%s|%s|%s|%s", a, b, c, d, e);
  return buffer;
}

/* Overwrites the text it is given and returns its length. */
EXPORT int probe_scribble(char* s) {
  size_t n = strlen(s);
  memset(s, 'X', n);
  return (int)n;
}

EXPORT void probe_nothing(int n) {
  (void)n;
}

/* Writes through a bad address. */
EXPORT void probe_crash(void) {
  volatile int* p = (volatile int*)(uintptr_t)16;
  *p = 1;
}

/* When the library is unloaded (or the process ends), one line goes to the
   file SORANE_PROBE_LOG names, so a test can count how often that happens. */
__attribute__((destructor)) static void probe_unloaded(void) {
  const char* log = getenv("SORANE_PROBE_LOG");
  if (!log) return;
  FILE* f = fopen(log, "a");
  if (!f) return;
  fputs("unloaded\n", f);
  fclose(f);
}
