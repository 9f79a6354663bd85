// Finding text on the screen: Ctrl+F opens the field; the first search of a recording opens its
// text index on a worker (a stream's once its download is complete), its progress in the status
// panel; the matches are listed under the field and marked on the seek bar, and the one chosen
// is sought to exactly, its words outlined on the picture for a while.
#include "player/SRPlaybackDlg.h"

#include "controls/PlayTrackBar.h"
#include "controls/UserPaintPanel.h"
#include "player/SearchPanel.h"
#include "recording/ScreenRecorderPlaybackStream.h"
#include "shell/Format.h"

#include <QAction>
#include <QFontMetrics>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QProgressBar>
#include <QScrollArea>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <iterator>
#include <utility>

namespace vsr {

namespace {

constexpr int cOutlineMs = 3000;
// Full screen, the field lies over the picture's bottom, this wide at most and this far up.
constexpr int cOverlayWidth = 640;
constexpr int cOverlayGap = 16;
// Outside the word's box, so that the word itself stays readable.
constexpr int cOutlineWidth = 2;
const QColor cOutlineColor{255, 200, 0};

constexpr std::string_view sSearchNotYet = "The text can be searched once the recording's end "
                                           "has arrived";
constexpr std::string_view sSearchWaiting = "text search waits for the download to finish...";
constexpr std::string_view sIndexing = "indexing text...";
constexpr std::string_view sIndexingPercent = "indexing text... %d%%";
constexpr std::string_view sIndexed = "text indexed: %d words";
constexpr std::string_view sNoMatches = "No matches";

QString QtText(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// "0:00:03 — hello world"
QString MatchEntry(const TTextMatch& match) {
    return QString::fromStdString(FormatTime(match.From / 1000, ":")) + " \u2014 " +
           QString::fromStdString(match.Text);
}

} // namespace

void TSRPlaybackDlg::CreateSearch() {
    SearchPanel = new TSearchPanel(centralWidget(), centralWidget());
    // Above the controls; full screen takes it out of the layout.
    static_cast<QVBoxLayout*>(centralWidget()->layout())->insertWidget(1, SearchPanel);
    connect(SearchPanel, &TSearchPanel::QueryChanged, this, [this] { RunSearch(); });
    connect(SearchPanel, &TSearchPanel::Chosen, this, [this](int entry) { ChooseMatch(entry); });
    connect(SearchPanel, &TSearchPanel::CloseAsked, this, [this] { CloseSearch(); });
    OutlineTimer = CreateTimer("OutlineTimer", cOutlineMs);
    OutlineTimer->setSingleShot(true);
    connect(OutlineTimer, &QTimer::timeout, this, [this] {
        FOutline.clear();
        PlayPanel->update();
    });
    MFindText = new QAction("Find Text...", this);
    MFindText->setObjectName("MFindText");
    TePopupMenu1->insertAction(MExport, MFindText);
    connect(MFindText, &QAction::triggered, this, [this] { OpenSearch(); });
    connect(TePopupMenu1, &QMenu::aboutToShow, this,
            [this] { MFindText->setEnabled(SearchAllowed()); });
    ShowKeysInMenu(); // again, for the new entry
}

// A stream is searchable once its last part has arrived, as it can be exported.
bool TSRPlaybackDlg::SearchAllowed() const {
    if (!HasRecording() || !FAudioStream)
        return false;
    const TScreenRecorderPlaybackStream* stream = StreamReader();
    return !stream || stream->KeyFramesKnown();
}

void TSRPlaybackDlg::OpenSearch() {
    if (!HasRecording())
        return;
    if (!SearchAllowed()) {
        ShowStatusText(sSearchNotYet);
        return;
    }
    PlaceSearchPanel();
    SearchPanel->Open();
    // A failed index is tried again: the missing language data may have been installed since.
    if (!FTextIndex && !FSearchRun)
        StartTextIndex();
    RunSearch();
}

bool TSRPlaybackDlg::CloseSearch() {
    if (SearchPanel->isHidden())
        return false;
    SearchPanel->Close();
    FMatches.clear();
    AudioTrackBar->SetMarks({});
    setFocus(); // the window's keys again
    return true;
}

void TSRPlaybackDlg::EndSearch() {
    FSearchRun.reset(); // cancels and waits
    FTextIndex.reset();
    FIndexNote.clear();
    if (std::exchange(FIndexBuilding, false))
        HideStreamStatus();
    CloseSearch();
    OutlineTimer->stop();
    FOutline.clear();
}

// Framed, the field is in the layout above the controls; full screen, it lies over the
// picture's bottom.
void TSRPlaybackDlg::PlaceSearchPanel() {
    if (!SearchPanel)
        return;
    auto* layout = static_cast<QVBoxLayout*>(centralWidget()->layout());
    if (!FFullScreen) {
        if (layout->indexOf(SearchPanel) < 0)
            layout->insertWidget(1, SearchPanel);
        return;
    }
    layout->removeWidget(SearchPanel);
    const QRect area = ScrollBox1->geometry();
    const int width = std::min(area.width() - 2 * cOverlayGap, cOverlayWidth);
    const int height = SearchPanel->sizeHint().height();
    SearchPanel->setGeometry(area.left() + (area.width() - width) / 2,
                             area.top() + area.height() - height - cOverlayGap, width, height);
    SearchPanel->raise();
    SearchPanel->PlaceList();
}

// The download's file of a stream, and the copy of a recording appended to the program, are
// temporary: their index goes to the cache, not beside them.
void TSRPlaybackDlg::StartTextIndex() {
    const TScreenRecorderPlaybackStream* stream = StreamReader();
    const std::string& file = FReader->FileName();
    const TIndexPlace place = stream || (!FExtractedFile.empty() && file == FExtractedFile)
                                  ? TIndexPlace::CacheOnly
                                  : TIndexPlace::BesideOrCache;
    std::function<bool()> complete;
    if (stream)
        complete = [stream] { return stream->FirstPartDone(); };
    FIndexNote = sIndexing;
    FSearchRun = std::make_unique<TSearchRun>(
        file, place, complete,
        TSearchRun::TEvents{[this] { TextIndexWaiting(); },
                            [this](std::uint32_t doneMs, std::uint32_t totalMs) {
                                TextIndexProgress(doneMs, totalMs);
                            },
                            [this](std::optional<TOpenedIndex> index, const std::string& error) {
                                TextIndexFinished(std::move(index), error);
                            }});
}

void TSRPlaybackDlg::TextIndexWaiting() {
    FIndexNote = sSearchWaiting;
    ShowStatusText(FIndexNote);
    RunSearch();
}

void TSRPlaybackDlg::TextIndexProgress(std::uint32_t doneMs, std::uint32_t totalMs) {
    const int percent = totalMs ? static_cast<int>(std::uint64_t{doneMs} * 100 / totalMs) : 0;
    FIndexBuilding = true;
    FIndexNote = Format(sIndexingPercent, percent);
    StreamStatusLabel->setText(QString::fromStdString(FIndexNote));
    StreamProgress->setValue(percent);
    StreamProgress->show();
    StreamStatusPanel->show();
    StreamStatusPanel->raise();
    RunSearch();
}

void TSRPlaybackDlg::TextIndexFinished(std::optional<TOpenedIndex> index,
                                       const std::string& error) {
    FSearchRun.reset();
    FIndexBuilding = false;
    if (index) {
        FTextIndex = std::move(index->Index);
        FIndexNote.clear();
        if (index->Built)
            ShowStatusText(Format(sIndexed, FTextIndex->Words.size()));
    } else {
        // Whole under the field; its beginning in the narrow status panel.
        FIndexNote = error;
        ShowStatusText(QFontMetrics(StreamStatusLabel->font())
                           .elidedText(QString::fromStdString(error), Qt::ElideRight,
                                       StreamStatusLabel->width())
                           .toStdString());
    }
    RunSearch();
}

void TSRPlaybackDlg::RunSearch() {
    if (SearchPanel->isHidden())
        return;
    const QString query = SearchPanel->Query();
    FMatches.clear();
    if (FTextIndex && !query.trimmed().isEmpty())
        FMatches = SearchTextIndex(*FTextIndex, query.toStdString());
    // The bar's scale is the voice's bytes.
    std::vector<std::int32_t> marks;
    QStringList entries;
    for (const TTextMatch& match : FMatches) {
        entries << MatchEntry(match);
        marks.push_back(static_cast<std::int32_t>(std::min<std::int64_t>(
            std::int64_t{match.From} * cPcmBytesPerMs, AudioTrackBar->Max())));
    }
    AudioTrackBar->SetMarks(std::move(marks));
    if (!FTextIndex)
        SearchPanel->SetNote(QString::fromStdString(FIndexNote));
    else if (FMatches.empty() && !query.trimmed().isEmpty())
        SearchPanel->SetNote(QtText(sNoMatches));
    else
        SearchPanel->SetEntries(entries);
}

void TSRPlaybackDlg::ChooseMatch(int entry) {
    if (entry < 0 || entry >= std::ssize(FMatches))
        return;
    const TTextMatch& match = FMatches[static_cast<std::size_t>(entry)];
    if (!SeekTo(match.From))
        return;
    FOutline = match.Boxes.empty() ? std::vector<TRect>{match.Box} : match.Boxes;
    OutlineTimer->start(cOutlineMs);
    PlayPanel->update();
}

// Each box through the picture's own mapping (the pointer's), then a band around it.
void TSRPlaybackDlg::PaintOutline(QPainter& canvas, const TRect& fit) {
    for (const TRect& box : FOutline) {
        const TRect shown = CursorRect(box.Left, box.Top, box.Width(), box.Height(), fit,
                                       FBitmap->Width(), FBitmap->Height());
        if (shown.Empty())
            continue;
        const int width = shown.Width(), height = shown.Height();
        canvas.fillRect(shown.Left - cOutlineWidth, shown.Top - cOutlineWidth, cOutlineWidth,
                        height + 2 * cOutlineWidth, cOutlineColor);
        canvas.fillRect(shown.Right, shown.Top - cOutlineWidth, cOutlineWidth,
                        height + 2 * cOutlineWidth, cOutlineColor);
        canvas.fillRect(shown.Left, shown.Top - cOutlineWidth, width, cOutlineWidth, cOutlineColor);
        canvas.fillRect(shown.Left, shown.Bottom, width, cOutlineWidth, cOutlineColor);
    }
}

} // namespace vsr
