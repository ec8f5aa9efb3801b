#pragma once

// What the fuzz targets share: a quiet Qt application for the engine's
// code that needs one, and the input written to a file for the entry points
// that read files.

#include <QString>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv);
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *pData, size_t iSize);

namespace fuzzsupport {

// A QGuiApplication on the offscreen platform, FFmpeg's and Qt's messages
// silenced (they would cost more than the work under test). Call once, from
// LLVMFuzzerInitialize.
void startQuietApplication(int *argc, char ***argv);

// Writes the input to "input.<szSuffix>" in a folder of this process and
// returns the file's path; the same file is written over by the next input.
QString writeInputFile(const uint8_t *pData, size_t iSize, const char *szSuffix);

// A material suffix for a file judged by its first bytes, as a file manager
// would have named it: the picture suffixes for PNG and JPEG signatures, a
// container suffix for the video ones, "mp4" when nothing is recognised.
const char *materialSuffix(const uint8_t *pData, size_t iSize);

// Ends the process with a message when a property the target checks fails.
[[noreturn]] void fail(const char *szWhat);

} // namespace fuzzsupport
