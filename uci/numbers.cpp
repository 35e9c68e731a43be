#include "uci/numbers.h"

#include <cctype>
#include <climits>

int64_t parseInt64(const char *text) {
  if (!text) return 0;
  const char *p = text;
  while (*p == ' ' || *p == '\t') p++;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  const uint64_t limit = negative ? (uint64_t)INT64_MAX + 1 : (uint64_t)INT64_MAX;
  uint64_t magnitude = 0;
  for (; *p >= '0' && *p <= '9'; p++) {
    uint64_t digit = (uint64_t)(*p - '0');
    if (magnitude > (limit - digit) / 10) {
      magnitude = limit;
      break;
    }
    magnitude = magnitude * 10 + digit;
  }
  if (negative) return magnitude == (uint64_t)INT64_MAX + 1 ? INT64_MIN : -(int64_t)magnitude;
  return (int64_t)magnitude;
}

int32_t parseInt(const char *text) {
  int64_t v = parseInt64(text);
  if (v > INT32_MAX) return INT32_MAX;
  if (v < INT32_MIN) return INT32_MIN;
  return (int32_t)v;
}

bool equalsIgnoreCase(const char *a, const char *b) {
  if (!a || !b) return false;
  for (; *a && *b; a++, b++)
    if (tolower((unsigned char)*a) != tolower((unsigned char)*b)) return false;
  return *a == 0 && *b == 0;
}

bool isOn(const char *text) { return equalsIgnoreCase(text, "true"); }
