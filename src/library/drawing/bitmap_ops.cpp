#include "library/drawing/bitmap_ops.h"

#include <algorithm>
#include <cstring>

namespace sorane {

bool PictureSizeAllowed(int64_t width, int64_t height) {
  return width >= 0 && height >= 0 && width <= kMaxPictureSide && height <= kMaxPictureSide &&
         width * height <= kMaxPicturePixels;
}

Bitmap WithBits(const Bitmap& picture, int bits) {
  if (picture.bits == bits) return picture;
  Bitmap out(picture.width, picture.height, bits);
  const int from = picture.Bpp(), to = out.Bpp();
  for (int y = 0; y < picture.height; ++y) {
    const uint8_t* s = picture.Row(y);
    uint8_t* d = out.Row(y);
    for (int x = 0; x < picture.width; ++x, s += from, d += to) {
      d[0] = s[0];
      d[1] = s[1];
      d[2] = s[2];
    }
  }
  return out;
}

void SetBits(Bitmap& picture, int bits) {
  if (picture.bits != bits) picture = WithBits(picture, bits);
}

uint32_t PixelColor(const Bitmap& picture, int x, int y) {
  const uint8_t* p = picture.Row(y) + size_t(x) * picture.Bpp();
  return p[2] | (p[1] << 8) | (uint32_t(p[0]) << 16);
}

void PutPixelColor(Bitmap& picture, int x, int y, uint32_t color) {
  uint8_t* p = picture.Row(y) + size_t(x) * picture.Bpp();
  p[0] = (color >> 16) & 0xFF;
  p[1] = (color >> 8) & 0xFF;
  p[2] = color & 0xFF;
}

// ---- The smooth resize ----

namespace {

// How one pass computes each target index from the source line.
struct Pass {
  bool enlarge = false;
  // Enlarging: the two source indexes and the fraction (of 65536) of the second.
  std::vector<int> first, second, fraction;
  // Shrinking: the covered span [start, end) in 1/256 source pixels, and
  // the source pixels it covers with their weights (first[i] the first one,
  // weights[offset[i] .. offset[i + 1]) theirs).
  std::vector<int64_t> start, end;
  std::vector<uint32_t> weights;
  std::vector<size_t> offset;
};

Pass PlanPass(int source, int target) {
  Pass plan;
  plan.enlarge = target > source;
  if (plan.enlarge) {
    plan.first.resize(target);
    plan.second.resize(target);
    plan.fraction.resize(target);
    for (int i = 0; i < target; ++i) {
      int64_t p = target > 1 ? int64_t(i) * (source - 1) * 65536 / (target - 1) : 0;
      int whole = int(p >> 16);
      plan.first[i] = whole;
      // The pixel after the last one is never read: its weight is 0 there.
      plan.second[i] = std::min(whole + 1, source - 1);
      plan.fraction[i] = int(p & 0xFFFF);
    }
  } else {
    plan.start.resize(target);
    plan.end.resize(target);
    plan.first.resize(target);
    plan.offset.resize(target + 1);
    for (int i = 0; i < target; ++i) {
      const int64_t start = int64_t(i) * source * 256 / target;
      const int64_t end = int64_t(i + 1) * source * 256 / target;
      plan.start[i] = start;
      plan.end[i] = end;
      plan.first[i] = int(start >> 8);
      plan.offset[i] = plan.weights.size();
      for (int64_t k = start >> 8; k * 256 < end; ++k)
        plan.weights.push_back(uint32_t(std::min(end, (k + 1) * 256) - std::max(start, k * 256)));
    }
    plan.offset[target] = plan.weights.size();
  }
  return plan;
}

// sum div span without a division per channel: the reciprocal's estimate,
// corrected by one step either way (exact for sums below 2^32).
struct Divider {
  explicit Divider(uint32_t span) : span(span), inverse(1.0 / span) {}
  uint8_t operator()(uint32_t sum) const {
    uint32_t q = uint32_t(sum * inverse);
    if (q * uint64_t(span) > sum)
      --q;
    else if ((q + 1) * uint64_t(span) <= sum)
      ++q;
    return uint8_t(q);
  }
  uint32_t span;
  double inverse;
};

inline uint8_t Mix(int a, int b, int f) {
  return uint8_t(a + (b - a) * f / 65536);
}

// Horizontal pass: every row of `source` (24 bits) to `width` pixels.
Bitmap ResizeRows(const Bitmap& source, int width) {
  Bitmap out(width, source.height);
  Pass plan = PlanPass(source.width, width);
  for (int y = 0; y < source.height; ++y) {
    const uint8_t* s = source.Row(y);
    uint8_t* d = out.Row(y);
    if (plan.enlarge) {
      for (int i = 0; i < width; ++i, d += 3) {
        const uint8_t* a = s + plan.first[i] * 3;
        const uint8_t* b = s + plan.second[i] * 3;
        int f = plan.fraction[i];
        d[0] = Mix(a[0], b[0], f);
        d[1] = Mix(a[1], b[1], f);
        d[2] = Mix(a[2], b[2], f);
      }
    } else {
      for (int i = 0; i < width; ++i, d += 3) {
        uint32_t sum[3] = {0, 0, 0};
        const uint8_t* p = s + size_t(plan.first[i]) * 3;
        for (size_t j = plan.offset[i]; j < plan.offset[i + 1]; ++j, p += 3) {
          const uint32_t w = plan.weights[j];
          sum[0] += p[0] * w;
          sum[1] += p[1] * w;
          sum[2] += p[2] * w;
        }
        const Divider div(uint32_t(plan.end[i] - plan.start[i]));
        d[0] = div(sum[0]);
        d[1] = div(sum[1]);
        d[2] = div(sum[2]);
      }
    }
  }
  return out;
}

// Vertical pass: `source` (24 bits) to `height` rows, a whole row at a time.
Bitmap ResizeColumns(Bitmap source, int height) {
  if (height == source.height) return source;
  Bitmap out(source.width, height);
  Pass plan = PlanPass(source.height, height);
  const size_t n = source.Stride();
  std::vector<uint32_t> sum(plan.enlarge ? 0 : n);
  for (int i = 0; i < height; ++i) {
    uint8_t* d = out.Row(i);
    if (plan.enlarge) {
      const uint8_t* a = source.Row(plan.first[i]);
      const uint8_t* b = source.Row(plan.second[i]);
      int f = plan.fraction[i];
      if (f == 0) {
        std::memcpy(d, a, n);
        continue;
      }
      for (size_t k = 0; k < n; ++k) d[k] = Mix(a[k], b[k], f);
    } else {
      std::fill(sum.begin(), sum.end(), 0);
      int r = plan.first[i];
      for (size_t j = plan.offset[i]; j < plan.offset[i + 1]; ++j, ++r) {
        const uint32_t w = plan.weights[j];
        const uint8_t* s = source.Row(r);
        for (size_t k = 0; k < n; ++k) sum[k] += s[k] * w;
      }
      const Divider div(uint32_t(plan.end[i] - plan.start[i]));
      for (size_t k = 0; k < n; ++k) d[k] = div(sum[k]);
    }
  }
  return out;
}

}  // namespace

Bitmap SmoothResize(const Bitmap& source, int width, int height) {
  if (source.Empty() || width <= 0 || height <= 0 || !PictureSizeAllowed(width, height) ||
      !PictureSizeAllowed(width, source.height))
    return {};
  if (source.bits != 24) return SmoothResize(WithBits(source, 24), width, height);
  if (width == source.width) {
    if (height == source.height) return source;
    return ResizeColumns(source, height);
  }
  return ResizeColumns(ResizeRows(source, width), height);
}

Bitmap StretchNearest(const Bitmap& source, int width, int height) {
  if (source.Empty() || width <= 0 || height <= 0 || !PictureSizeAllowed(width, height)) return {};
  Bitmap out(width, height);
  const int bpp = source.Bpp();
  std::vector<int> column(width);
  for (int x = 0; x < width; ++x) column[x] = int(int64_t(x) * source.width / width) * bpp;
  for (int y = 0; y < height; ++y) {
    const uint8_t* s = source.Row(int(int64_t(y) * source.height / height));
    uint8_t* d = out.Row(y);
    for (int x = 0; x < width; ++x, d += 3) std::memcpy(d, s + column[x], 3);
  }
  return out;
}

void DrawOnto(Bitmap& dest, const Bitmap& source, int x, int y) {
  int sx = std::max(0, -x), sy = std::max(0, -y);
  int dx = std::max(0, x), dy = std::max(0, y);
  int w = std::min(source.width - sx, dest.width - dx);
  int h = std::min(source.height - sy, dest.height - dy);
  if (w <= 0 || h <= 0) return;
  const int sb = source.Bpp(), db = dest.Bpp();
  for (int r = 0; r < h; ++r) {
    const uint8_t* s = source.Row(sy + r) + size_t(sx) * sb;
    uint8_t* d = dest.Row(dy + r) + size_t(dx) * db;
    if (sb == db) {
      std::memcpy(d, s, size_t(w) * sb);
      continue;
    }
    for (int c = 0; c < w; ++c, s += sb, d += db) std::memcpy(d, s, 3);
  }
}

void BlendOnto(Bitmap& dest, const Bitmap& work_in, int x, int y, int a) {
  if (a <= 0 || dest.Empty() || work_in.Empty()) return;
  const int c = std::min(a, 255);
  SetBits(dest, 32);
  const Bitmap& work = work_in.bits == 32 ? work_in : WithBits(work_in, 32);
  int sx = std::max(0, -x), sy = std::max(0, -y);
  int dx = std::max(0, x), dy = std::max(0, y);
  int w = std::min(work.width - sx, dest.width - dx);
  int h = std::min(work.height - sy, dest.height - dy);
  if (w <= 0 || h <= 0) return;
  for (int r = 0; r < h; ++r) {
    const uint8_t* s = work.Row(sy + r) + size_t(sx) * 4;
    uint8_t* d = dest.Row(dy + r) + size_t(dx) * 4;
    for (size_t k = 0, n = size_t(w) * 4; k < n; ++k)
      d[k] = uint8_t((c * s[k] + (256 - c) * d[k]) >> 8);
  }
}

// ---- Colour depth ----

static const uint8_t kSixteen[16][3] = {
    {0, 0, 0},     {128, 0, 0},     {0, 128, 0},     {128, 128, 0},  {0, 0, 128}, {128, 0, 128},
    {0, 128, 128}, {192, 192, 192}, {128, 128, 128}, {255, 0, 0},    {0, 255, 0}, {255, 255, 0},
    {0, 0, 255},   {255, 0, 255},   {0, 255, 255},   {255, 255, 255}};

static void Nearest16(uint8_t* p) {
  int best = 0, best_d = 1 << 30;
  for (int i = 0; i < 16; ++i) {
    int dr = p[2] - kSixteen[i][0], dg = p[1] - kSixteen[i][1], db = p[0] - kSixteen[i][2];
    int d = dr * dr + dg * dg + db * db;
    if (d < best_d) best_d = d, best = i;
  }
  p[2] = kSixteen[best][0];
  p[1] = kSixteen[best][1];
  p[0] = kSixteen[best][2];
}

void ReduceDepth(Bitmap& picture, int depth) {
  SetBits(picture, depth == 32 ? 32 : 24);
  if (depth >= 24) return;
  const int bpp = picture.Bpp();
  for (int y = 0; y < picture.height; ++y) {
    uint8_t* p = picture.Row(y);
    for (int x = 0; x < picture.width; ++x, p += bpp) {
      switch (depth) {
        case 1: {
          uint8_t v = p[0] + p[1] + p[2] >= 383 ? 255 : 0;
          p[0] = p[1] = p[2] = v;
          break;
        }
        case 4:
          Nearest16(p);
          break;
        case 8:
          for (int k = 0; k < 3; ++k) p[k] = uint8_t((p[k] + 25) / 51 * 51);
          break;
        default:  // 16
          for (int k = 0; k < 3; ++k) p[k] = uint8_t((p[k] & 0xF8) | (p[k] >> 5));
          break;
      }
    }
  }
}

}  // namespace sorane
