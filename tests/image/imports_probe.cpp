// A program that only loads a picture, so that the import check sees the
// loader's imports as the saver will have them.
#include "bmp_loader.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int)
{
    return LoadBmpImage(commandLine) ? 0 : 1;
}
