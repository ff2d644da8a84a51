#include "update/StreamMd5.h"

#include <system_error>

StreamMd5::~StreamMd5()
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        bStop = true;
        queue.clear();
        spare.clear();
    }
    changed.notify_all();
    if (helper.joinable())
        helper.join();
}

void StreamMd5::AddData(const char *pData, qint64 nLength)
{
    if (nLength <= 0)
        return;
    nAdded += nLength;
    if (!helper.joinable() && (nAdded <= InlineBytes || !StartHelper())) {
        hash.AddData(pData, nLength);
        return;
    }
    std::unique_lock<std::mutex> lock(mutex);
    // Wait for room; a chunk larger than the limit is taken once the queue is below it.
    changed.wait(lock, [this] { return nQueued < MaxQueuedBytes; });
    std::vector<char> chunk;
    if (!spare.empty()) {
        chunk = std::move(spare.back());
        spare.pop_back();
    }
    lock.unlock();
    chunk.assign(pData, pData + nLength);
    lock.lock();
    nQueued += nLength;
    queue.push_back(std::move(chunk));
    lock.unlock();
    changed.notify_all();
}

QByteArray StreamMd5::Result()
{
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait(lock, [this] { return nQueued == 0; });
    return hash.Result();
}

bool StreamMd5::StartHelper()
{
    if (bHelperFailed)
        return false;
    try {
        helper = std::thread(&StreamMd5::HelperLoop, this);
    } catch (const std::system_error &) {
        bHelperFailed = true; // no thread to be had: digest in place
        return false;
    }
    return true;
}

void StreamMd5::HelperLoop()
{
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
        changed.wait(lock, [this] { return bStop || !queue.empty(); });
        if (bStop)
            return;
        std::vector<char> chunk = std::move(queue.front());
        queue.pop_front();
        lock.unlock();
        hash.AddData(chunk.data(), qint64(chunk.size()));
        lock.lock();
        nQueued -= qint64(chunk.size());
        spare.push_back(std::move(chunk));
        changed.notify_all();
    }
}
