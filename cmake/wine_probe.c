/* Run by cmake/wine-probe: printing this line proves that Windows programs of
   this architecture run here. */
#include <stdio.h>

int main(void) {
    puts("zevart: Windows programs run");
    return 0;
}
