#pragma once
#include "audio/PcmArray.h"

#include <QObject>
#include <cstdint>
#include <memory>

// Plays queued PCM arrays on the default audio output (Qt Multimedia).
// Events are Qt signals delivered on the UI thread.
class TAudioPlayer2 : public QObject {
    Q_OBJECT
public:
    explicit TAudioPlayer2(QObject *parent = nullptr);
    ~TAudioPlayer2() override;

    void SetFormat(int sampleRate, int channels);
    int MillisecondsToSamples(int ms) const;
    int64_t SamplesToMilliseconds(int64_t frames) const;
    void LoadArray(const PcmArray &pcm);
    void Play();
    void Stop();
    int64_t PlayedSamples() const;
    int LastError() const;
    PcmArray PeekArray(int count) const;

signals:
    void OnTimer(qint64 currentSamples, int levelLeft, int levelRight);
    void OnRequestOnLoadArray();
    void OnEndArrayPlay();
    void OnEndPlay();

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};
