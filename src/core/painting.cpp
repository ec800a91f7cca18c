// Painting the switcher window in the look of a menu: the menu font, the menu colour for the rows
// and the selected menu item's colours for the highlighted row. The full paint of an opening draws
// every row; while the switcher is open a paint draws only the row that lost the highlight and the
// row that gained it, so a step costs two rows however long the list is.
//
// The rows are drawn into a picture of the list in memory and copied to the window: a full paint
// with one BitBlt, a step with one per row. Under Wine every GDI call on a window's DC is a trip to
// the X server, one on a bitmap in memory is not; on Windows the copy also spares the list the
// flicker of a band shown before its icon and title.
#include "core/painting.h"

#include <climits>
#include <cstring>

#include "core/dpi.h"
#include "core/find.h"
#include "core/icon_tiles.h"
#include "core/memory_bitmap.h"
#include "core/switch_list.h"
#include "core/switcher.h"
#include "core/switcher_metrics.h"

namespace {

constexpr UINT ROW_TEXT_FORMAT = DT_SINGLELINE | DT_VCENTER | DT_PATH_ELLIPSIS;
constexpr UINT FIND_TEXT_FORMAT = DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_NOPREFIX;
// The find strip's caret: a bar this wide, this far behind the text (at 96 DPI).
constexpr int CARET_WIDTH = 1;
constexpr int CARET_GAP = 1;

// The settings reach the geometry unchecked, so it is computed in 64 bits (63 rows of the largest
// icon fit easily) and only then brought into GDI's int coordinates. A value beyond them is held at
// the nearest end rather than wrapped: a wrapped number would put a huge row at a plausible place.
int toCoordinate(long long value)
{
    if (value > INT_MAX) {
        return INT_MAX;
    }
    if (value < INT_MIN) {
        return INT_MIN;
    }
    return (int)value;
}

// The rows that repaintRows asked for; 0 when no such paint is due.
unsigned long long rowsToRepaint;

// ---- The picture in memory ---------------------------------------------------------------------

// The bitmap, its DC and the row font are kept from paint to paint and from opening to opening
// while they fit: a client area larger than the bitmap, another DPI or another menu font makes new
// ones, and the old ones are deleted then (the process's end releases the last).
struct Picture {
    MemoryBitmap memory;
    HFONT font;
    HGDIOBJ keptFont;
    LOGFONTW madeFrom; // the font's description
    int width, height, dpi;
};

Picture picture;

void releasePicture()
{
    if (picture.font != NULL) {
        SelectObject(picture.memory.dc, picture.keptFont);
        DeleteObject(picture.font);
    }
    releaseMemoryBitmap(&picture.memory);
    picture = Picture{};
}

// Only hand-edited settings give rows of no height, a width with no room for a band, or a window
// larger than the desktop: such a list is drawn straight into the window, and a bitmap of its size
// never holds memory for pixels nobody can see.
bool fitsAPicture(const SwitcherMetrics& metrics, const RECT& client)
{
    return metrics.rowHeight > 0 && metrics.iconSize >= 0 && metrics.width - metrics.bandRightInset > metrics.bandLeft &&
           client.right > 0 && client.bottom > 0 && client.right <= GetSystemMetrics(SM_CXVIRTUALSCREEN) &&
           client.bottom <= GetSystemMetrics(SM_CYVIRTUALSCREEN);
}

bool makePicture(HDC windowDc, const RECT& client, int dpi)
{
    if (!makeMemoryBitmap(windowDc, client.right, client.bottom, &picture.memory)) {
        return false;
    }
    SetBkMode(picture.memory.dc, TRANSPARENT);
    picture.width = client.right;
    picture.height = client.bottom;
    picture.dpi = dpi;
    return true;
}

// A font that cannot be made leaves the one the DC has: the picture is drawn still.
void selectRowFont()
{
    if (picture.font != NULL && std::memcmp(&picture.madeFrom, &switcherView.rowFont, sizeof(LOGFONTW)) == 0) {
        return;
    }
    HFONT font = CreateFontIndirectW(&switcherView.rowFont);
    if (font == NULL) {
        return;
    }
    HGDIOBJ replaced = SelectObject(picture.memory.dc, font);
    if (picture.font == NULL) {
        picture.keptFont = replaced;
    } else {
        DeleteObject(picture.font);
    }
    picture.font = font;
    picture.madeFrom = switcherView.rowFont;
}

// The picture's DC for this paint, clipped as the window's DC is to the area to paint (so that the
// same rows are drawn), or null: then the paint draws straight into the window.
HDC pictureFor(HDC windowDc, const RECT& paintArea)
{
    RECT client = {};
    GetClientRect(switcherWindow, &client);
    SwitcherMetrics metrics = switcherMetrics();
    if (windowDc == NULL || !fitsAPicture(metrics, client)) {
        return NULL;
    }
    if (picture.memory.dc == NULL || client.right > picture.width || client.bottom > picture.height ||
        metrics.dpi != picture.dpi) {
        releasePicture();
        if (!makePicture(windowDc, client, metrics.dpi)) {
            return NULL;
        }
    }
    selectRowFont();
    HDC dc = picture.memory.dc;
    IntersectClipRect(dc, paintArea.left, paintArea.top, paintArea.right, paintArea.bottom);
    return dc;
}

// Where a paint draws, and the window's DC that what it drew is copied to; the same DC when the
// paint draws straight into the window.
struct Canvas {
    HDC dc;
    HDC window;
};

void show(const Canvas& canvas, const RECT& drawn)
{
    if (canvas.dc != canvas.window && !IsRectEmpty(&drawn)) {
        BitBlt(canvas.window, drawn.left, drawn.top, drawn.right - drawn.left, drawn.bottom - drawn.top, canvas.dc,
               drawn.left, drawn.top, SRCCOPY);
    }
}

// Where the entry's row is in the window: the view of a long list starts at its first shown row.
long long rowTop(int index, const SwitcherMetrics& metrics)
{
    return (long long)(index - switcherView.firstRow) * metrics.rowHeight;
}

// Whether any of the rows between these two y (either may be the larger, for odd icon scales) lies
// within the clip box of the paint. A list of many rows is taller than the screen, and only the rows
// on the screen can be seen: the others would cost a title read and an icon each for nothing. A
// clip box that cannot be read hides nothing.
bool rowMayShow(HDC dc, long long oneEdge, long long otherEdge)
{
    RECT clip;
    int clipKind = GetClipBox(dc, &clip);
    if (clipKind == ERROR) {
        return true;
    }
    long long top = oneEdge < otherEdge ? oneEdge : otherEdge;
    long long bottom = oneEdge < otherEdge ? otherEdge : oneEdge;
    return clipKind != NULLREGION && bottom > clip.top && top < clip.bottom;
}

// Which arrow the row carries: rows cut off above the first shown row, or below the last.
enum class Marker { None, RowsAbove, RowsBelow };

Marker markerOf(int index)
{
    if (!switcherView.cut) {
        return Marker::None;
    }
    int lastShown = switcherView.firstRow + switcherView.visibleRows - 1;
    if (index == switcherView.firstRow && switcherView.firstRow > 0) {
        return Marker::RowsAbove;
    }
    if (index == lastShown && lastShown < switcherView.rowCount - 1) {
        return Marker::RowsBelow;
    }
    return Marker::None;
}

// A small triangle in the title's colour at the right end of the row: pointing up at the top of
// the icon's band, or down at its bottom. The null pen of the row is still selected, and the DC
// brush needs no object of its own.
void paintMarker(HDC dc, Marker marker, const RECT& textRect, const SwitcherMetrics& metrics)
{
    int right = textRect.right;
    int left = toCoordinate(right - metrics.markerWidth);
    int middle = (left + right) / 2;
    int top = marker == Marker::RowsAbove ? textRect.top : toCoordinate(textRect.bottom - metrics.markerHeight);
    int bottom = toCoordinate(top + metrics.markerHeight);
    POINT up[3] = {{left, bottom}, {right, bottom}, {middle, top}};
    POINT down[3] = {{left, top}, {right, top}, {middle, bottom}};
    SetDCBrushColor(dc, GetTextColor(dc));
    HGDIOBJ keptBrush = SelectObject(dc, GetStockObject(DC_BRUSH));
    Polygon(dc, marker == Marker::RowsAbove ? up : down, 3);
    SelectObject(dc, keptBrush);
}

RECT drawRow(HDC dc, int index, HBRUSH brush, COLORREF under);

// The row in a system colour (COLOR_MENU, COLOR_HIGHLIGHT); in the picture its icon is a tile.
RECT drawRowIn(const Canvas& canvas, int index, int colour)
{
    return drawRow(canvas.dc, index, GetSysColorBrush(colour),
                   canvas.dc != canvas.window ? GetSysColor(colour) : CLR_INVALID);
}

// A find text that matches nothing leaves no rows, and so no highlight either.
RECT drawHighlightedRow(const Canvas& canvas)
{
    RECT drawn = {};
    if (findText[0] != '\0' && switchList[0].window == NULL) {
        return drawn;
    }
    COLORREF keptColour = SetTextColor(canvas.dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
    drawn = drawRowIn(canvas, switcherState.cursor, COLOR_HIGHLIGHT);
    SetTextColor(canvas.dc, keptColour);
    return drawn;
}

// The find strip under the rows shown, while there is a find text: a rule across the window, a
// magnifying glass in the icon column and the text in the title column followed by a caret bar, as
// in a search box. In the menu's colours and font, at the list's DPI.
void paintFindStrip(HDC dc)
{
    SwitcherMetrics metrics = switcherMetrics();
    int shownRows = switcherView.cut ? switcherView.visibleRows : switchEntryCount();
    long long top = rowTop(switcherView.firstRow + shownRows, metrics) + metrics.bandTop;
    long long size = metrics.iconSize;
    long long right = metrics.width - metrics.textRightInset;
    HPEN pen = CreatePen(PS_SOLID, 0, GetSysColor(COLOR_GRAYTEXT));
    HGDIOBJ keptPen = SelectObject(dc, pen);
    MoveToEx(dc, toCoordinate(metrics.bandLeft), toCoordinate(top), NULL);
    LineTo(dc, toCoordinate(right), toCoordinate(top));
    // The glass: a ring in the upper left of the icon's square and its handle towards the lower right.
    long long ring = size / 2;
    long long glassLeft = metrics.iconLeft + size / 8;
    long long glassTop = top + metrics.iconTop + size / 8;
    HGDIOBJ keptBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
    Ellipse(dc, toCoordinate(glassLeft), toCoordinate(glassTop), toCoordinate(glassLeft + ring),
            toCoordinate(glassTop + ring));
    MoveToEx(dc, toCoordinate(glassLeft + ring * 6 / 7), toCoordinate(glassTop + ring * 6 / 7), NULL);
    LineTo(dc, toCoordinate(glassLeft + ring * 3 / 2), toCoordinate(glassTop + ring * 3 / 2));
    SelectObject(dc, keptBrush);
    SelectObject(dc, keptPen);
    DeleteObject(pen);

    RECT textRect = {toCoordinate(size + metrics.textGap), toCoordinate(top + metrics.iconTop),
                     toCoordinate(right), toCoordinate(top + metrics.iconTop + size)};
    DrawTextA(dc, findText, lstrlenA(findText), &textRect, FIND_TEXT_FORMAT);
    RECT measured = textRect;
    DrawTextA(dc, findText, lstrlenA(findText), &measured, FIND_TEXT_FORMAT | DT_CALCRECT);
    long long caretX = measured.right + scaledForDpi(CARET_GAP, metrics.dpi);
    if (caretX < right) {
        RECT caret = {toCoordinate(caretX), measured.top,
                      toCoordinate(caretX + scaledForDpi(CARET_WIDTH, metrics.dpi)), measured.bottom};
        FillRect(dc, &caret, GetSysColorBrush(COLOR_MENUTEXT));
    }
}

// Every row but the highlighted one in the menu colours, the highlighted one last, and what they
// cover copied at once. The slot at cursor is passed over without a look, so only an empty slot
// elsewhere ends the rows. The find strip lies on the window's background, which the erase before
// such a paint gives the window: the picture is given it too, and copied whole.
void paintAllRows(const Canvas& canvas)
{
    HDC dc = canvas.dc;
    RECT drawn = {};
    bool withStrip = findText[0] != '\0';
    if (withStrip) {
        GetClientRect(switcherWindow, &drawn);
        if (dc != canvas.window) {
            FillRect(dc, &drawn, (HBRUSH)GetClassLongPtrA(switcherWindow, GCLP_HBRBACKGROUND));
        }
    }
    for (int i = 0; i < SWITCH_LIST_SLOTS; ++i) {
        if (i == switcherState.cursor) {
            continue;
        }
        if (switchList[i].window == NULL) {
            break;
        }
        RECT row = drawRowIn(canvas, i, COLOR_MENU);
        UnionRect(&drawn, &drawn, &row);
    }
    RECT highlighted = drawHighlightedRow(canvas);
    UnionRect(&drawn, &drawn, &highlighted);
    if (withStrip) {
        paintFindStrip(dc);
    }
    show(canvas, drawn);
}

// The highlighted row and the one that lost the highlight, each copied by itself: the rows between
// them keep the window's pixels. When the step scrolled the view, every row moved and all of them
// are drawn.
void paintChangedRows(const Canvas& canvas)
{
    if (switcherView.firstRow != switcherView.paintedFirstRow) {
        paintAllRows(canvas);
        return;
    }
    int previous = switcherState.previousCursor;
    if (previous >= 0 && previous < SWITCH_LIST_SLOTS) {
        show(canvas, drawRowIn(canvas, previous, COLOR_MENU));
    }
    show(canvas, drawHighlightedRow(canvas));
}

void paintMarkedRows(const Canvas& canvas, unsigned long long rows)
{
    for (int i = 0; i < SWITCH_LIST_SLOTS; ++i) {
        if ((rows >> i & 1) != 0) {
            show(canvas, i == switcherState.cursor ? drawHighlightedRow(canvas) : drawRowIn(canvas, i, COLOR_MENU));
        }
    }
}

// Draws row index into dc and gives the part of the window it covers: its band, or nothing when the
// row is not drawn. Only a slot of the table has a row; its entry may be empty, which draws a bare
// band. A row that the view of a long list does not show is not drawn. `under` is the brush's
// colour when dc is the picture's, else CLR_INVALID.
RECT drawRow(HDC dc, int index, HBRUSH brush, COLORREF under)
{
    RECT drawn = {};
    if (index < 0 || index >= SWITCH_LIST_SLOTS || !isRowShown(index)) {
        return drawn;
    }
    const SwitchEntry& entry = switchList[index];
    SwitcherMetrics metrics = switcherMetrics();
    long long top = rowTop(index, metrics);
    long long size = metrics.iconSize;
    long long bandBottom = top + metrics.rowHeight + metrics.bandTop + 1; // one more: the null pen
    if (!rowMayShow(dc, top + metrics.bandTop, bandBottom)) {
        return drawn;
    }
    SetRect(&drawn, toCoordinate(metrics.bandLeft), toCoordinate(top + metrics.bandTop),
            toCoordinate(metrics.width - metrics.bandRightInset - 1), toCoordinate(bandBottom - 1));

    HPEN nullPen = CreatePen(PS_NULL, 0, 0);
    HGDIOBJ keptPen = SelectObject(dc, nullPen);
    SelectObject(dc, brush);
    Rectangle(dc, toCoordinate(metrics.bandLeft), toCoordinate(top + metrics.bandTop),
              toCoordinate(metrics.width - metrics.bandRightInset), toCoordinate(bandBottom));

    // DrawIconEx reads a zero size as "the icon's own size", which would spill over the
    // neighbouring rows, and a negative one mirrors the icon out of its row: only a row with room
    // for an icon gets one. The tiles hold icons drawn over the band's colour alone: a band too
    // narrow for the icon's square has it drawn as it falls.
    if (size > 0) {
        int iconLeft = toCoordinate(metrics.iconLeft), iconTop = toCoordinate(top + metrics.iconTop);
        if (under != CLR_INVALID && metrics.iconLeft + size <= drawn.right) {
            drawIconOver(dc, iconLeft, iconTop, toCoordinate(size), entry.icon, under);
        } else {
            DrawIconEx(dc, iconLeft, iconTop, entry.icon, toCoordinate(size), toCoordinate(size), 0, NULL, DI_NORMAL);
        }
    }

    // The opening's first paint draws the title that the fill has just read; every later paint
    // reads it anew, so a title that changes while the list is up shows its new text. A window that
    // has gone is drawn without a title. The buffer starting empty is not enough for that: asked
    // about a window that no longer exists, Wine's GetWindowTextA converts memory it never filled
    // and hands back garbage, so a gone window is not asked at all.
    char title[TITLE_SIZE] = "";
    if (switcherState.painted == 0 && entry.title[0] != '\0') {
        lstrcpynA(title, entry.title, TITLE_SIZE);
    } else if (IsWindow(entry.window)) {
        GetWindowTextA(entry.window, title, TITLE_READ_COUNT);
    }
    RECT textRect = {toCoordinate(size + metrics.textGap), toCoordinate(top + metrics.iconTop),
                     toCoordinate(metrics.width - metrics.textRightInset),
                     toCoordinate(top + metrics.iconTop + size)};
    Marker marker = markerOf(index);
    if (marker != Marker::None) {
        paintMarker(dc, marker, textRect, metrics);
        // The title keeps clear of the arrow: a gap of the arrow's height.
        textRect.right = toCoordinate(textRect.right - metrics.markerWidth - metrics.markerHeight);
    }
    DrawTextA(dc, title, lstrlenA(title), &textRect, ROW_TEXT_FORMAT);

    SelectObject(dc, keptPen);
    DeleteObject(nullPen);
    return drawn;
}

} // namespace

void paintSwitcherWindow()
{
    bool fullPaint = switcherState.painted == 0 || switcherState.rowsChanged != 0;
    PAINTSTRUCT paint;
    HDC windowDc = BeginPaint(switcherWindow, &paint);
    // Without a device context the full paint leaves the switcher unpainted, so that the next
    // WM_PAINT is a full paint again.
    if (fullPaint && windowDc == NULL) {
        return;
    }
    Canvas canvas = {pictureFor(windowDc, paint.rcPaint), windowDc};
    HFONT rowFont = NULL;
    HGDIOBJ keptFont = NULL;
    if (canvas.dc == NULL) {
        canvas.dc = windowDc;
        rowFont = CreateFontIndirectW(&switcherView.rowFont);
        keptFont = SelectObject(windowDc, rowFont);
        SetBkMode(windowDc, TRANSPARENT);
    }
    if (fullPaint) {
        paintAllRows(canvas);
    } else if (rowsToRepaint != 0) {
        paintMarkedRows(canvas, rowsToRepaint);
    } else {
        paintChangedRows(canvas);
    }
    rowsToRepaint = 0;
    if (canvas.dc != windowDc) {
        SelectClipRgn(canvas.dc, NULL);
    } else {
        SelectObject(windowDc, keptFont);
    }
    EndPaint(switcherWindow, &paint);
    DeleteObject(rowFont);
    switcherView.paintedFirstRow = switcherView.firstRow;
    if (fullPaint) {
        switcherState.painted = 1;
        switcherState.rowsChanged = 0;
    }
}

void repaintRows(unsigned long long rows)
{
    rowsToRepaint = rows;
    InvalidateRect(switcherWindow, NULL, FALSE);
    UpdateWindow(switcherWindow);
}

void paintRow(HDC dc, int index, HBRUSH brush)
{
    drawRow(dc, index, brush, CLR_INVALID);
}
