#include "update/StreamMd5.h"

#include <algorithm>
#include <cstring>
#include <system_error>

StreamMd5::~StreamMd5()
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        bStop = true;
        queue.clear();
    }
    blockReady.notify_all();
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
    while (nLength > 0) {
        if (!filling.pData)
            TakeFreeBlock();
        const qint64 nCopy = std::min(nLength, BlockBytes - filling.nUsed);
        std::memcpy(filling.pData.get() + filling.nUsed, pData, size_t(nCopy));
        filling.nUsed += nCopy;
        pData += nCopy;
        nLength -= nCopy;
        if (filling.nUsed == BlockBytes)
            HandOver();
    }
}

QByteArray StreamMd5::Result()
{
    if (filling.nUsed > 0)
        HandOver();
    std::unique_lock<std::mutex> lock(mutex);
    blockDone.wait(lock, [this] { return queue.empty() && !bDigesting; });
    return hash.Result();
}

void StreamMd5::TakeFreeBlock()
{
    std::unique_lock<std::mutex> lock(mutex);
    if (spare.empty() && nBlocks < MaxQueuedBytes / BlockBytes) {
        ++nBlocks;
        lock.unlock();
        filling.pData.reset(new char[size_t(BlockBytes)]);
        filling.nUsed = 0;
        return;
    }
    blockDone.wait(lock, [this] { return !spare.empty(); });
    filling = std::move(spare.back());
    spare.pop_back();
    filling.nUsed = 0;
}

void StreamMd5::HandOver()
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        queue.push_back(std::move(filling));
    }
    filling = Block();
    blockReady.notify_one();
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
        blockReady.wait(lock, [this] { return bStop || !queue.empty(); });
        if (bStop)
            return;
        Block block = std::move(queue.front());
        queue.pop_front();
        bDigesting = true;
        lock.unlock();
        hash.AddData(block.pData.get(), block.nUsed);
        lock.lock();
        bDigesting = false;
        spare.push_back(std::move(block));
        // A caller waiting for room is woken once half the blocks are free,
        // not for each one: fewer, longer turns on a busy machine.
        if (queue.empty() || qint64(spare.size()) * 2 >= nBlocks) {
            lock.unlock();
            blockDone.notify_one();
            lock.lock();
        }
    }
}
