// Built for the Pentium 4 with SSE3: a conditional move, SSE arithmetic, a
// long NOP and SSE3's fisttp, which the instruction check must find and name.
#include <stdio.h>
#include <stdlib.h>

// The larger of two numbers, without a branch.
__attribute__((noinline)) int Larger(int a, int b)
{
    return a > b ? a : b;
}

// A number plus one after a long NOP, the padding assemblers put into code
// for the Pentium Pro and later.
__attribute__((noinline)) int Padded(int value)
{
    asm volatile("nopw %cs:0x0(%eax,%eax,1)");
    return value + 1;
}

// A float scaled by a number, on the SSE unit.
__attribute__((noinline)) float Scaled(float value, int by)
{
    return value * static_cast<float>(by);
}

// A long double cut to an integer, with SSE3's truncating x87 store.
__attribute__((noinline)) int Truncated(long double value)
{
    return static_cast<int>(value);
}

int main(int argc, char** argv)
{
    printf("%d %d %g %d\n", Larger(argc, atoi(argc > 1 ? argv[1] : "2")), Padded(argc), Scaled(1.5f, argc),
           Truncated(argc / 3.0L));
    return 0;
}
