// The picture filters, with the byte arithmetic scripts rely on for the look
// of the result. Each changes the picture in place; a picture with no pixels
// (width or height 0) is left alone. The table-driven and geometric filters
// keep 24-bit pictures at 24 bits; the others leave the picture at the bits
// their arithmetic works in (edge detection and blur 24, the rest 32).
// Qt-free.
#pragma once

#include <cstdint>

#include "runtime/host.h"

namespace sorane {

void FlipVertical(Bitmap& picture);    // 垂直反転
void FlipHorizontal(Bitmap& picture);  // 水平反転
void RotateRight(Bitmap& picture);     // 右回転: 90 degrees clockwise, sides exchanged
void Negative(Bitmap& picture);        // ネガポジ反転
void Grayscale(Bitmap& picture);       // グレイスケール変換
void Solarize(Bitmap& picture);        // ソラリゼーション
// 明るさ補正: adds `amount` to every byte, saturating; only for 1..255 and
// -255..-1 (other amounts change nothing).
void Brighten(Bitmap& picture, int amount);
// ガンマ補正: only for 0.75 <= g <= 3 and g != 2.2.
void GammaCorrect(Bitmap& picture, double g);
// 画像回転: by `degrees` (the angle is degrees * pi / 360 radians); the
// picture keeps its size, uncovered pixels are black.
void RotateBy(Bitmap& picture, int degrees);
void DetectEdges(Bitmap& picture);  // 画像エッジ検出
// 画像ボカシ: the box blur of radius trunc(strength / 10), in place in reading
// order; a radius <= 0 changes nothing.
void Blur(Bitmap& picture, double strength);
// 画像シャープ: `amount` 0..255 (the caller checks the range).
void Sharpen(Bitmap& picture, int amount);
// 画像セピア: toned with the colour value `tint`.
void Sepia(Bitmap& picture, uint32_t tint);

}  // namespace sorane
