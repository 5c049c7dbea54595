// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/SingleInstance.h"

#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>

#if defined(Q_OS_WIN)
#include <windows.h>
#elif defined(Q_OS_UNIX)
#include <unistd.h>
#endif

namespace
{
// A name outside the file system: the fallback where no runtime folder exists.
bool inAbstractNamespace(const QString& name)
{
#if defined(Q_OS_LINUX)
    return !name.startsWith(u'/');
#else
    Q_UNUSED(name);
    return false;
#endif
}
} // namespace

QString SingleInstance::lockName(const QString& key)
{
#if defined(Q_OS_WIN)
    DWORD session = 0;
    ProcessIdToSessionId(GetCurrentProcessId(), &session);
    return QStringLiteral("%1.%2.%3").arg(key, qEnvironmentVariable("USERNAME")).arg(session);
#elif defined(Q_OS_UNIX)
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir() && QFileInfo(runtime).isWritable())
        return QDir(runtime).filePath(key + QStringLiteral(".lock"));
#if defined(Q_OS_LINUX)
    return QStringLiteral("%1.uid%2").arg(key).arg(getuid());
#else
    return QDir::temp().filePath(QStringLiteral("%1.uid%2").arg(key).arg(getuid()));
#endif
#else
    return key;
#endif
}

SingleInstance::SingleInstance(const QString& key)
{
    const QString name = lockName(key);
    const bool abstract = inAbstractNamespace(name);

    // A copy that answers on the name is running already.
    QLocalSocket probe;
    if (abstract) probe.setSocketOptions(QLocalSocket::AbstractNamespaceOption);
    probe.connectToServer(name);
    if (probe.waitForConnected(200)) return;

    auto server = std::make_unique<QLocalServer>();
    if (abstract)
        server->setSocketOptions(QLocalServer::AbstractNamespaceOption);
    else
        server->setSocketOptions(QLocalServer::UserAccessOption);
    // Nobody answers: a socket file left by a crashed copy is ours to replace.
    if (!abstract) QLocalServer::removeServer(name);
    if (server->listen(name)) server_ = std::move(server);
}

SingleInstance::~SingleInstance() = default;
