#include "sim/SymbolicLink.h"

#include <QFile>

#include <array>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace sim {

namespace {

QByteArray ReadLink(const QByteArray& path) {
    std::array<char, 4096> target{};
    const ssize_t length = ::readlink(path.constData(), target.data(), target.size());
    return length > 0 ? QByteArray(target.data(), length) : QByteArray();
}

} // namespace

SymbolicLink::~SymbolicLink() {
    if (path_.isEmpty())
        return;
    const QByteArray linkName = QFile::encodeName(path_);
    if (ReadLink(linkName) == QFile::encodeName(target_))
        ::unlink(linkName.constData());
}

bool SymbolicLink::PointAt(const QString& path, const QString& target, QString* error) {
    const QByteArray linkName = QFile::encodeName(path);
    struct stat existing {};
    if (::lstat(linkName.constData(), &existing) == 0 && !S_ISLNK(existing.st_mode)) {
        if (error)
            *error = QStringLiteral("%1 exists and is not a symbolic link").arg(path);
        return false;
    }
    // A new link under a temporary name renamed over the old one: the path never goes missing.
    const QByteArray temporary = linkName + ".new" + QByteArray::number(::getpid());
    ::unlink(temporary.constData());
    if (::symlink(QFile::encodeName(target).constData(), temporary.constData()) != 0 ||
        ::rename(temporary.constData(), linkName.constData()) != 0) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        ::unlink(temporary.constData());
        return false;
    }
    path_ = path;
    target_ = target;
    return true;
}

} // namespace sim
