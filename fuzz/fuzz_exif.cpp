// The EXIF orientation reader: over a bare TIFF block and over the input as
// a JPEG or PNG file. An orientation is 0 (none) or 1 to 8.
#include "FuzzSupport.h"
#include "media/ffmpeg/ExifOrientation.h"

#include <cstring>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    fuzzsupport::startQuietApplication(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *pData, size_t iSize)
{
    const int iFromTiff = exifOrientationFromTiff(pData, iSize);
    if (iFromTiff < 0 || iFromTiff > 8)
        fuzzsupport::fail("an orientation out of range from a TIFF block");
    const char *szSuffix = std::strcmp(fuzzsupport::materialSuffix(pData, iSize), "png") == 0 ? "png" : "jpg";
    const QString szPath = fuzzsupport::writeInputFile(pData, iSize, szSuffix);
    const int iFromFile = readExifOrientation(szPath.toStdString());
    if (iFromFile < 0 || iFromFile > 8)
        fuzzsupport::fail("an orientation out of range from a file");
    return 0;
}
