// Operations on whole pictures that the drawing commands share: changing the
// pixel format, the smooth resize of the scaling commands, the plain stretch,
// the blend of イメージ半透明コピー and the colour-depth reduction. Qt-free;
// every function leaves an empty picture as it is.
#pragma once

#include <cstdint>

#include "runtime/host.h"

namespace sorane {

// The largest picture the run-time makes or reads: 32767 pixels a side and
// 2^26 pixels in all (about 200 MB at 24 bits). Larger declared sizes are
// refused before anything is allocated.
constexpr int kMaxPictureSide = 32767;
constexpr int64_t kMaxPicturePixels = int64_t(1) << 26;
bool PictureSizeAllowed(int64_t width, int64_t height);

// The same pixels with 3 or 4 bytes each (the fourth byte of a new 32-bit
// picture is 0).
Bitmap WithBits(const Bitmap& picture, int bits);
void SetBits(Bitmap& picture, int bits);

// Colour values (red + green*256 + blue*65536) of a pixel.
uint32_t PixelColor(const Bitmap& picture, int x, int y);
void PutPixelColor(Bitmap& picture, int x, int y, uint32_t color);

// The smooth resize: two passes (horizontal into a picture of the target width
// and the source height, then vertical), each enlarging by linear
// interpolation in 1/65536 steps and shrinking by area averaging in 1/256
// steps. The result is 24 bits; an empty source or a target side <= 0 gives
// an empty picture. A target larger than the run-time's largest picture too.
Bitmap SmoothResize(const Bitmap& source, int width, int height);

// The plain stretch (nearest pixel) of `source` to width x height, 24 bits.
Bitmap StretchNearest(const Bitmap& source, int width, int height);

// Copies `source` onto `dest` with its top-left corner at (x, y) (source
// copy, clipped to `dest`; `dest` keeps its format).
void DrawOnto(Bitmap& dest, const Bitmap& source, int x, int y);

// イメージ半透明コピー: `work` (32 bits) blended onto `dest` at (x, y) with
// opacity `a` of 256: every byte becomes (c * source + (256 - c) * dest) div
// 256 with c = min(a, 255). The copy is clipped to `dest` (a negative x or y
// skips the source's first columns or rows); a <= 0 does nothing. `dest` is
// made 32 bits.
void BlendOnto(Bitmap& dest, const Bitmap& work, int x, int y, int a);

// 画像ビット数変更: the colours a picture of `depth` bits per pixel can hold
// (1: black and white, 4: the sixteen standard colours, 8: a 6x6x6 colour
// cube, 16: five bits a channel); 24 and 32 keep every colour, and 32 makes
// the picture 32 bits, the others 24.
void ReduceDepth(Bitmap& picture, int depth);

}  // namespace sorane
