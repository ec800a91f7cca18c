// What the benchmarks share: a microsecond clock, series of timings, and the table that the run
// prints at its end. Figures are printed, never asserted: a target that is missed shows as "MISSED"
// in the table.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// Microseconds on the performance counter.
double nowMicroseconds();
double microsecondsTaken(const std::function<void()>& action);

// Timings of one action, in microseconds.
class Series {
public:
    void add(double microseconds) { values_.push_back(microseconds); }
    bool empty() const { return values_.empty(); }
    size_t size() const { return values_.size(); }
    double median() const;
    double worst() const;
    double best() const;
    int countAbove(double limit) const;

private:
    std::vector<double> values_;
};

// One figure of the table: its value, the floor it is compared with (0: none), and whether its
// target is met. Times are in microseconds, sizes in bytes.
struct Figure {
    std::string name;
    double value;
    std::string unit;       // "us", "ms", "B"
    std::string floorName;  // what the ratio compares with; "" for none
    double floor;
    std::string target;     // in words, as the table prints it
    bool met;
    std::string note;       // anything a reader needs to interpret the figure
};

class Table {
public:
    void add(const Figure& figure);
    // Also printed as each figure comes, so that a run cut short still shows what it measured.
    void print() const;

private:
    std::vector<Figure> figures_;
};

// Pumps this thread's messages for the given time (a settle between measurements).
void settle(DWORD milliseconds);
void pumpWaiting();

// Each part of the bench adds its figures to the table.
// openingsOnly: the switcher's openings alone (the run at another DPI than 96).
void benchSwitcher(Table& table, bool openingsOnly = false);
// The screen reader's ear that the switcher's steps are measured with: counts the WinEvents of that
// window (its handle in decimal) until WM_QUIT, and returns the count.
int hearWinEvents(const char* window);
void benchHook(Table& table);
void benchRequests(Table& table);
void benchProgram(Table& table);
