#include "merge/BlockPump.h"

#include "audio/TAudioFile2.h"
#include "audio/TAudioInformation2.h"
#include "base/RunReport.h"
#include "merge/RunTexts.h"

#include <algorithm>
#include <exception>

OpenedSource OpenSource(TAudioInformation2 &info, TAudioFile2 &reader, int row, const QString &path,
                        RunReport &observer)
{
    observer.RowStatus(row, QStringLiteral("0%"));
    OpenedSource source;
    try {
        info.LoadFile(path);
        source.length = info.TotalSamples();
    } catch (const std::exception &e) {
        source.failure = FailureText(QStringLiteral("Cannot open"), path, QString::fromStdString(e.what()));
        return source;
    }
    reader.OpenFile(path, 0, 1);
    if (reader.LastError() != 0) {
        source.failure = FailureText(QStringLiteral("Cannot open"), path, reader.LastErrorText());
        return source;
    }
    source.opened = true;
    return source;
}

namespace {

template <class Flag>
PumpResult Pump(TAudioFile2 &reader, TAudioFile2 &writer, RunReport &observer, const PumpPass &pass,
                const Flag &running)
{
    PumpResult result;
    int64_t position = 0; // sample frames of the source read so far
    for (;;) {
        PcmArray block;
        try {
            writer.SetInputFormat(reader.SampleRate(), reader.Channels());
            block = reader.ReadArray(pass.blockSize);
        } catch (const std::exception &e) {
            return {PumpResult::ReadFailed, QString::fromStdString(e.what()), {}};
        }
        const int64_t n = int64_t(block.size());
        if (n == 0)
            break;
        if (pass.gain != 1.0f)
            for (float &sample : block)
                sample *= pass.gain;
        try {
            writer.WriteArray(block);
        } catch (const std::exception &e) {
            return {PumpResult::WriteFailed, QString::fromStdString(e.what()), {}};
        }
        block = PcmArray();

        position += n / std::max(1, reader.ElementsPerSample());
        if (position > pass.length)
            position = pass.length;
        if (pass.position)
            pass.position->store(position, std::memory_order_relaxed);
        if (pass.listTotal != 0)
            observer.Progress(int((pass.listDone + position) * 100 / pass.listTotal));
        if (pass.length != 0 && (pass.listTotal != 0 || !pass.rowOnlyWithGauge))
            observer.RowStatus(pass.row, QString::number(position * 100 / pass.length) + QLatin1Char('%'));
        observer.Breathe();
        if (!running) {
            result.end = PumpResult::Stopped;
            break;
        }
    }
    result.damage = DamageLine(pass.source, reader.ReadDamage());
    return result;
}

} // namespace

PumpResult PumpBlocks(TAudioFile2 &reader, TAudioFile2 &writer, RunReport &observer, const PumpPass &pass,
                      const bool &running)
{
    return Pump(reader, writer, observer, pass, running);
}

PumpResult PumpBlocks(TAudioFile2 &reader, TAudioFile2 &writer, RunReport &observer, const PumpPass &pass,
                      const std::atomic<bool> &running)
{
    return Pump(reader, writer, observer, pass, running);
}
