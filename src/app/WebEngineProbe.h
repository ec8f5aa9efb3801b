#pragma once

#include <QString>

// Pictora's side of the web-engine probe. Everything here works before the
// application object exists.

// The probe's limit: a probe that has not ended by then counts as failed.
constexpr int kWebProbeTimeoutMs = 1000;

// Whether the web engine is tried in a probe first: on the systems whose
// product version starts with "7" or "10", where its desktop OpenGL path
// has been seen to take the process down.
bool webProbeNeeded(const QString &szProductVersion);

// Starts the probe program and waits up to iTimeoutMs for it. True only when
// it ended by itself with exit code 0 in that time; a missing program, a
// crash, any other code or a probe still running (it is killed, with the
// helper processes it started) count as failure.
bool runWebProbe(const QString &szProgram, int iTimeoutMs = kWebProbeTimeoutMs);

// The probe program among Pictora's helper programs.
QString webProbeProgram();

// Whether the toolkit must use OpenGL ES: the probe was needed for this
// product version and failed.
bool webEngineNeedsOpenGLES(const QString &szProductVersion, const QString &szProbeProgram,
                            int iTimeoutMs = kWebProbeTimeoutMs);

// Prepares the process for the web engine (sandbox rule, shared OpenGL
// contexts, OpenGL ES when the probe fails). Call first thing in main().
void prepareWebEngine();
