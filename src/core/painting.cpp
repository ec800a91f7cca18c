// Painting the switcher window in the look of a menu: the menu font, the menu colour for the rows
// and the selected menu item's colours for the highlighted row. The full paint of an opening draws
// every row; while the switcher is open a paint draws only the row that lost the highlight and the
// row that gained it, so a step costs two rows however long the list is.
#include "core/painting.h"

#include <climits>

#include "core/dpi.h"
#include "core/find.h"
#include "core/switch_list.h"
#include "core/switcher.h"
#include "core/switcher_metrics.h"

namespace {

constexpr int TITLE_BUFFER_SIZE = 1024;
// One less than the buffer: at most 1022 bytes of title and the terminating zero.
constexpr int TITLE_MAX_COUNT = TITLE_BUFFER_SIZE - 1;

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

// A find text that matches nothing leaves no rows, and so no highlight either.
void paintHighlightedRow(HDC dc)
{
    if (findText[0] != '\0' && switchList[0].window == NULL) {
        return;
    }
    COLORREF keptColour = SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
    paintRow(dc, switcherState.cursor, GetSysColorBrush(COLOR_HIGHLIGHT));
    SetTextColor(dc, keptColour);
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

// Every row but the highlighted one in the menu colours, the highlighted one last. The slot at
// cursor is passed over without a look, so only an empty slot elsewhere ends the rows.
void paintAllRows(HDC dc)
{
    for (int i = 0; i < SWITCH_LIST_SLOTS; ++i) {
        if (i == switcherState.cursor) {
            continue;
        }
        if (switchList[i].window == NULL) {
            break;
        }
        paintRow(dc, i, GetSysColorBrush(COLOR_MENU));
    }
    paintHighlightedRow(dc);
    if (findText[0] != '\0') {
        paintFindStrip(dc);
    }
}

// The highlighted row and the one that lost the highlight; when the step scrolled the view, every
// row moved and all of them are drawn.
void paintChangedRows(HDC dc)
{
    if (switcherView.firstRow != switcherView.paintedFirstRow) {
        paintAllRows(dc);
        return;
    }
    int previous = switcherState.previousCursor;
    if (previous >= 0 && previous < SWITCH_LIST_SLOTS) {
        paintRow(dc, previous, GetSysColorBrush(COLOR_MENU));
    }
    paintHighlightedRow(dc);
}

} // namespace

void paintSwitcherWindow()
{
    bool fullPaint = switcherState.painted == 0 || switcherState.rowsChanged != 0;
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(switcherWindow, &paint);
    // Without a device context the full paint leaves the switcher unpainted, so that the next
    // WM_PAINT is a full paint again.
    if (fullPaint && dc == NULL) {
        return;
    }
    HFONT rowFont = CreateFontIndirectW(&switcherView.rowFont);
    HGDIOBJ keptFont = SelectObject(dc, rowFont);
    SetBkMode(dc, TRANSPARENT);
    if (fullPaint) {
        paintAllRows(dc);
    } else {
        paintChangedRows(dc);
    }
    SelectObject(dc, keptFont);
    EndPaint(switcherWindow, &paint);
    DeleteObject(rowFont);
    switcherView.paintedFirstRow = switcherView.firstRow;
    if (fullPaint) {
        switcherState.painted = 1;
        switcherState.rowsChanged = 0;
    }
}

void paintRow(HDC dc, int index, HBRUSH brush)
{
    // Only a slot of the table has a row; its entry may be empty, which draws a bare band. A row
    // that the view of a long list does not show is not drawn.
    if (index < 0 || index >= SWITCH_LIST_SLOTS || !isRowShown(index)) {
        return;
    }
    const SwitchEntry& entry = switchList[index];
    SwitcherMetrics metrics = switcherMetrics();
    long long top = rowTop(index, metrics);
    long long size = metrics.iconSize;
    long long bandBottom = top + metrics.rowHeight + metrics.bandTop + 1; // one more: the null pen
    if (!rowMayShow(dc, top + metrics.bandTop, bandBottom)) {
        return;
    }

    HPEN nullPen = CreatePen(PS_NULL, 0, 0);
    HGDIOBJ keptPen = SelectObject(dc, nullPen);
    SelectObject(dc, brush);
    Rectangle(dc, toCoordinate(metrics.bandLeft), toCoordinate(top + metrics.bandTop),
              toCoordinate(metrics.width - metrics.bandRightInset), toCoordinate(bandBottom));

    // DrawIconEx reads a zero size as "the icon's own size", which would spill over the
    // neighbouring rows, and a negative one mirrors the icon out of its row: only a row with room
    // for an icon gets one.
    if (size > 0) {
        DrawIconEx(dc, toCoordinate(metrics.iconLeft), toCoordinate(top + metrics.iconTop), entry.icon,
                   toCoordinate(size), toCoordinate(size), 0, NULL, DI_NORMAL);
    }

    // Read now, not at the fill: a title that changed while the list is up shows its new text. A
    // window that has gone is drawn without a title. The buffer starting empty is not enough for
    // that: asked about a window that no longer exists, Wine's GetWindowTextA converts memory it
    // never filled and hands back garbage, so a gone window is not asked at all.
    char title[TITLE_BUFFER_SIZE] = "";
    if (IsWindow(entry.window)) {
        GetWindowTextA(entry.window, title, TITLE_MAX_COUNT);
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
}
