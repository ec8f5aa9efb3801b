#pragma once

class QUrl;

// Hands a web address to the user's browser. Only http and https addresses
// with a host go out: empty ones, our own resources (qrc) and local files
// are refused. False when refused or the desktop could not open it.
bool openInSystemBrowser(const QUrl &stUrl);
