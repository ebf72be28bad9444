// Chooses and loads the driver library as the saver does when it starts,
// from the folder it was copied into beside some driver doubles, and writes
// what came of it to probe.txt in that folder for the test that started it.
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include "gl_driver.h"

// Runs the choice and the load, then writes the report.
int main()
{
    char name[13];  // the least room the choice may be given
    memset(name, 'x', sizeof name);
    ChooseDriverLibrary(name);
    int probeKept = GetModuleHandleA("3dfxgl.dll") || GetModuleHandleA("pvrhal32.dll");
    int loaded = LoadDriverLibrary(name);
    char module[MAX_PATH] = "-";
    if (glEntries.driverLibrary)
        GetModuleFileNameA(glEntries.driverLibrary, module, sizeof module);

    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, sizeof path - 16);
    strcpy(strrchr(path, '\\') + 1, "probe.txt");
    FILE* report = fopen(path, "w");
    if (!report)
        return 1;
    fprintf(report, "name=%s\nload=%d\nuseDriverWgl=%d\nprobeKept=%d\nmodule=%s\n", name, loaded,
            glEntries.useDriverWgl, probeKept, module);
    fclose(report);
    return 0;
}
