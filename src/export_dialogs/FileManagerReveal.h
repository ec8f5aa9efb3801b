#pragma once

class QString;

// Opens the file manager at a file's folder with the file selected: the
// desktop's org.freedesktop.FileManager1.ShowItems on the session bus, with
// the file's fully encoded file:// URL. When no file manager answers within
// iTimeoutMs (or there is no session bus), the folder is opened with the
// desktop's handler for folders instead. Never through a shell; returns at
// once.
void showFileInFileManager(const QString &szFile, int iTimeoutMs = 2000);
