// The window's side of a streamed recording: the status panel, the progress messages of the
// download workers, the automatic start once enough has arrived, error reporting, and the
// "Open URL" box.
#include "player/SRPlaybackDlg.h"

#include "player/ErrorBox.h"
#include "recording/ScreenRecorderPlaybackStream.h"
#include "recording/SoundAndOverlaySplit.h"
#include "shell/Messages.h"
#include "shell/Trace.h"

#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QTimer>

namespace vsr {

namespace {

// Posted by the download workers, which must not touch the window.
constexpr std::uint32_t cFirstPartProgressMessage = cFirstUserMessage + 220; // 1244
constexpr std::uint32_t cLastPartProgressMessage = cFirstUserMessage + 230;  // 1254
constexpr std::uint32_t cLastPartStartedMessage = cFirstUserMessage + 240;
constexpr std::uint32_t cLastPartHeadMessage = cFirstUserMessage + 245;
// Closes the window after a failed download, behind the close-source message.
constexpr std::uint32_t cCloseWindowMessage = cFirstUserMessage + 250;

QString QtText(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Holds the download lock while the header and the voice track are read.
class TStreamLock {
public:
    explicit TStreamLock(TScreenRecorderPlaybackStream& stream) : FStream(stream) {
        FStream.Lock();
    }
    ~TStreamLock() { FStream.Unlock(); }
    TStreamLock(const TStreamLock&) = delete;
    TStreamLock& operator=(const TStreamLock&) = delete;

private:
    TScreenRecorderPlaybackStream& FStream;
};

} // namespace

TScreenRecorderPlaybackStream* TSRPlaybackDlg::StreamReader() const {
    return dynamic_cast<TScreenRecorderPlaybackStream*>(FReader.get());
}

void TSRPlaybackDlg::OpenStream(const std::string& address) {
    if (!FStreamMessages)
        FStreamMessages = MessageQueue().CreateTarget(
            [this](const TMessage& message) { StreamMessageReceived(message); });
    StreamStatusLabel->setText(QtText(sVSRStreamConnecting));
    StreamProgress->setValue(0);
    StreamStatusPanel->show();
    std::unique_ptr<TScreenRecorderPlaybackStream> stream;
    try {
        stream = std::make_unique<TScreenRecorderPlaybackStream>(address);
    } catch (...) {
        // The opening reports the error; the panel must not stay behind it.
        HideStreamStatus();
        throw;
    }
    TMessageTarget& target = *FStreamMessages;
    stream->OnLastPartStarted = [&target](TScreenRecorderPlaybackStream&) {
        Trace("VSR Download last part started");
        target.Post({cLastPartStartedMessage, 0, 0});
    };
    stream->OnLastPartHeadArrived = [&target](TScreenRecorderPlaybackStream&) {
        target.Post({cLastPartHeadMessage, 0, 0});
    };
    stream->OnLastPartProgress = [&target](TScreenRecorderPlaybackStream&) {
        target.Post({cLastPartProgressMessage, 0, 0});
    };
    stream->OnFirstPartProgress = [&target](TScreenRecorderPlaybackStream&) {
        target.Post({cFirstPartProgressMessage, 0, 0});
    };
    stream->OnLastPartFinished = [this](TScreenRecorderPlaybackStream& sender) {
        StreamLastPartFinished(sender);
    };
    stream->OnFirstPartFinished = [this](TScreenRecorderPlaybackStream& sender) {
        StreamFirstPartFinished(sender);
    };
    const auto error = [this](TScreenRecorderPlaybackStream&, const std::string& message) {
        StreamError(message);
    };
    stream->OnLastPartError = error;
    stream->OnFirstPartError = error;
    TScreenRecorderPlaybackStream& started = *stream;
    FReader = std::move(stream);
    try {
        started.StartDownload();
    } catch (const std::exception& failure) {
        HideStreamStatus();
        ShowErrorBox(this, failure.what());
        CloseRecording();
    }
}

void TSRPlaybackDlg::StreamMessageReceived(const TMessage& message) {
    switch (message.Msg) {
    case cLastPartStartedMessage:
        StreamLastPartStarted();
        break;
    case cLastPartHeadMessage:
        StreamLastPartHeadArrived();
        break;
    case cLastPartProgressMessage:
        StreamLastPartProgress();
        break;
    case cFirstPartProgressMessage:
        StreamFirstPartProgress();
        break;
    case cCloseWindowMessage:
        close();
        break;
    default:
        break;
    }
}

// The messages may still arrive after their recording was closed; they act only on a stream.
void TSRPlaybackDlg::StreamLastPartStarted() {
    if (StreamReader())
        StreamStatusLabel->setText(QtText(sVSRStreamChecking));
}

// Also the voice's progress: it may complete the start, or feed an output that waits for it.
void TSRPlaybackDlg::StreamLastPartProgress() {
    const TScreenRecorderPlaybackStream* stream = StreamReader();
    if (!stream)
        return;
    StreamStatusLabel->setText(QtText(sVSRStreamBuffering));
    StreamProgress->setValue(stream->Progress());
    if (AudioPlayback.Starved())
        AudioPlayback.Resume();
    TryStartStream(*stream, "VSR Download: voice available, so start playback");
}

void TSRPlaybackDlg::StreamFirstPartProgress() {
    const TScreenRecorderPlaybackStream* stream = StreamReader();
    if (!stream)
        return;
    StreamProgress->setValue(stream->Progress());
    StreamStatusLabel->setText(QtText(sVSRStreamBuffering));
    if (!stream->HeadArrived() && !stream->KeyFramesKnown()) {
        Trace("VSR Download first part progress while last part not finished yet");
        return;
    }
    Trace("VSR Download first part progress while last part finished");
    TryStartStream(*stream,
                   "VSR Download: LastPartFinished and key frame available, so start playback");
}

bool TSRPlaybackDlg::StreamMayStartPlayback() const {
    return !FRunEvent.Signalled() && !AudioPlayback.Paused();
}

// Starts once: the head, key-frame segment 0 and the voice the start needs have arrived.
void TSRPlaybackDlg::TryStartStream(const TScreenRecorderPlaybackStream& stream, const char* why) {
    if (FAudioStream && StreamMayStartPlayback() && stream.MayStart())
        StartStreamPlayback(why);
}

void TSRPlaybackDlg::StartStreamPlayback(const char* why) {
    Trace(why);
    HideStreamStatus();
    PlayButtonClick();
}

// The overlay and the voice's header and table have arrived; its frames follow.
void TSRPlaybackDlg::StreamLastPartHeadArrived() {
    TScreenRecorderPlaybackStream* stream = StreamReader();
    if (!stream || FAudioStream)
        return;
    Trace("VSR Download last part head arrived");
    try {
        OpenStreamVoice(*stream);
        TryStartStream(*stream, "VSR Download: head and key frame available, so start playback");
    } catch (const std::exception& error) {
        ShowErrorBox(this, error.what());
        FMessages->Post({cCloseSourceMessage, 0, 0});
    }
}

// The voice is read where it lands in the download's file. While it arrives, it plays only as
// far as it has come, and the download learns how far into it the pictures reach.
void TSRPlaybackDlg::OpenStreamVoice(TScreenRecorderPlaybackStream& stream) {
    const std::int64_t audioOffset = stream.Header().AudioOffset;
    TSoundTrackRange range;
    {
        const TStreamLock lock(stream);
        range = LocateSoundTrack(stream.GetStream(), audioOffset);
        range.Check();
        FOverlay = LoadOverlay(stream.GetStream(), range);
    }
    PrepareBitmap(stream.Header().Width, stream.Header().Height);
    FAudioStream =
        std::make_unique<TSpxStream>(stream.FileName(), TFileMode::OpenRead, TSpxSilences::Load,
                                     TSpxWindow{range.Offset, range.Bytes()});
    if (!stream.KeyFramesKnown()) {
        FAudioStream->SetArrived(
            [&stream, audioOffset] { return stream.VoiceArrived() - audioOffset; });
        stream.SetVoiceMap([timeline = FAudioStream->Timeline()](std::uint32_t time) {
            return timeline.DataNeededFor(std::int64_t{time} * cPcmBytesPerMs);
        });
    }
    SetupSeekBar();
}

// The output asks a second ahead of the voice being read: more than one buffer at any speed.
bool TSRPlaybackDlg::VoiceAhead() const {
    constexpr std::int64_t cVoiceAheadBytes = 1000 * cPcmBytesPerMs;
    const std::int64_t available = FAudioStream->Available();
    return available >= FAudioStream->Size() ||
           available - FAudioStream->Position() >= cVoiceAheadBytes;
}

void TSRPlaybackDlg::StreamLastPartFinished(TScreenRecorderPlaybackStream& stream) {
    Trace("VSR Download last part finished");
    try {
        if (!FAudioStream)
            OpenStreamVoice(stream);
        CreatePreview();
        if (stream.FirstPartDone())
            TryStartStream(
                stream,
                "VSR Download last part finished after first part finished, so start playing");
        else
            // The first part waits for the last once key-frame segment 0 is in.
            TryStartStream(
                stream,
                "VSR Download: LastPartFinished and key frame available, so start playback");
    } catch (const std::exception& error) {
        ShowErrorBox(this, error.what());
        FMessages->Post({cCloseSourceMessage, 0, 0});
    }
}

void TSRPlaybackDlg::StreamFirstPartFinished(TScreenRecorderPlaybackStream& stream) {
    if (!stream.KeyFramesKnown()) {
        Trace("VSR Download finished for first part, but last part not finished");
        return;
    }
    Trace("VSR Download finished for first part");
    CreatePreview();
    HideStreamStatus();
    if (StreamMayStartPlayback()) {
        Trace("VSR Download: LastPartFinished and first part finished, so start playback");
        PlayButtonClick();
    }
}

// A failed download ends the player once the user has read why.
void TSRPlaybackDlg::StreamError(const std::string& message) {
    StopButtonClick();
    HideStreamStatus();
    ShowMouseCursor(true);
    HideMouseTimer->stop();
    ShowErrorBox(this, message);
    if (!HeaderDelayTimer->isActive())
        HideMouseTimer->start();
    FMessages->Post({cCloseSourceMessage, 0, 0});
    FStreamMessages->Post({cCloseWindowMessage, 0, 0});
}

void TSRPlaybackDlg::HideStreamStatus() {
    StreamStatusLabel->clear();
    StreamStatusPanel->hide();
}

void TSRPlaybackDlg::MOpenURLClick() {
    ShowMouseCursor(true);
    HideMouseTimer->stop();
    QInputDialog dialog(this);
    dialog.setObjectName("OpenURLDialog");
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setWindowTitle("Play From Internet");
    dialog.setLabelText("Enter vsrfile:// URL:");
    dialog.setTextValue(QString());
    if (dialog.exec() == QDialog::Accepted)
        OpenRecording(dialog.textValue().toStdString());
    if (!HeaderDelayTimer->isActive())
        HideMouseTimer->start();
}

} // namespace vsr
