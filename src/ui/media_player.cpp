#include "ui/media_player.hpp"

#include <QAudioOutput>
#include <QHBoxLayout>
#include <QLabel>
#include <QMediaPlayer>
#include <QSlider>
#include <QStackedLayout>
#include <QStyle>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <QVideoWidget>

#include "ui/symbol_icon.hpp"

namespace lf::ui {

namespace {

// Qt Multimedia 6.4 would pick GStreamer, which lacks the common decoders without extra plugins;
// its FFmpeg backend plays what the folder scan accepts. The backend is chosen when the first
// multimedia object is made, so this must run before that; a choice made by the user wins.
void preferFFmpegBackend() {
    if (qEnvironmentVariableIsEmpty("QT_MEDIA_BACKEND")) qputenv("QT_MEDIA_BACKEND", "ffmpeg");
}

QString clock(qint64 ms) {
    const qint64 seconds = ms / 1000;
    const qint64 hours = seconds / 3600;
    const QString minutesSeconds = QStringLiteral("%1:%2")
                                       .arg(hours > 0 ? (seconds / 60) % 60 : seconds / 60, hours > 0 ? 2 : 1, 10, QChar('0'))
                                       .arg(seconds % 60, 2, 10, QChar('0'));
    return hours > 0 ? QString::number(hours) + u':' + minutesSeconds : minutesSeconds;
}

}  // namespace

MediaPlayer::MediaPlayer(QWidget* parent) : QWidget(parent) {
    preferFFmpegBackend();
    setAccessibleName(QStringLiteral("Player"));

    idle_ = new QWidget(this);
    idle_->setAutoFillBackground(true);
    QPalette idlePalette = idle_->palette();
    idlePalette.setColor(QPalette::Window, QColor(0, 0, 0, 26));
    idle_->setPalette(idlePalette);
    video_ = new QVideoWidget(this);
    video_->setAccessibleName(QStringLiteral("Movie"));
    sound_ = new QLabel(this);
    sound_->setAlignment(Qt::AlignCenter);
    sound_->setAccessibleName(QStringLiteral("Sound"));

    auto* surfaceHolder = new QWidget(this);
    surfaces_ = new QStackedLayout(surfaceHolder);
    surfaces_->addWidget(idle_);
    surfaces_->addWidget(video_);
    surfaces_->addWidget(sound_);

    play_ = new QToolButton(this);
    play_->setAutoRaise(true);
    play_->setAccessibleName(QStringLiteral("Play"));
    play_->setToolTip(QStringLiteral("Play"));
    position_ = new QSlider(Qt::Horizontal, this);
    position_->setAccessibleName(QStringLiteral("Position"));
    time_ = new QLabel(this);
    time_->setAccessibleName(QStringLiteral("Time"));
    mute_ = new QToolButton(this);
    mute_->setAutoRaise(true);
    mute_->setCheckable(true);
    mute_->setIcon(style()->standardIcon(QStyle::SP_MediaVolume));
    mute_->setAccessibleName(QStringLiteral("Mute"));
    mute_->setToolTip(QStringLiteral("Mute"));

    auto* controls = new QHBoxLayout;
    controls->setContentsMargins(0, 4, 0, 0);
    controls->setSpacing(6);
    controls->addWidget(play_);
    controls->addWidget(position_, 1);
    controls->addWidget(time_);
    controls->addWidget(mute_);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(surfaceHolder, 1);
    column->addLayout(controls);

    connect(play_, &QToolButton::clicked, this, [this] {
        if (!player_) return;
        if (player_->playbackState() == QMediaPlayer::PlayingState) {
            player_->pause();
        } else {
            player_->play();
        }
    });
    connect(position_, &QSlider::sliderMoved, this, [this](int value) {
        if (player_) player_->setPosition(value);
    });
    connect(mute_, &QToolButton::toggled, this, [this](bool muted) {
        if (audio_) audio_->setMuted(muted);
        mute_->setIcon(style()->standardIcon(muted ? QStyle::SP_MediaVolumeMuted : QStyle::SP_MediaVolume));
    });
    updateControls();
}

MediaPlayer::~MediaPlayer() { pause(); }

void MediaPlayer::setFile(const std::filesystem::path& file, Kind kind) {
    clear();
    player_ = new QMediaPlayer(this);
    audio_ = new QAudioOutput(player_);
    audio_->setMuted(mute_->isChecked());
    player_->setAudioOutput(audio_);
    if (kind == Kind::movie) {
        player_->setVideoOutput(video_);
        surfaces_->setCurrentWidget(video_);
    } else {
        QColor secondary = palette().color(QPalette::Text);
        secondary.setAlphaF(0.5);
        sound_->setPixmap(tintedSymbol(kindSymbolName(model::MediaKind::audio), 64, secondary, devicePixelRatioF()));
        surfaces_->setCurrentWidget(sound_);
    }
    connect(player_, &QMediaPlayer::playbackStateChanged, this, &MediaPlayer::updateControls);
    connect(player_, &QMediaPlayer::durationChanged, this, &MediaPlayer::updateControls);
    connect(player_, &QMediaPlayer::positionChanged, this, &MediaPlayer::updateControls);
    // The source is set, nothing more: playing is the person's choice.
    player_->setSource(QUrl::fromLocalFile(QString::fromStdString(file.string())));
    updateControls();
}

void MediaPlayer::pause() {
    if (player_ && player_->playbackState() == QMediaPlayer::PlayingState) player_->pause();
}

void MediaPlayer::clear() {
    if (player_) {
        pause();
        player_->disconnect(this);
        player_->setVideoOutput(nullptr);
        player_->deleteLater();
        player_ = nullptr;
        audio_ = nullptr;
    }
    surfaces_->setCurrentWidget(idle_);
    updateControls();
}

void MediaPlayer::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    pause();
}

void MediaPlayer::updateControls() {
    const bool playing = player_ && player_->playbackState() == QMediaPlayer::PlayingState;
    play_->setIcon(style()->standardIcon(playing ? QStyle::SP_MediaPause : QStyle::SP_MediaPlay));
    play_->setToolTip(playing ? QStringLiteral("Pause") : QStringLiteral("Play"));
    play_->setAccessibleName(playing ? QStringLiteral("Pause") : QStringLiteral("Play"));
    play_->setEnabled(player_ != nullptr);
    position_->setEnabled(player_ != nullptr);
    mute_->setEnabled(player_ != nullptr);
    const qint64 duration = player_ ? player_->duration() : 0;
    const qint64 position = player_ ? player_->position() : 0;
    position_->setRange(0, int(qMin<qint64>(duration, INT_MAX)));
    if (!position_->isSliderDown()) position_->setValue(int(qMin<qint64>(position, INT_MAX)));
    time_->setText(clock(position) + QStringLiteral(" / ") + clock(duration));
}

}  // namespace lf::ui
