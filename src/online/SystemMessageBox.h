#pragma once

#include <QString>

// A system message box: OK only, no owner, the text shown as plain text.
// Where nobody could answer one (no QApplication, or the offscreen and
// minimal platforms of tests and headless runs) the notice goes to standard
// error instead, so nothing waits for a click that cannot come.
void showSystemMessageBox(const QString &szCaption, const QString &szText);

// True when this environment names a display (or a Qt platform) that a
// QApplication can open.
bool displayAvailable();
