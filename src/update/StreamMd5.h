#pragma once
// MD5 of a stream that arrives in chunks (a file being received), computed
// beside the receiver: once the stream has passed a few hundred kilobytes,
// its bytes are copied into blocks that a helper thread digests while the
// caller receives and writes the next ones, so a large download is not
// slowed to the speed of one core's MD5. Short streams are digested in place,
// without a thread.
//
// The receiver hands over data in small pieces (libcurl: 16 KiB per call);
// they are gathered into whole blocks so that the threads meet once per
// block, not once per piece. A fixed set of blocks circulates between the
// two: a faster producer waits for a free one, so memory stays flat whatever
// the stream's length.

#include "app/Md5Digest.h"

#include <QByteArray>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class StreamMd5
{
public:
    StreamMd5() = default;
    // Drops what is still waiting and ends the helper thread.
    ~StreamMd5();
    StreamMd5(const StreamMd5 &) = delete;
    StreamMd5 &operator=(const StreamMd5 &) = delete;

    void AddData(const char *pData, qint64 nLength);
    // The digest (16 bytes) of everything added so far; waits until the
    // helper has caught up. Data added afterwards extends the stream.
    QByteArray Result();

    // Streams shorter than this are digested without a helper thread.
    static constexpr qint64 InlineBytes = 512 * 1024;
    // The size of one block, and the most that may wait for the helper.
    static constexpr qint64 BlockBytes = 256 * 1024;
    static constexpr qint64 MaxQueuedBytes = 8 * 1024 * 1024;

private:
    struct Block {
        std::unique_ptr<char[]> pData;
        qint64 nUsed = 0;
    };

    bool StartHelper();
    void HelperLoop();
    // The block to fill next (waits for one to come back from the helper).
    void TakeFreeBlock();
    // Hands the block being filled to the helper.
    void HandOver();

    Md5Digest hash; // the helper's alone while it runs
    qint64 nAdded = 0;
    Block filling; // the caller's alone

    std::mutex mutex;                   // guards everything below
    std::condition_variable blockReady; // the helper waits for data
    std::condition_variable blockDone;  // the caller waits for a free block or the end
    std::deque<Block> queue;            // full blocks, oldest first
    std::vector<Block> spare;           // digested blocks, reused
    int nBlocks = 0;                    // blocks made so far
    bool bDigesting = false;            // the helper has a block in hand
    bool bStop = false;
    bool bHelperFailed = false;
    std::thread helper;
};
