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

/* Draws the pattern as a width x height payload of `format` (codes as for
   z9b_pattern_size: 0 RGB bottom-up, 4 I420, 5 YUY2, 7 UYVY) into p, which
   holds z9b_pattern_size bytes; other formats draw nothing. */
static inline void z9b_pattern_draw(uint8_t* p, uint32_t format, uint32_t w, uint32_t h) {
  uint32_t x, y;
  switch (format) {
    case 0u: /* bottom-up rows of blue, green, red */
      for (y = 0; y < h; ++y) {
        uint8_t* row = p + (h - 1u - y) * w * 3u;
        for (x = 0; x < w; ++x) {
          const Z9B_BAR_COLOUR* c = &kZ9bBars[z9b_pattern_bar(x, y, w, h)];
          row[x * 3u] = c->b;
          row[x * 3u + 1u] = c->g;
          row[x * 3u + 2u] = c->r;
        }
      }
      break;
    case 5u:
    case 7u:
      for (y = 0; y < h; ++y) {
        uint8_t* row = p + y * w * 2u;
        for (x = 0; x < w; x += 2u) {
          const Z9B_BAR_COLOUR* c = &kZ9bBars[z9b_pattern_bar(x, y, w, h)];
          uint8_t* q = row + x * 2u;
          if (format == 5u) {
            q[0] = c->y; q[1] = c->u; q[2] = c->y; q[3] = c->v;
          } else {
            q[0] = c->u; q[1] = c->y; q[2] = c->v; q[3] = c->y;
          }
        }
      }
      break;
    case 4u: {
      uint8_t* u = p + w * h;
      uint8_t* v = u + (w / 2u) * (h / 2u);
      for (y = 0; y < h; ++y)
        for (x = 0; x < w; ++x) p[y * w + x] = kZ9bBars[z9b_pattern_bar(x, y, w, h)].y;
      for (y = 0; y < h / 2u; ++y)
        for (x = 0; x < w / 2u; ++x) {
          const Z9B_BAR_COLOUR* c = &kZ9bBars[z9b_pattern_bar(x * 2u, y * 2u, w, h)];
          u[y * (w / 2u) + x] = c->u;
          v[y * (w / 2u) + x] = c->v;
        }
      break;
    }
    default:
      break;
  }
}

#endif /* Z9_STILL_PATTERN_H */
