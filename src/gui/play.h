// --play FILE: user actions played into the running window, so GUI scripts can
// be driven and checked without a person (tests, CI under the offscreen
// platform). The file holds one action per line (UTF-8; blank lines and lines
// starting with "#" are skipped):
//
//   click NAME [X Y] [MODS]        press and release a mouse button on an object
//   double-click NAME [X Y] [MODS]
//   down NAME [X Y] [MODS]         mouse button down / up, pointer move
//   up NAME [X Y] [MODS]
//   move NAME X Y [MODS]
//   type NAME TEXT                 type TEXT into the object, key by key
//   key [NAME] KEY                 a key with modifiers: Return, Ctrl+S, F5 ...
//   select NAME ITEM               pick item ITEM (a number: its index as the
//                                  script counts; else its text) of a list,
//                                  combo, grid or radio group
//   drop NAME FILE...              drop files on the object
//   menu NAME                      choose the menu item NAME with the mouse:
//                                  its menu bar item, then each menu down to it
//   wait MS                        let the window run MS milliseconds
//   answer TEXT                    the next dialog gets TEXT (typed, or the
//                                  button so captioned)
//   cancel                         the next dialog is closed unanswered
//   screenshot FILE [NAME]         save the window (or the object) as PNG
//   print EXPRESSION               write the value of an expression of the
//                                  language (a variable, ボタン1のX, ...) to
//                                  standard output
//   close                          close the window as its close button does
//   stay                           keep the window open after the last action
//   meanwhile ACTION               play ACTION at once, even while a handler
//                                  still runs (it is then stacked)
//
// NAME is an object's name as the script gives it (母艦 is the host window);
// X Y are the object's client coordinates (the centre when omitted), MODS
// buttons and keys joined with "+" (left, right, middle, shift, ctrl, alt).
// A word holding blanks is written in double quotes ("\"" and "\\" inside);
// TEXT and EXPRESSION are the rest of the line. File names count from the
// play file's folder.
//
// Actions reach the widgets through Qt's own event delivery — mouse and drop
// events through the object's window, key events to the focused widget after
// the shortcut check — so they run the same handlers as a person's. Before
// each action (unless `meanwhile`) the player waits until the script is idle
// and the window's pending events are processed.
#pragma once

#include <QKeyCombination>
#include <QObject>
#include <QPoint>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <string>
#include <vector>

namespace sorane {

class Interpreter;
class TQtHost;

enum class PlayVerb {
  kClick,
  kDoubleClick,
  kDown,
  kUp,
  kMove,
  kType,
  kKey,
  kSelect,
  kDrop,
  kMenu,
  kWait,
  kAnswer,
  kCancel,
  kScreenshot,
  kPrint,
  kClose,
};

struct PlayAction {
  int line = 0;
  PlayVerb verb = PlayVerb::kClick;
  bool meanwhile = false;
  QString object;   // empty: none named
  bool at = false;  // a point was given
  int x = 0, y = 0;
  Qt::MouseButton button = Qt::LeftButton;
  Qt::KeyboardModifiers modifiers;
  QKeyCombination key;
  QString text;       // type, answer, print, select by text
  int item = -1;      // select by index
  QStringList files;  // drop: absolute names; screenshot: the picture
  int ms = 0;
};

struct PlayFile {
  std::vector<PlayAction> actions;
  bool stay = false;
  // A line that cannot be played: its number and why (empty when none).
  int error_line = 0;
  QString error;
};

// Reads play-file text (UTF-8); names of files count from `folder`.
PlayFile ParsePlay(const std::string& text, const QString& folder);

// Plays a file into the window of a run that has started (its statement loop
// has ended at 待機 or at the end of the program).
class Player : public QObject {
 public:
  // `shown_name` names the file in messages.
  Player(TQtHost& host, Interpreter& in, PlayFile play, std::string shown_name);

  // Runs the window's event loop while the actions play; after the last one
  // the picture `screenshot` is taken (when not empty) and the window closes
  // (unless the file says `stay`). Returns the exit status: 2 when an action
  // cannot be played (reported on standard error with its line) or the run
  // ended before the last one, 1 when the run stopped at an error or the
  // picture could not be saved, else 0.
  int Run(const std::string& screenshot);

 private:
  void Step();
  void Finish();
  bool Perform(const PlayAction& a);
  bool Select(const PlayAction& a, QWidget* w);
  bool ChooseMenu(const PlayAction& a);
  bool Seen(const PlayAction& a, QWidget* w, QPoint at);
  bool Fail(int line, const QString& message);
  QWidget* Target(const PlayAction& a);
  bool Idle() const;

  TQtHost& host_;
  Interpreter& in_;
  PlayFile play_;
  std::string shown_name_;
  std::string screenshot_;
  QTimer timer_;
  size_t next_ = 0;  // the next action to play
  int playing_ = 0;  // actions being delivered (a handler may wait inside one)
  bool done_ = false;
  int status_ = 0;
  int last_answer_line_ = 0;
};

}  // namespace sorane
