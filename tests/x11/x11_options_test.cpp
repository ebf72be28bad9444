// The module's option parser against a table of command lines and
// $XSCREENSAVER_WINDOW values: prints each row it gets wrong, status 1 then.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "x11_options.h"

namespace {

struct Row {
    std::vector<const char*> args;  // after the program's name
    const char* environment;        // $XSCREENSAVER_WINDOW, nullptr for unset
    bool taken;                     // false: refused (with the usage)
    SaverTarget target;
    Window window;
    bool showFps;
    long delay;
    const char* display;
};

// A row the parser takes: by default a window of its own, no frame rate,
// -delay 10000, no display named.
Row Takes(std::vector<const char*> args, const char* environment = nullptr,
          SaverTarget target = TargetOwnWindow, Window window = 0, bool showFps = false,
          long delay = 10000, const char* display = nullptr)
{
    return {args, environment, true, target, window, showFps, delay, display};
}

const SaverTarget Own = TargetOwnWindow, Given = TargetGivenWindow, Root = TargetRootWindow;
const char* const kUnset = nullptr;
const Row kTaken[] = {
    Takes({}),
    // Every option, with one dash and with two; the last of -fps and -no-fps counts.
    Takes({"-root"}, kUnset, Root), Takes({"--root"}, kUnset, Root),
    Takes({"-root", "-window"}), Takes({"--root", "--window"}),
    Takes({"-window-id", "0x1f", "-root"}, kUnset, Given, 0x1f),
    Takes({"--window-id", "0X1FFFFFFF"}, kUnset, Given, 0x1fffffff),
    Takes({"-window-id", "31"}, kUnset, Given, 31),
    Takes({"-delay", "0"}, kUnset, Own, 0, false, 0),
    Takes({"--delay", "10000000"}, kUnset, Own, 0, false, 10000000),
    Takes({"-fps"}, kUnset, Own, 0, true), Takes({"--fps"}, kUnset, Own, 0, true),
    Takes({"-no-fps"}), Takes({"--fps", "--no-fps"}), Takes({"-fps", "-no-fps"}),
    Takes({"--no-fps", "-fps"}, kUnset, Own, 0, true),
    Takes({"-display", ":7"}, kUnset, Own, 0, false, 10000, ":7"),
    Takes({"--display", ":7"}, kUnset, Own, 0, false, 10000, ":7"),
    Takes({"-visual", "best", "-mono", "-install", "-noinstall"}),
    Takes({"--visual", "best", "--mono", "--install", "--noinstall"}),
    // The daemon's window: without -window-id only, ignored unless a window id.
    Takes({}, "0x2a", Given, 0x2a), Takes({"-root"}, "42", Given, 42),
    Takes({"-window-id", "0x1f"}, "0x2a", Given, 0x1f),
    Takes({}, "0x0x1f"), Takes({"-root"}, " 42", Root), Takes({"-root"}, "", Root),
};
// Values refused after -window-id and -delay (with the option alone, no
// value); other command lines refused.
const char* const kBadIds[] = {"0x0x1f", "0x+1f", "0x 1f", "0x", "-1", "+1", " 5", "5 ",
                               "0", "1f", "0x20000000", "536870912", "99999999999999999999"};
const char* const kBadDelays[] = {"-1", "+1", " 5", "5 ", "", "0x10", "1e4", "10000001",
                                  "99999999999999999999"};
const std::vector<const char*> kRefused[] = {{"-display"}, {"-visual"}, {"-frame"},
                                             {"fps"}, {"---fps"}};

int failures = 0;

// Parses the row's command line and compares; prints the row when it differs.
void Check(const Row& row)
{
    std::vector<char*> argv = {const_cast<char*>("opengl-saver")};
    std::string line;
    for (const char* arg : row.args) {
        argv.push_back(const_cast<char*>(arg));
        line += std::string(" '") + arg + "'";
    }
    if (row.environment)
        setenv("XSCREENSAVER_WINDOW", row.environment, 1);
    else
        unsetenv("XSCREENSAVER_WINDOW");
    SaverOptions got = {};
    const bool taken = ParseSaverOptions(static_cast<int>(argv.size()), argv.data(), &got) == 0;
    const bool same = taken && got.target == row.target && got.showFps == row.showFps &&
                      got.delayMicroseconds == row.delay &&
                      (got.target != Given || got.window == row.window) &&
                      (got.displayName && row.display ? !strcmp(got.displayName, row.display)
                                                      : got.displayName == row.display);
    if (taken == row.taken && (!taken || same))
        return;
    ++failures;
    printf("FAIL:%s, XSCREENSAVER_WINDOW '%s': ", line.c_str(),
           row.environment ? row.environment : "(unset)");
    if (!row.taken || !taken)
        printf("%s, want %s\n", taken ? "taken" : "refused", taken ? "refused" : "taken");
    else
        printf("target %d window 0x%lx fps %d delay %ld display %s, want %d 0x%lx %d %ld %s\n",
               got.target, got.window, got.showFps, got.delayMicroseconds,
               got.displayName ? got.displayName : "-", row.target, row.window, row.showFps,
               row.delay, row.display ? row.display : "-");
}

}  // namespace

int main()
{
    int rows = 0;
    for (const Row& row : kTaken)
        Check(row), ++rows;
    std::vector<std::vector<const char*>> refused = {{"-window-id"}, {"-delay"}};
    for (const auto& args : kRefused)
        refused.push_back(args);
    for (const char* id : kBadIds)
        refused.push_back({"-window-id", id});
    for (const char* delay : kBadDelays)
        refused.push_back({"-delay", delay});
    for (const auto& args : refused)
        Check({args, nullptr, false, Own, 0, false, 0, nullptr}), ++rows;
    printf("%d rows, %d wrong\n", rows, failures);
    return failures ? 1 : 0;
}
