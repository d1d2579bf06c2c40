#include "gui/frm_sorane.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QColorDialog>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFontDialog>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QScreen>
#include <QTemporaryFile>
#include <QTimer>

#include "gui/dialog_automation.h"
#include "gui/frm_debug.h"
#include "gui/frm_dialogs.h"
#include "gui/qt_text.h"
#include "gui/virtual_keys.h"
#include "library/objects/parse.h"
#include "library/output/output.h"
#include "runtime/events.h"
#include "runtime/interpreter.h"
#include "text/sjis.h"

namespace sorane {

// The face names scripts use on other systems, and the installed Japanese
// faces that draw them.
static const std::pair<const char*, const char*> kFaceSubstitutes[] = {
    {"ＭＳ ゴシック", "Noto Sans Mono CJK JP"},
    {"ＭＳ Ｐゴシック", "Noto Sans CJK JP"},
    {"ＭＳ 明朝", "Noto Serif CJK JP"},
    {"ＭＳ Ｐ明朝", "Noto Serif CJK JP"},
    {"MS UI Gothic", "Noto Sans CJK JP"},
    {"メイリオ", "Noto Sans CJK JP"},
    {"Meiryo", "Noto Sans CJK JP"},
    {"MS Gothic", "Noto Sans Mono CJK JP"},
    {"MS PGothic", "Noto Sans CJK JP"},
    {"MS Mincho", "Noto Serif CJK JP"},
    {"MS PMincho", "Noto Serif CJK JP"}};

void InstallFontSubstitutes() {
  for (const auto& [name, face] : kFaceSubstitutes) {
    QFont::insertSubstitution(QString::fromUtf8(name), QString::fromUtf8(face));
    QFont::insertSubstitution(QString::fromUtf8(name), QStringLiteral("Noto Sans CJK JP"));
  }
}

TfrmSorane::TfrmSorane() {
  setObjectName("frmSorane");
  setWindowTitle(QString::fromUtf8("そらね"));
  QApplication::setApplicationDisplayName(QString::fromUtf8("そらね"));
  resize(640, 400);
  img_ = QImage(640, 400, QImage::Format_RGB32);
  img_.fill(window_color_);
  setAttribute(Qt::WA_OpaquePaintEvent);
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect area = screen->availableGeometry();
    QSize frame = frameGeometry().size();
    move(area.left() + (area.width() - frame.width()) / 2,
         area.top() + (area.height() - frame.height()) / 2);
  }
  text_font_ = QFont(QString::fromUtf8("ＭＳ ゴシック"), 12);
  setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);
  // Key preview: every key event of the window passes here first.
  qApp->installEventFilter(this);
  label_timer_ = new QTimer(this);
  label_timer_->setSingleShot(true);
  connect(label_timer_, &QTimer::timeout, this, [this] {
    if (!in_ || in_->S.StopRequested) return;
    try {
      LabelTimerTick(*in_);
    } catch (...) {
    }
  });
}

void TfrmSorane::StartLabelTimer(int ms) {
  label_timer_->stop();
  if (ms > 0) label_timer_->start(ms);
}

void TfrmSorane::StopLabelTimer() {
  label_timer_->stop();
}

bool TfrmSorane::LabelTimerActive() const {
  return label_timer_->isActive();
}

bool TfrmSorane::StartRun() {
  return in_->Start();
}

QImage TfrmSorane::Snapshot() {
  return grab().toImage();
}

// ---- Drawing surface ----

void TfrmSorane::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), window_color_);
  p.drawImage(0, 0, img_);
}

void TfrmSorane::resizeEvent(QResizeEvent* e) {
  QSize size = e->size();
  if (size.width() > 0 && size.height() > 0 && size != img_.size()) {
    QImage grown(size, QImage::Format_RGB32);
    grown.fill(window_color_);
    QPainter p(&grown);
    p.drawImage(0, 0, img_);
    p.end();
    img_ = grown;
  }
  QWidget::resizeEvent(e);
  RaiseSlot(kEventChange);
}

void TfrmSorane::closeEvent(QCloseEvent* e) {
  if (!closing_ && in_ && !CloseRequest(*in_)) {
    e->ignore();
    return;
  }
  closing_ = true;
  e->accept();
}

// ---- Events of object 0 ----

TObjNode* TfrmSorane::HostObject() const {
  if (!in_ || in_->S.StopRequested) return nullptr;
  return in_->S.Objects.Get(0);
}

void TfrmSorane::SetEventVariable(const char* name, const std::string& value) {
  if (THashNode* w = in_->S.Words.FindExact(Utf8ToSjis(name))) w->Value = value;
}

// Errors of the event machinery outside the statement loop are dropped: they
// must not unwind through the window system.
void TfrmSorane::RaiseSlot(int slot) {
  TObjNode* host = HostObject();
  if (!host || host->EventTarget[slot].None()) return;
  try {
    FireSlot(*in_, *host, slot);
  } catch (...) {
  }
}

void TfrmSorane::RaiseKey(QKeyEvent* e, bool down) {
  TObjNode* host = HostObject();
  int slot = down ? kEventKeyDown : kEventKeyUp;
  if (!host || host->EventTarget[slot].None()) return;
  SetEventVariable("押されたキー", std::to_string(VirtualKeyOf(e->key(), e->modifiers())));
  SetEventVariable("押された特殊キー",
                   SpecialKeysText(e->modifiers(), QGuiApplication::mouseButtons(), false));
  RaiseSlot(slot);
}

void TfrmSorane::RaiseMouse(QMouseEvent* e, int slot, bool double_click) {
  if (!HostObject()) return;
  QPoint at = e->position().toPoint();
  SetEventVariable("マウスX", std::to_string(at.x()));
  SetEventVariable("マウスY", std::to_string(at.y()));
  Qt::MouseButtons buttons = e->buttons() | e->button();
  SetEventVariable("押された特殊キー", SpecialKeysText(e->modifiers(), buttons, double_click));
  RaiseSlot(slot);
}

bool TfrmSorane::eventFilter(QObject* watched, QEvent* e) {
  bool key = e->type() == QEvent::KeyPress || e->type() == QEvent::KeyRelease;
  if (!key || !watched->isWidgetType()) return false;
  auto* widget = static_cast<QWidget*>(watched);
  if (widget != this && !isAncestorOf(widget)) return false;
  auto* k = static_cast<QKeyEvent*>(e);
  // The same event passes once per widget while it propagates to the parents.
  if (e == last_key_event_ && k->timestamp() == last_key_time_) return false;
  last_key_event_ = e;
  last_key_time_ = k->timestamp();
  if (e->type() == QEvent::KeyRelease && k->isAutoRepeat()) return false;
  RaiseKey(k, e->type() == QEvent::KeyPress);
  return false;
}

void TfrmSorane::mousePressEvent(QMouseEvent* e) {
  pressed_ = true;
  RaiseMouse(e, kEventMouseDown, false);
}

void TfrmSorane::mouseReleaseEvent(QMouseEvent* e) {
  bool click = pressed_ && rect().contains(e->position().toPoint());
  pressed_ = false;
  RaiseMouse(e, kEventMouseUp, false);
  if (click) RaiseSlot(kEventClick);
}

void TfrmSorane::mouseDoubleClickEvent(QMouseEvent* e) {
  pressed_ = true;
  RaiseSlot(kEventDblClick);
  RaiseMouse(e, kEventMouseDown, true);
}

void TfrmSorane::mouseMoveEvent(QMouseEvent* e) {
  RaiseMouse(e, kEventMouseMove, false);
}

QColor TfrmSorane::ToQColor(uint32_t color) {
  if (!IsSystemColor(color)) return QColor(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
  QPalette pal = QGuiApplication::palette();
  switch (color & 0xFF) {
    case 1:
    case 12:
      return pal.color(QPalette::Dark);  // desktop, workspace
    case 2:
    case 13:
      return pal.color(QPalette::Highlight);  // active caption, selection
    case 3:
      return pal.color(QPalette::Inactive, QPalette::Highlight);
    case 5:
    case 24:
      return pal.color(QPalette::Base);  // window, tooltip back
    case 7:
    case 8:
    case 23:
      return pal.color(QPalette::Text);  // menu/window/tip text
    case 9:
    case 14:
      return pal.color(QPalette::HighlightedText);
    case 16:
      return pal.color(QPalette::Mid);  // button shadow
    case 17:
      return pal.color(QPalette::PlaceholderText);  // grey text
    case 18:
      return pal.color(QPalette::ButtonText);
    case 20:
    case 22:
      return pal.color(QPalette::Light);
    case 21:
      return pal.color(QPalette::Shadow);
    default:
      return pal.color(QPalette::Window);  // button face and the rest
  }
}

void TfrmSorane::PrintLine(const std::string& line) {
  DrawText(in_ ? in_->S.CursorX : 10, in_ ? in_->S.CursorY : 10, line);
}

void TfrmSorane::ClearOutput() {
  ClearOutputWith(0xFFFFFFFF);
}

void TfrmSorane::ClearOutputWith(uint32_t color) {
  // 0xFFFFFFFF: keep the window colour.
  if (color != 0xFFFFFFFF) window_color_ = ToQColor(color);
  img_.fill(window_color_);
  update();
}

void TfrmSorane::SetTextFont(const TextFont& font) {
  QFont f(Q(font.face));
  f.setPointSize(font.size > 0 ? font.size : 12);
  f.setBold(font.bold);
  f.setItalic(font.italic);
  f.setUnderline(font.underline);
  text_font_ = f;
  text_color_ = ToQColor(font.color);
}

int TfrmSorane::TextWidth(const std::string& text) {
  return QFontMetrics(text_font_, &img_).horizontalAdvance(Q(text));
}

int TfrmSorane::TextHeight(const std::string& text) {
  // The line height of the font: the same for every text of one line.
  return text.empty() ? 0 : QFontMetrics(text_font_, &img_).height();
}

void TfrmSorane::DrawText(int x, int y, const std::string& line) {
  QPainter p(&img_);
  p.setFont(text_font_);
  p.setPen(text_color_);
  QFontMetrics fm(text_font_, &img_);
  p.drawText(x, y + fm.ascent(), Q(line));  // (x, y) is the top-left corner
  p.end();
  update();
}

// The installed faces, and the substituted face names first: a font text
// naming ＭＳ 明朝 keeps that name (drawn in the serif face) instead of falling
// back to ＭＳ ゴシック.
std::vector<std::string> TfrmSorane::FontFamilies() {
  std::vector<std::string> names;
  for (const auto& [name, face] : kFaceSubstitutes) names.push_back(Utf8ToSjis(name));
  for (const QString& family : QFontDatabase::families()) names.push_back(S(family));
  return names;
}

// ---- Dialogs ----

static DialogLook Look(TfrmSorane& w, const QFont& font) {
  return {QApplication::applicationDisplayName(), font};
}

void TfrmSorane::Say(const std::string& text) {
  ShowMessageDialog(this, Look(*this, text_font_), Q(text));
}

void TfrmSorane::MessageBox(const std::string& text, const std::string& title) {
  ShowMessageDialog(this, {title.empty() ? windowTitle() : Q(title), font()}, Q(text));
}

bool TfrmSorane::ErrorDialog(const std::string& log, bool debug_button, bool& debug_requested) {
  TfrmError dialog(this, debug_button);
  dialog.SetLog(Q(log));
  bool go_on = dialog.Ask(debug_requested);
  if (!go_on) {
    stopped_by_error_ = true;
    if (in_) {
      in_->S.StopRequested = true;
      in_->S.ExecPos = TPos();
    }
    Close();
  }
  return go_on;
}

bool TfrmSorane::DebugDialog(const std::string& word) {
  return in_ && ShowDebugDialog(this, *in_, word);
}

std::optional<std::string> TfrmSorane::AskText(const std::string& prompt,
                                               const std::string& initial) {
  auto answer = AskTextDialog(this, Look(*this, text_font_), Q(prompt), Q(initial));
  if (!answer) return std::nullopt;
  return S(*answer);
}

static QStringList ToQList(const std::vector<std::string>& items) {
  QStringList list;
  for (const std::string& item : items) list << Q(item);
  return list;
}

int TfrmSorane::AskChoice(const std::string& prompt, const std::vector<std::string>& buttons) {
  return AskButtons(prompt, buttons);
}

int TfrmSorane::AskYesNo(const std::string& prompt, bool with_cancel) {
  return AskYesNoDialog(this, Look(*this, font()), Q(prompt), with_cancel);
}

std::optional<std::string> TfrmSorane::AskFromList(const std::string& prompt,
                                                   const std::vector<std::string>& items,
                                                   const std::string& initial, bool editable) {
  auto answer =
      AskListDialog(this, Look(*this, text_font_), Q(prompt), ToQList(items), Q(initial), editable);
  if (!answer) return std::nullopt;
  return S(*answer);
}

int TfrmSorane::AskButtons(const std::string& prompt, const std::vector<std::string>& buttons) {
  return AskButtonsDialog(this, Look(*this, text_font_), Q(prompt), ToQList(buttons), width());
}

std::optional<std::string> TfrmSorane::AskMemo(const std::string& initial,
                                               const std::string& caption) {
  auto answer = AskMemoDialog(this, text_font_, Q(initial), Q(caption));
  if (!answer) return std::nullopt;
  return S(*answer);
}

// A queued test answer stands for the platform choosers.
static std::optional<QString> ScriptedAnswer() {
  if (!HasDialogAnswer()) return std::nullopt;
  return TakeDialogAnswer();
}

// "label|pattern|label|pattern" → Qt's "label (pattern);;label (pattern)".
static QString QtFilter(const QString& filter) {
  QStringList parts = filter.split('|');
  QStringList out;
  for (int i = 0; i + 1 < parts.size(); i += 2)
    out << parts[i] + " (" + QString(parts[i + 1]).replace(';', ' ') + ")";
  return out.join(";;");
}

std::optional<std::vector<std::string>> TfrmSorane::AskFiles(const FileRequest& request) {
  QStringList files;
  if (auto scripted = ScriptedAnswer()) {
    if (*scripted == kCancelAnswer) return std::nullopt;
    files = scripted->split(';');
  } else {
    QFileDialog d(this);
    d.setNameFilter(QtFilter(Q(request.filter)));
    d.setDirectory(QDir::currentPath());
    if (!request.initial_name.empty()) d.selectFile(Q(request.initial_name));
    d.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    d.setFileMode(request.save ? QFileDialog::AnyFile : QFileDialog::ExistingFiles);
    if (request.save) d.setDefaultSuffix(Q(request.default_ext));
    if (d.exec() != QDialog::Accepted) return std::nullopt;
    files = d.selectedFiles();
  }
  std::vector<std::string> names;
  for (const QString& f : files) names.push_back(S(QDir::current().absoluteFilePath(f)));
  return names;
}

std::optional<std::string> TfrmSorane::AskFolder() {
  QString folder;
  if (auto scripted = ScriptedAnswer()) {
    if (*scripted == kCancelAnswer) return std::nullopt;
    folder = QDir::current().absoluteFilePath(*scripted);
  } else {
    folder = QFileDialog::getExistingDirectory(this, QString(), QDir::currentPath());
    if (folder.isEmpty()) return std::nullopt;
  }
  return S(folder);
}

std::optional<uint32_t> TfrmSorane::AskColor() {
  if (auto scripted = ScriptedAnswer()) {
    if (*scripted == kCancelAnswer) return std::nullopt;
    return ParseColor(S(*scripted));
  }
  QColor c = QColorDialog::getColor(Qt::black, this);
  if (!c.isValid()) return std::nullopt;
  return c.red() | c.green() << 8 | c.blue() << 16;
}

std::optional<std::string> TfrmSorane::AskFont() {
  if (auto scripted = ScriptedAnswer()) {
    if (*scripted == kCancelAnswer) return std::nullopt;
    return S(*scripted);
  }
  bool ok = false;
  QFont f = QFontDialog::getFont(&ok, QFont(QString::fromUtf8("ＭＳ Ｐゴシック"), 9), this);
  if (!ok) return std::nullopt;
  return FormatFontText(S(f.family()), f.bold(), f.italic(), f.underline(), f.pointSize());
}

// ---- Window state and services ----

void TfrmSorane::ProcessEvents() {
  QCoreApplication::processEvents();
}

void TfrmSorane::Close() {
  closing_ = true;
  close();
}

int TfrmSorane::ScreenWidth() {
  QScreen* s = screen();
  return s ? s->size().width() : 1024;
}

int TfrmSorane::ScreenHeight() {
  QScreen* s = screen();
  return s ? s->size().height() : 768;
}

void TfrmSorane::WindowCommand(WindowAction action) {
  switch (action) {
    case WindowAction::kMaximise:
      showMaximized();
      break;
    case WindowAction::kMinimise:
    case WindowAction::kMinimiseForm:
      showMinimized();
      break;
    case WindowAction::kNormal:
      showNormal();
      break;
    case WindowAction::kRestore:
      setWindowFlag(Qt::WindowStaysOnTopHint, false);
      setWindowFlag(Qt::FramelessWindowHint, false);
      unsetCursor();
      showNormal();
      break;
    case WindowAction::kFullScreen:
      setWindowFlag(Qt::WindowStaysOnTopHint, true);
      setWindowFlag(Qt::FramelessWindowHint, true);
      showFullScreen();
      break;
    case WindowAction::kShow:
      show();
      ProcessEvents();
      break;
    case WindowAction::kRepaint:
      repaint();
      ProcessEvents();
      break;
  }
}

void TfrmSorane::SetBorderStyle(int style) {
  bool visible = isVisible();
  Qt::WindowFlags flags = Qt::Window;
  switch (style) {
    case 0:
      flags |= Qt::FramelessWindowHint;
      break;
    case 1:
    case 3:
      flags |= Qt::MSWindowsFixedSizeDialogHint;
      break;
    case 4:
    case 5:
      flags = Qt::Tool;
      break;
    default:
      break;
  }
  setWindowFlags(flags);
  if (style == 1 || style == 3 || style == 4)
    setFixedSize(size());
  else
    setFixedSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX), setMinimumSize(0, 0);
  if (visible) show();
}

bool TfrmSorane::SetIconFile(const std::string& os_path) {
  QImage picture(QString::fromStdString(os_path));
  if (picture.isNull()) return false;
  return SetIconFromImage(picture);
}

bool TfrmSorane::SetIconFromImage(const QImage& picture) {
  // A unique temporary file, never a shared fixed name: two runs at once must
  // not read each other's icon. It is removed when `file` goes out of scope.
  QTemporaryFile file(QDir::tempPath() + "/sorane-icon-XXXXXX.png");
  if (!file.open() || !picture.save(&file, "PNG")) return false;
  file.close();
  QIcon icon(QPixmap(file.fileName()));
  if (icon.isNull()) return false;
  setWindowIcon(icon);
  QApplication::setWindowIcon(icon);
  return true;
}

QRect TfrmSorane::FitToPage(const QSize& window, const QRect& page) {
  if (window.isEmpty() || page.isEmpty()) return QRect();
  double f =
      std::max(double(window.width()) / page.width(), double(window.height()) / page.height());
  return QRect(0, 0, static_cast<int>(window.width() / f), static_cast<int>(window.height() / f));
}

// The printer set-up dialog: false when cancelled. A queued test answer stands
// for the user; without a printer there is nothing to set up.
static bool PrinterSetUp(QPrinter& printer, QWidget* parent, bool has_printer) {
  if (auto scripted = ScriptedAnswer()) return *scripted != kCancelAnswer;
  if (!has_printer) return true;
  if (qEnvironmentVariableIsSet("SORANE_DIALOG_NO_USER")) return false;
  QPrintDialog dialog(&printer, parent);
  return dialog.exec() == QDialog::Accepted;
}

Host::PrintResult TfrmSorane::PrintWindow(const std::string& pdf_fallback) {
  QPrinter printer(QPrinter::HighResolution);
  bool has_printer = !QPrinterInfo::defaultPrinter().isNull();
  if (!PrinterSetUp(printer, this, has_printer)) return PrintResult::kCancelled;
  repaint();
  ProcessEvents();
  QImage picture = Snapshot();
  if (!has_printer) {
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(SjisToUtf8(pdf_fallback)).replace('\\', '/'));
  }
  printer.setDocName(windowTitle());
  QPainter p;
  if (!p.begin(&printer)) return PrintResult::kFailed;
  QRect page = printer.pageLayout().paintRectPixels(printer.resolution());
  QRect target = FitToPage(picture.size(), QRect(0, 0, page.width(), page.height()));
  p.drawImage(target, picture);
  return p.end() ? PrintResult::kPrinted : PrintResult::kFailed;
}

Host::Geometry TfrmSorane::GetGeometry() {
  Geometry g;
  g.state = isMinimized() ? 1 : isMaximized() ? 2 : 0;
  QRect r = normalGeometry().isValid() ? normalGeometry() : geometry();
  g.top = r.top();
  g.left = r.left();
  g.height = r.height();
  g.width = r.width();
  return g;
}

void TfrmSorane::SetGeometry(const Geometry& g) {
  setGeometry(g.left, g.top, g.width, g.height);
  if (g.state == 1) showMinimized();
  if (g.state == 2) showMaximized();
  if (g.state == 0 && (isMinimized() || isMaximized())) showNormal();
}

std::string TfrmSorane::WindowCaption() {
  return S(windowTitle());
}

void TfrmSorane::SetClipboardText(const std::string& text) {
  QGuiApplication::clipboard()->setText(Q(text));
}

std::string TfrmSorane::ClipboardText() {
  return S(QGuiApplication::clipboard()->text());
}

}  // namespace sorane
