// The wait cursor over the whole program while a guard lives. Guards nest:
// each one shows the cursor once and removes exactly what it showed.
#pragma once

namespace gearloft {

class WaitCursor {
public:
    WaitCursor();
    ~WaitCursor();
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

}  // namespace gearloft
