#pragma once

// The command line of pictora-render and how it becomes the album state.

#include "album/AlbumFile.h"

#include <QColor>
#include <QList>
#include <QPair>
#include <QSet>
#include <QString>
#include <QStringList>

#include <cstdint>

// The album settings are the editor's defaults, or those of the --album
// file; the options given override them (given names them).
struct RenderArguments
{
    QString szFormat = QStringLiteral("MP4");
    int iFps = 24;
    int64_t iVideoKbps = 0;
    int64_t iAudioKbps = 0;
    int iSampleRate = 44100;
    QString szResolution = QStringLiteral("1080P");
    QString szRatio = QStringLiteral("16:9");    // or "self"
    double lfImageSeconds = 3.0;
    QString szMusic;
    int iKeepAudio = 1;
    QString szWatermarkText;
    QString szWatermarkImage;
    int iWatermarkPos = 1;
    QString szFontFamily;                         // empty: the editor's default
    int iFontPixelSize = 0;                       // 0: the size of the resolution tier
    QColor stColor = QColor(Qt::black);
    double lfTransparency = 0.0;
    QList<QPair<int, int>> rotations;             // material index, quarter turns
    QList<QPair<int, double>> durations;          // material index, seconds a photo stays
    QSet<QString> given;                          // the album options on the command line
    QString szAlbum;                              // --album: the album file read
    AlbumDocument stAlbum;                        // and what it holds
    QString szSaveAlbum;                          // --save-album: where the album goes
    int iSeed = -1;                               // -1: random
    int iMotion = 0;                              // MotionNone, MotionGentle
    int iFraming = 0;                             // FramingFit, FramingFill, FramingBlur
    bool bFitToMusic = false;                     // image duration from the music's length
    bool bStats = false;
    bool bQuiet = false;                          // no progress
    QString szOutputDir;
    QString szOutputName;
    QStringList materials;
};

enum class ParseResult {
    Ok,
    Help,
    Error,
};

// Parses the arguments (argv[0] first) and reads the --album file. Help:
// *pszText is the help text. Error: *pszText says what is wrong.
ParseResult parseRenderArguments(const QStringList &arguments, RenderArguments *pArgs, QString *pszText);

// Resets the album to the editor's defaults (or the --album file's
// settings) and fills it: the options given, then the materials in order
// (as an import appends them) with the album file's turns, durations and
// transitions, the rotations and durations given, the ratio and the export
// size. Materials that cannot be added are left out with a note in
// *pWarnings; false with a reason when none is left.
bool applyRenderArguments(const RenderArguments &args, QString *pszError, QStringList *pWarnings);
