#include "tests/common/AudioFixtures.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QStandardPaths>
#include <gtest/gtest.h>

#include <cstring>
#include <vector>
#if defined(__SANITIZE_THREAD__)
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace fixtures {

#if defined(__SANITIZE_THREAD__)
// QProcess starts its child with a clone that ThreadSanitizer does not see,
// after which it misses the locks of the process's own threads and reports
// races that are none. A plain fork it follows. The time limit is not kept.
int Run(const QString &program, const QStringList &args, QByteArray *out, int)
{
    std::vector<QByteArray> words{program.toLocal8Bit()};
    for (const QString &a : args)
        words.push_back(a.toLocal8Bit());
    std::vector<char *> argv;
    for (QByteArray &w : words)
        argv.push_back(w.data());
    argv.push_back(nullptr);
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return -1;
    const pid_t pid = fork();
    if (pid == 0) {
        const int devNull = open("/dev/null", O_RDWR);
        dup2(devNull, 0);
        dup2(out ? pipeFds[1] : devNull, 1);
        dup2(devNull, 2);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    close(pipeFds[1]);
    QByteArray collected;
    char buffer[65536];
    for (ssize_t n; (n = read(pipeFds[0], buffer, sizeof buffer)) > 0;)
        collected.append(buffer, qsizetype(n));
    close(pipeFds[0]);
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid)
        return -1;
    if (out)
        *out = collected;
    return WIFEXITED(status) && WEXITSTATUS(status) != 127 ? WEXITSTATUS(status) : -1;
}
#else
int Run(const QString &program, const QStringList &args, QByteArray *out, int timeoutMs)
{
    QProcess p;
    p.setProcessChannelMode(out ? QProcess::SeparateChannels : QProcess::MergedChannels);
    p.start(program, args);
    if (!p.waitForStarted(10000))
        return -1;
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        return -1;
    }
    if (out)
        *out = p.readAllStandardOutput();
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}
#endif

void MakeTone(const QString &path, double seconds, int rate, int channels, const QStringList &outputArgs, int hz)
{
    QStringList args{"-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i",
                     QString("sine=frequency=%1:sample_rate=%2:duration=%3").arg(hz).arg(rate).arg(seconds, 0, 'f', 6),
                     "-ac", QString::number(channels)};
    args << outputArgs << path;
    ASSERT_EQ(Run("ffmpeg", args), 0) << "ffmpeg could not make " << path.toStdString();
}

Probe ProbeFile(const QString &path)
{
    Probe p;
    QByteArray out;
    if (Run("ffprobe", {"-v", "error", "-show_streams", "-show_format", "-select_streams", "a:0", "-of", "json", path}, &out) != 0)
        return p;
    const QJsonObject root = QJsonDocument::fromJson(out).object();
    p.raw = root;
    const QJsonArray streams = root.value("streams").toArray();
    QJsonObject tags;
    const QJsonObject ftags = root.value("format").toObject().value("tags").toObject();
    for (auto it = ftags.begin(); it != ftags.end(); ++it)
        tags.insert(it.key().toLower(), it.value());
    if (!streams.isEmpty()) {
        const QJsonObject s = streams.first().toObject();
        p.codec = s.value("codec_name").toString();
        p.sampleRate = s.value("sample_rate").toString().toInt();
        p.channels = s.value("channels").toInt();
        p.bitsPerSample = s.value("bits_per_sample").toInt();
        p.duration = s.value("duration").toString().toDouble();
        const QJsonObject stags = s.value("tags").toObject();
        for (auto it = stags.begin(); it != stags.end(); ++it)
            tags.insert(it.key().toLower(), it.value());
    }
    if (p.duration <= 0)
        p.duration = root.value("format").toObject().value("duration").toString().toDouble();
    p.tags = tags;
    return p;
}

std::vector<float> DecodedSamples(const QString &path)
{
    QByteArray out;
    if (Run("ffmpeg", {"-nostdin", "-v", "error", "-i", path, "-map", "0:a:0", "-f", "f32le", "-acodec", "pcm_f32le", "-"}, &out) != 0)
        return {};
    std::vector<float> v(out.size() / sizeof(float));
    std::memcpy(v.data(), out.constData(), v.size() * sizeof(float));
    return v;
}

int64_t DecodedFrames(const QString &path)
{
    const Probe p = ProbeFile(path);
    if (p.channels <= 0)
        return -1;
    return int64_t(DecodedSamples(path).size()) / p.channels;
}

bool HaveTool(const QString &program) { return !QStandardPaths::findExecutable(program).isEmpty(); }

} // namespace fixtures
