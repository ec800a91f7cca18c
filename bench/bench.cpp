#include "bench.h"

#include <algorithm>
#include <cstdio>

double nowMicroseconds()
{
    static LARGE_INTEGER frequency;
    if (frequency.QuadPart == 0) {
        QueryPerformanceFrequency(&frequency);
    }
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return (double)now.QuadPart * 1e6 / (double)frequency.QuadPart;
}

double microsecondsTaken(const std::function<void()>& action)
{
    double start = nowMicroseconds();
    action();
    return nowMicroseconds() - start;
}

double Series::median() const
{
    std::vector<double> sorted = values_;
    std::sort(sorted.begin(), sorted.end());
    return sorted.empty() ? 0 : sorted[sorted.size() / 2];
}

double Series::worst() const
{
    return values_.empty() ? 0 : *std::max_element(values_.begin(), values_.end());
}

double Series::best() const
{
    return values_.empty() ? 0 : *std::min_element(values_.begin(), values_.end());
}

int Series::countAbove(double limit) const
{
    return (int)std::count_if(values_.begin(), values_.end(), [limit](double v) { return v > limit; });
}

static std::string formatted(double value, const std::string& unit)
{
    char text[32];
    if (unit == "B") {
        std::snprintf(text, sizeof text, "%.0f B", value);
    } else if (unit == "ms") {
        std::snprintf(text, sizeof text, "%.1f ms", value / 1000);
    } else {
        std::snprintf(text, sizeof text, "%.0f us", value);
    }
    return text;
}

static void printFigure(const Figure& f)
{
    char ratio[16] = "-";
    if (f.floor > 0) {
        std::snprintf(ratio, sizeof ratio, "%.2f", f.value / f.floor);
    }
    std::string floor = f.floorName.empty() ? std::string("-") : formatted(f.floor, f.unit) + " " + f.floorName;
    std::printf("%-50s %12s  %-36s %6s  %-26s %s%s%s\n", f.name.c_str(), formatted(f.value, f.unit).c_str(),
                floor.c_str(), ratio, f.target.c_str(), f.met ? "met" : "MISSED", f.note.empty() ? "" : "  ",
                f.note.c_str());
    std::fflush(stdout);
}

static void printHeader()
{
    std::printf("%-50s %12s  %-36s %6s  %-26s %s\n", "figure", "value", "floor", "ratio", "target", "");
}

void Table::add(const Figure& figure)
{
    if (figures_.empty()) {
        printHeader();
    }
    figures_.push_back(figure);
    printFigure(figure);
}

void Table::print() const
{
    std::printf("\n== summary ==\n");
    printHeader();
    for (const Figure& f : figures_) {
        printFigure(f);
    }
}

void pumpWaiting()
{
    MSG message;
    while (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

void settle(DWORD milliseconds)
{
    DWORD start = GetTickCount();
    do {
        pumpWaiting();
        MsgWaitForMultipleObjects(0, NULL, FALSE, 5, QS_ALLINPUT);
    } while (GetTickCount() - start < milliseconds);
    pumpWaiting();
}
