// What the drawing, picture and filter commands share: the surfaces they draw
// on (the host window's, an image object's), the pen taken from the drawing
// variables, and reading and writing picture files.
#pragma once

#include <string>

#include "runtime/host.h"

namespace sorane {

class Interpreter;
struct TObjNode;

// An イメージ or a フォーム: the kinds whose picture is kept.
bool HasPicture(const TObjNode& node);

// The picture of object `index`: the host window's surface for object 0, an
// image object's picture or a form's surface; nullptr for other kinds and for
// a host without a window. (Drawing on lists, grids, labels and animations
// would not be kept when they repaint; they take no drawing.)
HostCanvas* CanvasOfObject(Interpreter& in, int index);

// The object record named exactly `name`; raises "オブジェクト"%s"は、作成され
// ていません。" when there is none.
TObjNode& ObjectByRecordName(Interpreter& in, const std::string& name);
// The surface of the object named `name`, as above; nullptr when its kind has
// none (ObjectCanvas). The bitmap of an object (ObjectBitmap) is its surface's.
HostCanvas* ObjectCanvas(Interpreter& in, const std::string& name);
// The surface of an イメージ or フォーム named `name`; raises "\"%s\"は、イメ
// ージではありません。" for another kind.
HostCanvas& ImageCanvas(Interpreter& in, const std::string& name);

// ペン色, ペン太さ and 塗り色 as they are now.
HostCanvas::Pen CurrentPen(Interpreter& in);

// A picture file (by extension: .bmp, .ico, .jpg/.jpeg, .png, .exe/.dll, else
// the host's readers), the clipboard ("クリップボード") or the picture of an
// image object (a name without extension). Raises the loading messages.
Bitmap LoadPictureFile(Interpreter& in, const std::string& name);
// The same, a failure thrown as PictureError (picture_codec.h) holding the
// whole message.
Bitmap ReadPicture(Interpreter& in, const std::string& name);

// Saves the picture of the object named `object` to `file` by its extension
// (.bmp, .jpg/.jpeg with JPEG圧縮率, .png, .ico) or to the clipboard; asks the
// security policy first (nothing is saved when it refuses).
void SavePictureFile(Interpreter& in, const std::string& object, const std::string& file);

}  // namespace sorane
