#pragma once
#include <QByteArray>
#include <functional>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

// Runs `work` in a forked child and returns what it returned: for work whose
// limits (a file size limit) or measures (peak memory) must be its own. An
// exception in the child returns its text after "exception: ".
inline QByteArray InChild(const std::function<QByteArray()> &work)
{
    int fds[2];
    if (pipe(fds) != 0) {
        ADD_FAILURE() << "no pipe";
        return {};
    }
    const pid_t child = fork();
    if (child == 0) {
        close(fds[0]);
        QByteArray result;
        try {
            result = work();
        } catch (const std::exception &e) {
            result = QByteArray("exception: ") + e.what();
        }
        const bool sent = write(fds[1], result.constData(), size_t(result.size())) == result.size();
        _exit(sent ? 0 : 1);
    }
    close(fds[1]);
    QByteArray got;
    char buffer[4096];
    for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) > 0;)
        got.append(buffer, qsizetype(n));
    close(fds[0]);
    int status = 0;
    EXPECT_TRUE(child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "child ended with status " << status;
    return got;
}
