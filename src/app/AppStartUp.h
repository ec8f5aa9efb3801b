#pragma once

// registerFontSubstitutions() too: it lives with the album, whose fonts it serves.
#include "album/AlbumFonts.h"

#include <QStringList>

class QCoreApplication;

// Start-up steps of main() that depend on the desktop the program runs on.

// Runs on X11 (directly or through XWayland) whenever a display is there,
// unless the user chose a platform: embedding the player and placing
// windows need it. Call before the application object exists.
void chooseWindowPlatform();

// Installs the Chinese translators (ours and Qt's, from szFolder) when the
// first of uiLanguages is Chinese; other languages see the English texts.
// Qt's catalogue comes from Qt's own folder when szFolder has none.
// Returns the number of translators installed.
int installTranslators(QCoreApplication &app, const QStringList &uiLanguages, const QString &szFolder);
