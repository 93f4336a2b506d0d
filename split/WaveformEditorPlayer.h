#pragma once
#include <QObject>
#include <QString>
#include <cstdint>
#include <memory>

class TAudioFile2;
class TAudioPlayer2;

// The waveform editor's playback: a stretch of the source, from a frame to a
// frame or to the end, with a reader and a player of its own (the wizard's
// preview is stopped before the editor opens, so the two never sound at
// once). Streams 200 ms blocks, two ahead, cutting the last at the stretch's end.
class WaveformEditorPlayer : public QObject {
    Q_OBJECT
public:
    explicit WaveformEditorPlayer(QObject *parent = nullptr);
    ~WaveformEditorPlayer() override;

    // to < 0: to the end of the source. Returns whether playback started.
    bool Play(const QString &path, int64_t from, int64_t to);
    void Stop();
    bool Playing() const { return playing_; }
    // The frame being heard (the start of the stretch before the first report).
    int64_t Position() const { return position_; }

signals:
    void PositionChanged(qint64 frame);
    void Stopped();

private:
    void feed();
    void onTimer(qint64 played);

    std::unique_ptr<TAudioFile2> reader_;
    std::unique_ptr<TAudioPlayer2> player_;
    bool playing_ = false;
    int64_t start_ = 0;
    int64_t next_ = 0;  // the next frame to read
    int64_t end_ = -1;  // -1: the source's end
    int64_t position_ = 0;
    int blockFrames_ = 0;
};
