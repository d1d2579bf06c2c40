// The surfaces the drawing commands find by object name, and picture files:
// reading by extension (with the messages scripts see) and saving after the
// security question.
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>

#include "library/drawing/bitmap_ops.h"
#include "library/drawing/drawing.h"
#include "library/drawing/picture_codec.h"
#include "library/files/files_util.h"
#include "library/objects/backend.h"
#include "library/objects/kinds.h"
#include "library/objects/parse.h"
#include "platform/file_ops.h"
#include "platform/files.h"
#include "platform/safe_write.h"
#include "policy/security.h"
#include "runtime/errors.h"
#include "runtime/interpreter.h"
#include "runtime/messages.h"
#include "runtime/startup.h"
#include "text/charmap.h"
#include "text/number.h"
#include "text/sjis.h"

namespace sorane {

static const std::string& NotCreated() {
  return SJ("オブジェクト\"%s\"は、作成されていません。");
}

bool HasPicture(const TObjNode& node) {
  return KindRowOf(node.Kind).surface == DrawSurface::kPicture;
}

HostCanvas* CanvasOfObject(Interpreter& in, int index) {
  TObjNode* node = in.S.Objects.Get(index);
  if (!node || !HasPicture(*node)) return nullptr;
  if (index == 0) return in.host.Surface().Canvas();
  return in.host.Objects().CanvasOf(index);
}

TObjNode& ObjectByRecordName(Interpreter& in, const std::string& name) {
  TObjNode* node = in.S.Objects.FindByName(name);
  if (!node || name.empty()) in.Raise(NotCreated(), name);
  return *node;
}

HostCanvas* ObjectCanvas(Interpreter& in, const std::string& name) {
  return CanvasOfObject(in, ObjectByRecordName(in, name).ObjectIndex);
}

HostCanvas& ImageCanvas(Interpreter& in, const std::string& name) {
  TObjNode& node = ObjectByRecordName(in, name);
  HostCanvas* canvas = nullptr;
  if (HasPicture(node)) canvas = CanvasOfObject(in, node.ObjectIndex);
  if (!canvas) in.Raise(SJ("\"%s\"は、イメージではありません。"), name);
  return *canvas;
}

static std::string Variable(Interpreter& in, const char* utf8_name, const std::string& fallback) {
  THashNode* w = in.S.Words.Find(Utf8ToSjis(utf8_name), false);
  return w ? w->Value() : fallback;
}

HostCanvas::Pen CurrentPen(Interpreter& in) {
  HostCanvas::Pen pen;
  pen.color = ParseColor(Variable(in, "ペン色", "0"));
  long long width = 1;
  pen.width = TryParseInteger(Trim(Variable(in, "ペン太さ", "2")), width)
                  ? int(std::clamp(width, -1000000LL, 1000000LL))
                  : 1;
  pen.fill = ParseColor(Variable(in, "塗り色", "0"));
  return pen;
}

// ---- Reading ----

// Files larger than this are no picture the run-time can hold.
constexpr off_t kMaxPictureFile = off_t(1) << 30;

// The loading failures, as PictureError carrying the whole message.
[[noreturn]] static void Unreadable(const std::string& name, const std::string& reason = {}) {
  throw PictureError(Format(SJ("画像ファイル\"%s\"が読込めません。"), NameForMessage(name)) +
                     reason);
}

static Bitmap DecodeFile(Interpreter& in, const std::string& name, const std::string& ext) {
  if (!IsValidFileName(name)) Unreadable(name);
  struct stat st;
  if (stat(ToOsPath(name).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) Unreadable(name);
  if (st.st_size > kMaxPictureFile) Unreadable(name, SJ("画像が大きすぎます。"));
  std::string bytes;
  if (!ReadFileBytes(name, bytes)) Unreadable(name);
  try {
    if (ext == ".bmp") return DecodeBmp(bytes);
    if (ext == ".ico") return DecodeIco(bytes);
    if (ext == ".jpg" || ext == ".jpeg") return DecodeJpeg(bytes);
    if (ext == ".png") return DecodePng(bytes);
    if (ext == ".exe") return ExtractIcon(bytes, 0);
  } catch (const PictureError& e) {
    Unreadable(name, e.what());
  } catch (const std::bad_alloc&) {
    Unreadable(name, SJ("画像が大きすぎます。"));
  }
  std::optional<Bitmap> other = in.host.Surface().DecodePicture(bytes, kMaxPicturePixels);
  if (!other)
    throw PictureError(Format(SJ("\"%s\"が読込めません。"), name) +
                       SJ("未対応のファイル形式です。"));
  return std::move(*other);
}

Bitmap ReadPicture(Interpreter& in, const std::string& given) {
  std::string name = PackedFileOr(in, given);
  if (name == SJ("クリップボード")) return in.host.Clipboard().ClipboardPicture();
  std::string ext = AsciiLower(CutExtension(name));
  if (!ext.empty()) return DecodeFile(in, ResolveFileName(in, name), ext);
  // An object: its name as written, else in half width.
  TObjNode* node = in.S.Objects.FindByName(name);
  if (!node) node = in.S.Objects.FindByName(MapText(name, MapMode::HalfWidth));
  if (!node || name.empty()) return {};
  if (!HasPicture(*node))
    throw PictureError(SJ("画像として、\"") + name + SJ("\"を読み込めません。"));
  HostCanvas* canvas = CanvasOfObject(in, node->ObjectIndex);
  return canvas ? canvas->GetBitmap() : Bitmap();
}

Bitmap LoadPictureFile(Interpreter& in, const std::string& name) {
  try {
    return ReadPicture(in, name);
  } catch (const PictureError& e) {
    in.Raise(e.what());
  }
}

// ---- Saving ----

void SavePictureFile(Interpreter& in, const std::string& object, const std::string& file) {
  TObjNode& node = ObjectByRecordName(in, object);
  HostCanvas* canvas = nullptr;
  if (HasPicture(node)) canvas = CanvasOfObject(in, node.ObjectIndex);
  if (!canvas) in.Raise(SJ("\"%s\"はイメージではありません。"), object);
  Bitmap picture = canvas->GetBitmap();
  if (file == SJ("クリップボード")) {
    in.host.Clipboard().SetClipboardPicture(picture);
    return;
  }
  if (!SecurityCheck(in, file, SJ("イメージを") + QuotedQuestion(file, SJ("へ保存します。"))))
    return;
  std::string ext = AsciiLower(CutExtension(file));
  std::string bytes;
  try {
    if (ext == ".bmp") {
      bytes = EncodeBmp(picture);
    } else if (ext == ".jpg" || ext == ".jpeg") {
      bytes = EncodeJpeg(picture, ToInt32(ParseNumber(Variable(in, "JPEG圧縮率", "100"))));
    } else if (ext == ".png") {
      bytes = EncodePng(picture);
    } else if (ext == ".ico") {
      bytes = EncodeIco(picture);
    } else {
      in.Raise(SJ("\"%s\"は、未対応の画像ファイルです。"), CutExtension(file));
    }
  } catch (const PictureError& e) {
    in.Raise(Format(msg::FileFailure(), file) + e.what());
  }
  std::string os = CheckedOsPath(in, file);
  if (!WriteOsFileAtomic(os, bytes))
    in.Raise(Format(msg::FileFailure(), file) + SystemReason(errno));
}

}  // namespace sorane
