#include "gui/play.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QMouseEvent>
#include <QPointer>
#include <QRadioButton>
#include <QTableView>
#include <QUrl>
#include <QWindow>
#include <cstdio>

#include "gui/dialog_automation.h"
#include "gui/gui_main.h"
#include "gui/objects/object_widget.h"
#include "gui/qt_host.h"
#include "gui/qt_text.h"
#include "platform/standard_output.h"
#include "runtime/errors.h"
#include "runtime/interpreter.h"

// The shortcut check a key press passes first (menus, actions), as the window
// system's key events do; exported by Qt GUI for its test library.
Q_GUI_EXPORT bool qt_sendShortcutOverrideEvent(QObject* o, ulong timestamp, int k,
                                               Qt::KeyboardModifiers mods, const QString& text,
                                               bool autorep, ushort count);

namespace sorane {

namespace {

// How often the player looks again while the script is busy.
constexpr int kPollMs = 10;
// How long a menu may take to open the menu of the item clicked in it.
constexpr int kMenuOpenMs = 2000;

// ---------------------------------------------------------------- reading

// The next word of `line` from `pos`: blank-separated, or in double quotes
// with \" and \\ inside. False at the end of the line; `error` is set for a
// quote that never closes.
bool NextWord(const QString& line, int& pos, QString& word, bool* quoted, QString& error) {
  while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
  if (pos >= line.size()) return false;
  word.clear();
  if (quoted) *quoted = line[pos] == '"';
  if (line[pos] != '"') {
    while (pos < line.size() && line[pos] != ' ' && line[pos] != '\t') word += line[pos++];
    return true;
  }
  for (++pos; pos < line.size(); ++pos) {
    if (line[pos] == '\\' && pos + 1 < line.size()) {
      word += line[++pos];
    } else if (line[pos] == '"') {
      ++pos;
      return true;
    } else {
      word += line[pos];
    }
  }
  error = QStringLiteral("a quotation mark is not closed");
  return false;
}

// The rest of the line from `pos`: one quoted word when it starts with a
// quotation mark, else the text as it stands (trimmed).
bool RestOfLine(const QString& line, int pos, QString& text, bool* quoted, QString& error) {
  QString rest = line.mid(pos).trimmed();
  if (quoted) *quoted = false;
  if (!rest.startsWith('"')) {
    text = rest;
    return true;
  }
  int at = 0;
  QString extra;
  if (!NextWord(rest, at, text, quoted, error)) return false;
  if (NextWord(rest, at, extra, nullptr, error)) {
    error = QStringLiteral("text after the closing quotation mark");
    return false;
  }
  return true;
}

bool ToInt(const QString& word, int& out) {
  bool ok = false;
  out = word.toInt(&ok);
  return ok;
}

// "right", "shift+left", "Ctrl+Alt" ...: a mouse button and modifier keys.
bool ParseMouseWord(const QString& word, Qt::MouseButton& button, Qt::KeyboardModifiers& mods) {
  for (const QString& part : word.split('+')) {
    QString p = part.toLower();
    if (p == "left")
      button = Qt::LeftButton;
    else if (p == "right")
      button = Qt::RightButton;
    else if (p == "middle")
      button = Qt::MiddleButton;
    else if (p == "shift")
      mods |= Qt::ShiftModifier;
    else if (p == "ctrl")
      mods |= Qt::ControlModifier;
    else if (p == "alt")
      mods |= Qt::AltModifier;
    else
      return false;
  }
  return true;
}

// Reads one line into `a`; returns why it cannot be played (empty when it
// can). A `stay` line sets `stay` and is no action.
QString ParseLine(const QString& line, const QString& folder, PlayAction& a, bool& is_action,
                  bool& stay) {
  int pos = 0;
  QString error, verb;
  is_action = true;
  NextWord(line, pos, verb, nullptr, error);
  if (verb == "meanwhile") {
    a.meanwhile = true;
    if (!NextWord(line, pos, verb, nullptr, error))
      return error.isEmpty() ? QStringLiteral("meanwhile needs an action") : error;
  }
  // The words after the verb, for the verbs made of words.
  auto words = [&](QStringList& out, QList<bool>* quoted = nullptr) {
    QString w;
    bool q = false;
    while (NextWord(line, pos, w, &q, error)) {
      out << w;
      if (quoted) *quoted << q;
    }
    return error.isEmpty();
  };
  auto need_object = [&](const QStringList& w) {
    if (w.isEmpty()) return false;
    a.object = w[0];
    return true;
  };

  static const struct {
    const char* name;
    PlayVerb verb;
  } kMouseVerbs[] = {{"click", PlayVerb::kClick},
                     {"double-click", PlayVerb::kDoubleClick},
                     {"down", PlayVerb::kDown},
                     {"up", PlayVerb::kUp},
                     {"move", PlayVerb::kMove}};
  for (const auto& m : kMouseVerbs) {
    if (verb != QLatin1String(m.name)) continue;
    a.verb = m.verb;
    QStringList w;
    if (!words(w)) return error;
    if (!need_object(w)) return verb + " needs an object name";
    int next = 1;
    if (w.size() >= 3 && ToInt(w[1], a.x) && ToInt(w[2], a.y)) {
      a.at = true;
      next = 3;
    } else if (a.verb == PlayVerb::kMove) {
      return QStringLiteral("move needs a point: move NAME X Y");
    }
    if (a.verb == PlayVerb::kMove) a.button = Qt::NoButton;
    if (next < w.size() && !ParseMouseWord(w[next++], a.button, a.modifiers))
      return "unknown button or key \"" + w[next - 1] +
             "\" (left, right, middle, shift, ctrl, alt)";
    if (next < w.size()) return "too many words after " + verb;
    return {};
  }

  if (verb == "type" || verb == "select") {
    a.verb = verb == "type" ? PlayVerb::kType : PlayVerb::kSelect;
    QString name;
    if (!NextWord(line, pos, name, nullptr, error) || name.isEmpty())
      return error.isEmpty() ? verb + " needs an object name" : error;
    a.object = name;
    bool quoted = false;
    if (!RestOfLine(line, pos, a.text, &quoted, error)) return error;
    if (a.verb == PlayVerb::kType) return {};
    if (a.text.isEmpty() && !quoted) return QStringLiteral("select needs an item");
    if (!quoted && ToInt(a.text, a.item)) a.text.clear();
    return {};
  }
  if (verb == "key") {
    QStringList w;
    if (!words(w)) return error;
    if (w.isEmpty() || w.size() > 2) return QStringLiteral("key needs a key: key [NAME] KEY");
    a.verb = PlayVerb::kKey;
    if (w.size() == 2) a.object = w[0];
    QKeySequence keys = QKeySequence::fromString(w.back(), QKeySequence::PortableText);
    if (keys.count() != 1 || keys[0].key() == Qt::Key_unknown)
      return "unknown key \"" + w.back() + "\"";
    a.key = keys[0];
    return {};
  }
  if (verb == "drop") {
    QStringList w;
    if (!words(w)) return error;
    if (w.size() < 2) return QStringLiteral("drop needs an object name and files");
    a.verb = PlayVerb::kDrop;
    a.object = w[0];
    for (int i = 1; i < w.size(); ++i) a.files << QDir(folder).absoluteFilePath(w[i]);
    return {};
  }
  if (verb == "menu") {
    QStringList w;
    if (!words(w)) return error;
    if (w.size() != 1) return QStringLiteral("menu needs one menu item: menu NAME");
    a.verb = PlayVerb::kMenu;
    a.object = w[0];
    return {};
  }
  if (verb == "wait") {
    QStringList w;
    if (!words(w)) return error;
    a.verb = PlayVerb::kWait;
    if (w.size() != 1 || !ToInt(w[0], a.ms) || a.ms < 0)
      return QStringLiteral("wait needs milliseconds: wait 500");
    return {};
  }
  if (verb == "answer" || verb == "print") {
    a.verb = verb == "answer" ? PlayVerb::kAnswer : PlayVerb::kPrint;
    if (!RestOfLine(line, pos, a.text, nullptr, error)) return error;
    if (a.verb == PlayVerb::kPrint && a.text.isEmpty())
      return QStringLiteral("print needs an expression");
    return {};
  }
  if (verb == "screenshot") {
    QStringList w;
    if (!words(w)) return error;
    if (w.isEmpty() || w.size() > 2)
      return QStringLiteral("screenshot needs a file: screenshot FILE [NAME]");
    a.verb = PlayVerb::kScreenshot;
    a.files << QDir(folder).absoluteFilePath(w[0]);
    if (w.size() == 2) a.object = w[1];
    return {};
  }
  static const struct {
    const char* name;
    PlayVerb verb;
  } kBareVerbs[] = {{"cancel", PlayVerb::kCancel}, {"close", PlayVerb::kClose}, {"stay", {}}};
  for (const auto& b : kBareVerbs) {
    if (verb != QLatin1String(b.name)) continue;
    QStringList w;
    if (!words(w)) return error;
    if (!w.isEmpty()) return "too many words after " + verb;
    if (verb == "stay") {
      if (a.meanwhile) return QStringLiteral("stay is no action to play meanwhile");
      is_action = false;
      stay = true;
    }
    a.verb = b.verb;
    return {};
  }
  return error.isEmpty() ? "unknown action \"" + verb + "\"" : error;
}

// ---------------------------------------------------------------- delivery

// One mouse event at `at` (coordinates of `w`) as the window system delivers
// it: to the window of `w`, which gives it to the widget under the point (or
// the one holding the mouse), with focus and grabbing as for a person.
void SendMouse(QWidget* w, QPoint at, QEvent::Type type, Qt::MouseButton button,
               Qt::MouseButtons buttons, Qt::KeyboardModifiers mods) {
  QWidget* top = w->window();
  QPoint in_top = w->mapTo(top, at);
  QPointF global = top->mapToGlobal(QPointF(in_top));
  if (QWindow* handle = top->windowHandle()) {
    QMouseEvent e(type, in_top, in_top, global, button, buttons, mods);
    QCoreApplication::sendEvent(handle, &e);
  } else {
    QMouseEvent e(type, at, at, global, button, buttons, mods);
    QCoreApplication::sendEvent(w, &e);
  }
}

// Where a person clicks an object: the middle, or the box of a check box or
// radio button (only the box and its caption take a click).
QPoint DefaultPoint(QWidget* w) {
  if (qobject_cast<QCheckBox*>(w) || qobject_cast<QRadioButton*>(w))
    return QPoint(w->height() / 2, w->height() / 2);
  return w->rect().center();
}

// A click (two when `twice`: press, release, double-click, release).
void Click(QWidget* w, QPoint at, Qt::MouseButton button, Qt::KeyboardModifiers mods, bool twice) {
  QPointer<QWidget> guard(w);
  SendMouse(w, at, QEvent::MouseButtonPress, button, button, mods);
  if (guard) SendMouse(w, at, QEvent::MouseButtonRelease, button, Qt::NoButton, mods);
  if (!twice) return;
  if (guard) SendMouse(w, at, QEvent::MouseButtonDblClick, button, button, mods);
  if (guard) SendMouse(w, at, QEvent::MouseButtonRelease, button, Qt::NoButton, mods);
}

// The text a key types (none with Ctrl or Alt held).
QString KeyText(Qt::Key key, Qt::KeyboardModifiers mods) {
  if (mods & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return {};
  switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return QStringLiteral("\r");
    case Qt::Key_Tab:
      return QStringLiteral("\t");
    case Qt::Key_Backspace:
      return QStringLiteral("\b");
    case Qt::Key_Escape:
      return QStringLiteral("\x1b");
    default:
      break;
  }
  if (key < Qt::Key_Space || key > Qt::Key_AsciiTilde) return {};
  QChar c(static_cast<char16_t>(key));
  return QString(mods & Qt::ShiftModifier ? c.toUpper() : c.toLower());
}

// A key pressed and released on `receiver`: the press goes through the
// shortcut check first, as a person's does.
void PressKey(QWidget* receiver, int key, Qt::KeyboardModifiers mods, const QString& text) {
  QPointer<QWidget> guard(receiver);
  if (!qt_sendShortcutOverrideEvent(receiver, 0, key, mods, text, false, 1)) {
    QKeyEvent press(QEvent::KeyPress, key, mods, text);
    QCoreApplication::sendEvent(receiver, &press);
  }
  if (!guard) return;
  QKeyEvent release(QEvent::KeyRelease, key, mods, text);
  QCoreApplication::sendEvent(receiver, &release);
}

// The widget a key for `w` reaches: `w` gets the focus (or its focus proxy).
QWidget* FocusOn(QWidget* w) {
  w->activateWindow();
  w->setFocus(Qt::OtherFocusReason);
  QWidget* focused = w->window()->focusWidget();
  return focused && (focused == w || w->isAncestorOf(focused)) ? focused : w;
}

// Drops `files` at `point` of `w` through its window: enter, move and drop, or
// leave when nothing there takes them.
void DropFiles(QWidget* w, QPoint point, const QStringList& files) {
  QList<QUrl> urls;
  for (const QString& f : files) urls << QUrl::fromLocalFile(f);
  QMimeData mime;
  mime.setUrls(urls);
  QWidget* top = w->window();
  QObject* receiver = top->windowHandle() ? static_cast<QObject*>(top->windowHandle()) : top;
  QPoint at = w->mapTo(top, point);
  Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
  QDragEnterEvent enter(at, actions, &mime, Qt::NoButton, Qt::NoModifier);
  QCoreApplication::sendEvent(receiver, &enter);
  bool taken = enter.isAccepted();
  if (taken) {
    QDragMoveEvent move(at, actions, &mime, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(receiver, &move);
    taken = move.isAccepted();
  }
  if (!taken) {
    QDragLeaveEvent leave;
    QCoreApplication::sendEvent(receiver, &leave);
    return;
  }
  QDropEvent drop(at, actions, &mime, Qt::NoButton, Qt::NoModifier);
  QCoreApplication::sendEvent(receiver, &drop);
}

// The row `item` of an item view, or the first row holding `text` in a cell.
// A table showing its header counts that as row 0, as a grid's scripts do.
QModelIndex ItemOf(QAbstractItemView* view, int item, const QString& text) {
  QAbstractItemModel* model = view->model();
  if (!model) return {};
  QModelIndex current = view->currentIndex();
  int column = current.isValid() ? current.column() : 0;
  auto* table = qobject_cast<QTableView*>(view);
  if (table && !table->horizontalHeader()->isHidden()) --item;
  if (text.isEmpty())
    return item >= 0 ? model->index(item, column, view->rootIndex()) : QModelIndex();
  for (int r = 0; r < model->rowCount(view->rootIndex()); ++r)
    for (int c = 0; c < model->columnCount(view->rootIndex()); ++c) {
      QModelIndex i = model->index(r, c, view->rootIndex());
      if (i.data().toString() == text) return i;
    }
  return {};
}

}  // namespace

PlayFile ParsePlay(const std::string& text, const QString& folder) {
  PlayFile out;
  QString all = QString::fromUtf8(text);
  if (all.startsWith(QChar(0xFEFF))) all.remove(0, 1);
  const QStringList lines = all.split('\n');
  for (int i = 0; i < lines.size(); ++i) {
    QString line = lines[i].trimmed();
    if (line.isEmpty() || line.startsWith('#')) continue;
    PlayAction a;
    a.line = i + 1;
    bool is_action = true;
    QString error = ParseLine(line, folder, a, is_action, out.stay);
    if (!error.isEmpty()) {
      out.actions.clear();
      out.error_line = a.line;
      out.error = error;
      return out;
    }
    if (is_action) out.actions.push_back(std::move(a));
  }
  return out;
}

// ---------------------------------------------------------------- playing

Player::Player(TQtHost& host, Interpreter& in, PlayFile play, std::string shown_name)
    : host_(host), in_(in), play_(std::move(play)), shown_name_(std::move(shown_name)) {
  timer_.setSingleShot(true);
  connect(&timer_, &QTimer::timeout, this, [this] { Step(); });
}

bool Player::Fail(int line, const QString& message) {
  {
    StandardOutputCall call;
    fflush(stdout);
  }
  fprintf(stderr, "sorane: %s:%d: %s\n", shown_name_.c_str(), line, message.toUtf8().constData());
  if (status_ == 0) status_ = 2;
  return false;
}

bool Player::Idle() const {
  return playing_ == 0 && in_.RunDepth == 0;
}

int Player::Run(const std::string& screenshot) {
  screenshot_ = screenshot;
  bool running =
      !in_.S.StopRequested && (host_.Form().isVisible() || host_.Loop().LabelTimerActive());
  if (running) {
    timer_.start(0);
    QApplication::exec();
  }
  // An error of the script was reported as such and ended the run.
  if (status_ == 0 && host_.StoppedByError()) return 1;
  if (!done_ && status_ == 0) {
    // The window closed first, by the script.
    if (next_ < play_.actions.size())
      Fail(play_.actions[next_].line, QStringLiteral("the run ended before this action"));
    else if (!screenshot_.empty() && !SaveScreenshot(host_.Form().Snapshot(), screenshot_))
      status_ = 1;
  }
  if (status_ == 0 && HasDialogAnswer()) {
    ClearDialogAnswers();
    Fail(last_answer_line_, QStringLiteral("no dialog took this answer"));
  }
  return status_;
}

void Player::Step() {
  if (done_) return;
  bool last = next_ == play_.actions.size();
  if (!last && in_.S.StopRequested) {
    done_ = true;
    if (!host_.StoppedByError())
      Fail(play_.actions[next_].line, QStringLiteral("the run ended before this action"));
    QApplication::exit(status_);
    return;
  }
  bool meanwhile = !last && play_.actions[next_].meanwhile;
  if (!meanwhile) {
    // Before the next action the script is idle (stacked handlers have run)
    // and what the last one set going has been processed.
    if (Idle()) {
      QCoreApplication::sendPostedEvents();
      QCoreApplication::processEvents();
    }
    if (!Idle()) {
      timer_.start(kPollMs);
      return;
    }
  }
  if (last) {
    Finish();
    return;
  }
  const PlayAction a = play_.actions[next_++];
  // The next step is due before this action runs: a handler waiting inside it
  // lets a `meanwhile` action in.
  timer_.start(a.verb == PlayVerb::kWait ? a.ms : 0);
  ++playing_;
  bool ok = Perform(a);
  --playing_;
  if (!ok) {
    done_ = true;
    timer_.stop();
    in_.EndRun();
    QApplication::exit(status_);
  }
}

void Player::Finish() {
  done_ = true;
  if (!screenshot_.empty()) {
    if (!SaveScreenshot(host_.Form().Snapshot(), screenshot_)) status_ = 1;
  } else if (play_.stay) {
    return;  // the window stays with whoever is there
  }
  // As its close button does: the script's close handler runs and may refuse,
  // but the run ends here all the same.
  host_.Form().close();
  if (!in_.S.StopRequested) in_.EndRun();
  QApplication::exit(status_);
}

QWidget* Player::Target(const PlayAction& a) {
  TObjNode* node = in_.S.Objects.FindByName(S(a.object));
  if (!node) {
    Fail(a.line, "no object named \"" + a.object + "\"");
    return nullptr;
  }
  QWidget* w = host_.ObjectWidgets().WidgetOf(node->ObjectIndex);
  if (!w) {
    Fail(a.line, "the object \"" + a.object + "\" has no window any more");
    return nullptr;
  }
  if (!w->isVisible()) {
    Fail(a.line, "the object \"" + a.object + "\" is not shown");
    return nullptr;
  }
  return w;
}

// A person reaches only what is seen: not a point outside the window, under
// another object or outside the panel the object sits on. The widget seen at
// the point must be `w` or one inside it that is no other object's.
bool Player::Seen(const PlayAction& a, QWidget* w, QPoint at) {
  QWidget* top = w->window();
  QPoint in_top = w->mapTo(top, at);
  QWidget* seen = top->rect().contains(in_top) ? top->childAt(in_top) : nullptr;
  if (!seen && top->rect().contains(in_top)) seen = top;
  QtObjectBackend& widgets = host_.ObjectWidgets();
  auto is_object = [&](QWidget* q) {
    for (int i = 0; i < in_.S.Objects.Count(); ++i)
      if (in_.S.Objects.Get(i) && widgets.WidgetOf(i) == q) return true;
    return false;
  };
  while (seen && seen != w && !is_object(seen)) seen = seen->parentWidget();
  if (seen == w) return true;
  QPoint client = at - w->contentsRect().topLeft();
  return Fail(a.line, QStringLiteral("the point (%1,%2) of \"%3\" cannot be seen in its window")
                          .arg(client.x())
                          .arg(client.y())
                          .arg(a.object));
}

bool Player::Perform(const PlayAction& a) {
  if (a.verb == PlayVerb::kMenu) return ChooseMenu(a);
  QWidget* w = nullptr;
  if (!a.object.isEmpty() && !(w = Target(a))) return false;
  QPoint at;
  if (w) {
    at = a.at ? w->contentsRect().topLeft() + QPoint(a.x, a.y) : DefaultPoint(w);
    bool pointed = a.verb <= PlayVerb::kMove || a.verb == PlayVerb::kDrop;
    if (pointed && !Seen(a, w, at)) return false;
  }
  switch (a.verb) {
    case PlayVerb::kClick:
    case PlayVerb::kDoubleClick:
      Click(w, at, a.button, a.modifiers, a.verb == PlayVerb::kDoubleClick);
      return true;
    case PlayVerb::kDown:
      SendMouse(w, at, QEvent::MouseButtonPress, a.button, a.button, a.modifiers);
      return true;
    case PlayVerb::kUp:
      SendMouse(w, at, QEvent::MouseButtonRelease, a.button, Qt::NoButton, a.modifiers);
      return true;
    case PlayVerb::kMove:
      SendMouse(w, at, QEvent::MouseMove, Qt::NoButton, a.button, a.modifiers);
      return true;
    case PlayVerb::kType: {
      QPointer<QWidget> receiver = FocusOn(w);
      const QList<uint> chars = a.text.toUcs4();
      for (uint c : chars) {
        if (!receiver) break;
        if (c == '\n') {
          PressKey(receiver, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
          continue;
        }
        QString text = QString::fromUcs4(reinterpret_cast<const char32_t*>(&c), 1);
        bool upper = c < 0x80 && QChar(c).isUpper();
        int key = c >= 0x20 && c < 0x7F ? QChar(c).toUpper().unicode()
                                        : static_cast<int>(Qt::Key_unknown);
        PressKey(receiver, key, upper ? Qt::ShiftModifier : Qt::NoModifier, text);
      }
      return true;
    }
    case PlayVerb::kKey: {
      QWidget* receiver = w ? FocusOn(w) : QApplication::focusWidget();
      if (!receiver) receiver = host_.Form().focusWidget();
      if (!receiver) receiver = &host_.Form();
      PressKey(receiver, a.key.key(), a.key.keyboardModifiers(),
               KeyText(a.key.key(), a.key.keyboardModifiers()));
      return true;
    }
    case PlayVerb::kSelect:
      return Select(a, w);
    case PlayVerb::kDrop:
      DropFiles(w, at, a.files);
      return true;
    case PlayVerb::kMenu:
    case PlayVerb::kWait:
      return true;
    case PlayVerb::kAnswer:
    case PlayVerb::kCancel:
      QueueDialogAnswer(a.verb == PlayVerb::kCancel ? kCancelAnswer : a.text);
      last_answer_line_ = a.line;
      return true;
    case PlayVerb::kScreenshot: {
      QImage picture = w ? w->grab().toImage() : host_.Form().Snapshot();
      if (SaveScreenshot(picture, a.files[0].toStdString())) return true;
      status_ = 1;
      return false;
    }
    case PlayVerb::kPrint:
      try {
        std::string value = in_.Evaluate(in_.Preprocess(S(a.text)));
        QByteArray out = Q(value).replace("\r\n", "\n").toUtf8() + '\n';
        StandardOutputCall call;
        fwrite(out.constData(), 1, out.size(), stdout);
        fflush(stdout);
        return true;
      } catch (const ESorane& e) {
        return Fail(a.line, "cannot print " + a.text + ": " + Q(e.Message()));
      }
    case PlayVerb::kClose:
      host_.Form().close();
      return true;
  }
  return true;
}

// A menu item is chosen as a person does: its item in the menu bar is
// clicked, then in each menu that opens the item on the way down, the last
// one being NAME itself. An item that is hidden or disabled cannot be.
bool Player::ChooseMenu(const PlayAction& a) {
  TObjNode* node = in_.S.Objects.FindByName(S(a.object));
  if (!node) return Fail(a.line, "no object named \"" + a.object + "\"");
  QtObjectBackend& widgets = host_.ObjectWidgets();
  std::vector<QPointer<QWidget>> path;  // from the menu bar's item down to NAME
  for (TObjNode* n = node; n && n->Kind == ObjKind::kMenu && path.size() <= 64;
       n = n->Parent > 0 ? in_.S.Objects.Get(n->Parent) : nullptr) {
    QWidget* item = widgets.WidgetOf(n->ObjectIndex);
    if (!item) return Fail(a.line, "the menu item \"" + Q(n->Name) + "\" has no window any more");
    path.insert(path.begin(), item);
  }
  QMenuBar* bar = HostMenuBar(&host_.Form());
  if (path.empty() || !bar) return Fail(a.line, "\"" + a.object + "\" is no menu item");
  QWidget* holder = bar;
  for (const QPointer<QWidget>& item : path) {
    // A handler of the item before may have destroyed this one.
    QAction* action = item ? MenuItemAction(item) : nullptr;
    if (!action) return Fail(a.line, "a menu on the way to \"" + a.object + "\" went away");
    auto* menu = qobject_cast<QMenu*>(holder);
    QRect at = menu ? menu->actionGeometry(action) : bar->actionGeometry(action);
    QString name = action->text();
    if (!holder->isVisible() || !action->isVisible() || at.isEmpty())
      return Fail(a.line, "the menu item \"" + name + "\" is not shown");
    if (!action->isEnabled())
      return Fail(a.line, "the menu item \"" + name + "\" cannot be chosen (disabled)");
    Click(holder, at.center(), Qt::LeftButton, Qt::NoModifier, false);
    holder = item;  // the item's own menu, opening when it holds items
    if (!holder) break;
    // A menu opens the menu of its item a moment after the click.
    if (!action->menu() || holder->isVisible()) continue;
    QElapsedTimer waited;
    waited.start();
    while (holder && !holder->isVisible() && waited.elapsed() < kMenuOpenMs)
      QCoreApplication::processEvents(QEventLoop::AllEvents, kPollMs);
    if (!holder) break;
  }
  // The menus closed (their pending activations processed): the window is
  // active again, as a desktop makes it (without a window manager nothing
  // does, and its shortcuts would be dead).
  QCoreApplication::processEvents();
  if (!QApplication::activePopupWidget() && host_.Form().isVisible())
    QApplication::setActiveWindow(&host_.Form());
  return true;
}

// A list, grid, combo or radio group: the item is clicked as a person picks it.
bool Player::Select(const PlayAction& a, QWidget* w) {
  auto missing = [&] {
    return Fail(a.line, "the object \"" + a.object + "\" has no item " +
                            (a.text.isEmpty() ? QString::number(a.item) : "\"" + a.text + "\""));
  };
  if (auto* combo = qobject_cast<QComboBox*>(w)) {
    int i = a.text.isEmpty() ? a.item : combo->findText(a.text);
    if (i < 0 || i >= combo->count()) return missing();
    if (!Seen(a, w, DefaultPoint(w))) return false;
    combo->showPopup();
    QAbstractItemView* view = combo->view();
    QModelIndex index = view->model()->index(i, combo->modelColumn(), view->rootIndex());
    view->scrollTo(index);
    Click(view->viewport(), view->visualRect(index).center(), Qt::LeftButton, Qt::NoModifier,
          false);
    if (view->isVisible()) combo->hidePopup();
    return true;
  }
  if (auto* view = qobject_cast<QAbstractItemView*>(w)) {
    QModelIndex index = ItemOf(view, a.item, a.text);
    if (!index.isValid()) return missing();
    view->scrollTo(index);
    QPoint at = view->visualRect(index).center();
    if (!Seen(a, w, view->viewport()->mapTo(w, at))) return false;
    Click(view->viewport(), at, Qt::LeftButton, Qt::NoModifier, false);
    return true;
  }
  QList<QRadioButton*> buttons = w->findChildren<QRadioButton*>();
  if (!buttons.isEmpty()) {
    QRadioButton* chosen = nullptr;
    for (int i = 0; i < buttons.size() && !chosen; ++i)
      if (a.text.isEmpty() ? i == a.item : buttons[i]->text() == a.text) chosen = buttons[i];
    if (!chosen) return missing();
    QPoint at = DefaultPoint(chosen);
    if (!Seen(a, w, chosen->mapTo(w, at))) return false;
    Click(chosen, at, Qt::LeftButton, Qt::NoModifier, false);
    return true;
  }
  return Fail(a.line, "the object \"" + a.object + "\" has no items to select");
}

}  // namespace sorane
