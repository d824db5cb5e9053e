// A skin module that records how the program calls InitSkin.
#include <QtGlobal>

namespace {
int g_calls = 0;
void* g_window = nullptr;
unsigned g_message = 0;
unsigned long g_wParam = 1;
long g_lParam = 1;
}  // namespace

extern "C" Q_DECL_EXPORT long InitSkin(void* window, unsigned message, unsigned long wParam,
                                       long lParam) {
    ++g_calls;
    g_window = window;
    g_message = message;
    g_wParam = wParam;
    g_lParam = lParam;
    return 0;
}

extern "C" Q_DECL_EXPORT int ProbeCalls(void** window, unsigned* message, unsigned long* wParam,
                                        long* lParam) {
    *window = g_window;
    *message = g_message;
    *wParam = g_wParam;
    *lParam = g_lParam;
    return g_calls;
}
