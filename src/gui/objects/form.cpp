// フォーム: a top-level window of its own with a drawing surface `img` covering
// its client area, whose mouse events are the form's. The host window (object
// 0) is a form too and takes the same rows; its caption is also the
// application's title.
#include <QApplication>
#include <QResizeEvent>
#include <QScreen>

#include "gui/draw_surface.h"
#include "gui/frm_sorane.h"
#include "gui/objects/qt_object_backend.h"
#include "gui/qt_text.h"

namespace sorane {

namespace {

class TFormWindow : public QWidget {
 public:
  TFormWindow(QtObjectBackend* backend, int index) : backend_(backend), index_(index) {
    resize(400, 300);
    img_ = new TDrawSurface(this);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    // Closing the host window ends the run even while forms are open.
    setAttribute(Qt::WA_QuitOnClose, false);
  }

 protected:
  // Resizing keeps the drawing and is the form's change event.
  void resizeEvent(QResizeEvent* e) override {
    img_->FitTo(e->size());
    QWidget::resizeEvent(e);
    if (backend_) ReportEvent(backend_, index_, ObjEvent::kChange);
  }

 private:
  QPointer<QtObjectBackend> backend_;
  int index_;
  TDrawSurface* img_;
};

TDrawSurface* Img(ObjWidget& o) {
  return o.widget->findChild<TDrawSurface*>("img", Qt::FindDirectChildrenOnly);
}

QWidget* Create(ObjWidget& o, const NewObject& created, QWidget*) {
  auto* form = new TFormWindow(o.backend, o.index);
  form->setWindowTitle(Q(created.caption));
  form->setWindowIcon(o.backend->HostWindow().windowIcon());
  ApplyCreationFont(form, created);
  QPalette palette = form->palette();
  palette.setColor(QPalette::Window, Qt::white);
  form->setPalette(palette);
  if (QScreen* screen = QGuiApplication::primaryScreen())
    form->move((screen->size().width() - form->width()) / 2,
               (screen->size().height() - form->height()) / 2);
  form->show();
  return form;
}

void SetCaption(ObjWidget& o, const std::string& text) {
  o.widget->setWindowTitle(Q(text));
  if (o.index == 0) SetApplicationTitle(Q(text));
}

bool SetText(ObjWidget& o, const PropertyValue& v) {
  SetCaption(o, v.text);
  return true;
}

PropertyValue GetText(ObjWidget& o) {
  return TextValue(S(o.widget->windowTitle()));
}

// `img` holds the picture at the picture's size; the form keeps its own. An
// empty name gives back a blank surface of the client size.
bool SetPicture(ObjWidget& o, const PropertyValue& v) {
  TDrawSurface* img = Img(o);
  if (v.text.empty()) {
    img->SetPicture(QImage());
    img->FitTo(o.widget->size());
    img->ClearOutput();
    return true;
  }
  QImage picture = LoadPicture(v.text);
  if (picture.isNull()) return false;
  img->SetPicture(picture);
  img->resize(picture.size());
  return true;
}

bool SetStretch(ObjWidget& o, const PropertyValue& v) {
  Img(o)->SetStretch(v.number != 0);
  return true;
}

PropertyValue GetStretch(ObjWidget& o) {
  return FlagValue(Img(o)->Stretch());
}

bool SetTransparent(ObjWidget& o, const PropertyValue& v) {
  Img(o)->SetTransparent(v.number != 0);
  return true;
}

PropertyValue GetTransparent(ObjWidget& o) {
  return FlagValue(Img(o)->Transparent());
}

// The picture is discarded: `img` covers the client area again, filled with the colour.
bool SetBack(ObjWidget& o, const PropertyValue& v) {
  TDrawSurface* img = Img(o);
  uint32_t color = static_cast<uint32_t>(v.number);
  QPalette palette = o.widget->palette();
  palette.setColor(QPalette::Window, ColorOf(color));
  o.widget->setPalette(palette);
  img->SetPicture(QImage());
  img->FitTo(o.widget->size());
  img->ClearOutputWith(color);
  return true;
}

PropertyValue GetBack(ObjWidget& o) {
  return NumberValue(Img(o)->WindowColorValue());
}

// リサイズ: a sizeable border, or a single one.
bool SetResizable(ObjWidget& o, const PropertyValue& v) {
  ApplyBorderStyle(*o.widget, v.number >= 1 ? 2 : 1);
  return true;
}

PropertyValue GetResizable(ObjWidget& o) {
  return FlagValue(BorderStyleOf(*o.widget) != 1);
}

bool SetStyle(ObjWidget& o, const PropertyValue& v) {
  ApplyBorderStyle(*o.widget, static_cast<int>(std::clamp<int64_t>(v.number, 0, 5)));
  return true;
}

PropertyValue GetStyle(ObjWidget& o) {
  return NumberValue(BorderStyleOf(*o.widget));
}

constexpr PropertyAccess kRows[] = {
    {PropId::kText, SetText, GetText},
    {PropId::kTitle, nullptr, GetText},
    {PropId::kPicture, SetPicture, nullptr},
    {PropId::kStretch, SetStretch, GetStretch},
    {PropId::kTransparent, SetTransparent, GetTransparent},
    {PropId::kBackColor, SetBack, GetBack},
    {PropId::kResizable, SetResizable, GetResizable},
    {PropId::kBorderStyle, SetStyle, GetStyle},
};

}  // namespace

const KindWidget& FormWidget() {
  static const KindWidget kind{
      .create = Create,
      .properties = kRows,
      .get_default = [](ObjWidget& o) { return S(o.widget->windowTitle()); },
      .set_default = SetCaption,
  };
  return kind;
}

}  // namespace sorane
