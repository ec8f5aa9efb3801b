// The check of a file chosen as background music. Accepted music has a
// duration above zero.
#include "FuzzSupport.h"
#include "media/ffmpeg/MusicProbe.h"

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    fuzzsupport::startQuietApplication(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *pData, size_t iSize)
{
    const QString szPath = fuzzsupport::writeInputFile(pData, iSize, "mp3");
    int64_t iDurationUs = -1;
    const int ret = probeMp3Music(szPath.toStdString(), &iDurationUs);
    if (ret > 0)
        fuzzsupport::fail("a positive result code");
    if (ret == 0 && iDurationUs <= 0)
        fuzzsupport::fail("music accepted without a duration");
    return 0;
}
