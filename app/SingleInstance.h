// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <memory>

class QLocalServer;

// A named system-wide object held while the game runs. It leaves no file behind
// and vanishes with the process.
class SingleInstance
{
  public:
    explicit SingleInstance(const QString& key);
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // True when another process already holds the name.
    bool anotherIsRunning() const { return !server_; }

  private:
    std::unique_ptr<QLocalServer> server_;
};
