// Pictures (JPEG, PNG) through the material checker and decoder.
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
    fuzzMaterialFile(pData, iSize, std::strcmp(szSuffix, "png") == 0 ? "png" : "jpg");
    return 0;
}
