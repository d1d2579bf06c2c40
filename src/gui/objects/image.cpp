// イメージ: a picture of its own, on a drawing surface the drawing commands
// can draw on; it does not size itself, except to a picture it loads.
#include "gui/draw_surface.h"
#include "gui/objects/object_widget.h"
#include "gui/qt_text.h"
#include "text/sjis.h"

namespace sorane {

namespace {

constexpr char kNameKey[] = "soranePictureName";

TDrawSurface* Image(ObjWidget& o) {
  return o.As<TDrawSurface>();
}

QWidget* Create(ObjWidget&, const NewObject&, QWidget* parent) {
  auto* image = new TDrawSurface(parent, TDrawSurface::Role::kImage);
  image->resize(105, 105);
  return image;
}

// The picture of a file, the image sized to it; an empty name takes the
// picture away; an unreadable one is refused.
bool Load(ObjWidget& o, const std::string& name) {
  TDrawSurface* image = Image(o);
  image->setProperty(kNameKey, Q(name));
  if (name.empty()) {
    image->SetPicture(QImage());
    return true;
  }
  QImage picture = LoadPicture(name);
  if (picture.isNull()) return false;
  image->SetPicture(picture);
  image->resize(picture.size());
  return true;
}

constexpr PropertyAccess kRows[] = {
    {PropId::kPicture, [](ObjWidget& o, const PropertyValue& v) { return Load(o, v.text); },
     nullptr},
    {PropId::kStretch,
     [](ObjWidget& o, const PropertyValue& v) {
       Image(o)->SetStretch(v.number != 0);
       return true;
     },
     [](ObjWidget& o) { return FlagValue(Image(o)->Stretch()); }},
    {PropId::kTransparent,
     [](ObjWidget& o, const PropertyValue& v) {
       Image(o)->SetTransparent(v.number != 0);
       return true;
     },
     [](ObjWidget& o) { return FlagValue(Image(o)->Transparent()); }},
};

}  // namespace

const KindWidget& ImageWidget() {
  static const KindWidget kind{
      .create = Create,
      .properties = kRows,
      .get_default = [](ObjWidget& o) { return S(Image(o)->property(kNameKey).toString()); },
      .set_default = [](ObjWidget& o, const std::string& text) { Load(o, Trim(text)); },
      .empty = [](ObjWidget& o) { Image(o)->SetPicture(QImage()); },
  };
  return kind;
}

}  // namespace sorane
