#include "tests/support/privatehome.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace PrivateHome {

QTemporaryDir* prepare(const QString& prefix)
{
    auto* root = new QTemporaryDir(QDir::tempPath() + QLatin1Char('/') + prefix + QStringLiteral("-XXXXXX"));
    QDir(root->path()).mkpath(QStringLiteral("home"));
    QDir(root->path()).mkpath(QStringLiteral("config"));
    qputenv("HOME", QFile::encodeName(root->path() + QStringLiteral("/home")));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(root->path() + QStringLiteral("/config")));
    qputenv("XDG_DATA_HOME", QFile::encodeName(root->path() + QStringLiteral("/home/.local/share")));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(root->path() + QStringLiteral("/home/.cache")));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(root->path()));
    return root;
}
}
