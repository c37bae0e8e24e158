#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

// Files and folders. Paths use '/'. A path that ends with '/' names a folder, any
// other path names a file; nothing is decided by looking for a '.' in it.
//
// Every operation that fails leaves its reason in LastError() (an errno value), so
// that the caller can show the operator ErrorText(LastError()).
namespace platform {

enum FileAttribute : std::uint32_t {
    kAttributeReadOnly = 0x01,
    kAttributeFolder = 0x10,
    kAttributeNormal = 0x80,
};

struct FileInfo {
    QString name; // the entry's own name, without its folder
    std::uint32_t attributes = 0;
    qint64 size = 0;
    QDateTime modified;

    bool IsFolder() const { return (attributes & kAttributeFolder) != 0; }
};

// Case-insensitive match of a file name against a pattern with '*' and '?'.
bool WildcardMatch(const QString& pattern, const QString& name);

// The entries of the mask's folder whose names match the mask's last component,
// folders included, "." and ".." excluded, sorted by name.
std::vector<FileInfo> FindFiles(const QString& mask);

// The text up to and including the last '/', or empty when there is none.
QString FolderPart(const QString& path);
// The text after the last '/'.
QString NamePart(const QString& path);
// `folder` with a trailing '/' added when it lacks one.
QString AsFolder(const QString& folder);

bool FileExists(const QString& path);
bool FolderExists(const QString& path);

bool DeleteFile(const QString& path);
// Fails, leaving both names alone, when `to` already exists.
bool RenameFile(const QString& from, const QString& to);
// Renames over `to` when it exists: in one step, so that `to` names the old file or the
// new one at every moment, a power cut included. Fails when `to` is a folder.
bool ReplaceFile(const QString& from, const QString& to);
// Copies a file through a temporary file beside the target, so that the target is
// either the old file or the whole new one.
bool CopyFile(const QString& from, const QString& to, bool failIfExists);
// Creates one folder; false when it could not be made (an existing one included).
bool CreateFolder(const QString& path);
// Creates the folder and every missing folder above it; true when it exists after.
bool CreateFolderPath(const QString& path);
// Removes an empty folder.
bool RemoveFolder(const QString& path);

// Bytes available to an unprivileged writer on the volume that holds `path` (the
// nearest existing folder above it, when it does not exist yet).
std::optional<std::uint64_t> FreeSpace(const QString& path);
// Tests make the disk look full (or give it back with nullopt).
void SetFreeSpaceForTesting(std::optional<std::uint64_t> bytes);

bool ReadWholeFile(const QString& path, QByteArray& contents);
// Reads at most `maxBytes` from the start of a regular file, without following a link
// and without waiting on a pipe or a device; fails for anything else.
bool ReadFileStart(const QString& path, qint64 maxBytes, QByteArray& contents);
// Flushes a folder's entries (renames into and out of it) to the disk.
bool SyncFolder(const QString& path);

// A folder held open. What lies below it is reached through it and never through a
// symbolic link, so that a link on a removable drive cannot lead a transfer outside the
// drive, and a folder swapped for a link meanwhile is not followed either.
class Folder {
public:
    Folder() = default;
    ~Folder();
    Folder(Folder&& other) noexcept;
    Folder& operator=(Folder&& other) noexcept;
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;

    // `root` itself as given, then each '/'-separated component of `below`, none of
    // which may be a link (ELOOP) or anything but a folder (ENOTDIR).
    static Folder Open(const QString& root, const QString& below = QString());
    // The sub-folder `name`, made first when `create` and missing; never a link.
    Folder Sub(const QString& name, bool create) const;
    bool IsOpen() const { return fd_ >= 0; }
    int Descriptor() const { return fd_; }

    struct Listing {
        std::vector<FileInfo> entries; // regular files and folders, sorted by name
        int skipped = 0;               // links, pipes, devices and names that are no text
    };
    // The entries whose names match `pattern` (as FindFiles matches).
    Listing List(const QString& pattern) const;
    // The whole of the regular file `name` when it holds at most `maxBytes`. Fails with
    // ELOOP for a link, EINVAL for a pipe, a device or a folder, EFBIG for a larger file,
    // and with the system's reason when the file cannot be read.
    bool ReadFile(const QString& name, qint64 maxBytes, QByteArray& contents) const;
    // Copies the regular file at `sourcePath` into this folder as `name`, in chunks,
    // through a temporary file that a failure removes.
    bool CopyIn(const QString& sourcePath, const QString& name) const;
    // Removes the temporary files that an interrupted replacement left here.
    int RemoveLeftoverTemporaries() const;

private:
    explicit Folder(int fd) : fd_(fd) {}
    int fd_ = -1;
};

// A file written in place of another: the bytes go to a temporary file in the same
// folder, which Commit() flushes to the disk and renames over the target. A power cut
// or a failed write therefore never leaves half a file; without a successful Commit()
// the temporary file is removed and the old target is untouched.
class AtomicFile {
public:
    AtomicFile() = default;
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    bool Open(const QString& targetPath);
    // The target `name` inside `folder`, which must stay open until Commit() or Discard().
    bool OpenIn(const Folder& folder, const QString& name);
    bool IsOpen() const { return fd_ >= 0; }
    bool Write(const void* data, std::size_t size);
    bool Write(const QByteArray& bytes) { return Write(bytes.constData(), static_cast<std::size_t>(bytes.size())); }
    // Flushes, closes and renames over the target. Any earlier failed write makes it fail.
    bool Commit();
    void Discard();

private:
    bool OpenAt(int folderFd, const QByteArray& targetPath);

    int fd_ = -1;
    int folderFd_ = -1; // the folder that the paths below are relative to (AT_FDCWD: none)
    bool failed_ = false;
    int error_ = 0;
    QByteArray tempPath_;
    QByteArray targetPath_;
};

// The length limit of one name on the disks the program works with, in bytes.
inline constexpr int kMaxNameBytes = 255;
// What the temporary file of a replacement adds to the target's name.
inline constexpr int kTemporarySuffixBytes = 11; // ".tmp-XXXXXX"

bool WriteFileAtomically(const QString& path, const QByteArray& contents);

// Removes the temporary files that a power cut during a replacement left in `folder`
// (their targets are whole: the old or the new version). Returns how many went.
int RemoveLeftoverTemporaries(const QString& folder);

int LastError();
void SetLastError(int code);
// The operator's text for an error code (Russian), for example after a failed rename.
QString ErrorText(int code);

} // namespace platform
