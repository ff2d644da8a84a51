#pragma once
// MD5 of a stream that arrives in chunks (a file being received), computed
// beside the receiver: once the stream has passed a few hundred kilobytes,
// chunks are copied to a helper thread that digests them while the caller
// receives and writes the next ones, so a large download is not slowed to
// the speed of one core's MD5. Short streams are digested in place, without
// a thread. At most a few megabytes wait for the helper; a faster producer
// waits for it, so memory stays flat whatever the stream's length.

#include "app/Md5Digest.h"

#include <QByteArray>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

class StreamMd5
{
public:
    StreamMd5() = default;
    // Drops what is still queued and ends the helper thread.
    ~StreamMd5();
    StreamMd5(const StreamMd5 &) = delete;
    StreamMd5 &operator=(const StreamMd5 &) = delete;

    void AddData(const char *pData, qint64 nLength);
    // The digest (16 bytes) of everything added so far; waits until the
    // helper has caught up.
    QByteArray Result();

    // Streams shorter than this are digested without a helper thread.
    static constexpr qint64 InlineBytes = 512 * 1024;
    // The most that may wait for the helper.
    static constexpr qint64 MaxQueuedBytes = 8 * 1024 * 1024;

private:
    bool StartHelper();
    void HelperLoop();

    Md5Digest hash; // the helper's alone while it runs
    qint64 nAdded = 0;

    std::mutex mutex; // guards everything below
    std::condition_variable changed;
    std::deque<std::vector<char>> queue;
    std::vector<std::vector<char>> spare; // digested chunks, reused: no allocation per chunk
    qint64 nQueued = 0;                   // bytes in the queue and in the helper's hands
    bool bStop = false;
    bool bHelperFailed = false;
    std::thread helper;
};
