// The media player's backend on Qt Multimedia: sound through the default
// audio output, video into a widget laid over the display control.

#include "platform/gui/media_player.h"

#include <QAudioOutput>
#include <QMediaPlayer>
#include <QPointer>
#include <QUrl>
#include <QVideoWidget>
#include <QWidget>

#include <memory>

namespace gui {
namespace {

class QtMediaBackend : public TMediaBackend {
public:
    QtMediaBackend() {
        player_.setAudioOutput(&audio_);
        QObject::connect(&player_, &QMediaPlayer::errorOccurred, [this](QMediaPlayer::Error, const QString& text) {
            failed_ = true;
            error_ = text.toStdString();
        });
    }
    ~QtMediaBackend() override {
        player_.stop();
        player_.setVideoOutput(nullptr);
        delete video_.data();
    }
    void Load(const std::string& nativePath) override {
        failed_ = false;
        player_.setSource(QUrl::fromLocalFile(QString::fromStdString(nativePath)));
    }
    TLoadState LoadState() override {
        if (failed_ || player_.error() != QMediaPlayer::NoError) return TLoadState::Failed;
        switch (player_.mediaStatus()) {
        case QMediaPlayer::InvalidMedia: return TLoadState::Failed;
        case QMediaPlayer::LoadedMedia:
        case QMediaPlayer::BufferingMedia:
        case QMediaPlayer::BufferedMedia:
        case QMediaPlayer::EndOfMedia: return TLoadState::Loaded;
        default: return TLoadState::Loading;
        }
    }
    std::string ErrorText() override {
        if (!error_.empty()) return error_;
        return player_.errorString().toStdString();
    }
    void Play() override { player_.play(); }
    void Pause() override { player_.pause(); }
    void Stop() override { player_.stop(); }
    bool Playing() override { return player_.playbackState() == QMediaPlayer::PlayingState; }
    bool Paused() override { return player_.playbackState() == QMediaPlayer::PausedState; }
    std::int64_t Position() override { return player_.position(); }
    void SetPosition(std::int64_t ms) override { player_.setPosition(ms); }
    std::int64_t Length() override { return player_.duration(); }
    void SetDisplay(TWinControl* display, const TRect& rect) override {
        if (!player_.hasVideo() && !video_) return;
        QWidget* parent = display ? display->Widget() : nullptr;
        if (!video_ || video_->parentWidget() != parent) {
            player_.setVideoOutput(nullptr);
            delete video_.data();
            video_ = new QVideoWidget(parent);
            player_.setVideoOutput(video_.data());
        }
        if (parent) video_->setGeometry(rect.Left, rect.Top, rect.Width(), rect.Height());
        else video_->resize(320, 240);
        video_->show();
    }

private:
    QMediaPlayer player_;
    QAudioOutput audio_;
    QPointer<QVideoWidget> video_;
    bool failed_ = false;
    std::string error_;
};

}  // namespace

std::unique_ptr<TMediaBackend> CreateQtMediaBackend() {
    // The FFmpeg backend ships with Qt Multimedia itself; the GStreamer one
    // needs plugin packages we do not install and fails without them. A
    // user's own choice (QT_MEDIA_BACKEND) still wins.
    if (!qEnvironmentVariableIsSet("QT_MEDIA_BACKEND")) qputenv("QT_MEDIA_BACKEND", "ffmpeg");
    return std::make_unique<QtMediaBackend>();
}

}  // namespace gui
