// A counter-example for the floor checks: it imports a function that Windows 98 and 2000 lack
// and holds a CMOV outside the processor variants. Built, never shipped, never run.

#include <windows.h>

extern "C" __declspec(dllimport) ULONGLONG WINAPI GetTickCount64(void);

int floorPlantedMax(int aA, int aB)
{
    int result;
    __asm__("cmpl %2, %1\n\tmovl %1, %0\n\tcmovl %2, %0" : "=&r"(result) : "r"(aA), "r"(aB) : "cc");
    return result;
}

int main()
{
    return floorPlantedMax((int)GetTickCount64(), 1) > 0 ? 0 : 1;
}
