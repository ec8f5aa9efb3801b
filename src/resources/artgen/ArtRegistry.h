#pragma once

#include <QImage>
#include <QPainter>
#include <QSize>
#include <QString>

#include <functional>
#include <initializer_list>
#include <vector>

// The table of pictures that pictora-artgen draws into the resource tree.
// Every area keeps its drawings in its own art_<area>.cpp and registers
// them with one static art::Registrar; the generator writes every entry.
namespace art {

// Button states of a four-state strip, top to bottom.
enum class State { Normal, Hover, Pressed, Disabled };
inline constexpr State kStates[] = {State::Normal, State::Hover, State::Pressed, State::Disabled};
// File-name suffixes of the per-state files written beside each strip.
const char *stateSuffix(State eState);

// Draw functions paint in logical pixels: (0, 0) to the entry's size.
using DrawFn = std::function<void(QPainter &, const QSizeF &)>;
using StateDrawFn = std::function<void(QPainter &, const QSizeF &, State)>;
using FrameDrawFn = std::function<void(QPainter &, const QSizeF &, int iFrame)>;

struct Entry
{
    enum class Kind { Picture, Strip, Animation, DesktopIcon };
    Kind eKind = Kind::Picture;
    QString szPath;        // resource path without ":/", e.g. "theme_local/imgs/toastIcon.png"; icon name of a desktop icon
    QSize stSize;          // logical size (of one state for a strip)
    int iScale = 1;        // pixels per logical pixel in the named file
    DrawFn fnDraw;
    StateDrawFn fnStateDraw;
    FrameDrawFn fnFrameDraw;
    int iFrames = 0;       // animations only
    int iDelayMs = 0;      // animations only: time per frame
    QColor stMatte;        // animations only: GIF keeps no partial transparency
};

// A picture at 1x plus an "@2x" copy (Qt picks it on high-density screens).
Entry picture(const QString &szPath, QSize stSize, DrawFn fnDraw);
// A four-state strip (normal, hover, pressed, disabled stacked vertically)
// drawn at iScale pixels per logical pixel, plus one 1x/@2x file per state
// ("<name>_normal.png", "_hover", "_pressed", "_disabled").
Entry strip(const QString &szPath, QSize stStateSize, int iScale, StateDrawFn fnDraw);
// Single-state pictures named szPattern with %1 = 1..4 (normal, hover,
// pressed, disabled), each with an @2x copy.
std::vector<Entry> stateFiles(const QString &szPattern, QSize stSize, StateDrawFn fnDraw);
// An animated GIF, frames flattened onto stMatte.
Entry animation(const QString &szPath, QSize stSize, int iFrames, int iDelayMs, const QColor &stMatte,
                FrameDrawFn fnDraw);

// The program's icon for the desktop's menus, outside the resource tree:
// drawn square at every size of the hicolor theme (kDesktopIconSizes) as
// hicolor/<n>x<n>/apps/<szIconName>.png by `pictora-artgen --icons <folder>`.
Entry desktopIcon(const QString &szIconName, DrawFn fnDraw);
inline constexpr int kDesktopIconSizes[] = {16, 22, 24, 32, 48, 64, 128, 256, 512};

// Every registered entry, in registration order.
const std::vector<Entry> &entries();

// One row of a registration table: an entry or a group of them.
struct Row
{
    std::vector<Entry> listEntries;
    Row(Entry stEntry) : listEntries{std::move(stEntry)} {}
    Row(std::vector<Entry> list) : listEntries(std::move(list)) {}
};

// Registers a table of entries during static initialisation.
struct Registrar
{
    Registrar(std::initializer_list<Row> rows);
};

// Renders fnDraw at iScale into a transparent image of size * iScale.
QImage render(QSize stSize, int iScale, const DrawFn &fnDraw);

} // namespace art
