#pragma once

// The web engine refuses its sandbox when the process runs as root; there it
// runs without one. Elsewhere it keeps it, unless the user already turned it
// off ("QTWEBENGINE_DISABLE_SANDBOX" is then left as it is). Call before the
// first web engine object exists; the engine's helper processes inherit it.
void applyWebEngineSandboxRule();
