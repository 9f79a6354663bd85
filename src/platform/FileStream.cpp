#include "platform/Stream.h"
#include "shell/Format.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vsr {

namespace {

int OpenFlags(TFileMode mode) {
    switch (mode) {
    case TFileMode::OpenRead:
        return O_RDONLY;
    case TFileMode::OpenReadWrite:
        return O_RDWR;
    case TFileMode::Create:
        return O_RDWR | O_CREAT | O_TRUNC;
    case TFileMode::CreateNew:
        return O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW;
    }
    return O_RDONLY;
}

} // namespace

TFileStream::TFileStream(const std::string& fileName, TFileMode mode) : FFileName(fileName) {
    FHandle = ::open(fileName.c_str(), OpenFlags(mode) | O_CLOEXEC,
                     mode == TFileMode::CreateNew ? 0600 : 0644);
    if (FHandle < 0) {
        const bool creating = mode == TFileMode::Create || mode == TFileMode::CreateNew;
        const char* verb = creating ? "create" : "open";
        throw EFOpenError(
            Format("Cannot %s file \"%s\". %s", verb, fileName, std::strerror(errno)));
    }
    struct stat info {};
    if (::fstat(FHandle, &info) == 0 && S_ISDIR(info.st_mode)) {
        ::close(FHandle);
        FHandle = -1;
        throw EFOpenError(Format("Cannot open file \"%s\". %s", fileName, std::strerror(EISDIR)));
    }
}

TFileStream::~TFileStream() {
    if (FHandle >= 0)
        ::close(FHandle);
}

std::size_t TFileStream::Read(std::span<std::byte> buffer) {
    std::size_t done = 0;
    while (done < buffer.size()) {
        const ssize_t n = ::read(FHandle, buffer.data() + done, buffer.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    return done;
}

std::size_t TFileStream::Write(std::span<const std::byte> buffer) {
    std::size_t done = 0;
    while (done < buffer.size()) {
        const ssize_t n = ::write(FHandle, buffer.data() + done, buffer.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    return done;
}

std::int64_t TFileStream::Seek(std::int64_t offset, TSeekOrigin origin) {
    int whence = SEEK_SET;
    if (origin == TSeekOrigin::Current)
        whence = SEEK_CUR;
    else if (origin == TSeekOrigin::End)
        whence = SEEK_END;
    const off_t result = ::lseek(FHandle, static_cast<off_t>(offset), whence);
    if (result < 0)
        throw EStreamError(Format("Cannot seek in \"%s\". %s", FFileName, std::strerror(errno)));
    return static_cast<std::int64_t>(result);
}

std::int64_t TFileStream::Size() {
    struct stat info {};
    if (::fstat(FHandle, &info) != 0)
        return TStream::Size();
    return static_cast<std::int64_t>(info.st_size);
}

void TFileStream::SetSize(std::int64_t newSize) {
    if (::ftruncate(FHandle, static_cast<off_t>(newSize)) != 0)
        throw EStreamError(Format("Cannot resize \"%s\". %s", FFileName, std::strerror(errno)));
}

} // namespace vsr
