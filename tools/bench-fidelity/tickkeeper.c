/* tickkeeper.exe: keeps Wine's GetTickCount fresh while the read path is
 * measured. Wine moves the tick only when its server wakes, which with no
 * other request is every 16 ms, so a run of a tenth of a second on the fast
 * drive came out up to 16 ms off. A real system's tick moves by itself: this
 * wakes the server every millisecond with a timed wait on an event that is
 * never set, and runs until it is killed. */
#include <windows.h>

int main(void) {
    HANDLE never = CreateEventA(NULL, TRUE, FALSE, NULL);
    if (!never) return 1;
    for (;;) WaitForSingleObject(never, 1);
}
