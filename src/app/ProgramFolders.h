#pragma once

#include <QString>

// Where the program finds what it loads at run time.
//
// Installed, the programs sit in <prefix>/bin, their files (translations,
// theme folders) in <prefix>/share/pictora and the helper programs (the crash
// reporter, the web-engine probe) in <prefix>/libexec/pictora, the folders
// the build was configured with. In the build tree everything sits beside
// the program. Either way the answer is relative to the running program,
// so a tree moved elsewhere (or unpacked under a staging folder) still works.

// The folder holding "translations/" and the theme folders.
QString programDataFolder();

// The folder holding the helper programs.
QString helperProgramFolder();

// Both for a program in szProgramFolder (exposed for the tests).
QString programDataFolderOf(const QString &szProgramFolder);
QString helperProgramFolderOf(const QString &szProgramFolder);
