// Built for the Pentium III: a conditional move and SSE arithmetic, which
// the instruction check must find and name.
#include <stdio.h>
#include <stdlib.h>

// The larger of two numbers, without a branch.
__attribute__((noinline)) int Larger(int a, int b)
{
    return a > b ? a : b;
}

// A float scaled by a number, on the SSE unit.
__attribute__((noinline)) float Scaled(float value, int by)
{
    return value * static_cast<float>(by);
}

int main(int argc, char** argv)
{
    printf("%d %g\n", Larger(argc, atoi(argc > 1 ? argv[1] : "2")), Scaled(1.5f, argc));
    return 0;
}
