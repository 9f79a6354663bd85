#pragma once
// Seekable byte streams: the abstract stream, a file stream and a memory stream.
// Positions and sizes are 64-bit. A stream is used by one thread at a time.

#include "shell/Exception.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace vsr {

enum class TSeekOrigin { Begin, Current, End };

class TStream {
public:
    TStream() = default;
    virtual ~TStream() = default;
    TStream(const TStream&) = delete;
    TStream& operator=(const TStream&) = delete;

    // Read and Write return how many bytes they moved; fewer than asked is not an error.
    virtual std::size_t Read(std::span<std::byte> buffer) = 0;
    virtual std::size_t Write(std::span<const std::byte> buffer) = 0;
    virtual std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) = 0;
    virtual std::int64_t Size();
    virtual void SetSize(std::int64_t newSize) = 0;

    std::int64_t Position() { return Seek(0, TSeekOrigin::Current); }
    void SetPosition(std::int64_t position) { Seek(position, TSeekOrigin::Begin); }

    // Raise EStreamError when fewer bytes than asked could be moved.
    void ReadBuffer(std::span<std::byte> buffer);
    void WriteBuffer(std::span<const std::byte> buffer);

    // Copies count bytes from source's position into this stream; raises when source ends early.
    void CopyFrom(TStream& source, std::int64_t count);
};

enum class TFileMode {
    OpenRead,      // existing file, reading; shared with other readers and writers
    OpenReadWrite, // existing file, reading and writing
    Create,        // new or truncated file, reading and writing
    CreateNew,     // a file that does not exist yet, not through a link; mode 0600
};

class TFileStream : public TStream {
public:
    // Raises EFOpenError naming the file and the system's reason.
    TFileStream(const std::string& fileName, TFileMode mode);
    ~TFileStream() override;

    std::size_t Read(std::span<std::byte> buffer) override;
    std::size_t Write(std::span<const std::byte> buffer) override;
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
    std::int64_t Size() override;
    void SetSize(std::int64_t newSize) override;

    const std::string& FileName() const { return FFileName; }

private:
    std::string FFileName;
    int FHandle = -1;
};

// Growing the memory keeps its capacity, so a stream reused for one record after another
// allocates only when a record is larger than any before it.
class TMemoryStream : public TStream {
public:
    std::size_t Read(std::span<std::byte> buffer) override;
    std::size_t Write(std::span<const std::byte> buffer) override;
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
    std::int64_t Size() override { return static_cast<std::int64_t>(FData.size()); }
    void SetSize(std::int64_t newSize) override;
    void Clear();

    std::span<std::byte> Memory() { return FData; }
    std::span<const std::byte> Memory() const { return FData; }
    // The bytes from the position on (none when it lies past the end).
    std::span<const std::byte> Unread() const {
        const auto size = static_cast<std::int64_t>(FData.size());
        return std::span(FData).subspan(static_cast<std::size_t>(FPosition < 0      ? 0
                                                                 : FPosition > size ? size
                                                                                    : FPosition));
    }

private:
    std::vector<std::byte> FData;
    std::int64_t FPosition = 0;
};

} // namespace vsr
