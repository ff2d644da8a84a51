#pragma once
// One entry per input that reaches the program from outside. Each function
// takes one input, runs the code that reads it, checks what must hold
// whatever the input, and returns 0.

#include <cstddef>
#include <cstdint>

int FuzzServerReply(const uint8_t *pData, size_t nSize);
int FuzzDecompressBody(const uint8_t *pData, size_t nSize);
int FuzzDeviceReply(const uint8_t *pData, size_t nSize);
int FuzzRecordFile(const uint8_t *pData, size_t nSize);
int FuzzReportTemplate(const uint8_t *pData, size_t nSize);
int FuzzPackageManifest(const uint8_t *pData, size_t nSize);
int FuzzUserFile(const uint8_t *pData, size_t nSize);
int FuzzLanguageList(const uint8_t *pData, size_t nSize);

struct FuzzTarget {
    const char *pName; // also the folder of its seeds and regression inputs
    int (*pRun)(const uint8_t *pData, size_t nSize);
};

extern const FuzzTarget kFuzzTargets[];
extern const int kFuzzTargetCount;
const FuzzTarget *FindFuzzTarget(const char *pName);
