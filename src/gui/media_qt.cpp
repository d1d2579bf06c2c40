#include "gui/media_qt.h"

#include <QApplication>
#include <QAudioDevice>
#include <QAudioOutput>
#include <QEventLoop>
#include <QFile>
#include <QMediaDevices>
#include <QMediaPlayer>
#include <QTimer>
#include <QUrl>

namespace sorane {

namespace {

// How long opening waits for a file to load before it counts as unplayable.
constexpr int kLoadTimeoutMs = 5000;

}  // namespace

struct TQtMedia::Player {
  QMediaPlayer player;
  QAudioOutput output;
  int64_t from = -1, to = -1;  // what the last play asked for
  bool loop = false;
  bool held = false;  // stopped here: paused by the player, stopped for scripts
  bool failed = false;

  Player() {
    player.setAudioOutput(&output);
    QObject::connect(&player, &QMediaPlayer::mediaStatusChanged, [this](auto status) {
      if (status == QMediaPlayer::EndOfMedia && loop) Again();
    });
    QObject::connect(&player, &QMediaPlayer::positionChanged, [this](qint64 at) {
      if (to < 0 || at < to || player.playbackState() != QMediaPlayer::PlayingState) return;
      if (loop) {
        Again();
      } else {
        player.pause();
        held = true;
      }
    });
    // A device that goes away (or a file that breaks) stops the player; the
    // scripts see it stopped.
    QObject::connect(&player, &QMediaPlayer::errorOccurred, [this] { failed = true; });
  }
  void Again() {
    player.setPosition(from >= 0 ? from : 0);
    player.play();
  }
};

TQtMedia::TQtMedia() : has_output([] { return !QMediaDevices::audioOutputs().isEmpty(); }) {}

TQtMedia::~TQtMedia() = default;

TQtMedia::Player* TQtMedia::Find(int player) const {
  auto it = players_.find(player);
  return it == players_.end() ? nullptr : it->second.get();
}

int TQtMedia::OpenMedia(const std::string& os_path, Failure& failure) {
  failure = Failure::kCannotOpen;
  if (!has_output()) return 0;
  auto p = std::make_unique<Player>();
  p->player.setSource(QUrl::fromLocalFile(QFile::decodeName(QByteArray::fromStdString(os_path))));
  // The file loads in the background: wait for it (a bounded time), so a
  // file that cannot be played is known now and its length can be asked.
  if (p->player.mediaStatus() == QMediaPlayer::LoadingMedia && !p->failed) {
    QEventLoop loop;
    QTimer timeout;
    timeout.setSingleShot(true);
    QObject::connect(&timeout, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(&p->player, &QMediaPlayer::mediaStatusChanged, &loop, [&loop](auto status) {
      if (status != QMediaPlayer::LoadingMedia) loop.quit();
    });
    QObject::connect(&p->player, &QMediaPlayer::errorOccurred, &loop, &QEventLoop::quit);
    timeout.start(kLoadTimeoutMs);
    loop.exec();
  }
  QMediaPlayer::MediaStatus status = p->player.mediaStatus();
  if (p->failed || status == QMediaPlayer::InvalidMedia || status == QMediaPlayer::LoadingMedia ||
      status == QMediaPlayer::NoMedia) {
    if (p->player.error() == QMediaPlayer::FormatError || status == QMediaPlayer::InvalidMedia)
      failure = Failure::kUnsupported;
    return 0;
  }
  failure = Failure::kNone;
  int number = next_++;
  players_[number] = std::move(p);
  return number;
}

void TQtMedia::CloseMedia(int player) {
  auto it = players_.find(player);
  if (it == players_.end()) return;
  it->second->player.stop();
  players_.erase(it);
}

void TQtMedia::PlayMedia(int player, int64_t from_ms, int64_t to_ms, bool loop) {
  Player* p = Find(player);
  if (!p) return;
  p->from = from_ms;
  p->to = to_ms;
  p->loop = loop;
  p->held = false;
  if (from_ms >= 0) p->player.setPosition(from_ms);
  p->player.play();
}

void TQtMedia::PauseMedia(int player) {
  Player* p = Find(player);
  if (!p || p->player.playbackState() != QMediaPlayer::PlayingState) return;
  p->player.pause();
  p->held = false;
}

void TQtMedia::StopMedia(int player) {
  Player* p = Find(player);
  if (!p) return;
  if (p->player.playbackState() != QMediaPlayer::StoppedState) p->player.pause();
  p->held = true;
}

void TQtMedia::SeekMedia(int player, int64_t ms) {
  Player* p = Find(player);
  if (!p) return;
  StopMedia(player);
  p->player.setPosition(ms);
}

HostMedia::Mode TQtMedia::MediaMode(int player) {
  Player* p = Find(player);
  if (!p) return Mode::kNotReady;
  if (p->failed) return Mode::kStopped;
  switch (p->player.playbackState()) {
    case QMediaPlayer::PlayingState:
      return Mode::kPlaying;
    case QMediaPlayer::PausedState:
      return p->held ? Mode::kStopped : Mode::kPaused;
    case QMediaPlayer::StoppedState:
      break;
  }
  return Mode::kStopped;
}

int64_t TQtMedia::MediaLength(int player) {
  Player* p = Find(player);
  return p ? std::max<int64_t>(0, p->player.duration()) : 0;
}

int64_t TQtMedia::MediaPosition(int player) {
  Player* p = Find(player);
  return p ? std::max<int64_t>(0, p->player.position()) : 0;
}

void TQtMedia::SetMediaVolume(int player, int volume) {
  if (Player* p = Find(player)) p->output.setVolume(std::clamp(volume, 0, 1000) / 1000.0f);
}

void TQtMedia::SetMediaMuted(int player, bool muted) {
  if (Player* p = Find(player)) p->output.setMuted(muted);
}

void TQtMedia::Beep() {
  QApplication::beep();
}

}  // namespace sorane
