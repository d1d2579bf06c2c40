// Reading and writing picture files in memory: BMP and ICO by their
// documented layouts, PNG through libpng, JPEG through libjpeg, and the icons
// of Windows programs and libraries (PE resource directory). Every reader
// checks the sizes a file declares against the bytes it has and against the
// largest picture (bitmap_ops.h) before it allocates anything; a file it
// cannot read raises PictureError, whose what() is the CP932 reason shown
// after the command's message. Qt-free.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

#include "runtime/host.h"

namespace sorane {

class PictureError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

Bitmap DecodeBmp(std::string_view bytes);
// 24-bit pictures as 24-bit files, 32-bit ones as 32-bit files.
std::string EncodeBmp(const Bitmap& picture);

// The first image of an icon file, drawn over white (its mask or alpha).
Bitmap DecodeIco(std::string_view bytes);
// An icon file with one 32 x 32 image: the picture drawn at (0,0), the colour
// of the icon's bottom-left pixel transparent; the image is an 8-bit
// device-independent bitmap (height doubled in its header) and its 1-bit mask.
std::string EncodeIco(const Bitmap& picture);

Bitmap DecodePng(std::string_view bytes);
std::string EncodePng(const Bitmap& picture);

Bitmap DecodeJpeg(std::string_view bytes);
// `quality` 1..100 (clamped).
std::string EncodeJpeg(const Bitmap& picture, int quality);

// Icon number `index` (0-based) of an icon file (it has one: number 0) or of a
// Windows program or library; PictureError when there is none (ELF files and
// other formats have none).
Bitmap ExtractIcon(std::string_view bytes, int index);

}  // namespace sorane
