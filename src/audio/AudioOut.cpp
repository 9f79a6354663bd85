#include "audio/AudioOut.h"

#include "platform/WndComponent.h"

#include <algorithm>

namespace vsr {

// The hidden window that receives one open device's notifications. Destroying it drops the
// notifications still pending for that device.
class TCallBackWinOut : public TWndComponent {
public:
    explicit TCallBackWinOut(TAudioOut& owner) : FOwner(owner) {}

protected:
    void WndProc(const TMessage& message) override {
        // BufferDone may destroy this object: nothing may touch it afterwards.
        TAudioOut& owner = FOwner;
        switch (message.Msg) {
        case cWomOpen:
            if (owner.TAudioIO::OnStart)
                owner.TAudioIO::OnStart(owner);
            break;
        case cWomClose:
            if (owner.TAudioIO::OnStop)
                owner.TAudioIO::OnStop(owner);
            break;
        case cWomDone:
            owner.BufferDone();
            break;
        default:
            break;
        }
    }

private:
    TAudioOut& FOwner;
};

TAudioOut::TAudioOut() : TAudioOut(CreateWaveDevice()) {}

TAudioOut::TAudioOut(std::unique_ptr<TWaveDevice> device) : FDevice(std::move(device)) {}

TAudioOut::~TAudioOut() {
    if (FDeviceOpen)
        TAudioOut::Stop();
}

bool TAudioOut::Start() {
    if (!OpenDevice())
        return false;
    return StartOutput();
}

bool TAudioOut::OpenDevice() {
    if (FDeviceOpen) {
        FLastError = sWaveDeviceOpen;
        return false;
    }
    if (!BuffersAllocated()) {
        FLastError = sWaveBufferAlloc;
        return false;
    }
    FNextBuffer = 0;
    FCallBack = std::make_unique<TCallBackWinOut>(*this);
    const TWaveResult opened = FDevice->Open(WaveDevice(), WaveFormat(), FCallBack->Handle());
    if (!opened.Ok()) {
        FLastError = opened.ErrorText;
        FCallBack.reset();
        return false;
    }
    FDeviceOpen = true;
    for (std::int32_t i = 0; i < NumBuffers(); ++i)
        Header(i) = {Buffer(i), BufferSize()};
    FFilledBuffers = 0;
    FProcessedBuffers = 0;
    FWrittenBuffers = 0;
    UpdateQueuedBuffers();
    FContinueProcessing = true;
    FActive = true;
    if (!FillBuffer(0, BufferSize())) {
        CloseDevice();
        FLastError = sWaveNoFilledBuffer;
        return false;
    }
    // Each attempt fills the next buffer in write order, so that data delivered after a
    // failed attempt is not written behind an empty buffer.
    for (std::int32_t i = 1; i < NumBuffers(); ++i)
        FillBuffer(FFilledBuffers, BufferSize());
    return true;
}

bool TAudioOut::FillBuffer(std::int32_t index, std::int32_t size) {
    if (!FContinueProcessing)
        return false;
    bool result = false;
    if (OnFillBuffer) {
        TWaveHeader& header = Header(index);
        std::int32_t filled = size;
        result = OnFillBuffer(header.Data.first(static_cast<std::size_t>(size)), filled);
        // A handler's size beyond the buffer must not let the device read past it.
        header.BufferLength = std::clamp(filled, 0, size);
        FStarved = !result && filled < 0;
    }
    if (result)
        ++FFilledBuffers;
    UpdateQueuedBuffers();
    return result;
}

bool TAudioOut::StartOutput() {
    FActive = true;
    if (Paused())
        FDevice->Pause();
    if (!QueueNext()) {
        CloseDevice();
        return false;
    }
    const std::int32_t more = QueuedBuffers() - 1;
    for (std::int32_t i = 0; i < more; ++i) {
        if (!QueueNext())
            break; // the rest were taken back: writing them would break the order
    }
    return true;
}

bool TAudioOut::QueueNext() {
    const TWaveHeader& header = Header(FNextBuffer);
    const TWaveResult written = FDevice->Write(
        FNextBuffer, header.Data.first(static_cast<std::size_t>(header.BufferLength)));
    if (!written.Ok()) {
        FLastError = written.ErrorText;
        StopGracefully();
        FFilledBuffers = FWrittenBuffers;
        UpdateQueuedBuffers();
        return false;
    }
    ++FWrittenBuffers;
    FNextBuffer = (FNextBuffer + 1) % NumBuffers();
    return true;
}

void TAudioOut::BufferDone() {
    ++FProcessedBuffers;
    UpdateQueuedBuffers();
    const bool active = QueuedBuffers() > 0;
    const bool waiting = FStarved && FContinueProcessing; // a pause must still reach the device
    FActive = active || waiting;
    if (active) {
        // The handler may have stopped the component.
        if (FillBuffer(FNextBuffer, BufferSize()) && FDeviceOpen)
            QueueNext();
        return;
    }
    if (waiting)
        return; // open and silent until Resume
    // The queue ran dry: no refill, since the device closes now.
    FContinueProcessing = false;
    CloseDevice();
    if (OnStop)
        OnStop(*this);
}

void TAudioOut::Resume() {
    if (!FDeviceOpen || !FStarved)
        return;
    while (QueuedBuffers() < NumBuffers() && FillBuffer(FNextBuffer, BufferSize()) && FDeviceOpen) {
        if (!QueueNext())
            break;
    }
}

void TAudioOut::Stop() {
    if (!FDeviceOpen)
        return;
    FActive = false;
    FContinueProcessing = false;
    FDevice->Reset();
    CloseDevice();
}

void TAudioOut::StopGracefully() {
    if (!FDeviceOpen)
        return;
    FContinueProcessing = false;
    if (FStarved && QueuedBuffers() == 0) { // no buffer is left to end with
        CloseDevice();
        if (OnStop)
            OnStop(*this);
    }
}

void TAudioOut::CloseDevice() {
    FActive = false;
    FStarved = false;
    FPaused = false;
    FDevice->Close();
    FDeviceOpen = false;
    FCallBack.reset();
}

void TAudioOut::SetPaused(bool value) {
    FPaused = value;
    if (!Active())
        return;
    if (value)
        FDevice->Pause();
    else
        FDevice->Restart();
}

bool TAudioOut::CanChangeFormat() {
    if (!FDeviceOpen)
        return true;
    FLastError = sWaveDeviceOpen;
    return false;
}

} // namespace vsr
