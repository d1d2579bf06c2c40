#include "library/drawing/picture_codec.h"

#include <jpeglib.h>
#include <png.h>

#include <algorithm>
#include <array>
#include <csetjmp>
#include <cstring>
#include <map>
#include <memory>

#include "library/drawing/bitmap_ops.h"
#include "platform/lazy_library.h"
#include "text/encoding.h"

namespace sorane {

[[noreturn]] static void Fail(const char* utf8_reason) {
  throw PictureError(Utf8ToSjis(utf8_reason));
}

static const char kTruncated[] = "ファイルが途中で切れています。";
static const char kTooLarge[] = "画像が大きすぎます。";

// Little-endian fields of a byte range whose bounds the caller has checked.
static uint16_t U16(const uint8_t* p) {
  return uint16_t(p[0] | (p[1] << 8));
}
static uint32_t U32(const uint8_t* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
static void Put16(std::string& out, uint16_t v) {
  out += char(v & 0xFF);
  out += char(v >> 8);
}
static void Put32(std::string& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out += char((v >> (8 * i)) & 0xFF);
}

static const uint8_t* Bytes(std::string_view s) {
  return reinterpret_cast<const uint8_t*>(s.data());
}

// ---- Device-independent bitmaps (BMP files and the images of icons) ----

// One channel of a bit-field pixel scaled to 0..255.
static uint8_t MaskChannel(uint32_t value, uint32_t mask) {
  if (!mask) return 0;
  int shift = 0;
  while (!((mask >> shift) & 1)) ++shift;
  uint32_t bits_mask = mask >> shift;
  uint32_t v = (value & mask) >> shift;
  return uint8_t(v * 255 / bits_mask);
}

// Composites a 32-bit pixel with alpha over white into 24 bits.
static void OverWhite(uint8_t* d, const uint8_t* bgr, int alpha) {
  for (int k = 0; k < 3; ++k) d[k] = uint8_t((bgr[k] * alpha + 255 * (255 - alpha)) / 255);
}

// `dib` starts at the info header; `pixels` holds the pixel rows (for an icon
// image: followed by the mask). An icon's header gives twice the height.
static Bitmap DecodeDib(std::string_view dib, std::string_view pixels, bool icon) {
  if (dib.size() < 12) Fail(kTruncated);
  const uint8_t* h = Bytes(dib);
  const uint32_t header = U32(h);
  int64_t width, height;
  int bits;
  uint32_t compression = 0, colours_used = 0;
  uint32_t masks[4] = {0, 0, 0, 0};
  size_t palette_at, entry = 4;
  if (header == 12) {
    width = U16(h + 4);
    height = int16_t(U16(h + 6));
    bits = U16(h + 10);
    palette_at = 12;
    entry = 3;
  } else {
    if (header < 40 || dib.size() < 40) Fail(kTruncated);
    width = int32_t(U32(h + 4));
    height = int32_t(U32(h + 8));
    bits = U16(h + 14);
    compression = U32(h + 16);
    colours_used = U32(h + 36);
    palette_at = header;
    if (compression == 3 || compression == 6) {
      size_t n = compression == 3 ? 3 : 4;
      if (header == 40) {
        if (dib.size() < 40 + 4 * n) Fail(kTruncated);
        for (size_t i = 0; i < n; ++i) masks[i] = U32(h + 40 + 4 * i);
        palette_at += 4 * n;
      } else {
        if (dib.size() < 56) Fail(kTruncated);
        for (size_t i = 0; i < 4; ++i) masks[i] = U32(h + 40 + 4 * i);
      }
    }
  }
  if (compression != 0 && compression != 3 && compression != 6)
    Fail("この圧縮形式には対応していません。");
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
    Fail("この色数には対応していません。");
  if (compression != 0 && bits != 16 && bits != 32) Fail("ファイルの形式に誤りがあります。");
  if (compression == 0 && bits == 16) masks[0] = 0x7C00, masks[1] = 0x03E0, masks[2] = 0x001F;
  if (compression == 0 && bits == 32) masks[0] = 0xFF0000, masks[1] = 0xFF00, masks[2] = 0xFF;
  if (icon) height /= 2;
  const bool top_down = height < 0;
  if (top_down) height = -height;
  if (width <= 0 || height <= 0) Fail("画像の大きさが0です。");
  if (!PictureSizeAllowed(width, height)) Fail(kTooLarge);

  const size_t row_bytes = size_t((width * bits + 31) / 32) * 4;
  if (row_bytes * size_t(height) > pixels.size()) Fail(kTruncated);
  const size_t mask_row = size_t((width + 31) / 32) * 4;
  const bool has_mask = icon && row_bytes * height + mask_row * height <= pixels.size();

  // The palette (red, green, blue kept in file order: blue first).
  std::vector<std::array<uint8_t, 3>> palette;
  if (bits <= 8) {
    size_t count = colours_used && colours_used < (1u << bits) ? colours_used : (1u << bits);
    size_t avail = palette_at <= dib.size() ? (dib.size() - palette_at) / entry : 0;
    count = std::min(count, avail);
    for (size_t i = 0; i < count; ++i) {
      const uint8_t* p = h + palette_at + i * entry;
      palette.push_back({p[0], p[1], p[2]});
    }
    palette.resize(size_t(1) << bits, {0, 0, 0});
  }

  const bool keep32 = bits == 32 && !icon;
  Bitmap out(int(width), int(height), keep32 ? 32 : 24);
  // Icons with 32 bits carry alpha; when every alpha byte is 0 the mask rules.
  bool alpha = false;
  if (icon && bits == 32)
    for (int64_t y = 0; y < height && !alpha; ++y)
      for (int64_t x = 0; x < width; ++x)
        if (Bytes(pixels)[y * row_bytes + x * 4 + 3]) {
          alpha = true;
          break;
        }

  const int bpp = out.Bpp();
  for (int64_t r = 0; r < height; ++r) {
    const uint8_t* s = Bytes(pixels) + r * row_bytes;
    const uint8_t* m = has_mask ? Bytes(pixels) + row_bytes * height + r * mask_row : nullptr;
    uint8_t* d = out.Row(int(top_down ? r : height - 1 - r));
    for (int64_t x = 0; x < width; ++x, d += bpp) {
      uint8_t px[4] = {0, 0, 0, 255};
      switch (bits) {
        case 1:
        case 4:
        case 8: {
          int per = 8 / bits;
          int byte = s[x / per];
          int shift = 8 - bits * (int(x % per) + 1);
          auto& c = palette[(byte >> shift) & ((1 << bits) - 1)];
          px[0] = c[0], px[1] = c[1], px[2] = c[2];
          break;
        }
        case 24:
          std::memcpy(px, s + x * 3, 3);
          break;
        case 16:
        case 32: {
          uint32_t v = bits == 16 ? U16(s + x * 2) : U32(s + x * 4);
          if (bits == 32 && compression == 0) {
            std::memcpy(px, s + x * 4, 4);
            break;
          }
          px[2] = MaskChannel(v, masks[0]);
          px[1] = MaskChannel(v, masks[1]);
          px[0] = MaskChannel(v, masks[2]);
          px[3] = masks[3] ? MaskChannel(v, masks[3]) : 255;
          break;
        }
      }
      if (icon && alpha) {
        OverWhite(d, px, px[3]);
      } else if (m && (m[x / 8] >> (7 - x % 8)) & 1) {
        d[0] = d[1] = d[2] = 255;  // transparent: the white beneath
      } else {
        std::memcpy(d, px, bpp == 4 ? 4 : 3);
      }
    }
  }
  return out;
}

Bitmap DecodeBmp(std::string_view bytes) {
  if (bytes.size() < 14 + 12) Fail(kTruncated);
  const uint8_t* p = Bytes(bytes);
  if (p[0] != 'B' || p[1] != 'M') Fail("BMPファイルではありません。");
  uint32_t offset = U32(p + 10);
  if (offset > bytes.size() || offset < 14) Fail(kTruncated);
  return DecodeDib(bytes.substr(14, offset - 14), bytes.substr(offset), false);
}

std::string EncodeBmp(const Bitmap& picture) {
  const int bits = picture.bits == 32 ? 32 : 24;
  const size_t row_bytes = (size_t(picture.width) * bits / 8 + 3) / 4 * 4;
  const size_t image = row_bytes * picture.height;
  std::string out;
  out.reserve(54 + image);
  out += "BM";
  Put32(out, uint32_t(54 + image));
  Put32(out, 0);
  Put32(out, 54);
  Put32(out, 40);
  Put32(out, uint32_t(picture.width));
  Put32(out, uint32_t(picture.height));
  Put16(out, 1);
  Put16(out, uint16_t(bits));
  Put32(out, 0);
  Put32(out, uint32_t(image));
  Put32(out, 3780);  // 96 dots per inch
  Put32(out, 3780);
  Put32(out, 0);
  Put32(out, 0);
  Bitmap same = WithBits(picture, bits);
  std::string row(row_bytes, '\0');
  for (int y = picture.height - 1; y >= 0; --y) {
    std::memcpy(row.data(), same.Row(y), same.Stride());
    out += row;
  }
  return out;
}

// ---- Icons ----

static const uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

// One image of an icon: a PNG or a device-independent bitmap with its mask.
static Bitmap DecodeIconImage(std::string_view image) {
  if (image.size() >= 8 && std::memcmp(image.data(), kPngSignature, 8) == 0)
    return DecodePng(image);
  if (image.size() < 40) Fail(kTruncated);
  const uint8_t* h = Bytes(image);
  uint32_t header = U32(h);
  if (header < 40 || header > image.size()) Fail(kTruncated);
  int bits = U16(h + 14);
  uint32_t used = U32(h + 32);
  size_t colours = bits <= 8 ? (used && used < (1u << bits) ? used : (1u << bits)) : 0;
  size_t pixels_at = header + colours * 4;
  if (pixels_at > image.size()) Fail(kTruncated);
  return DecodeDib(image.substr(0, pixels_at), image.substr(pixels_at), true);
}

Bitmap DecodeIco(std::string_view bytes) {
  const uint8_t* p = Bytes(bytes);
  if (bytes.size() < 6 || U16(p) != 0 || (U16(p + 2) != 1 && U16(p + 2) != 2))
    Fail("アイコンファイルではありません。");
  uint16_t count = U16(p + 4);
  if (count == 0) Fail("アイコンがありません。");
  if (bytes.size() < 6 + 16) Fail(kTruncated);
  uint32_t size = U32(p + 6 + 8), offset = U32(p + 6 + 12);
  if (offset > bytes.size() || size > bytes.size() - offset) Fail(kTruncated);
  return DecodeIconImage(bytes.substr(offset, size));
}

std::string EncodeIco(const Bitmap& picture) {
  constexpr int kSide = 32;
  Bitmap icon(kSide, kSide);
  std::fill(icon.pixels.begin(), icon.pixels.end(), 255);
  DrawOnto(icon, picture, 0, 0);
  const uint32_t transparent = PixelColor(icon, 0, kSide - 1);

  // The colours: all of them when they fit in 256, else 8 reds x 8 greens x 4 blues.
  std::map<uint32_t, int> index;
  for (int y = 0; y < kSide; ++y)
    for (int x = 0; x < kSide; ++x) index.emplace(PixelColor(icon, x, y), 0);
  index.emplace(0, 0);  // black, behind the transparent pixels
  const bool exact = index.size() <= 256;
  std::vector<uint32_t> palette;
  if (exact) {
    for (auto& [colour, i] : index) {
      i = int(palette.size());
      palette.push_back(colour);
    }
  } else {
    for (int i = 0; i < 256; ++i) {
      uint32_t r = (i >> 5) * 255 / 7, g = ((i >> 2) & 7) * 255 / 7, b = (i & 3) * 255 / 3;
      palette.push_back(r | (g << 8) | (b << 16));
    }
  }
  palette.resize(256, 0);
  auto palette_index = [&](uint32_t c) {
    if (exact) return index[c];
    return int(((c & 0xFF) >> 5) << 5 | (((c >> 8) & 0xFF) >> 5) << 2 | ((c >> 16) & 0xFF) >> 6);
  };

  std::string image;
  Put32(image, 40);
  Put32(image, kSide);
  Put32(image, kSide * 2);
  Put16(image, 1);
  Put16(image, 8);
  Put32(image, 0);
  Put32(image, kSide * kSide + kSide * 4);
  Put32(image, 0);
  Put32(image, 0);
  Put32(image, 256);
  Put32(image, 0);
  for (uint32_t c : palette) {
    image += char((c >> 16) & 0xFF);
    image += char((c >> 8) & 0xFF);
    image += char(c & 0xFF);
    image += '\0';
  }
  for (int y = kSide - 1; y >= 0; --y)
    for (int x = 0; x < kSide; ++x) {
      uint32_t c = PixelColor(icon, x, y);
      image += char(palette_index(c == transparent ? 0 : c));
    }
  for (int y = kSide - 1; y >= 0; --y)
    for (int x = 0; x < kSide; x += 8) {
      int byte = 0;
      for (int b = 0; b < 8; ++b)
        if (PixelColor(icon, x + b, y) == transparent) byte |= 0x80 >> b;
      image += char(byte);
    }

  const uint16_t planes = 1, bit_count = 8;
  std::string out;
  Put16(out, 0);
  Put16(out, 1);
  Put16(out, 1);
  out += char(kSide);
  out += char(kSide);
  out += char(planes * bit_count);
  out += '\0';
  Put16(out, planes);
  Put16(out, bit_count);
  Put32(out, uint32_t(image.size()));
  Put32(out, 22);
  return out + image;
}

// ---- PNG ----

namespace {

// The libpng functions called here, through pointers of their own names
// (platform/lazy_library.h), set once LoadPng() is true; png_jmpbuf() calls
// png_set_longjmp_fn. The read, write and error callbacks are ours.
// clang-format off
#define SORANE_PNG_FUNCTIONS(F)                                                             \
  F(png_create_read_struct) F(png_create_write_struct) F(png_create_info_struct)            \
  F(png_destroy_read_struct) F(png_destroy_write_struct) F(png_set_longjmp_fn)              \
  F(png_error) F(png_get_io_ptr) F(png_set_read_fn) F(png_set_write_fn)                     \
  F(png_set_user_limits) F(png_read_info) F(png_get_image_width) F(png_get_image_height)    \
  F(png_set_expand) F(png_set_strip_16) F(png_set_gray_to_rgb) F(png_set_bgr)               \
  F(png_set_interlace_handling) F(png_read_update_info) F(png_get_channels)                 \
  F(png_get_rowbytes) F(png_read_image) F(png_read_end) F(png_set_IHDR) F(png_write_info)   \
  F(png_set_filler) F(png_write_row) F(png_write_end)
// clang-format on
SORANE_PNG_FUNCTIONS(SORANE_LAZY_DEFINE)
SORANE_LAZY_LOADER(LoadPng, SORANE_PNG_FUNCTIONS, "libpng16.so.16", "libpng16-16")

// The reason of every PNG read or write when the library cannot be loaded.
const char kNoPng[] = "libpngを読み込めません。";

struct PngRead {
  std::string_view data;
  size_t at = 0;
  std::vector<uint8_t> rows;
  std::vector<png_bytep> row_pointers;
  std::string error;
};

void PngReadData(png_structp png, png_bytep out, png_size_t n) {
  auto* st = static_cast<PngRead*>(png_get_io_ptr(png));
  if (n > st->data.size() - st->at) png_error(png, "truncated");
  std::memcpy(out, st->data.data() + st->at, n);
  st->at += n;
}

void PngError(png_structp png, png_const_charp message) {
  longjmp(png_jmpbuf(png), 1);
}
void PngWarning(png_structp, png_const_charp) {}

}  // namespace

Bitmap DecodePng(std::string_view bytes) {
  if (bytes.size() < 8 || std::memcmp(bytes.data(), kPngSignature, 8) != 0)
    Fail("PNGファイルではありません。");
  if (!LoadPng()) Fail(kNoPng);
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, PngError, PngWarning);
  if (!png) Fail("PNGを読めません。");
  png_infop info = png_create_info_struct(png);
  // State that survives a jump back here lives behind a pointer set before it.
  const auto st = std::make_unique<PngRead>();
  st->data = bytes;
  const auto out = std::make_unique<Bitmap>();
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    Fail(st->error.empty() ? "PNGファイルの形式に誤りがあります。" : st->error.c_str());
  }
  png_set_read_fn(png, st.get(), PngReadData);
  png_set_user_limits(png, kMaxPictureSide, kMaxPictureSide);
  png_read_info(png, info);
  png_uint_32 w = png_get_image_width(png, info), h = png_get_image_height(png, info);
  if (!PictureSizeAllowed(w, h)) {
    st->error = kTooLarge;
    longjmp(png_jmpbuf(png), 1);
  }
  png_set_expand(png);
  png_set_strip_16(png);
  png_set_gray_to_rgb(png);
  png_set_bgr(png);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  const int channels = png_get_channels(png, info);
  const size_t stride = png_get_rowbytes(png, info);
  if (channels < 3 || stride < size_t(w) * channels) {
    st->error = "PNGファイルの形式に誤りがあります。";
    longjmp(png_jmpbuf(png), 1);
  }
  st->rows.resize(stride * h);
  st->row_pointers.resize(h);
  for (png_uint_32 y = 0; y < h; ++y) st->row_pointers[y] = st->rows.data() + y * stride;
  png_read_image(png, st->row_pointers.data());
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);

  *out = Bitmap(int(w), int(h));
  for (png_uint_32 y = 0; y < h; ++y) {
    const uint8_t* s = st->row_pointers[y];
    uint8_t* d = out->Row(int(y));
    for (png_uint_32 x = 0; x < w; ++x, s += channels, d += 3) {
      if (channels == 4)
        OverWhite(d, s, s[3]);
      else
        std::memcpy(d, s, 3);
    }
  }
  return std::move(*out);
}

namespace {
void PngWriteData(png_structp png, png_bytep data, png_size_t n) {
  static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<char*>(data), n);
}
void PngFlush(png_structp) {}
}  // namespace

std::string EncodePng(const Bitmap& picture) {
  if (!LoadPng()) Fail(kNoPng);
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, PngError, PngWarning);
  if (!png) Fail("PNGを書けません。");
  png_infop info = png_create_info_struct(png);
  const auto out = std::make_unique<std::string>();
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    Fail("PNGを書けません。");
  }
  png_set_write_fn(png, out.get(), PngWriteData, PngFlush);
  png_set_IHDR(png, info, picture.width, picture.height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  png_set_bgr(png);
  if (picture.bits == 32) png_set_filler(png, 0, PNG_FILLER_AFTER);
  for (int y = 0; y < picture.height; ++y)
    png_write_row(png, const_cast<png_bytep>(picture.Row(y)));
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return std::move(*out);
}

// ---- JPEG ----

namespace {

// The libjpeg functions called here, through pointers of their own names
// (platform/lazy_library.h), set once LoadJpeg() is true;
// jpeg_create_decompress() and jpeg_create_compress() call
// jpeg_CreateDecompress and jpeg_CreateCompress. The error handlers are ours.
// clang-format off
#define SORANE_JPEG_FUNCTIONS(F)                                                            \
  F(jpeg_std_error) F(jpeg_CreateDecompress) F(jpeg_CreateCompress)                         \
  F(jpeg_destroy_decompress) F(jpeg_destroy_compress) F(jpeg_mem_src) F(jpeg_mem_dest)      \
  F(jpeg_read_header) F(jpeg_start_decompress) F(jpeg_read_scanlines)                       \
  F(jpeg_finish_decompress) F(jpeg_set_defaults) F(jpeg_set_quality)                        \
  F(jpeg_start_compress) F(jpeg_write_scanlines) F(jpeg_finish_compress)
// clang-format on
SORANE_JPEG_FUNCTIONS(SORANE_LAZY_DEFINE)
SORANE_LAZY_LOADER(LoadJpeg, SORANE_JPEG_FUNCTIONS, "libjpeg.so.62", "libjpeg62-turbo")

// The reason of every JPEG read or write when the library cannot be loaded.
const char kNoJpeg[] = "libjpegを読み込めません。";

struct JpegError {
  jpeg_error_mgr mgr;
  jmp_buf jump;
};
void JpegErrorExit(j_common_ptr cinfo) {
  longjmp(reinterpret_cast<JpegError*>(cinfo->err)->jump, 1);
}
void JpegMessage(j_common_ptr) {}
}  // namespace

Bitmap DecodeJpeg(std::string_view bytes) {
  if (bytes.size() < 3 || Bytes(bytes)[0] != 0xFF || Bytes(bytes)[1] != 0xD8)
    Fail("JPEGファイルではありません。");
  if (!LoadJpeg()) Fail(kNoJpeg);
  const auto cinfo = std::make_unique<jpeg_decompress_struct>();
  const auto err = std::make_unique<JpegError>();
  const auto out = std::make_unique<Bitmap>();
  const auto row = std::make_unique<std::vector<uint8_t>>();
  cinfo->err = jpeg_std_error(&err->mgr);
  err->mgr.error_exit = JpegErrorExit;
  err->mgr.output_message = JpegMessage;
  const auto too_large = std::make_unique<bool>(false);
  if (setjmp(err->jump)) {
    jpeg_destroy_decompress(cinfo.get());
    Fail(*too_large ? kTooLarge : "JPEGファイルの形式に誤りがあります。");
  }
  jpeg_create_decompress(cinfo.get());
  jpeg_mem_src(cinfo.get(), Bytes(bytes), bytes.size());
  jpeg_read_header(cinfo.get(), TRUE);
  if (!PictureSizeAllowed(cinfo->image_width, cinfo->image_height) || cinfo->image_width == 0 ||
      cinfo->image_height == 0) {
    *too_large = true;
    longjmp(err->jump, 1);
  }
  const bool cmyk = cinfo->jpeg_color_space == JCS_CMYK || cinfo->jpeg_color_space == JCS_YCCK;
  cinfo->out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGR;
  jpeg_start_decompress(cinfo.get());
  const int w = int(cinfo->output_width), h = int(cinfo->output_height);
  *out = Bitmap(w, h);
  row->resize(size_t(w) * cinfo->output_components);
  while (cinfo->output_scanline < cinfo->output_height) {
    int y = int(cinfo->output_scanline);
    JSAMPROW rows[1] = {cmyk ? row->data() : out->Row(y)};
    jpeg_read_scanlines(cinfo.get(), rows, 1);
    if (!cmyk) continue;
    // Adobe's CMYK is stored inverted: each byte is 255 - ink.
    const uint8_t* s = row->data();
    uint8_t* d = out->Row(y);
    for (int x = 0; x < w; ++x, s += 4, d += 3) {
      d[0] = uint8_t(s[2] * s[3] / 255);
      d[1] = uint8_t(s[1] * s[3] / 255);
      d[2] = uint8_t(s[0] * s[3] / 255);
    }
  }
  jpeg_finish_decompress(cinfo.get());
  jpeg_destroy_decompress(cinfo.get());
  return std::move(*out);
}

std::string EncodeJpeg(const Bitmap& picture, int quality) {
  if (!LoadJpeg()) Fail(kNoJpeg);
  const auto cinfo = std::make_unique<jpeg_compress_struct>();
  const auto err = std::make_unique<JpegError>();
  const auto buffer = std::make_unique<unsigned char*>(nullptr);
  const auto size = std::make_unique<unsigned long>(0);
  cinfo->err = jpeg_std_error(&err->mgr);
  err->mgr.error_exit = JpegErrorExit;
  err->mgr.output_message = JpegMessage;
  if (setjmp(err->jump)) {
    jpeg_destroy_compress(cinfo.get());
    free(*buffer);
    Fail("JPEGを書けません。");
  }
  jpeg_create_compress(cinfo.get());
  jpeg_mem_dest(cinfo.get(), buffer.get(), size.get());
  cinfo->image_width = JDIMENSION(picture.width);
  cinfo->image_height = JDIMENSION(picture.height);
  cinfo->input_components = picture.bits == 32 ? 4 : 3;
  cinfo->in_color_space = picture.bits == 32 ? JCS_EXT_BGRX : JCS_EXT_BGR;
  jpeg_set_defaults(cinfo.get());
  jpeg_set_quality(cinfo.get(), std::clamp(quality, 1, 100), TRUE);
  jpeg_start_compress(cinfo.get(), TRUE);
  while (cinfo->next_scanline < cinfo->image_height) {
    JSAMPROW rows[1] = {const_cast<JSAMPROW>(picture.Row(int(cinfo->next_scanline)))};
    jpeg_write_scanlines(cinfo.get(), rows, 1);
  }
  jpeg_finish_compress(cinfo.get());
  std::string out(reinterpret_cast<char*>(*buffer), *size);
  jpeg_destroy_compress(cinfo.get());
  free(*buffer);
  return out;
}

// ---- Icons of Windows programs and libraries ----

namespace {

// The resource section of a PE file: reads within bounds or fails.
class PeResources {
 public:
  explicit PeResources(std::string_view file) : file_(file) {
    const uint8_t* p = Bytes(file);
    if (file.size() < 64 || p[0] != 'M' || p[1] != 'Z') Fail("アイコンがありません。");
    size_t pe = At32(0x3C);
    if (!Range(pe, 24) || std::memcmp(p + pe, "PE\0\0", 4) != 0) Fail("アイコンがありません。");
    size_t coff = pe + 4;
    size_t sections = At16(coff + 2);
    size_t optional = coff + 20, optional_size = At16(coff + 16);
    uint16_t magic = At16(optional);
    size_t directories = optional + (magic == 0x20b ? 112 : 96);
    size_t count = At32(optional + (magic == 0x20b ? 108 : 92));
    if (count < 3) Fail("アイコンがありません。");
    uint32_t rva = At32(directories + 2 * 8);
    size_t table = optional + optional_size;
    for (size_t i = 0; i < sections && i < 96; ++i) {
      size_t s = table + i * 40;
      sections_.push_back({At32(s + 12), std::max(At32(s + 8), At32(s + 16)), At32(s + 20)});
    }
    base_ = Offset(rva);
  }

  // The entries of the directory at `dir` (an offset into the section): id
  // (or 0x80000000 | name offset) and the offset field.
  std::vector<std::pair<uint32_t, uint32_t>> Entries(size_t dir) {
    size_t at = base_ + dir;
    size_t n = size_t(At16(at + 12)) + At16(at + 14);
    std::vector<std::pair<uint32_t, uint32_t>> out;
    for (size_t i = 0; i < n && i < 4096; ++i)
      out.push_back({At32(at + 16 + i * 8), At32(at + 20 + i * 8)});
    return out;
  }

  // The data of the first language below a name entry's offset field.
  std::string_view Data(uint32_t field) {
    for (int depth = 0; depth < 4 && (field & 0x80000000u); ++depth) {
      auto e = Entries(field & 0x7FFFFFFFu);
      if (e.empty()) Fail("アイコンがありません。");
      field = e[0].second;
    }
    if (field & 0x80000000u) Fail("アイコンがありません。");
    size_t entry = base_ + field;
    size_t at = Offset(At32(entry)), size = At32(entry + 4);
    if (!Range(at, size)) Fail(kTruncated);
    return file_.substr(at, size);
  }

  // The type directory's entries of resource type `type`.
  std::vector<std::pair<uint32_t, uint32_t>> OfType(uint32_t type) {
    for (auto [id, field] : Entries(0))
      if (id == type && (field & 0x80000000u)) return Entries(field & 0x7FFFFFFFu);
    return {};
  }

 private:
  struct Section {
    uint32_t address, size, raw;
  };
  bool Range(size_t at, size_t n) const { return at <= file_.size() && n <= file_.size() - at; }
  uint32_t At32(size_t at) const {
    if (!Range(at, 4)) Fail(kTruncated);
    return U32(Bytes(file_) + at);
  }
  uint16_t At16(size_t at) const {
    if (!Range(at, 2)) Fail(kTruncated);
    return U16(Bytes(file_) + at);
  }
  size_t Offset(uint32_t rva) const {
    for (const Section& s : sections_)
      if (rva >= s.address && rva - s.address < s.size) return size_t(rva - s.address) + s.raw;
    Fail("アイコンがありません。");
  }

  std::string_view file_;
  std::vector<Section> sections_;
  size_t base_ = 0;
};

}  // namespace

Bitmap ExtractIcon(std::string_view bytes, int index) {
  const uint8_t* p = Bytes(bytes);
  if (bytes.size() >= 4 && U16(p) == 0 && U16(p + 2) == 1) {
    if (index != 0) Fail("アイコンがありません。");
    return DecodeIco(bytes);
  }
  if (index < 0) Fail("アイコンがありません。");
  PeResources res(bytes);
  auto groups = res.OfType(14);  // RT_GROUP_ICON
  if (size_t(index) >= groups.size()) Fail("アイコンがありません。");
  std::string_view group = res.Data(groups[index].second);
  if (group.size() < 6) Fail(kTruncated);
  size_t count = U16(Bytes(group) + 4);
  if (count == 0 || group.size() < 6 + count * 14) Fail(kTruncated);
  // The 32 x 32 image when there is one (the size programs show), else the first.
  size_t chosen = 0;
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* e = Bytes(group) + 6 + i * 14;
    if (e[0] == 32 && e[1] == 32) {
      chosen = i;
      break;
    }
  }
  uint16_t id = U16(Bytes(group) + 6 + chosen * 14 + 12);
  for (auto [image_id, field] : res.OfType(3))  // RT_ICON
    if (image_id == id) return DecodeIconImage(res.Data(field));
  Fail("アイコンがありません。");
}

}  // namespace sorane
