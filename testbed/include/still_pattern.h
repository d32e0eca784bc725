/*
 * The bench camera's still test pattern, shared by the driver (which draws it)
 * and by tests (which check decoded pictures against it).
 *
 * Eight vertical colour bars, each width/8 pixels wide: white, yellow, cyan,
 * green, magenta, red, blue, black from left to right in the upper half of the
 * picture, and in the reverse order in the lower half, so that a picture shown
 * upside down or mirrored is told apart from a correct one.  The YUV formats
 * carry the usual studio-range values of these colours.
 */
#ifndef Z9_STILL_PATTERN_H
#define Z9_STILL_PATTERN_H

#include <stdint.h>

typedef struct Z9B_BAR_COLOUR {
  uint8_t r, g, b;
  uint8_t y, u, v;
} Z9B_BAR_COLOUR;

static const Z9B_BAR_COLOUR kZ9bBars[8] = {
    {255, 255, 255, 235, 128, 128}, /* white */
    {255, 255, 0, 210, 16, 146},    /* yellow */
    {0, 255, 255, 170, 166, 16},    /* cyan */
    {0, 255, 0, 145, 54, 34},       /* green */
    {255, 0, 255, 106, 202, 222},   /* magenta */
    {255, 0, 0, 81, 90, 240},       /* red */
    {0, 0, 255, 41, 240, 110},      /* blue */
    {0, 0, 0, 16, 128, 128},        /* black */
};

/* Bar index of the picture point (x, y), counted from the top-left corner. */
static inline unsigned z9b_pattern_bar(unsigned x, unsigned y, unsigned width, unsigned height) {
  unsigned bar = (x * 8u) / width;
  if (bar > 7u) bar = 7u;
  return (y < height / 2u) ? bar : 7u - bar;
}

/* Payload bytes of a width x height still in one of the pattern formats; 0 for others. */
static inline uint32_t z9b_pattern_size(uint32_t format, uint32_t width, uint32_t height) {
  switch (format) {
    case 0u: return width * height * 3u;     /* RGB, bottom-up blue-green-red */
    case 4u: return width * height * 3u / 2u; /* I420 */
    case 5u:                                   /* YUY2 */
    case 7u: return width * height * 2u;     /* UYVY */
    default: return 0u;
  }
}

#endif /* Z9_STILL_PATTERN_H */
