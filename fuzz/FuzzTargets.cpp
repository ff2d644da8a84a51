#include "FuzzTargets.h"

#include <cstring>

const FuzzTarget kFuzzTargets[] = {
    {"server_reply", FuzzServerReply},
    {"decompress_body", FuzzDecompressBody},
    {"device_reply", FuzzDeviceReply},
    {"record_file", FuzzRecordFile},
    {"report_template", FuzzReportTemplate},
    {"package_manifest", FuzzPackageManifest},
    {"user_bin", FuzzUserFile},
    {"language_list", FuzzLanguageList},
};
const int kFuzzTargetCount = int(sizeof(kFuzzTargets) / sizeof(kFuzzTargets[0]));

const FuzzTarget *FindFuzzTarget(const char *pName)
{
    for (const FuzzTarget &target : kFuzzTargets) {
        if (std::strcmp(target.pName, pName) == 0)
            return &target;
    }
    return nullptr;
}
