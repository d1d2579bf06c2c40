#include "library/drawing/filters.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "library/drawing/bitmap_ops.h"

namespace sorane {

// Replaces every colour byte v by t[v] (the fourth byte of 32 bits stays).
static void ApplyTable(Bitmap& picture, const uint8_t (&t)[256]) {
  const int bpp = picture.Bpp();
  for (int y = 0; y < picture.height; ++y) {
    uint8_t* p = picture.Row(y);
    if (bpp == 3) {
      for (size_t k = 0, n = picture.Stride(); k < n; ++k) p[k] = t[p[k]];
      continue;
    }
    for (int x = 0; x < picture.width; ++x, p += 4) {
      p[0] = t[p[0]];
      p[1] = t[p[1]];
      p[2] = t[p[2]];
    }
  }
}

void FlipVertical(Bitmap& picture) {
  if (picture.Empty()) return;
  const size_t n = picture.Stride();
  std::vector<uint8_t> row(n);
  for (int y = 0, z = picture.height - 1; y < z; ++y, --z) {
    std::memcpy(row.data(), picture.Row(y), n);
    std::memcpy(picture.Row(y), picture.Row(z), n);
    std::memcpy(picture.Row(z), row.data(), n);
  }
}

void FlipHorizontal(Bitmap& picture) {
  if (picture.Empty()) return;
  const int bpp = picture.Bpp();
  for (int y = 0; y < picture.height; ++y) {
    uint8_t* row = picture.Row(y);
    for (int a = 0, b = picture.width - 1; a < b; ++a, --b)
      std::swap_ranges(row + a * bpp, row + (a + 1) * bpp, row + b * bpp);
  }
}

// New row x holds old column x from the bottom up: in square tiles, each new
// row written from left to right, so the rows read and the rows written both
// stay in the cache.
template <int bpp>
static void Transpose(const Bitmap& p, Bitmap& out) {
  constexpr int kTile = 128;
  for (int y0 = 0; y0 < p.height; y0 += kTile)
    for (int x0 = 0; x0 < p.width; x0 += kTile) {
      const int y1 = std::min(p.height, y0 + kTile), x1 = std::min(p.width, x0 + kTile);
      for (int x = x0; x < x1; ++x) {
        uint8_t* d = out.Row(x) + size_t(p.height - y1) * bpp;
        for (int y = y1 - 1; y >= y0; --y, d += bpp) {
          const uint8_t* s = p.Row(y) + size_t(x) * bpp;
          d[0] = s[0];
          d[1] = s[1];
          d[2] = s[2];
          if constexpr (bpp == 4) d[3] = s[3];
        }
      }
    }
}

void RotateRight(Bitmap& picture) {
  if (picture.Empty()) return;
  Bitmap out(picture.height, picture.width, picture.bits);
  if (picture.bits == 32)
    Transpose<4>(picture, out);
  else
    Transpose<3>(picture, out);
  picture = std::move(out);
}

void Negative(Bitmap& picture) {
  uint8_t t[256];
  for (int v = 0; v < 256; ++v) t[v] = uint8_t(255 - v);
  ApplyTable(picture, t);
}

void Grayscale(Bitmap& picture) {
  // g for every weighted sum n = 30 red + 59 green + 11 blue (at most 25500):
  // n / 100 to the nearest integer, halves to even.
  static const std::vector<uint8_t> grey = [] {
    std::vector<uint8_t> t(25501);
    for (int n = 0; n <= 25500; ++n) {
      int g = n / 100, rest = n % 100;
      if (rest > 50 || (rest == 50 && (g & 1))) ++g;
      t[n] = uint8_t(std::min(g, 255));
    }
    return t;
  }();
  const int bpp = picture.Bpp();
  for (int y = 0; y < picture.height; ++y) {
    uint8_t* p = picture.Row(y);
    for (int x = 0; x < picture.width; ++x, p += bpp) {
      const uint8_t v = grey[30 * p[2] + 59 * p[1] + 11 * p[0]];
      p[0] = p[1] = p[2] = v;
    }
  }
}

void Solarize(Bitmap& picture) {
  uint8_t t[256];
  for (int v = 0; v < 256; ++v) t[v] = uint8_t(std::min(v, 255 - v));
  ApplyTable(picture, t);
}

void Brighten(Bitmap& picture, int amount) {
  if (amount == 0 || amount > 255 || amount < -255) return;
  uint8_t t[256];
  for (int v = 0; v < 256; ++v) t[v] = uint8_t(std::clamp(v + amount, 0, 255));
  ApplyTable(picture, t);
}

void GammaCorrect(Bitmap& picture, double g) {
  if (!(g >= 0.75 && g <= 3) || g == 2.2) return;
  uint8_t t[256];
  for (int v = 0; v < 256; ++v) {
    double r = std::nearbyint(255 * std::pow(v / 255.0, g / 2.2));
    t[v] = uint8_t(std::clamp(r, 0.0, 255.0));
  }
  ApplyTable(picture, t);
}

void RotateBy(Bitmap& picture, int degrees) {
  if (picture.Empty()) return;
  const double theta = degrees * M_PI / 360;
  const int64_t C = int64_t(std::nearbyint(std::cos(theta) * 1024));
  const int64_t S = int64_t(std::nearbyint(std::sin(theta) * 1024));
  SetBits(picture, 32);
  Bitmap out(picture.width, picture.height, 32);
  const int64_t cx = picture.width / 2, cy = picture.height / 2;
  for (int y = 0; y < picture.height; ++y) {
    const uint8_t* s = picture.Row(y);
    const int64_t dy = y - cy;
    // The products for x = 0, then one step of C (or S) per pixel.
    int64_t nx = -cx * C - dy * S, ny = -cx * S + dy * C;
    for (int x = 0; x < picture.width; ++x, s += 4, nx += C, ny += S) {
      const int X = int16_t(cx + (nx >> 10));
      const int Y = int16_t(cy + (ny >> 10));
      if (unsigned(X) >= unsigned(picture.width) || unsigned(Y) >= unsigned(picture.height))
        continue;
      std::memcpy(out.Row(Y) + size_t(X) * 4, s, 3);
    }
  }
  picture = std::move(out);
}

void DetectEdges(Bitmap& picture) {
  if (picture.Empty()) return;
  SetBits(picture, 24);
  Bitmap out(picture.width, picture.height, 24);
  for (int y = 1; y <= picture.height - 3; ++y) {
    const uint8_t* up = picture.Row(y - 1);
    const uint8_t* mid = picture.Row(y);
    const uint8_t* down = picture.Row(y + 1);
    uint8_t* d = out.Row(y);
    for (int x = 1; x <= picture.width - 3; ++x) {
      for (int k = 0; k < 3; ++k) {
        const int l = (x - 1) * 3 + k, c = x * 3 + k, r = (x + 1) * 3 + k;
        int sum = up[l] + up[c] + up[r] + mid[l] + mid[c] + mid[r] + down[l] + down[c] + down[r];
        d[l] = uint8_t(std::clamp(sum - 9 * down[l], 0, 255));
      }
    }
  }
  picture = std::move(out);
}

// Every pixel in reading order becomes the mean of the window around it as the
// picture is at that moment (pixels before it already blurred). The sums of
// the window are kept up to date instead of recounted: per column, the sum of
// the rows in the window; per row, the sum of those over the columns in the
// window, both corrected as each pixel changes. The result is the same as
// adding up the window for every pixel.
void Blur(Bitmap& picture, double strength) {
  if (picture.Empty()) return;
  int64_t r = int64_t(std::trunc(strength / 10));
  if (r <= 0) return;
  r = std::min<int64_t>(r, std::max(picture.width, picture.height));
  SetBits(picture, 24);
  const int w = picture.width, h = picture.height;
  std::vector<int64_t> column(size_t(w) * 3, 0);
  auto add_row = [&](int64_t y, int sign) {
    if (y < 0 || y >= h) return;
    const uint8_t* p = picture.Row(int(y));
    for (size_t k = 0, n = size_t(w) * 3; k < n; ++k) column[k] += sign * p[k];
  };
  for (int64_t y = 0; y <= std::min<int64_t>(h - 1, r); ++y) add_row(y, 1);
  for (int y = 0; y < h; ++y) {
    if (y > 0) {
      add_row(y - r - 1, -1);
      add_row(y + r, 1);
    }
    const int64_t rows = std::min<int64_t>(h - 1, y + r) - std::max<int64_t>(0, y - r) + 1;
    int64_t win[3] = {0, 0, 0};
    for (int64_t c = 0; c <= std::min<int64_t>(w - 1, r); ++c)
      for (int k = 0; k < 3; ++k) win[k] += column[c * 3 + k];
    uint8_t* p = picture.Row(y);
    for (int x = 0; x < w; ++x, p += 3) {
      if (x > 0) {
        if (x + r < w)
          for (int k = 0; k < 3; ++k) win[k] += column[(x + r) * 3 + k];
        if (x - r - 1 >= 0)
          for (int k = 0; k < 3; ++k) win[k] -= column[(x - r - 1) * 3 + k];
      }
      const int64_t count =
          rows * (std::min<int64_t>(w - 1, x + r) - std::max<int64_t>(0, x - r) + 1);
      for (int k = 0; k < 3; ++k) {
        const int64_t v = win[k] / count;
        const int64_t change = v - p[k];
        p[k] = uint8_t(v);
        column[size_t(x) * 3 + k] += change;
        win[k] += change;
      }
    }
  }
}

// In place in reading order, so sharpened neighbours above and to the left
// count: per column the sum of the three rows as they are now, corrected as
// each pixel changes.
void Sharpen(Bitmap& picture, int amount) {
  if (picture.Empty()) return;
  SetBits(picture, 32);
  const int w = picture.width, h = picture.height, s = amount;
  std::vector<int> column(size_t(w) * 4);
  for (int y = 1; y <= h - 2; ++y) {
    const uint8_t* up = picture.Row(y - 1);
    uint8_t* mid = picture.Row(y);
    const uint8_t* down = picture.Row(y + 1);
    for (size_t k = 0, n = size_t(w) * 4; k < n; ++k) column[k] = up[k] + mid[k] + down[k];
    for (int x = 1; x <= w - 2; ++x) {
      uint8_t* p = mid + x * 4;
      for (int k = 0; k < 3; ++k) {
        const int i = x * 4 + k;
        const int sum = column[i - 4] + column[i] + column[i + 4];
        const int v = p[k];
        const int e = std::clamp((11 * v - sum) / 2, 0, 255);
        const int n = e * s / 256 + v * (255 - s) / 256;
        p[k] = uint8_t(n);
        column[i] += n - v;
      }
    }
  }
}

void Sepia(Bitmap& picture, uint32_t tint) {
  if (picture.Empty()) return;
  SetBits(picture, 24);
  uint8_t t[3][256];  // blue, green, red
  const int comp[3] = {int((tint >> 16) & 0xFF), int((tint >> 8) & 0xFF), int(tint & 0xFF)};
  for (int c = 0; c < 3; ++c) {
    const int k = comp[c];
    for (int i = 0; i < 128; ++i) {
      t[c][i] = uint8_t((i * k) >> 7);
      t[c][128 + i] = uint8_t(((i * 255) >> 7) + (127 - i) * k / 128);
    }
  }
  for (int y = 0; y < picture.height; ++y) {
    uint8_t* p = picture.Row(y);
    for (int x = 0; x < picture.width; ++x, p += 3) {
      const int gray = (p[0] + p[1] + p[2]) / 3;
      p[0] = t[0][gray];
      p[1] = t[1][gray];
      p[2] = t[2][gray];
    }
  }
}

}  // namespace sorane
