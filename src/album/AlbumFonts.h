#pragma once

// Lets the Windows font names the album uses (its default watermark font,
// "Microsoft YaHei UI") find the CJK font of this system, so that every
// program that renders an album draws its text alike. Call once the
// application object exists.
void registerFontSubstitutions();
