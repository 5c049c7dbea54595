// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <memory>

class QLocalServer;

// A named object of the user's own held while the game runs: another user's copy,
// or any process of someone else that takes a name, blocks nobody. It vanishes
// with the process; a file left by a crash is taken over.
class SingleInstance
{
  public:
    explicit SingleInstance(const QString& key);
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // True when another process of this user already holds the name.
    bool anotherIsRunning() const { return !server_; }

    // Where the lock of `key` lies for the user running us: on Linux a socket
    // in $XDG_RUNTIME_DIR (a folder only the user can write), else a name with
    // the user's id; on Windows a name of the user and the logon session.
    static QString lockName(const QString& key);

  private:
    std::unique_ptr<QLocalServer> server_;
};
