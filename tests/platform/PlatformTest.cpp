// The small platform layers: events, streams, temporary files and the desktop's handler files.
#include "platform/DesktopEntry.h"
#include "platform/Event.h"
#include "platform/MimeAppsList.h"
#include "platform/Stream.h"
#include "platform/TempFiles.h"
#include "support/Env.h"
#include "support/Files.h"
#include "support/Watchdog.h"

#include <gtest/gtest.h>

#include <atomic>

namespace vsr {
namespace {

using namespace std::chrono_literals;

TEST(Event, StaysSignalledUntilResetAndWaitForAnyGivesTheFirstSignalled) {
    test::TWatchdog watchdog("Event");
    TEvent run;
    TEvent stop;
    TEvent* const events[] = {&run, &stop};
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(WaitForAny(events, 30ms), cWaitTimeout);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 30ms);
    std::atomic<int> released = 0;
    std::thread first([&] { released += stop.Wait(); });
    std::thread second([&] { released += stop.Wait(); });
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(released, 0);
    stop.Set();
    first.join();
    second.join();
    EXPECT_EQ(released, 2) << "a Set releases every waiter";
    EXPECT_TRUE(stop.Wait(0ms) && !run.Wait(0ms)) << "a wait does not reset a manual-reset event";
    EXPECT_EQ(WaitForAny(events, 0ms), 1);
    run.Set();
    EXPECT_EQ(WaitForAny(events), 0) << "both signalled: the first index wins";
    run.Reset();
    // Set on another thread while the wait blocks; a Reset right after must not lose it.
    for (const bool resetAtOnce : {false, true}) {
        stop.Reset();
        std::thread setter([&] {
            std::this_thread::sleep_for(100ms);
            stop.Set();
            if (resetAtOnce)
                stop.Reset();
        });
        EXPECT_EQ(WaitForAny(events, 10s), 1) << resetAtOnce;
        setter.join();
    }
    EXPECT_TRUE(TEvent(TEventState::Signalled).Signalled());
}

TEST(Stream, MemoryAndFileStreamsReadWriteSeekResizeAndCopyAlike) {
    test::TTempDir dir;
    std::unique_ptr<TStream> streams[] = {
        std::make_unique<TMemoryStream>(),
        std::make_unique<TFileStream>(dir.File("s"), TFileMode::Create)};
    for (auto& stream : streams) {
        stream->WriteBuffer(test::Bytes("hello world"));
        EXPECT_EQ(stream->Seek(-5, TSeekOrigin::End), 6);
        std::vector<std::byte> buffer(5);
        EXPECT_EQ(stream->Read(buffer), 5u);
        EXPECT_EQ(buffer, test::Bytes("world"));
        EXPECT_EQ(stream->Read(buffer), 0u);
        EXPECT_THROW(stream->Seek(-1, TSeekOrigin::Begin), EStreamError);
        stream->SetPosition(20); // past the end: nothing to read, writing fills the gap with 0
        EXPECT_EQ(stream->Read(buffer), 0u);
        stream->WriteBuffer(test::Bytes("!"));
        EXPECT_EQ(stream->Seek(-7, TSeekOrigin::Current), 14);
        stream->ReadBuffer(buffer);
        EXPECT_EQ(buffer, test::Bytes(5, 0));
        EXPECT_EQ(stream->Size(), 21);
        stream->SetSize(8);
        EXPECT_EQ(stream->Size(), 8);
        EXPECT_THROW(stream->SetSize(-1), EStreamError);
        stream->SetPosition(4);
        EXPECT_THROW(stream->ReadBuffer(buffer), EStreamError); // 4 bytes left
    }
    for (const std::string& name : {dir.File("missing.vsr"), dir.Path().string()})
        EXPECT_THROW(TFileStream(name, TFileMode::OpenRead), EFOpenError) << name;
    try {
        TFileStream(dir.File("no/new.vsr"), TFileMode::Create);
        ADD_FAILURE() << "created";
    } catch (const EFOpenError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot create file \"" + dir.File("no/new.vsr") +
                                             "\". No such file or directory");
    }
    TMemoryStream source;
    source.WriteBuffer(test::Bytes(200004, 'x'));
    source.SetPosition(0);
    TMemoryStream target;
    target.CopyFrom(source, 200002); // more than one chunk
    EXPECT_EQ(target.Size() + source.Position(), 2 * 200002);
    EXPECT_THROW(target.CopyFrom(source, 10), EStreamError);
    // A stream reused for record after record allocates only for a larger one.
    const std::byte* first = target.Memory().data();
    target.Clear();
    target.SetSize(16424);
    EXPECT_EQ(target.Memory().data(), first);
}

TEST(TempFiles, UniqueNamesWithThePrefixInTheTemporaryFolder) {
    test::TTempDir dir;
    test::TEnvScope tmp("TMPDIR", dir.Path().string() + "//");
    EXPECT_EQ(TempFolder(), dir.Path().string());
    const std::string first = CreateTempFile("spx");
    EXPECT_NE(first, CreateTempFile("spx"));
    EXPECT_EQ(first.substr(0, dir.File("spx").size()), dir.File("spx"));
    { TTempFile owned(first); }
    EXPECT_FALSE(std::filesystem::exists(first));
    EXPECT_TRUE(DeleteTempFile(first)); // already gone
    EXPECT_EQ(CreateTempFile("vsr", dir.File("no-such-folder")), "");
}

// What the registration does not show already.
TEST(DesktopFiles, TheEntryEscapesItsValuesAndOurHandlerGoesFirstInItsSection) {
    const TPlayerDesktopEntry entry{"/p", "", "two\nlines\t\\ here\r", {"a/b", "c/d"}};
    const TPlayerDesktopEntry read = ParseDesktopEntry(FormatDesktopEntry(entry));
    const auto add = [](std::string_view text) {
        return WithDefaultHandler(text, "a/b", "p.desktop");
    };
    const std::string section = "[Default Applications]\n";
    const std::pair<std::string, std::string> cases[] = {
        // Inside quotes \ " ` $ get a backslash; the entry's own escaping doubles backslashes.
        {ExecValue("/x/$HOME\"q`\\"), "\"/x/\\\\$HOME\\\\\"q\\\\`\\\\\\\\\" %u"},
        {ExecValue("/x/100%/p"), "/x/100%%/p %u"},
        {read.Comment + read.MimeTypes.at(0) + read.MimeTypes.at(1), entry.Comment + "a/bc/d"},
        {add(section + "x/y=q\n\n[Other]\nk=v"),
         section + "x/y=q\na/b=p.desktop;\n\n[Other]\nk=v\n"},
        {add("[Other]\na/b=q;\n"), "[Other]\na/b=q;\n\n" + section + "a/b=p.desktop;\n"},
        {add(section + " a/b = q;p.desktop;r\n"), section + "a/b=p.desktop;q;r;\n"},
        {WithoutDefaultHandler(section + "a/b=q;\n", "a/b", "p.desktop"), section + "a/b=q;\n"},
    };
    for (const auto& [actual, expected] : cases)
        EXPECT_EQ(actual, expected);
}

} // namespace
} // namespace vsr
