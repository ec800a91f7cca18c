// Painting the switcher window in the look of a menu: the menu font, the menu colour for the rows
// and the selected menu item's colours for the highlighted row. The full paint of an opening draws
// every row; while the switcher is open a paint draws only the row that lost the highlight and the
// row that gained it, so a step costs two rows however long the list is.
#include "core/painting.h"

#include <climits>

#include "core/find.h"
#include "core/switch_list.h"
#include "core/switcher.h"

namespace {

// The size of NONCLIENTMETRICSA before Vista added iPaddedBorderWidth: every Windows version
// accepts it, the newer size fails on the older systems.
constexpr UINT NONCLIENT_METRICS_SIZE = 340;
static_assert(sizeof(NONCLIENTMETRICSA) >= NONCLIENT_METRICS_SIZE, "the record must hold the old layout");

constexpr int TITLE_BUFFER_SIZE = 1024;
// One less than the buffer: at most 1022 bytes of title and the terminating zero.
constexpr int TITLE_MAX_COUNT = TITLE_BUFFER_SIZE - 1;

constexpr UINT ROW_TEXT_FORMAT = DT_SINGLELINE | DT_VCENTER | DT_PATH_ELLIPSIS;

// Client pixels around the rows: the band starts one pixel in, the icon three, and the window has
// eight pixels more than its rows (the dialog frame and a margin under the last row).
constexpr int BAND_LEFT = 1;
constexpr int BAND_TOP = 1;
constexpr int BAND_RIGHT_INSET = 6; // Rectangle's right edge; with a null pen it fills to one less
constexpr int BAND_BOTTOM_EXTRA = 6;
constexpr int ICON_LEFT = 3;
constexpr int ICON_TOP = 3;
constexpr int TEXT_GAP = 6;         // from the left of the row to the text, beyond the icon
constexpr int TEXT_RIGHT_INSET = 8;
constexpr int WINDOW_EXTRA_HEIGHT = 8;
// The find strip: under the last row, one row high, a rule along its top after this gap.
constexpr int FIND_STRIP_GAP = 1;
constexpr UINT FIND_TEXT_FORMAT = DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_NOPREFIX;
constexpr int CARET_GAP = 1;
constexpr int CARET_WIDTH = 1;

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

long long rowTop(int index)
{
    return index * rowHeight();
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

HFONT createRowFont()
{
    NONCLIENTMETRICSA metrics;
    ZeroMemory(&metrics, sizeof metrics);
    metrics.cbSize = NONCLIENT_METRICS_SIZE;
    SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, NONCLIENT_METRICS_SIZE, &metrics, 0);
    LOGFONTA menuFont = metrics.lfMenuFont;
    return CreateFontIndirectA(&menuFont);
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

// The find strip is one row high, and there only while a find text is typed.
long long findStripHeight()
{
    return findText[0] != '\0' ? rowHeight() : 0;
}

// The find strip under the rows, while there is a find text: a rule across the window, a
// magnifying glass in the icon column and the text in the title column, followed by a caret bar, as
// in a search box. Painted with the rows, in the menu's colours and font.
void paintFindStrip(HDC dc, int rows)
{
    long long top = rowTop(rows) + FIND_STRIP_GAP;
    long long size = iconSize();
    long long right = (long long)settings.listWidth - TEXT_RIGHT_INSET;
    HPEN pen = CreatePen(PS_SOLID, 0, GetSysColor(COLOR_GRAYTEXT));
    HGDIOBJ keptPen = SelectObject(dc, pen);
    MoveToEx(dc, BAND_LEFT, toCoordinate(top), NULL);
    LineTo(dc, toCoordinate(right), toCoordinate(top));
    // The glass: a ring in the upper left of the icon square and its handle to the lower right.
    long long ring = size / 2;
    long long glassTop = top + ICON_TOP + size / 8;
    long long glassLeft = ICON_LEFT + size / 8;
    HGDIOBJ keptBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
    Ellipse(dc, toCoordinate(glassLeft), toCoordinate(glassTop), toCoordinate(glassLeft + ring),
            toCoordinate(glassTop + ring));
    MoveToEx(dc, toCoordinate(glassLeft + ring * 6 / 7), toCoordinate(glassTop + ring * 6 / 7), NULL);
    LineTo(dc, toCoordinate(glassLeft + ring * 3 / 2), toCoordinate(glassTop + ring * 3 / 2));
    SelectObject(dc, keptBrush);
    SelectObject(dc, keptPen);
    DeleteObject(pen);

    RECT textRect = {toCoordinate(size + TEXT_GAP), toCoordinate(top + ICON_TOP), toCoordinate(right),
                     toCoordinate(top + ICON_TOP + size)};
    DrawTextA(dc, findText, lstrlenA(findText), &textRect, FIND_TEXT_FORMAT);
    RECT measured = textRect;
    DrawTextA(dc, findText, lstrlenA(findText), &measured, FIND_TEXT_FORMAT | DT_CALCRECT);
    long long caretX = measured.right + CARET_GAP;
    if (caretX < right) {
        RECT caret = {toCoordinate(caretX), measured.top, toCoordinate(caretX + CARET_WIDTH), measured.bottom};
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
        paintFindStrip(dc, switchEntryCount());
    }
}

void paintChangedRows(HDC dc)
{
    int previous = switcherState.previousCursor;
    if (previous >= 0 && previous < SWITCH_LIST_SLOTS) {
        paintRow(dc, previous, GetSysColorBrush(COLOR_MENU));
    }
    paintHighlightedRow(dc);
}

} // namespace

void placeSwitcherWindow(int rowCount)
{
    long long screenWidth = GetSystemMetrics(SM_CXSCREEN);
    long long screenHeight = GetSystemMetrics(SM_CYSCREEN);
    long long rowsHeight = rowCount * rowHeight() + findStripHeight();
    long long x = (screenWidth - settings.listWidth) / 2;
    long long y = (screenHeight - rowsHeight - WINDOW_EXTRA_HEIGHT) / 2;
    SetWindowPos(switcherWindow, HWND_TOPMOST, toCoordinate(x), toCoordinate(y), settings.listWidth,
                 toCoordinate(rowsHeight + WINDOW_EXTRA_HEIGHT), SWP_SHOWWINDOW);
}

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
    HFONT rowFont = createRowFont();
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
    if (fullPaint) {
        switcherState.painted = 1;
        switcherState.rowsChanged = 0;
    }
}

void paintRow(HDC dc, int index, HBRUSH brush)
{
    // Only a slot of the table has a row; its entry may be empty, which draws a bare band.
    if (index < 0 || index >= SWITCH_LIST_SLOTS) {
        return;
    }
    const SwitchEntry& entry = switchList[index];
    long long top = rowTop(index);
    long long size = iconSize();
    if (!rowMayShow(dc, top + BAND_TOP, top + size + BAND_BOTTOM_EXTRA)) {
        return;
    }

    HPEN nullPen = CreatePen(PS_NULL, 0, 0);
    HGDIOBJ keptPen = SelectObject(dc, nullPen);
    SelectObject(dc, brush);
    Rectangle(dc, BAND_LEFT, toCoordinate(top + BAND_TOP),
              toCoordinate((long long)settings.listWidth - BAND_RIGHT_INSET),
              toCoordinate(top + size + BAND_BOTTOM_EXTRA));

    // DrawIconEx reads a zero size as "the icon's own size", which would spill over the
    // neighbouring rows, and a negative one mirrors the icon out of its row: only a row with room
    // for an icon gets one.
    if (size > 0) {
        DrawIconEx(dc, ICON_LEFT, toCoordinate(top + ICON_TOP), entry.icon, toCoordinate(size),
                   toCoordinate(size), 0, NULL, DI_NORMAL);
    }

    // Read now, not at the fill: a title that changed while the list is up shows its new text. A
    // window that has gone is drawn without a title. The buffer starting empty is not enough for
    // that: asked about a window that no longer exists, Wine's GetWindowTextA converts memory it
    // never filled and hands back garbage, so a gone window is not asked at all.
    char title[TITLE_BUFFER_SIZE] = "";
    if (IsWindow(entry.window)) {
        GetWindowTextA(entry.window, title, TITLE_MAX_COUNT);
    }
    RECT textRect = {toCoordinate(size + TEXT_GAP), toCoordinate(top + ICON_TOP),
                     toCoordinate((long long)settings.listWidth - TEXT_RIGHT_INSET),
                     toCoordinate(top + ICON_TOP + size)};
    DrawTextA(dc, title, lstrlenA(title), &textRect, ROW_TEXT_FORMAT);

    SelectObject(dc, keptPen);
    DeleteObject(nullPen);
}
