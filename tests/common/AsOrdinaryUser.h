#pragma once
#include <QFile>
#include <QString>
#include <gtest/gtest.h>

#include <cstdlib>
#include <initializer_list>
#include <unistd.h>

// Permissions do not bind root, and CI runs as root. While alive, this makes
// a root process the user "nobody", owner of the given folders and files; the
// saved user id lets it become root again. For anyone else it does nothing.
class AsOrdinaryUser {
public:
    explicit AsOrdinaryUser(std::initializer_list<QString> owned)
    {
        if (getuid() != 0)
            return;
        bool ok = true;
        for (const QString &path : owned)
            ok = ok && chown(QFile::encodeName(path).constData(), kNobody, kNobody) == 0;
        dropped_ = ok && setresgid(kNobody, kNobody, 0) == 0 && setresuid(kNobody, kNobody, 0) == 0;
        EXPECT_TRUE(dropped_) << "could not become an ordinary user";
    }
    ~AsOrdinaryUser()
    {
        if (dropped_ && (setresuid(0, 0, 0) != 0 || setresgid(0, 0, 0) != 0))
            std::abort(); // every later test would run with the wrong rights
    }
    AsOrdinaryUser(const AsOrdinaryUser &) = delete;
    AsOrdinaryUser &operator=(const AsOrdinaryUser &) = delete;

private:
    static constexpr uid_t kNobody = 65534;
    bool dropped_ = false;
};
