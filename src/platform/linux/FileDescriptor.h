#pragma once
// A file descriptor that is closed when it goes out of scope.

#include <unistd.h>

class FileDescriptor
{
public:
    explicit FileDescriptor(int nFd) : m_nFd(nFd) {}
    ~FileDescriptor()
    {
        if (m_nFd >= 0)
            ::close(m_nFd);
    }
    FileDescriptor(const FileDescriptor &) = delete;
    FileDescriptor &operator=(const FileDescriptor &) = delete;
    int Get() const { return m_nFd; }

private:
    int m_nFd;
};
