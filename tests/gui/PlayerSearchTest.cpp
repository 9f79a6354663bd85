// Finding text on the screen. Recognition is slow, so most of it runs against an index written
// beside the recording in advance: Ctrl+F, the listed matches, the exact seek with the words
// outlined for a while, the seek bar's marks and Escape, framed and full screen. A stream's
// search waits for its download; an index that cannot be built says why, and closing the
// recording ends a build that runs.
#include "gui/PlayerTestSupport.h"

#include "controls/PlayTrackBar.h"
#include "render/Geometry.h"
#include "search/TextIndex.h"
#include "support/FaultServer.h"

#include <QFontMetrics>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPainter>
#include <QProgressBar>
#include <QScrollArea>
#include <QTest>

namespace vsr::test {

namespace {

constexpr std::int32_t cWidth = 320, cHeight = 160;
constexpr QRgb cOutline = 0xFFC800;

struct TWordAt {
    const char* Text;
    int X, Baseline;
    std::uint32_t From, To;
};

// White pictures with the words of each time drawn in black, and the index a recognition would
// give: each word's box where it was drawn, for its span.
struct TTextRecording {
    TRecordingContent Content;
    std::vector<TIndexedWord> Words;
};

TTextRecording TextRecording(const std::vector<TWordAt>& words, std::uint32_t voiceMs) {
    TTextRecording recording{{cWidth, cHeight, {}, {}, VoiceTrack(Tone(voiceMs)), {}}, {}};
    std::vector<std::uint32_t> times{0};
    for (const TWordAt& word : words)
        times.push_back(word.From);
    std::ranges::sort(times);
    times.erase(std::unique(times.begin(), times.end()), times.end());
    QFont font;
    font.setPixelSize(20);
    const QFontMetrics metrics(font);
    for (const std::uint32_t time : times) {
        QImage image(cWidth, cHeight, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        painter.setFont(font);
        for (const TWordAt& word : words)
            if (word.From <= time && time < word.To)
                painter.drawText(word.X, word.Baseline, word.Text);
        painter.end();
        TScreenPicture picture(cWidth, cHeight);
        for (int y = 0; y < cHeight; ++y)
            for (int x = 0; x < cWidth; ++x)
                picture.At(x, y) = image.pixel(x, y) & 0xFFFFFFu;
        recording.Content.Pictures.push_back({time, picture});
    }
    for (const TWordAt& word : words) {
        const QRect box = metrics.boundingRect(word.Text).translated(word.X, word.Baseline);
        recording.Words.push_back({word.Text,
                                   {box.left(), box.top(), box.right() + 1, box.bottom() + 1},
                                   word.From,
                                   word.To});
    }
    return recording;
}

// "hello" alone from 1 s, "hello world" lower down from 3 s to the end.
const std::vector<TWordAt> cHelloWorld{
    {"hello", 20, 40, 1000, 3000}, {"hello", 20, 110, 3000, 6000}, {"world", 90, 110, 3000, 6000}};

} // namespace

class PlayerSearch : public PlayerTest {
protected:
    // Written with its index beside it (or in the cache), as a finished build leaves them.
    std::string WriteIndexed(const std::string& name, const TTextRecording& recording) {
        const std::string file = Write(name, recording.Content, ExactTiles(6000));
        WriteIndex(IndexFileBeside(file), file, recording.Words);
        return file;
    }
    static void WriteIndex(const std::string& indexFile, const std::string& recordingFile,
                           const std::vector<TIndexedWord>& words) {
        WriteTextIndex(indexFile, {IdentifyRecording(recordingFile), 1000, "eng", words});
    }
    void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QKeyEvent event(QEvent::KeyPress, key, modifiers);
        QApplication::sendEvent(&Window(), &event);
    }
    void CtrlF() { Key(Qt::Key_F, Qt::ControlModifier); }
    QLineEdit* Field() { return Find<QLineEdit>("SearchField"); }
    void Type(const QString& query) {
        Field()->clear();
        QTest::keyClicks(Field(), query);
    }
    // The list as shown; empty when hidden.
    QStringList Entries() {
        QStringList entries;
        auto* list = Find<QListWidget>("SearchList");
        for (int row = 0; list->isVisible() && row < list->count(); ++row)
            entries << list->item(row)->text();
        return entries;
    }
    QString Note() {
        auto* note = Find<QLabel>("SearchNote");
        return note->isVisible() ? note->text() : QString();
    }
    // The bar's marks in ms, each checked to be painted where the thumb would stand.
    std::vector<std::int32_t> MarksMs() {
        auto* bar = Find<TPlayTrackBar>("AudioTrackBar");
        const QImage shot = bar->grab().toImage().convertToFormat(QImage::Format_RGB32);
        int painted = 0;
        for (int x = 0; x < shot.width(); ++x)
            painted += shot.pixel(x, 1) == cMarkColor.rgb();
        std::vector<std::int32_t> marks = bar->Marks();
        EXPECT_EQ(painted, std::ssize(marks) * cMarkWidth);
        for (std::int32_t& mark : marks) {
            EXPECT_EQ(shot.pixel(bar->CentreAt(mark), 1), cMarkColor.rgb());
            mark /= cPcmBytesPerMs;
        }
        return marks;
    }
    // The panel's pixels left and right of a word's box, mapped as the picture is: copied at
    // natural size (full screen), else stretched.
    std::pair<QRgb, QRgb> BesideBox(const TRect& box) {
        QWidget* panel = Find("PlayPanel");
        const QImage shot = panel->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const TRect fit = panel->size() == QSize(cWidth, cHeight)
                              ? TRect{0, 0, cWidth, cHeight}
                              : FitRect(panel->width(), panel->height(), cWidth, cHeight);
        const TRect shown =
            CursorRect(box.Left, box.Top, box.Width(), box.Height(), fit, cWidth, cHeight);
        const int middle = (shown.Top + shown.Bottom) / 2;
        return {shot.pixel(shown.Left - 1, middle) & 0xFFFFFFu,
                shot.pixel(shown.Right, middle) & 0xFFFFFFu};
    }
    std::string StatusText() { return Find<QLabel>("StreamStatusLabel")->text().toStdString(); }

    TTempDir FCache;
    TEnvScope FCacheHome{"XDG_CACHE_HOME", FCache.Path().string()};
};

// Framed and full screen: typing lists the matches, Down and Enter (or a click) choose one, which
// is sought to exactly with its words outlined for 3 seconds; the bar marks where they start.
TEST_F(PlayerSearch, TypingListsMatchesAndChoosingSeeksAndOutlinesThem) {
    const TTextRecording recording = TextRecording(cHelloWorld, 6000);
    const std::string file = WriteIndexed("hello.vsr", recording);
    const std::vector<std::byte> index = ReadFileBytes(IndexFileBeside(file));
    for (const bool fullScreen : {false, true}) {
        SCOPED_TRACE(fullScreen ? "full screen" : "framed");
        Start({{fullScreen ? "" : "/debug"}, "", TStartUpMode::WindowOnly});
        auto* entry = Find<QAction>("MFindText");
        const auto entryEnabled = [&] {
            QMetaObject::invokeMethod(Find<QMenu>("TePopupMenu1"), "aboutToShow");
            return entry->isEnabled();
        };
        EXPECT_FALSE(entryEnabled()) << "no recording";
        ASSERT_TRUE(Window().OpenRecording(file));
        ASSERT_TRUE(PumpUntil([&] { return Window().Playing(); }));
        Click("PauseButton");
        EXPECT_TRUE(entryEnabled() && entry->shortcut() == QKeySequence("Ctrl+F"));
        if (fullScreen) // the menu's entry, or the key
            entry->trigger();
        else
            CtrlF();
        QWidget* panel = Find("SearchPanel");
        ASSERT_TRUE(panel->isVisible());
        ASSERT_TRUE(PumpUntil([&] { return !Window().TextIndexRunning(); }));
        PumpFor(50ms); // the layout
        const QRect area = Find("ScrollBox1")->geometry(), field = panel->geometry();
        if (fullScreen)
            EXPECT_TRUE(area.contains(field) && field.bottom() > area.center().y()) << "over it";
        else
            EXPECT_TRUE(field.top() > area.bottom() &&
                        field.bottom() < Find("ControlsPanel")->geometry().top());

        const struct {
            const char* Query;
            QStringList Entries;
            std::vector<std::int32_t> Marks; // ms
            const char* Note;
        } searches[] = {
            {"hello", {"0:00:01 \u2014 hello", "0:00:03 \u2014 hello"}, {1000, 3000}, ""},
            {"hello world", {"0:00:03 \u2014 hello world"}, {3000}, ""},
            {"WORLD", {"0:00:03 \u2014 world"}, {3000}, ""},
            {"zebra", {}, {}, "No matches"},
            {"", {}, {}, ""},
        };
        for (const auto& search : searches) {
            SCOPED_TRACE(search.Query);
            Type(search.Query);
            EXPECT_EQ(Entries(), search.Entries);
            EXPECT_EQ(MarksMs(), search.Marks);
            EXPECT_EQ(Note(), search.Note);
        }

        // Down to the second "hello", Enter: exactly its start, its box outlined on both sides.
        Type("hello");
        QTest::keyClick(Field(), Qt::Key_Down);
        QTest::keyClick(Field(), Qt::Key_Return);
        EXPECT_TRUE(Window().PlayTime() == 3000 && Buttons() == cPaused && Entries().isEmpty());
        EXPECT_EQ(BesideBox(recording.Words[1].Box), std::pair(cOutline, cOutline));
        EXPECT_NE(BesideBox(recording.Words[0].Box).first, cOutline) << "only the chosen one";
        QTest::keyClick(Field(), Qt::Key_Up); // the list again, where it was
        ASSERT_EQ(Entries().size(), 2);
        EXPECT_EQ(Find<QListWidget>("SearchList")->currentRow(), 1);
        // To look at: VSR_SEARCH_SHOT=/tmp/search-shot.png (full screen: "-full" added).
        if (const char* shot = std::getenv("VSR_SEARCH_SHOT"))
            Window().grab().save(QString(shot).replace(".png", fullScreen ? "-full.png" : ".png"));
        Fire("OutlineTimer");
        EXPECT_NE(BesideBox(recording.Words[1].Box).first, cOutline) << "gone after 3 s";

        // A click on the first entry.
        Type("hello");
        auto* list = Find<QListWidget>("SearchList");
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(0)).center());
        EXPECT_TRUE(Window().PlayTime() == 1000 && Active("OutlineTimer"));
        EXPECT_EQ(BesideBox(recording.Words[0].Box).second, cOutline);

        QTest::keyClick(Field(), Qt::Key_Escape);
        EXPECT_TRUE(panel->isHidden() && Entries().isEmpty() && MarksMs().empty());
        EXPECT_TRUE(Window().FullScreen() == fullScreen) << "Escape closed only the search";
        Key(Qt::Key_F1);
        EXPECT_TRUE(Find<QLabel>("ShortcutHelp")->text().contains("Ctrl+F"));
        Key(Qt::Key_F1);
    }
    EXPECT_EQ(ReadFileBytes(IndexFileBeside(file)), index) << "read, not built again";
    EXPECT_TRUE(FErrors.empty());
}

// A stream is searched once its last part is in, and its index is opened once the whole file
// has arrived; closing while it waits ends the wait. Where the language data is missing, the
// build's error is shown, not raised. A build of real text can be ended by closing the
// recording: nothing is written.
TEST_F(PlayerSearch, TheIndexWaitsForADownloadSaysWhyItFailsAndEndsWithTheRecording) {
    const TTextRecording recording = TextRecording(cHelloWorld, 6000);
    const std::string local = FFixtures.File("s.vsr");
    const TRecordingLayout layout = WriteRecordingFile(local, recording.Content, ExactTiles(6000));
    const std::vector<std::byte> bytes = ReadFileBytes(local);
    const std::string cached = CachedIndexFile(IdentifyRecording(local));
    std::filesystem::create_directories(std::filesystem::path(cached).parent_path());
    WriteIndex(cached, local, recording.Words);
    std::atomic<bool> released = false;
    TFaultServer server([&](const TFaultRequest& request) {
        TFaultReply reply = ServeRecording(bytes, request);
        const std::int64_t at = request.QueryNumber("position");
        if (at >= 72 && at < layout.KeyFrameIndexOffset) // the pictures, after the header
            reply.ReadyWhen = [&] { return released.load(); };
        return reply;
    });
    const std::string address = "vsrfile://" + server.BaseURL().substr(7) + "rec/s.vsr";
    for (const bool closeWhileWaiting : {true, false}) {
        SCOPED_TRACE(closeWhileWaiting ? "closed while waiting" : "downloaded");
        released = false;
        FTrace.Clear();
        ASSERT_TRUE(Window().OpenRecording(address));
        ASSERT_TRUE(PumpUntil([&] { return FTrace.Contains("VSR Download last part finished"); }));
        PumpFor(100ms);
        CtrlF();
        ASSERT_TRUE(PumpUntil([&] { return Note().contains("waits for the download"); }));
        EXPECT_TRUE(Window().TextIndexRunning());
        if (closeWhileWaiting) {
            Window().CloseRecording();
            EXPECT_TRUE(!Window().TextIndexRunning() && Find("SearchPanel")->isHidden());
            continue;
        }
        released = true;
        ASSERT_TRUE(PumpUntil([&] { return !Window().TextIndexRunning(); }));
        Type("hello world");
        EXPECT_EQ(Entries(), QStringList{"0:00:03 \u2014 hello world"});
        Window().CloseRecording();
        EXPECT_EQ(TempFiles(), 0u) << "nothing beside the download's file";
    }

    // No language data: the error goes to the list's place and the status panel. (Another length:
    // the same bytes would find the stream's index in the cache.)
    const std::string plain = Write("plain.vsr", recording.Content, ExactTiles(7000));
    {
        TTempDir empty;
        TEnvScope noData{"TESSDATA_PREFIX", empty.Path().string()};
        ASSERT_TRUE(Window().OpenRecording(plain));
        CtrlF();
        ASSERT_TRUE(PumpUntil([&] { return !Window().TextIndexRunning(); }));
        const QString status = QString::fromStdString(StatusText());
        EXPECT_TRUE(Note().contains("eng") && status.size() > 10 &&
                    Note().startsWith(status.chopped(1)) && status.endsWith(u'\u2026') &&
                    Find("StreamStatusPanel")->isVisible())
            << Note().toStdString() << " | " << StatusText();
        Type("hello");
        EXPECT_TRUE(Entries().isEmpty() && Note().contains("eng"));
        if (const char* shot = std::getenv("VSR_SEARCH_SHOT"))
            Window().grab().save(QString(shot).replace(".png", "-error.png"));
        EXPECT_FALSE(std::filesystem::exists(IndexFileBeside(plain)));
    }

    // Five minutes of changing text: seconds to recognise. Closing during the build ends it.
    std::vector<TWordAt> many;
    for (std::uint32_t second = 0; second < 300; ++second)
        many.push_back({second % 2 ? "alpha" : "omega", 10 + static_cast<int>(second % 7) * 30,
                        30 + static_cast<int>(second % 5) * 25, second * 1000,
                        second * 1000 + 1000});
    const std::string slow =
        Write("slow.vsr", TextRecording(many, 300000).Content, ExactTiles(300000));
    ASSERT_TRUE(Window().OpenRecording(slow));
    CtrlF();
    ASSERT_TRUE(PumpUntil([&] { return StatusText().starts_with("indexing text... "); }, 30s));
    EXPECT_TRUE(Find("StreamStatusPanel")->isVisible() && Window().TextIndexRunning());
    if (const char* shot = std::getenv("VSR_SEARCH_SHOT"))
        Window().grab().save(QString(shot).replace(".png", "-indexing.png"));
    const auto closing = std::chrono::steady_clock::now();
    Window().CloseRecording();
    EXPECT_LT(std::chrono::steady_clock::now() - closing, 5s);
    EXPECT_TRUE(!Window().TextIndexRunning() && !Find("StreamStatusPanel")->isVisible());
    // Not even a part: the only file named after it is the recording.
    EXPECT_EQ(std::ranges::count_if(std::filesystem::directory_iterator(FFixtures.Path()),
                                    [](const auto& entry) {
                                        return entry.path().filename().string().starts_with(
                                            "slow.vsr");
                                    }),
              1);
    EXPECT_FALSE(std::filesystem::exists(CachedIndexFile(IdentifyRecording(slow))));
    EXPECT_TRUE(FErrors.empty());
}

} // namespace vsr::test
