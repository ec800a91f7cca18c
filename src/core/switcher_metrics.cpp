// The switcher's lengths at a DPI, and the part of a long list that the window shows.
#include "core/switcher_metrics.h"

#include "core/find.h"
#include "settings/settings.h"

SwitcherView switcherView;

namespace {

// The 96-DPI lengths. A band starts one pixel in, the icon three; the title starts six pixels
// beyond the icon; the window has eight pixels more than its rows (the dialog frame and a margin
// under the last row).
constexpr int ICON_UNIT = 16;          // the icon's edge per step of iconScale
constexpr int ROW_GAP = 4;             // a row's height beyond its icon
constexpr int WINDOW_EXTRA_HEIGHT = 8;
constexpr int BAND_LEFT = 1;
constexpr int BAND_TOP = 1;
constexpr int BAND_RIGHT_INSET = 6;    // Rectangle's right edge; with a null pen it fills to one less
constexpr int ICON_LEFT = 3;
constexpr int ICON_TOP = 3;
constexpr int TEXT_GAP = 6;
constexpr int TEXT_RIGHT_INSET = 8;
constexpr int FIRST_ROW_TOP = 3;
constexpr int MARKER_WIDTH = 9;
constexpr int MARKER_HEIGHT = 5;
// What Windows sets for a notch of the mouse wheel, for when the setting cannot be read.
constexpr UINT DEFAULT_WHEEL_LINES = 3;

} // namespace

long long scaledForDpi(long long value, int dpi)
{
    long long product = value * dpi;
    long long half = BASE_DPI / 2;
    return product >= 0 ? (product + half) / BASE_DPI : -((-product + half) / BASE_DPI);
}

SwitcherMetrics measureSwitcher(int dpi)
{
    // A DPI that the system could not give counts as the plain one.
    if (dpi <= 0) {
        dpi = BASE_DPI;
    }
    SwitcherMetrics m;
    m.dpi = dpi;
    m.iconSize = scaledForDpi((long long)ICON_UNIT * settings.iconScale, dpi);
    m.rowHeight = m.iconSize + scaledForDpi(ROW_GAP, dpi);
    m.width = scaledForDpi(settings.listWidth, dpi);
    m.extraHeight = scaledForDpi(WINDOW_EXTRA_HEIGHT, dpi);
    m.bandLeft = scaledForDpi(BAND_LEFT, dpi);
    m.bandTop = scaledForDpi(BAND_TOP, dpi);
    m.bandRightInset = scaledForDpi(BAND_RIGHT_INSET, dpi);
    m.iconLeft = scaledForDpi(ICON_LEFT, dpi);
    m.iconTop = scaledForDpi(ICON_TOP, dpi);
    m.textGap = scaledForDpi(TEXT_GAP, dpi);
    m.textRightInset = scaledForDpi(TEXT_RIGHT_INSET, dpi);
    m.firstRowTop = scaledForDpi(FIRST_ROW_TOP, dpi);
    m.markerWidth = scaledForDpi(MARKER_WIDTH, dpi);
    m.markerHeight = scaledForDpi(MARKER_HEIGHT, dpi);
    return m;
}

SwitcherMetrics switcherMetrics()
{
    return measureSwitcher(switcherView.dpi);
}

static int lastFirstRow()
{
    return switcherView.rowCount - switcherView.visibleRows;
}

static bool showFromRow(int firstRow)
{
    if (firstRow > lastFirstRow()) {
        firstRow = lastFirstRow();
    }
    if (firstRow < 0) {
        firstRow = 0;
    }
    bool moved = firstRow != switcherView.firstRow;
    switcherView.firstRow = firstRow;
    return moved;
}

void setSwitcherView(int dpi, int rowCount, long long roomRows, int highlightedRow)
{
    switcherView.dpi = dpi;
    switcherView.rowCount = rowCount;
    switcherView.cut = roomRows < rowCount;
    switcherView.visibleRows = switcherView.cut ? (int)roomRows : rowCount;
    switcherView.firstRow = 0;
    switcherView.wheelDelta = 0;
    revealRow(highlightedRow);
    switcherView.paintedFirstRow = switcherView.firstRow;
}

bool isRowShown(int row)
{
    return !switcherView.cut ||
           (row >= switcherView.firstRow && row < switcherView.firstRow + switcherView.visibleRows);
}

// Wrap-around moves the highlight to the other end of the list, and this shows that end.
bool revealRow(int row)
{
    if (!switcherView.cut || isRowShown(row)) {
        return false;
    }
    return showFromRow(row < switcherView.firstRow ? row : row - switcherView.visibleRows + 1);
}

bool scrollView(int rows)
{
    return switcherView.cut && showFromRow(switcherView.firstRow + rows);
}

// A wheel that reports in finer steps than a notch adds them up, so that no turn is lost. The user
// can set the lines per notch, or a page (WHEEL_PAGESCROLL): a view never scrolls by more than it
// shows.
bool scrollViewByWheel(int delta)
{
    if (!switcherView.cut) {
        return false;
    }
    switcherView.wheelDelta += delta;
    int notches = switcherView.wheelDelta / WHEEL_DELTA;
    switcherView.wheelDelta -= notches * WHEEL_DELTA;
    UINT linesPerNotch = DEFAULT_WHEEL_LINES;
    SystemParametersInfoA(SPI_GETWHEELSCROLLLINES, 0, &linesPerNotch, 0);
    int rowsPerNotch = linesPerNotch > (UINT)switcherView.visibleRows ? switcherView.visibleRows : (int)linesPerNotch;
    return notches != 0 && scrollView(-notches * rowsPerNotch);
}

long long findStripHeight(const SwitcherMetrics& metrics)
{
    return findText[0] != '\0' ? metrics.rowHeight : 0;
}
