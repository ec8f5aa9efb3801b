#pragma once

#include <cstddef>
#include <cstdint>

// One input through the material checker and decoder as an import meets a
// file: the check pass (the 4K test from the headers), then the decode of
// the file (measuring, first and last pictures, thumbnail). The file is
// named with szSuffix. A decode that succeeds must give a material the
// album can use.
void fuzzMaterialFile(const uint8_t *pData, size_t iSize, const char *szSuffix);
