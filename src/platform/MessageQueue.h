#pragma once
// Message targets and the message loop: the program's stand-in for hidden windows and their
// posted and sent messages.
//
// Threading rules:
// - A target belongs to the thread that created it (its owner thread). Its handler only ever
//   runs on that thread, while that thread processes messages (or inside a Send made on it).
// - Post and Send may be called from any thread while the target exists. The caller must
//   make sure the target is not destroyed during the call's start; a Send already waiting
//   when the target is destroyed returns NotDelivered.
// - DispatchPending and the destructor of a target must be called on its owner thread;
//   DispatchPending called on another thread does nothing.
// - ProcessMessages dispatches the calling thread's pending messages.
// - An exception escaping a handler is caught where the message is dispatched and reported
//   through ReportDispatchError; it never reaches a sender or the message loop.
// - The queue implementation is chosen once, at start-up, before any target exists: the
//   plain queue by default (pumped by its owner, as the command-line tool and the tests do),
//   the Qt event loop in the player (installed by its main()).

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <thread>

namespace vsr {

// Numbers below this one belong to the system; private messages start here.
constexpr std::uint32_t cFirstUserMessage = 1024;

struct TMessage {
    std::uint32_t Msg = 0;
    std::intptr_t WParam = 0;
    std::intptr_t LParam = 0;
};

using TMessageHandler = std::function<void(const TMessage& message)>;

enum class TSendResult { Delivered, NotDelivered };

class TMessageTarget {
public:
    TMessageTarget() = default;
    virtual ~TMessageTarget() = default;
    TMessageTarget(const TMessageTarget&) = delete;
    TMessageTarget& operator=(const TMessageTarget&) = delete;

    // Queues the message and returns at once. Messages are handled in the order posted.
    virtual void Post(const TMessage& message) = 0;
    // Returns after the owner thread handled the message. On the owner thread itself the
    // handler runs directly. NotDelivered when the target was destroyed (or its owner thread
    // ended) before the message was handled.
    virtual TSendResult Send(const TMessage& message) = 0;
    // Handles the pending messages numbered msg of this target, in order, leaving all others.
    virtual void DispatchPending(std::uint32_t msg) = 0;

    virtual std::thread::id OwnerThread() const = 0;
};

class TMessageQueue {
public:
    TMessageQueue() = default;
    virtual ~TMessageQueue() = default;
    TMessageQueue(const TMessageQueue&) = delete;
    TMessageQueue& operator=(const TMessageQueue&) = delete;

    // The new target belongs to the calling thread.
    virtual std::unique_ptr<TMessageTarget> CreateTarget(TMessageHandler handler) = 0;
    // Handles the messages pending for the calling thread when the call began.
    virtual void ProcessMessages() = 0;
};

// The process-wide queue; the plain queue unless another one was installed.
TMessageQueue& MessageQueue();
// Installs queue as the process-wide one and returns the previous one (which may be empty).
std::unique_ptr<TMessageQueue> SetMessageQueue(std::unique_ptr<TMessageQueue> queue);

// For implementations: reports an exception that escaped a message handler.
void ReportDispatchError(const std::exception& error);
// For implementations: runs handler, reporting whatever it throws.
void DispatchMessage(const TMessageHandler& handler, const TMessage& message);

} // namespace vsr
