// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/SingleInstance.h"

#include <QLocalServer>
#include <QLocalSocket>

SingleInstance::SingleInstance(const QString& key)
{
    // A copy that answers on the name is running already.
    QLocalSocket probe;
#if defined(Q_OS_LINUX)
    probe.setSocketOptions(QLocalSocket::AbstractNamespaceOption);
#endif
    probe.connectToServer(key);
    if (probe.waitForConnected(200)) return;

    auto server = std::make_unique<QLocalServer>();
#if defined(Q_OS_LINUX)
    // The abstract namespace has no file in the file system.
    server->setSocketOptions(QLocalServer::AbstractNamespaceOption);
#endif
    if (server->listen(key)) server_ = std::move(server);
}

SingleInstance::~SingleInstance() = default;
