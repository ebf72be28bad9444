#include "x11_options.h"

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace {

// The longest -delay taken: ten seconds between frames.
const unsigned long kLongestDelayMicroseconds = 10000000;
// X resource ids have 29 bits.
const unsigned long kLargestXid = 0x1fffffff;
const char kDecimalDigits[] = "0123456789";
const char kHexadecimalDigits[] = "0123456789abcdefABCDEF";

// Prints the usage; -1 for ParseSaverOptions to return.
int ShowUsage(const char* program)
{
    fprintf(stderr,
            "usage: %s [-display NAME] [-window | -root | -window-id ID] [-delay MICROSECONDS]\n"
            "       [-fps | -no-fps] [-visual NAME] [-mono] [-install | -noinstall]\n",
            program);
    return -1;
}

// True when arg is -name or --name.
bool IsOption(const char* arg, const char* name)
{
    if (arg[0] != '-')
        return false;
    if (arg[1] == '-')
        ++arg;
    return strcmp(arg + 1, name) == 0;
}

// Reads a number written in the base's digits alone (10 or 16)
// no larger than largest: false for an empty text or any other character
// (a sign, a blank, the x of a second 0x), which strtoul would skip or take.
bool ParseWholeNumber(const char* text, int base, unsigned long largest, unsigned long* number)
{
    const char* digits = base == 16 ? kHexadecimalDigits : kDecimalDigits;
    const size_t length = strlen(text);
    if (length == 0 || strspn(text, digits) != length)
        return false;
    errno = 0;
    *number = strtoul(text, nullptr, base);
    return errno == 0 && *number <= largest;
}

// Reads a window id, decimal or 0x hexadecimal: false unless the whole text is one.
bool ParseWindowId(const char* text, Window* window)
{
    unsigned long id = 0;
    const bool read = text[0] == '0' && (text[1] == 'x' || text[1] == 'X')
                          ? ParseWholeNumber(text + 2, 16, kLargestXid, &id)
                          : ParseWholeNumber(text, 10, kLargestXid, &id);
    if (!read || id == 0)
        return false;
    *window = id;
    return true;
}

// Reads the microseconds between frames, decimal.
bool ParseDelay(const char* text, long* delay)
{
    unsigned long microseconds = 0;
    if (!ParseWholeNumber(text, 10, kLongestDelayMicroseconds, &microseconds))
        return false;
    *delay = static_cast<long>(microseconds);
    return true;
}

// True when the option at argv[i] is -name or --name followed by a value.
bool IsOptionWithValue(int argc, char** argv, int i, const char* name)
{
    return IsOption(argv[i], name) && i + 1 < argc;
}

// Steps over an option XScreenSaver's modules take that changes nothing here
// (the scene is always in colour, on a GL visual the saver picks itself or
// the window's own): false for any other.
bool SkipIgnoredOption(int argc, char** argv, int* i)
{
    const char* arg = argv[*i];
    if (IsOption(arg, "mono") || IsOption(arg, "install") || IsOption(arg, "noinstall"))
        return true;
    if (!IsOptionWithValue(argc, argv, *i, "visual"))
        return false;
    ++*i;
    return true;
}

}  // namespace

// Reads the command line, then the window XScreenSaver names in the environment.
int ParseSaverOptions(int argc, char** argv, SaverOptions* options)
{
    options->target = TargetOwnWindow;
    options->window = 0;
    options->showFps = false;
    options->displayName = nullptr;
    options->delayMicroseconds = kDefaultDelayMicroseconds;
    for (int i = 1; i < argc; ++i) {
        if (IsOption(argv[i], "root")) {
            if (options->target == TargetOwnWindow)
                options->target = TargetRootWindow;
        } else if (IsOption(argv[i], "window")) {
            if (options->target == TargetRootWindow)
                options->target = TargetOwnWindow;
        } else if (IsOption(argv[i], "fps")) {
            options->showFps = true;
        } else if (IsOption(argv[i], "no-fps")) {
            options->showFps = false;
        } else if (IsOptionWithValue(argc, argv, i, "window-id") &&
                   ParseWindowId(argv[i + 1], &options->window)) {
            options->target = TargetGivenWindow;
            ++i;
        } else if (IsOptionWithValue(argc, argv, i, "delay") &&
                   ParseDelay(argv[i + 1], &options->delayMicroseconds)) {
            ++i;
        } else if (IsOptionWithValue(argc, argv, i, "display")) {
            options->displayName = argv[++i];
        } else if (!SkipIgnoredOption(argc, argv, &i)) {
            return ShowUsage(argv[0]);
        }
    }
    // XScreenSaver names the window it made for its module here; like its
    // own modules, the saver ignores a value that is not a window id.
    const char* given = getenv("XSCREENSAVER_WINDOW");
    if (options->target != TargetGivenWindow && given &&
        ParseWindowId(given, &options->window))
        options->target = TargetGivenWindow;
    return 0;
}
