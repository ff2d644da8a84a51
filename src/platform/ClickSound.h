#pragma once
// A short sound played asynchronously, loaded from a compiled-in resource at
// the first play and kept in memory for every later one.

#include <QString>

#include <memory>

class QObject;

class ClickSound
{
public:
    // pOwner is the object whose lifetime bounds the sound's (Qt parent where one is needed).
    ClickSound(const QString &sResource, QObject *pOwner);
    ~ClickSound();
    ClickSound(const ClickSound &) = delete;
    ClickSound &operator=(const ClickSound &) = delete;

    // Starts the sound and returns at once; a missing resource plays nothing.
    void Play();

private:
    struct Impl;
    std::unique_ptr<Impl> pImpl;
};
