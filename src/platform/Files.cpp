#include "platform/Files.h"

#include <QFile>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <limits>
#include <utility>

namespace platform {

namespace {

thread_local int lastError = 0;

QByteArray Native(const QString& path) {
    return QFile::encodeName(path);
}

bool Fail() {
    lastError = errno;
    return false;
}

bool FoldedEqual(QChar a, QChar b) {
    return a == b || a.toCaseFolded() == b.toCaseFolded();
}

// Iterative matcher with single back-tracking point for the last '*'.
bool Match(const QString& pattern, const QString& name) {
    qsizetype p = 0, n = 0, starP = -1, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == QLatin1Char('?') || FoldedEqual(pattern[p], name[n]))) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == QLatin1Char('*')) {
            starP = p++;
            starN = n;
        } else if (starP >= 0) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == QLatin1Char('*'))
        ++p;
    return p == pattern.size();
}

FileInfo InfoOf(const QString& name, const struct stat& info) {
    FileInfo file;
    file.name = name;
    file.size = S_ISDIR(info.st_mode) ? 0 : static_cast<qint64>(info.st_size);
    file.attributes = S_ISDIR(info.st_mode) ? kAttributeFolder : kAttributeNormal;
    if ((info.st_mode & S_IWUSR) == 0)
        file.attributes |= kAttributeReadOnly;
    file.modified = QDateTime::fromSecsSinceEpoch(info.st_mtim.tv_sec).addMSecs(info.st_mtim.tv_nsec / 1000000);
    return file;
}

void SortByName(std::vector<FileInfo>& files) {
    std::sort(files.begin(), files.end(), [](const FileInfo& a, const FileInfo& b) { return a.name < b.name; });
}

// Opens a regular file for reading relative to `folderFd`. A link is not followed, and
// nothing but a regular file is opened at all: opening a pipe would wait for a writer,
// opening a device would run its driver. The file opened is checked to be the one seen.
int OpenRegular(int folderFd, const QByteArray& path, struct stat& info) {
    if (::fstatat(folderFd, path.constData(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
        Fail();
        return -1;
    }
    if (!S_ISREG(info.st_mode)) {
        lastError = S_ISLNK(info.st_mode) ? ELOOP : (S_ISDIR(info.st_mode) ? EISDIR : EINVAL);
        return -1;
    }
    const int fd = ::openat(folderFd, path.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        Fail();
        return -1;
    }
    struct stat opened {};
    if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode) || opened.st_dev != info.st_dev ||
        opened.st_ino != info.st_ino) {
        lastError = EINVAL; // swapped since it was looked at
        ::close(fd);
        return -1;
    }
    info = opened;
    return fd;
}

// Reads `fd` a chunk at a time, up to `maxBytes`, handing each chunk to `sink` (false
// stops), and closes it. False when a read failed or the sink refused a chunk.
template <typename Sink> bool ReadChunks(int fd, qint64 maxBytes, Sink&& sink) {
    char buffer[65536];
    qint64 total = 0;
    bool whole = true;
    while (total < maxBytes) {
        const auto wanted = static_cast<std::size_t>(std::min<qint64>(sizeof buffer, maxBytes - total));
        const ssize_t got = ::read(fd, buffer, wanted);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            Fail();
            whole = false;
            break;
        }
        if (got == 0)
            break;
        if (!sink(buffer, got)) {
            whole = false;
            break;
        }
        total += got;
    }
    ::close(fd);
    return whole;
}

// Reads up to `maxBytes` from `fd` into `contents` and closes it.
bool ReadUpTo(int fd, qint64 maxBytes, QByteArray& contents) {
    QByteArray bytes;
    if (!ReadChunks(fd, maxBytes, [&](const char* chunk, ssize_t size) {
            bytes.append(chunk, size);
            return true;
        }))
        return false;
    contents = std::move(bytes);
    return true;
}

// Copies the regular file `from` into `out`, a chunk at a time, once `openOut` has opened
// `out`; `out` is committed only when every chunk went in.
template <typename OpenOut> bool CopyRegular(const QString& from, AtomicFile& out, OpenOut&& openOut) {
    struct stat info {};
    const int fd = OpenRegular(AT_FDCWD, Native(from), info);
    if (fd < 0)
        return false;
    if (!openOut()) {
        ::close(fd);
        return false;
    }
    return ReadChunks(
               fd, std::numeric_limits<qint64>::max(),
               [&](const char* chunk, ssize_t size) { return out.Write(chunk, static_cast<std::size_t>(size)); }) &&
           out.Commit();
}

bool SyncFolderOf(const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf('/');
    const QByteArray folder = slash < 0 ? QByteArray(".") : (slash == 0 ? QByteArray("/") : path.left(slash));
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0 || errno == EINVAL; // some file systems cannot sync folders
    ::close(fd);
    return ok;
}

} // namespace

bool WildcardMatch(const QString& pattern, const QString& name) {
    // "*.*" means every entry, also those without a dot, as on the original system.
    if (pattern == QLatin1String("*.*"))
        return true;
    return Match(pattern, name);
}

QString FolderPart(const QString& path) {
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : path.left(slash + 1);
}

QString NamePart(const QString& path) {
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

QString AsFolder(const QString& folder) {
    if (folder.isEmpty() || folder.endsWith(QLatin1Char('/')))
        return folder;
    return folder + QLatin1Char('/');
}

std::vector<FileInfo> FindFiles(const QString& mask) {
    std::vector<FileInfo> found;
    const QString folder = FolderPart(mask);
    const QString pattern = NamePart(mask);
    const QByteArray nativeFolder = Native(folder.isEmpty() ? QStringLiteral(".") : folder);
    DIR* dir = ::opendir(nativeFolder.constData());
    if (dir == nullptr) {
        Fail();
        return found;
    }
    while (const dirent* entry = ::readdir(dir)) {
        const QString name = QFile::decodeName(entry->d_name);
        if (name == QLatin1String(".") || name == QLatin1String("..") || !WildcardMatch(pattern, name))
            continue;
        struct stat info {};
        const QByteArray full = nativeFolder + '/' + entry->d_name;
        if (::stat(full.constData(), &info) != 0)
            continue; // vanished meanwhile, or a dangling link
        found.push_back(InfoOf(name, info));
    }
    ::closedir(dir);
    SortByName(found);
    return found;
}

bool FileExists(const QString& path) {
    struct stat info {};
    return ::stat(Native(path).constData(), &info) == 0 && !S_ISDIR(info.st_mode);
}

bool FolderExists(const QString& path) {
    struct stat info {};
    return ::stat(Native(path).constData(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool DeleteFile(const QString& path) {
    return ::unlink(Native(path).constData()) == 0 || Fail();
}

bool RenameFile(const QString& from, const QString& to) {
    const QByteArray source = Native(from);
    const QByteArray target = Native(to);
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return Fail();
    // The file system cannot rename without replacing: check first.
    struct stat info {};
    if (::lstat(target.constData(), &info) == 0) {
        lastError = EEXIST;
        return false;
    }
    return ::rename(source.constData(), target.constData()) == 0 || Fail();
}

bool ReplaceFile(const QString& from, const QString& to) {
    const QByteArray target = Native(to);
    if (::rename(Native(from).constData(), target.constData()) != 0)
        return Fail();
    SyncFolderOf(target);
    return true;
}

bool CopyFile(const QString& from, const QString& to, bool failIfExists) {
    if (failIfExists && (FileExists(to) || FolderExists(to))) {
        lastError = EEXIST;
        return false;
    }
    AtomicFile out;
    return CopyRegular(from, out, [&] { return out.Open(to); });
}

bool CreateFolder(const QString& path) {
    return ::mkdir(Native(path).constData(), 0777) == 0 || Fail();
}

bool CreateFolderPath(const QString& path) {
    const QString folder = AsFolder(path);
    for (qsizetype slash = folder.indexOf(QLatin1Char('/'), 1); slash >= 0;
         slash = folder.indexOf(QLatin1Char('/'), slash + 1)) {
        const QByteArray part = Native(folder.left(slash));
        if (::mkdir(part.constData(), 0777) != 0 && errno != EEXIST)
            return Fail();
    }
    if (!FolderExists(folder)) {
        lastError = ENOTDIR;
        return false;
    }
    return true;
}

bool RemoveFolder(const QString& path) {
    return ::rmdir(Native(path).constData()) == 0 || Fail();
}

namespace {
std::optional<std::uint64_t> freeSpaceForTesting;
}

void SetFreeSpaceForTesting(std::optional<std::uint64_t> bytes) {
    freeSpaceForTesting = bytes;
}

std::optional<std::uint64_t> FreeSpace(const QString& path) {
    if (freeSpaceForTesting)
        return freeSpaceForTesting;
    // A folder not made yet is measured on the volume it will be made on.
    QString existing = path;
    while (!existing.isEmpty() && !FolderExists(existing) && !FileExists(existing)) {
        const QString parent = FolderPart(existing.endsWith(QLatin1Char('/')) ? existing.chopped(1) : existing);
        if (parent == existing)
            break;
        existing = parent;
    }
    struct statvfs info {};
    if (existing.isEmpty() || ::statvfs(Native(existing).constData(), &info) != 0) {
        Fail();
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(info.f_bavail) * info.f_frsize;
}

bool ReadWholeFile(const QString& path, QByteArray& contents) {
    const int fd = ::open(Native(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return Fail();
    struct stat info {};
    if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
        lastError = S_ISDIR(info.st_mode) ? EISDIR : errno;
        ::close(fd);
        return false;
    }
    return ReadUpTo(fd, std::numeric_limits<qint64>::max(), contents);
}

bool ReadFileStart(const QString& path, qint64 maxBytes, QByteArray& contents) {
    struct stat info {};
    const int fd = OpenRegular(AT_FDCWD, Native(path), info);
    return fd >= 0 && ReadUpTo(fd, maxBytes, contents);
}

bool SyncFolder(const QString& path) {
    const int fd = ::open(Native(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return Fail();
    const bool ok = ::fsync(fd) == 0 || errno == EINVAL;
    if (!ok)
        Fail();
    ::close(fd);
    return ok;
}

Folder::~Folder() {
    if (fd_ >= 0)
        ::close(fd_);
}

Folder::Folder(Folder&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

Folder& Folder::operator=(Folder&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

Folder Folder::Open(const QString& root, const QString& below) {
    const int fd =
        ::open(Native(root.isEmpty() ? QStringLiteral(".") : root).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        Fail();
        return Folder();
    }
    Folder folder(fd);
    for (const QString& part : below.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        folder = folder.Sub(part, false);
        if (!folder.IsOpen())
            break;
    }
    return folder;
}

Folder Folder::Sub(const QString& name, bool create) const {
    if (fd_ < 0) {
        lastError = EBADF;
        return Folder();
    }
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..") ||
        name.contains(QLatin1Char('/'))) {
        lastError = EINVAL; // one step down, never up or sideways
        return Folder();
    }
    const QByteArray native = Native(name);
    if (create && ::mkdirat(fd_, native.constData(), 0777) != 0 && errno != EEXIST) {
        Fail();
        return Folder();
    }
    struct stat info {};
    if (::fstatat(fd_, native.constData(), &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(info.st_mode)) {
        lastError = ELOOP;
        return Folder();
    }
    const int fd = ::openat(fd_, native.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        Fail();
        return Folder();
    }
    return Folder(fd);
}

Folder::Listing Folder::List(const QString& pattern) const {
    Listing listing;
    const int listFd = fd_ >= 0 ? ::openat(fd_, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC) : -1;
    DIR* dir = listFd >= 0 ? ::fdopendir(listFd) : nullptr;
    if (dir == nullptr) {
        if (fd_ < 0)
            lastError = EBADF;
        else
            Fail();
        if (listFd >= 0)
            ::close(listFd);
        return listing;
    }
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray native(entry->d_name);
        if (native == "." || native == "..")
            continue;
        const QString name = QFile::decodeName(native);
        if (!WildcardMatch(pattern, name))
            continue;
        struct stat info {};
        if (::fstatat(fd_, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0)
            continue; // gone meanwhile
        // A name that does not decode (not UTF-8) could not be shown or opened again.
        if (Native(name) != native || !(S_ISREG(info.st_mode) || S_ISDIR(info.st_mode))) {
            ++listing.skipped;
            continue;
        }
        listing.entries.push_back(InfoOf(name, info));
    }
    ::closedir(dir);
    SortByName(listing.entries);
    return listing;
}

bool Folder::ReadFile(const QString& name, qint64 maxBytes, QByteArray& contents) const {
    if (fd_ < 0) {
        lastError = EBADF;
        return false;
    }
    struct stat info {};
    const int fd = OpenRegular(fd_, Native(name), info);
    if (fd < 0)
        return false;
    if (info.st_size > maxBytes) {
        ::close(fd);
        lastError = EFBIG;
        return false;
    }
    // One byte more than allowed tells a file that grew since it was measured.
    if (!ReadUpTo(fd, maxBytes + 1, contents))
        return false;
    if (contents.size() > maxBytes) {
        contents.clear();
        lastError = EFBIG;
        return false;
    }
    return true;
}

bool Folder::CopyIn(const QString& sourcePath, const QString& name) const {
    AtomicFile out;
    return CopyRegular(sourcePath, out, [&] { return out.OpenIn(*this, name); });
}

int Folder::RemoveLeftoverTemporaries() const {
    int removed = 0;
    for (const FileInfo& file : List(QStringLiteral("*.tmp-??????")).entries) {
        if (!file.IsFolder() && ::unlinkat(fd_, Native(file.name).constData(), 0) == 0)
            ++removed;
    }
    return removed;
}

AtomicFile::~AtomicFile() {
    Discard();
}

bool AtomicFile::Open(const QString& targetPath) {
    return OpenAt(AT_FDCWD, Native(targetPath));
}

bool AtomicFile::OpenIn(const Folder& folder, const QString& name) {
    if (!folder.IsOpen()) {
        Discard();
        lastError = EBADF;
        return false;
    }
    return OpenAt(folder.Descriptor(), Native(name));
}

bool AtomicFile::OpenAt(int folderFd, const QByteArray& targetPath) {
    Discard();
    failed_ = false;
    error_ = 0;
    folderFd_ = folderFd;
    targetPath_ = targetPath;
    // As mkstemp, but relative to a folder held open, and never through a link.
    static constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    constexpr int kAttempts = 100;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        QByteArray temp = targetPath + ".tmp-";
        for (int i = 0; i < 6; ++i)
            temp += kLetters[QRandomGenerator::global()->bounded(static_cast<int>(sizeof kLetters) - 1)];
        fd_ = ::openat(folderFd, temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd_ >= 0) {
            tempPath_ = temp;
            return true;
        }
        if (errno != EEXIST)
            return Fail();
    }
    lastError = EEXIST;
    return false;
}

bool AtomicFile::Write(const void* data, std::size_t size) {
    if (fd_ < 0 || failed_) {
        lastError = fd_ < 0 ? EBADF : error_;
        return false;
    }
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t written = ::write(fd_, bytes, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            failed_ = true;
            error_ = written < 0 ? errno : ENOSPC;
            lastError = error_;
            return false;
        }
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

bool AtomicFile::Commit() {
    if (fd_ < 0) {
        lastError = EBADF;
        return false;
    }
    if (!failed_ && ::fsync(fd_) != 0) {
        failed_ = true;
        error_ = errno;
    }
    if (::close(fd_) != 0 && !failed_) {
        failed_ = true;
        error_ = errno;
    }
    fd_ = -1;
    if (!failed_ && ::renameat(folderFd_, tempPath_.constData(), folderFd_, targetPath_.constData()) != 0) {
        failed_ = true;
        error_ = errno;
    }
    if (failed_) {
        ::unlinkat(folderFd_, tempPath_.constData(), 0);
        tempPath_.clear();
        lastError = error_;
        return false;
    }
    tempPath_.clear();
    if (folderFd_ == AT_FDCWD)
        SyncFolderOf(targetPath_);
    else
        ::fsync(folderFd_);
    return true;
}

void AtomicFile::Discard() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!tempPath_.isEmpty()) {
        ::unlinkat(folderFd_, tempPath_.constData(), 0);
        tempPath_.clear();
    }
}

int RemoveLeftoverTemporaries(const QString& folder) {
    int removed = 0;
    for (const FileInfo& file : FindFiles(AsFolder(folder) + QStringLiteral("*.tmp-??????"))) {
        if (!file.IsFolder() && DeleteFile(AsFolder(folder) + file.name))
            ++removed;
    }
    return removed;
}

bool WriteFileAtomically(const QString& path, const QByteArray& contents) {
    AtomicFile file;
    return file.Open(path) && file.Write(contents) && file.Commit();
}

int LastError() {
    return lastError;
}

void SetLastError(int code) {
    lastError = code;
}

QString ErrorText(int code) {
    switch (code) {
    case 0:
        return QStringLiteral("Операция успешно завершена.");
    case ENOENT:
        return QStringLiteral("Не удается найти указанный файл.");
    case ENOTDIR:
        return QStringLiteral("Не удается найти указанный путь.");
    case EACCES:
    case EPERM:
        return QStringLiteral("Отказано в доступе.");
    case EEXIST:
    case ENOTEMPTY:
        return QStringLiteral("Не удается создать файл, так как он уже существует.");
    case ENOSPC:
    case EDQUOT:
        return QStringLiteral("Недостаточно места на диске.");
    case EFBIG:
        return QStringLiteral("Размер файла превышает допустимый предел.");
    case EROFS:
        return QStringLiteral("Носитель защищен от записи.");
    case EIO:
        return QStringLiteral("Ошибка ввода-вывода на устройстве.");
    case EISDIR:
        return QStringLiteral("Указанный путь является папкой.");
    case ENAMETOOLONG:
        return QStringLiteral("Имя файла или папки слишком длинное.");
    case EINVAL:
        return QStringLiteral("Синтаксическая ошибка в имени файла, имени папки или метке тома.");
    case ELOOP:
        return QStringLiteral("Папка или файл на накопителе является ссылкой.");
    case ENODEV:
    case ENXIO:
        return QStringLiteral("Устройство не готово.");
    case EBUSY:
        return QStringLiteral("Процесс не может получить доступ к файлу, так как он занят другим процессом.");
    default:
        return QStringLiteral("Ошибка %1: %2").arg(code).arg(QString::fromLocal8Bit(std::strerror(code)));
    }
}

} // namespace platform
