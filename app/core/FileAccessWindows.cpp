// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/core/FileAccess.h"
#include "app/core/FileReplacement.h"

#include <fcntl.h>
#include <io.h>
#include <random>
#include <sys/stat.h>
#include <utility>
#include <windows.h>

namespace hz70 {
namespace {

namespace fs = std::filesystem;

// The failures a caller tells apart keep their portable meaning (and wording); the rest keep Windows'
// own code.
std::error_code ErrorFrom(DWORD error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return std::make_error_code(std::errc::no_such_file_or_directory);
    case ERROR_ACCESS_DENIED:
        return std::make_error_code(std::errc::permission_denied);
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return std::make_error_code(std::errc::device_or_resource_busy);
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return std::make_error_code(std::errc::no_space_on_device);
    case ERROR_WRITE_PROTECT:
        return std::make_error_code(std::errc::read_only_file_system);
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return std::make_error_code(std::errc::file_exists);
    default:
        return {static_cast<int>(error), std::system_category()};
    }
}

std::error_code LastError() {
    return ErrorFrom(::GetLastError());
}

// Closes the handle when it goes out of scope.
class FileHandle {
public:
    explicit FileHandle(HANDLE handle) : handle_(handle) {}
    ~FileHandle() {
        if (valid()) {
            ::CloseHandle(handle_);
        }
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    [[nodiscard]] HANDLE get() const { return handle_; }
    [[nodiscard]] bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    // Closes now, so that an error the close reports can be seen.
    [[nodiscard]] bool Close() { return ::CloseHandle(std::exchange(handle_, INVALID_HANDLE_VALUE)) != 0; }

private:
    HANDLE handle_;
};

// Other programs may read and even rename or delete the file meanwhile, as they may on the other systems.
HANDLE OpenShared(const fs::path& file, DWORD access, DWORD creation) {
    return ::CreateFileW(file.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, creation, FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool WriteAll(HANDLE file, std::string_view bytes) {
    while (!bytes.empty()) {
        DWORD written = 0;
        const auto chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
        if (::WriteFile(file, bytes.data(), chunk, &written, nullptr) == 0) {
            return false;
        }
        bytes.remove_prefix(written);
    }
    return true;
}

std::string RandomCharacters() {
    std::random_device source; // the system's cryptographic generator
    std::uniform_int_distribution<std::size_t> pick(0, kRandomAlphabet.size() - 1);
    std::string text;
    for (std::size_t i = 0; i < kRandomCharacters; ++i) {
        text += kRandomAlphabet[pick(source)];
    }
    return text;
}

// A new file beside the one it is to replace. No other program may open it while it is written, so no
// other save's clean-up can remove it then; it is removed again unless it was moved into place.
class NewFile {
public:
    NewFile() = default;
    ~NewFile() {
        (void)CloseNow();
        if (!name_.empty() && !placed_) {
            ::DeleteFileW(name_.c_str());
        }
    }
    NewFile(const NewFile&) = delete;
    NewFile& operator=(const NewFile&) = delete;

    std::error_code Create(const fs::path& target) {
        for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
            fs::path name = target;
            name += kNewFileInfix;
            name += RandomCharacters();
            const HANDLE handle = ::CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                                FILE_ATTRIBUTE_NORMAL, nullptr);
            if (handle == INVALID_HANDLE_VALUE) {
                if (::GetLastError() == ERROR_FILE_EXISTS) {
                    continue;
                }
                return LastError();
            }
            handle_ = handle;
            name_ = std::move(name);
            return {};
        }
        return std::make_error_code(std::errc::file_exists);
    }

    // The bytes and the file's blocks on the disk, then the file closed: only a closed file can be
    // moved into place.
    std::error_code WriteAndClose(std::string_view bytes) {
        if (!WriteAll(handle_, bytes) || ::FlushFileBuffers(handle_) == 0 || !CloseNow()) {
            return LastError();
        }
        return {};
    }

    // An existing file is replaced with ReplaceFileW, which gives the new file the old one's attributes
    // and permissions; the move is written through to the disk before it returns.
    std::error_code MoveInPlaceOf(const fs::path& target, bool targetExists) {
        const bool moved = targetExists
                               ? ::ReplaceFileW(target.c_str(), name_.c_str(), nullptr,
                                                REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr) != 0
                               : ::MoveFileExW(name_.c_str(), target.c_str(),
                                               MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
        if (!moved) {
            return LastError();
        }
        placed_ = true;
        return {};
    }

private:
    bool CloseNow() {
        return handle_ == INVALID_HANDLE_VALUE ||
               ::CloseHandle(std::exchange(handle_, INVALID_HANDLE_VALUE)) != 0;
    }

    HANDLE handle_ = INVALID_HANDLE_VALUE;
    fs::path name_;
    bool placed_ = false;
};

// Removes new files that interrupted saves left behind; a save still writing its file holds it open
// without sharing, so the removal fails for it.
void RemoveLeftoverNewFiles(const fs::path& target) {
    const std::string fileName = target.filename().string();
    std::error_code error;
    for (auto entry = fs::directory_iterator(FolderOf(target), error);
         !error && entry != fs::directory_iterator(); entry.increment(error)) {
        if (entry->is_regular_file(error) && IsNewFileName(entry->path().filename().string(), fileName)) {
            ::DeleteFileW(entry->path().c_str());
        }
    }
}

std::error_code ReplaceByNewFile(const fs::path& target, std::string_view bytes, bool targetExists) {
    NewFile file;
    if (const std::error_code error = file.Create(target)) {
        return error;
    }
    if (const std::error_code error = file.WriteAndClose(bytes)) {
        return error;
    }
    return file.MoveInPlaceOf(target, targetExists);
}

// The folder or the medium refuses the new file or its move, while the old file may still be writable.
bool NewFileRefused(const std::error_code& error) {
    return error == std::errc::permission_denied || error == std::errc::read_only_file_system;
}

// Overwrites the file where it is. A crash part way leaves a broken file, so this is only the fallback.
std::error_code WriteInPlace(const fs::path& target, std::string_view bytes) {
    FileHandle file(OpenShared(target, GENERIC_WRITE, OPEN_EXISTING));
    if (!file.valid() || !WriteAll(file.get(), bytes) || ::SetEndOfFile(file.get()) == 0 ||
        ::FlushFileBuffers(file.get()) == 0) {
        return LastError();
    }
    return file.Close() ? std::error_code{} : LastError();
}

// Further names of the file (hard links) would be cut off from the new content by a new file.
bool HasOtherNames(const fs::path& target) {
    const FileHandle file(OpenShared(target, 0, OPEN_EXISTING));
    BY_HANDLE_FILE_INFORMATION information{};
    return file.valid() && ::GetFileInformationByHandle(file.get(), &information) != 0 &&
           information.nNumberOfLinks > 1;
}

} // namespace

std::string ReadSmallFile(const fs::path& file, std::size_t maxBytes, std::error_code& error) {
    error.clear();
    const FileHandle handle(OpenShared(file, GENERIC_READ, OPEN_EXISTING));
    if (!handle.valid()) {
        error = LastError();
        return {};
    }
    std::string bytes;
    char buffer[4096];
    for (;;) {
        DWORD got = 0;
        if (::ReadFile(handle.get(), buffer, sizeof buffer, &got, nullptr) == 0) {
            error = LastError();
            return bytes;
        }
        if (got == 0) {
            return bytes;
        }
        bytes.append(buffer, got);
        if (bytes.size() > maxBytes) {
            error = std::make_error_code(std::errc::file_too_large);
            bytes.resize(maxBytes);
            return bytes;
        }
    }
}

std::error_code ReplaceFileContent(const fs::path& file, std::string_view bytes) {
    const fs::path target = ResolvedTarget(file);
    const DWORD attributes = ::GetFileAttributesW(target.c_str());
    const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    if (exists && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        return std::make_error_code(std::errc::permission_denied);
    }
    // A folder or a device is never replaced by a file; writing to it fails or goes where it should.
    if (exists &&
        ((attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0 || HasOtherNames(target))) {
        return WriteInPlace(target, bytes);
    }
    RemoveLeftoverNewFiles(target);
    const std::error_code error = ReplaceByNewFile(target, bytes, exists);
    return exists && NewFileRefused(error) ? WriteInPlace(target, bytes) : error;
}

std::error_code ReplacePrivateFile(const fs::path& file, std::string_view bytes) {
    return ReplaceFileContent(file, bytes);
}

int OpenForAppending(const fs::path& file) {
    return ::_wopen(file.c_str(), _O_WRONLY | _O_APPEND | _O_CREAT | _O_BINARY | _O_NOINHERIT,
                    _S_IREAD | _S_IWRITE);
}

std::error_code SyncToDisk(int fd) {
    return ::_commit(fd) == 0 ? std::error_code() : std::error_code(errno, std::generic_category());
}

} // namespace hz70
