#include "split/WaveformEditorPlayer.h"

#include "audio/TAudioFile2.h"
#include "audio/TAudioPlayer2.h"

#include <algorithm>

namespace {
constexpr int BlockMs = 200;
constexpr int ExactSeek = 3;
} // namespace

WaveformEditorPlayer::WaveformEditorPlayer(QObject *parent)
    : QObject(parent), reader_(std::make_unique<TAudioFile2>()), player_(std::make_unique<TAudioPlayer2>())
{
    connect(player_.get(), &TAudioPlayer2::OnTimer, this,
            [this](qint64 played, int, int) { onTimer(played); });
    connect(player_.get(), &TAudioPlayer2::OnRequestOnLoadArray, this, [this] { feed(); });
    connect(player_.get(), &TAudioPlayer2::OnEndArrayPlay, this, [this] { feed(); });
    connect(player_.get(), &TAudioPlayer2::OnEndPlay, this, [this] { Stop(); });
}

WaveformEditorPlayer::~WaveformEditorPlayer()
{
    player_->Stop();
}

bool WaveformEditorPlayer::Play(const QString &path, int64_t from, int64_t to)
{
    Stop();
    reader_->OpenFile(path, 0, 1);
    if (reader_->LastError() != 0)
        return false;
    player_->SetFormat(reader_->SampleRate(), reader_->Channels());
    blockFrames_ = std::max(1, player_->MillisecondsToSamples(BlockMs));
    start_ = reader_->Seek(std::max<int64_t>(0, from), ExactSeek);
    next_ = start_;
    end_ = to;
    position_ = start_;
    player_->Play();
    if (player_->LastError() != 0) {
        reader_->CloseFile();
        return false;
    }
    playing_ = true;
    feed();
    feed();
    emit PositionChanged(position_);
    return true;
}

void WaveformEditorPlayer::Stop()
{
    player_->Stop();
    reader_->CloseFile();
    if (!playing_)
        return;
    playing_ = false;
    emit Stopped();
}

void WaveformEditorPlayer::feed()
{
    if (!playing_)
        return;
    int64_t count = blockFrames_;
    if (end_ >= 0)
        count = std::clamp<int64_t>(end_ - next_, 0, count);
    // An empty array, at the end of the stretch or of the file, tells the
    // player the data ends there.
    PcmArray pcm = count > 0 ? reader_->ReadArray(count) : PcmArray();
    next_ += count;
    player_->LoadArray(pcm);
}

void WaveformEditorPlayer::onTimer(qint64 played)
{
    if (!playing_)
        return;
    position_ = start_ + played;
    emit PositionChanged(position_);
}
