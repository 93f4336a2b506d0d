#pragma once
#include "split/SplitPlan.h"
#include "split/WaveformPeaksWorker.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <vector>

class TSplitForm;
class TWaveformStrip;

// The waveform of step 3's split-point group: reads the source's peaks once
// per source on a worker (from the moment the source is opened in step 1,
// so they are usually there by step 3) and keeps the strip in step with the
// plan, the parts list and the preview. Stops the worker when the window
// closes or the source changes.
class SplitWaveform : public QObject {
    Q_OBJECT
public:
    explicit SplitWaveform(TSplitForm &form);
    ~SplitWaveform() override;

    TWaveformStrip *Strip() const { return strip_; }
    const WaveformPeaksWorker::Status &Status() const { return status_; }
    // Starts reading path's peaks unless they are read or being read
    // already; an empty path clears the strip.
    void SetSource(const QString &path);
    // Ends the worker, keeping the peaks read so far.
    void Stop();
    // The plan's points and the list's selection, again.
    void ReadPlan();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void PollWorker();
    void StripSeek(int64_t frame);
    void StripPointMoved(int index, int64_t frame);

    TSplitForm &f_;
    TWaveformStrip *strip_;
    WaveformPeaksWorker worker_;
    QTimer poll_;
    QString source_;
    WaveformPeaksWorker::Status status_;
    std::vector<PeakRange> peaks_;
};

namespace split_wizard {

// Puts the waveform strip into step 3's split-point group above the parts
// list and wires it; after the preview and the editor are built.
SplitWaveform *BuildWaveform(TSplitForm &form);

} // namespace split_wizard
