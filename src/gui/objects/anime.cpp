// アニメ: a player of a sequence of pictures on a timer. 画像 gives the frames
// (one file name per line), 追加画像 adds frames, 値 is the time between
// frames in milliseconds, 繰り返し回数 how often the sequence plays (0: without
// end); ボタン機能 adds play controls (1: play and stop, 2: also one frame back
// and forward). The box takes the size of each picture it loads. 効果音 names
// a sound played once each time the sequence starts, on the host's media
// service; stopping the box or emptying it stops the sound.
#include <QHBoxLayout>
#include <QPainter>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include "gui/objects/qt_object_backend.h"
#include "gui/qt_text.h"
#include "platform/files.h"

namespace sorane {

namespace {

class TAnimeBox : public QWidget {
 public:
  TAnimeBox(QWidget* parent, HostMedia* media)
      : QWidget(parent), timer_(new QTimer(this)), media_(media) {
    timer_->setInterval(100);
    QObject::connect(timer_, &QTimer::timeout, this, [this] { Step(1, true); });
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addStretch();
    controls_ = new QWidget(this);
    auto* row = new QHBoxLayout(controls_);
    row->setContentsMargins(0, 0, 0, 0);
    auto add = [&](const char* text, auto action) {
      auto* b = new QToolButton(controls_);
      b->setText(QString::fromUtf8(text));
      QObject::connect(b, &QToolButton::clicked, this, action);
      row->addWidget(b);
      return b;
    };
    add("\u25B6", [this] { Play(); });
    add("\u25A0", [this] {
      timer_->stop();
      StopSound();
    });
    back_ = add("\u25C0", [this] { Step(-1, false); });
    forward_ = add("\u25B7", [this] { Step(1, false); });
    row->addStretch();
    layout->addWidget(controls_);
    SetButtons(0);
  }

  // Replaces (or extends) the frames with the pictures of the files that
  // load; the box takes the size of each in turn. False when none loaded.
  bool Load(const QStringList& names, bool add) {
    if (!add) Clear();
    bool loaded = false;
    for (const QString& name : names) {
      QImage picture = LoadPicture(S(name));
      if (picture.isNull()) continue;
      frames_.push_back(picture);
      resize(picture.size());
      loaded = true;
    }
    if (!add) Play();
    update();
    return loaded || names.isEmpty();
  }
  void Clear() {
    timer_->stop();
    StopSound();
    frames_.clear();
    current_ = 0;
    update();
  }
  // From the first frame; one frame needs no timer.
  void Play() {
    current_ = 0;
    loops_ = 0;
    if (frames_.size() > 1) timer_->start();
    if (!frames_.empty()) StartSound();
    update();
  }

  int Interval() const { return timer_->interval(); }
  void SetInterval(int ms) { timer_->setInterval(std::max(1, ms)); }
  int repeat_count = 0;
  bool stretch = false;
  bool transparent = false;
  uint32_t back_color = kButtonFaceColor;
  std::string sound;

  int Buttons() const { return buttons_; }
  void SetButtons(int kind) {
    buttons_ = kind == 1 || kind == 2 ? kind : 0;
    controls_->setVisible(buttons_ != 0);
    back_->setVisible(buttons_ == 2);
    forward_->setVisible(buttons_ == 2);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    if (!transparent) p.fillRect(rect(), ColorOf(back_color));
    if (frames_.empty()) return;
    const QImage& frame = frames_[current_];
    if (stretch)
      p.drawImage(rect(), frame);
    else
      p.drawImage(0, 0, frame);
  }

 private:
  // A sound that cannot be played (no audio output, a missing file) is left
  // out, as a sound effect is.
  void StartSound() {
    StopSound();
    if (!media_ || sound.empty() || !FileExists(sound)) return;
    HostMedia::Failure failure = HostMedia::Failure::kNone;
    sound_player_ = media_->OpenMedia(ToOsPath(sound), failure);
    if (sound_player_) media_->PlayMedia(sound_player_, -1, -1, false);
  }
  void StopSound() {
    if (media_ && sound_player_) media_->CloseMedia(sound_player_);
    sound_player_ = 0;
  }

  // The next (or previous) frame; played frames count the rounds.
  void Step(int by, bool playing) {
    if (frames_.empty()) return;
    int count = static_cast<int>(frames_.size());
    int next = ((current_ + by) % count + count) % count;
    if (playing && next == 0 && repeat_count > 0 && ++loops_ >= repeat_count) {
      timer_->stop();
      return;
    }
    current_ = next;
    update();
  }

  QTimer* timer_;
  std::vector<QImage> frames_;
  int current_ = 0;
  int loops_ = 0;
  int buttons_ = 0;
  QWidget* controls_;
  QToolButton* back_;
  QToolButton* forward_;
  HostMedia* media_;
  int sound_player_ = 0;  // the player of 効果音 while it sounds; 0 none
};

TAnimeBox* Anime(ObjWidget& o) {
  return o.As<TAnimeBox>();
}

QWidget* Create(ObjWidget& o, const NewObject&, QWidget* parent) {
  auto* anime = new TAnimeBox(parent, o.backend->Media());
  anime->resize(100, 100);
  return anime;
}

constexpr PropertyAccess kRows[] = {
    {PropId::kPicture,
     [](ObjWidget& o, const PropertyValue& v) { return Anime(o)->Load(QLines(v.text), false); },
     nullptr},
    {PropId::kAddPictures,
     [](ObjWidget& o, const PropertyValue& v) { return Anime(o)->Load(QLines(v.text), true); },
     nullptr},
    {PropId::kValue,
     [](ObjWidget& o, const PropertyValue& v) {
       Anime(o)->SetInterval(static_cast<int>(std::clamp<int64_t>(v.number, 1, INT32_MAX)));
       return true;
     },
     [](ObjWidget& o) { return NumberValue(Anime(o)->Interval()); }},
    {PropId::kRepeatCount,
     [](ObjWidget& o, const PropertyValue& v) {
       Anime(o)->repeat_count = static_cast<int>(std::clamp<int64_t>(v.number, 0, INT32_MAX));
       return true;
     },
     [](ObjWidget& o) { return NumberValue(Anime(o)->repeat_count); }},
    {PropId::kAnimeButtons,
     [](ObjWidget& o, const PropertyValue& v) {
       Anime(o)->SetButtons(static_cast<int>(v.number));
       return true;
     },
     [](ObjWidget& o) { return NumberValue(Anime(o)->Buttons()); }},
    {PropId::kSound,
     [](ObjWidget& o, const PropertyValue& v) {
       Anime(o)->sound = v.text;
       return true;
     },
     [](ObjWidget& o) { return TextValue(Anime(o)->sound); }},
    {PropId::kBackColor,
     [](ObjWidget& o, const PropertyValue& v) {
       Anime(o)->back_color = static_cast<uint32_t>(v.number);
       Anime(o)->update();
       return true;
     },
     [](ObjWidget& o) { return NumberValue(Anime(o)->back_color); }},
    {PropId::kStretch,
     [](ObjWidget& o, const PropertyValue& v) {
       Anime(o)->stretch = v.number != 0;
       Anime(o)->update();
       return true;
     },
     [](ObjWidget& o) { return FlagValue(Anime(o)->stretch); }},
    {PropId::kTransparent,
     [](ObjWidget& o, const PropertyValue& v) {
       Anime(o)->transparent = v.number != 0;
       Anime(o)->update();
       return true;
     },
     [](ObjWidget& o) { return FlagValue(Anime(o)->transparent); }},
};

}  // namespace

const KindWidget& AnimeWidget() {
  static const KindWidget kind{
      .create = Create,
      .properties = kRows,
      .empty = [](ObjWidget& o) { Anime(o)->Clear(); },
  };
  return kind;
}

}  // namespace sorane
