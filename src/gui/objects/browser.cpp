// ブラウザ: a web view. Before it opens a page the object's navigation event
// asks the script, which may refuse (ブラウザURL移動許可 0).
//
// The web engine runs its pages in processes of its own, sandboxed; the
// sandbox cannot start for the root user, so a run as root turns it off (a
// choice the user can also make with QTWEBENGINE_DISABLE_SANDBOX). On the
// offscreen platform the engine draws without a GPU.
#include <unistd.h>

#include <QWebEngineHistory>
#include <QWebEnginePage>
#include <QWebEngineView>

#include "gui/objects/qt_object_backend.h"
#include "gui/qt_text.h"

namespace sorane {

namespace {

class TBrowserPage : public QWebEnginePage {
 public:
  TBrowserPage(QObject* parent, QtObjectBackend* backend, int index)
      : QWebEnginePage(parent), backend_(backend), index_(index) {}

 protected:
  // The pages of frames inside a page are the page's own business.
  bool acceptNavigationRequest(const QUrl& url, NavigationType, bool main_frame) override {
    if (!main_frame || !backend_) return true;
    ObjectEvent event;
    event.index = index_;
    event.what = ObjEvent::kNavigate;
    event.text = S(url.toString());
    return !backend_->Report(event).cancel;
  }

 private:
  QPointer<QtObjectBackend> backend_;
  int index_;
};

void PrepareEngine() {
  static bool prepared = false;
  if (prepared) return;
  prepared = true;
  if (geteuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
}

QWebEngineView* View(ObjWidget& o) {
  return o.As<QWebEngineView>();
}

QWidget* Create(ObjWidget& o, const NewObject&, QWidget* parent) {
  PrepareEngine();
  auto* view = new QWebEngineView(parent);
  view->setPage(new TBrowserPage(view, o.backend, o.index));
  view->resize(300, 200);
  return view;
}

// The page shown: a refused navigation leaves it as it was (the view's own
// url is already the requested one).
PropertyValue Location(ObjWidget& o) {
  QWebEngineHistoryItem shown = View(o)->history()->currentItem();
  return TextValue(S((shown.isValid() ? shown.url() : View(o)->url()).toString()));
}

constexpr PropertyAccess kRows[] = {
    {PropId::kUrl,
     [](ObjWidget& o, const PropertyValue& v) {
       View(o)->setUrl(QUrl::fromUserInput(Q(v.text)));
       return true;
     },
     Location},
    {PropId::kText, nullptr, Location},
};

}  // namespace

const KindWidget& BrowserWidget() {
  static const KindWidget kind{
      .create = Create,
      .properties = kRows,
      .empty = [](ObjWidget& o) { View(o)->triggerPageAction(QWebEnginePage::Stop); },
      // Its clicks are the page's own; the navigation is its event.
      .mouse_widgets = [](QWidget*, QList<QWidget*>&) {},
      .click_by_signal = true,
  };
  return kind;
}

}  // namespace sorane
