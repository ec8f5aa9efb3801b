#include "media/export/ExportStats.h"

const char *exportPhaseName(ExportPhase ePhase)
{
    switch (ePhase) {
    case ExportPhase::Other: return "other";
    case ExportPhase::Prepare: return "preparing pictures";
    case ExportPhase::Transition: return "transitions";
    case ExportPhase::Watermark: return "watermark";
    case ExportPhase::VideoEncode: return "video encoder";
    case ExportPhase::Audio: return "audio";
    case ExportPhase::Mux: return "muxing";
    case ExportPhase::Motion: return "motion";
    case ExportPhase::Count: break;
    }
    return "";
}
