#include "search/OcrPool.h"

#include <algorithm>

namespace vsr {

TOcrPool::TOcrPool(const std::string& languages, int threads) {
    if (threads <= 0)
        threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    for (int i = 0; i < threads; ++i)
        FThreads.emplace_back([this, languages] { Work(languages); });
}

TOcrPool::~TOcrPool() {
    {
        const std::lock_guard lock(FLock);
        FStopping = true;
        FJobs.clear();
    }
    FWake.notify_all();
}

std::future<std::vector<TOcrWord>> TOcrPool::Recognize(const TConstPixels32& picture,
                                                       const TRect& area) {
    const TRect part = IntersectRect(area, {0, 0, picture.Width, picture.Height});
    std::vector<TPixel32> crop;
    crop.reserve(static_cast<std::size_t>(part.Width()) * std::max(0, part.Height()));
    for (std::int32_t y = part.Top; y < part.Bottom; ++y)
        crop.insert(crop.end(), picture.Row(y) + part.Left, picture.Row(y) + part.Right);
    TJob job([crop = std::move(crop), part](TOcrEngine* engine) {
        if (!engine)
            throw EIndex("The text recognition could not start");
        const TConstPixels32 view{part.Width(), part.Height(), part.Width(), crop.data()};
        std::vector<TOcrWord> words = engine->Recognize(view, {0, 0, part.Width(), part.Height()});
        for (TOcrWord& word : words)
            word.Box = {word.Box.Left + part.Left, word.Box.Top + part.Top,
                        word.Box.Right + part.Left, word.Box.Bottom + part.Top};
        return words;
    });
    auto result = job.get_future();
    {
        const std::lock_guard lock(FLock);
        FJobs.push_back(std::move(job));
    }
    FWake.notify_one();
    return result;
}

void TOcrPool::Work(const std::string& languages) {
    std::unique_ptr<TOcrEngine> engine;
    try {
        engine = std::make_unique<TOcrEngine>(languages);
    } catch (const EIndex&) {
        // Each job this thread takes reports it.
    }
    for (;;) {
        TJob job;
        {
            std::unique_lock lock(FLock);
            FWake.wait(lock, [this] { return FStopping || !FJobs.empty(); });
            if (FStopping)
                return;
            job = std::move(FJobs.front());
            FJobs.pop_front();
        }
        job(engine.get());
    }
}

} // namespace vsr
