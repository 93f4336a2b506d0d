#pragma once
#include <QFile>
#include <QString>
#include <cstdint>
#include <vector>

namespace audio_detail {

// The byte sink of the MP3 and Ogg encoders: collects output and writes it in
// large chunks, turns every refused write into an AudioError naming the file,
// and removes the file unless commit() was reached.
class OutputFile {
public:
    explicit OutputFile(const QString &path); // creates/truncates; throws AudioError
    ~OutputFile();                            // removes the file unless committed
    OutputFile(const OutputFile &) = delete;
    OutputFile &operator=(const OutputFile &) = delete;

    void append(const void *data, int64_t size);
    // Writes `size` bytes at `offset` from the start (used for headers that are
    // known only at the end). Pending data is flushed first.
    void overwrite(int64_t offset, const void *data, int64_t size);
    void commit(); // flushes and closes; throws when the data did not reach the disk
    const QString &path() const { return path_; }

private:
    void flushPending();
    [[noreturn]] void fail();

    QString path_;
    QFile file_;
    std::vector<char> pending_;
    bool committed_ = false;
};

} // namespace audio_detail
