// Video files of the material containers through the material checker and decoder.
#include "FuzzSupport.h"
#include "MaterialFuzzing.h"

#include <cstring>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    fuzzsupport::startQuietApplication(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *pData, size_t iSize)
{
    const char *szSuffix = fuzzsupport::materialSuffix(pData, iSize);
    // Pictures have their own target; here a clip is a clip.
    if (std::strcmp(szSuffix, "png") == 0 || std::strcmp(szSuffix, "jpg") == 0)
        szSuffix = "mp4";
    fuzzMaterialFile(pData, iSize, szSuffix);
    return 0;
}
