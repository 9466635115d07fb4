#include "platform/private_files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {
std::atomic<qint64> bytesWritten{0};

QString errnoText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

std::optional<QString> unsafeFile(const struct stat& info) {
    if (S_ISLNK(info.st_mode))
        return QStringLiteral("it is a symbolic link");
    if (!S_ISREG(info.st_mode))
        return QStringLiteral("it is not a regular file");
    if (info.st_uid != geteuid())
        return QStringLiteral("it belongs to another user");
    return std::nullopt;
}

bool writeAll(int fd, const QByteArray& bytes) {
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + written, size_t(bytes.size() - written));
        if (n <= 0)
            break;
        written += n;
    }
    bytesWritten += written;
    return written == bytes.size();
}
} // namespace

bool makePrivateFolder(const QString& path) {
    const QString absolute = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    QStringList missing;
    for (QString folder = absolute; !folder.isEmpty() && !QFileInfo::exists(folder);
         folder = folder.left(folder.lastIndexOf(QLatin1Char('/'))))
        missing.prepend(folder);
    for (const QString& folder : std::as_const(missing))
        if (::mkdir(QFile::encodeName(folder).constData(), 0700) != 0 && errno != EEXIST)
            return false;
    return QFileInfo(absolute).isDir();
}

std::optional<QString> unsafeToWrite(const QString& path) {
    struct stat info;
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return std::nullopt;
    return unsafeFile(info);
}

int openPrivateForAppend(const QString& path, QString* reason) {
    const int fd =
        ::open(QFile::encodeName(path).constData(),
               O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd < 0) {
        *reason = errno == ELOOP ? QStringLiteral("it is a symbolic link") : errnoText(errno);
        return -1;
    }
    struct stat info;
    if (::fstat(fd, &info) != 0) {
        *reason = errnoText(errno);
        ::close(fd);
        return -1;
    }
    if (const auto unsafe = unsafeFile(info)) {
        *reason = *unsafe;
        ::close(fd);
        return -1;
    }
    if ((info.st_mode & 077) != 0)
        ::fchmod(fd, 0600);
    ::fcntl(fd, F_SETFL, O_WRONLY | O_APPEND);
    return fd;
}

bool replacePrivateFile(const QString& path, const QByteArray& bytes, QString* reason) {
    if (const auto unsafe = unsafeToWrite(path)) {
        *reason = *unsafe;
        return false;
    }
    const QByteArray target = QFile::encodeName(path);
    QByteArray temporary = target + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data()); // 0600
    if (fd < 0) {
        *reason = errnoText(errno);
        return false;
    }
    const bool ok = writeAll(fd, bytes) && ::fsync(fd) == 0;
    const int error = errno;
    ::close(fd);
    if (!ok || ::rename(temporary.constData(), target.constData()) != 0) {
        *reason = errnoText(ok ? errno : error);
        ::unlink(temporary.constData());
        return false;
    }
    return true;
}

bool appendPrivateFile(const QString& path, const QByteArray& bytes, QString* reason) {
    const int fd = openPrivateForAppend(path, reason);
    if (fd < 0)
        return false;
    const off_t before = ::lseek(fd, 0, SEEK_END);
    const bool written = writeAll(fd, bytes);
    const int error = errno;
    // Whole or not at all: a part written before the disk filled is taken back.
    if (!written && before >= 0 && ::ftruncate(fd, before) != 0)
        ::lseek(fd, 0, SEEK_END);
    ::close(fd);
    if (!written)
        *reason = errnoText(error);
    return written;
}

qint64 privateBytesWritten() {
    return bytesWritten;
}

} // namespace platform
