#pragma once
// Plays a movie or a sound in the preview with Qt Multimedia, under standard controls (play and
// pause, a position slider with the time, mute). A new file gets a new player, paused at its start:
// nothing plays by itself, the previous player is paused first, and hiding the view pauses it.
#include <QPointer>
#include <QWidget>

#include <filesystem>

class QAudioOutput;
class QLabel;
class QMediaPlayer;
class QSlider;
class QStackedLayout;
class QToolButton;
class QVideoWidget;

namespace lf::ui {

class MediaPlayer : public QWidget {
    Q_OBJECT
public:
    explicit MediaPlayer(QWidget* parent = nullptr);
    ~MediaPlayer() override;

    enum class Kind { movie, sound };
    // Replaces the player with a new one for the file, paused at the start.
    void setFile(const std::filesystem::path& file, Kind kind);
    // Pauses and lets go of the player (no file shown).
    void clear();
    // Pauses the player, if any.
    void pause();

    QMediaPlayer* player() const { return player_; }
    QToolButton* playButton() const { return play_; }

protected:
    void hideEvent(QHideEvent* event) override;

private:
    void updateControls();

    QMediaPlayer* player_ = nullptr;
    QAudioOutput* audio_ = nullptr;
    QStackedLayout* surfaces_ = nullptr;
    QWidget* idle_ = nullptr;       // black at 10 % while there is no player
    QVideoWidget* video_ = nullptr;
    QLabel* sound_ = nullptr;       // the waveform symbol while a sound plays
    QToolButton* play_ = nullptr;
    QSlider* position_ = nullptr;
    QLabel* time_ = nullptr;
    QToolButton* mute_ = nullptr;
};

}  // namespace lf::ui
