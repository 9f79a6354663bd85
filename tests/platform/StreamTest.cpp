#include "platform/Stream.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

namespace vsr {
namespace {

std::span<const std::byte> Bytes(const std::string& text) {
    return std::as_bytes(std::span(text.data(), text.size()));
}

TEST(MemoryStream, ReadsWritesSeeksAndKeepsItsMemory) {
    TMemoryStream stream;
    stream.WriteBuffer(Bytes("hello world"));
    EXPECT_EQ(stream.Seek(-5, TSeekOrigin::End), 6);
    std::array<std::byte, 8> buffer{};
    EXPECT_EQ(stream.Read(buffer), 5u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(buffer.data()), 5), "world");
    EXPECT_EQ(stream.Read(buffer), 0u);
    EXPECT_THROW(stream.Seek(-1, TSeekOrigin::Begin), EStreamError);
    stream.SetPosition(20); // past the end: reads nothing, writing fills the gap with zeros
    EXPECT_EQ(stream.Read(buffer), 0u);
    stream.WriteBuffer(Bytes("!"));
    EXPECT_EQ(stream.Size(), 21);
    EXPECT_EQ(stream.Memory()[15], std::byte{0});

    // Reused memory stays in place when not growing past its largest size.
    stream.SetSize(16424);
    const std::byte* first = stream.Memory().data();
    stream.SetSize(0);
    stream.SetSize(16424);
    EXPECT_EQ(stream.Memory().data(), first);
    EXPECT_THROW(stream.SetSize(-1), EStreamError);
}

TEST(FileStream, CreatesReadsAndReportsMissingFiles) {
    test::TTempDir dir;
    const std::string name = dir.File("data.bin");
    TFileStream(name, TFileMode::Create).WriteBuffer(Bytes("0123456789"));
    TFileStream in(name, TFileMode::OpenRead);
    EXPECT_EQ(in.Size(), 10);
    in.SetPosition(4);
    std::array<std::byte, 4> buffer{};
    in.ReadBuffer(buffer);
    EXPECT_EQ(static_cast<char>(buffer[0]), '4');
    EXPECT_THROW(in.ReadBuffer(buffer), EStreamError); // only 2 bytes left

    try {
        TFileStream missing(dir.File("missing.vsr"), TFileMode::OpenRead);
        ADD_FAILURE() << "opening a missing file succeeded";
    } catch (const EFOpenError& e) {
        EXPECT_NE(std::string(e.what()).find("missing.vsr"), std::string::npos);
    }
    EXPECT_THROW(TFileStream(dir.Path().string(), TFileMode::OpenRead), EFOpenError);
}

TEST(Stream, CopyFromMovesExactlyCountAndRefusesShortSources) {
    TMemoryStream source;
    source.WriteBuffer(Bytes(std::string(200000, 'x') + "tail"));
    source.SetPosition(0);
    TMemoryStream target;
    target.CopyFrom(source, 200002);
    EXPECT_EQ(target.Size(), 200002);
    EXPECT_EQ(source.Position(), 200002);
    EXPECT_THROW(target.CopyFrom(source, 10), EStreamError);
}

} // namespace
} // namespace vsr
