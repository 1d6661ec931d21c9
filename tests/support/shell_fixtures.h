// Helpers for tests of the shell: engine events built from their fields, and a box hook that records
// every modal box shown while it is installed.
#ifndef QIRN_TESTS_SHELL_FIXTURES_H
#define QIRN_TESTS_SHELL_FIXTURES_H

#include <irrlicht.h>

#include <cstring>
#include <string>
#include <vector>

#include "sys.h"

namespace qetest {

inline irr::SEvent blankEvent(irr::EEVENT_TYPE type) {
    irr::SEvent e;
    std::memset(&e, 0, sizeof(e));
    e.EventType = type;
    return e;
}

inline irr::SEvent keyEvent(int code, bool down, bool shift = false) {
    irr::SEvent e = blankEvent(irr::EET_KEY_INPUT_EVENT);
    e.KeyInput = {0, static_cast<irr::EKEY_CODE>(code), down, shift, false};
    return e;
}

inline irr::SEvent mouseEvent(irr::EMOUSE_INPUT_EVENT what, int x = 0, int y = 0, unsigned buttons = 0,
                              float wheel = 0.0f) {
    irr::SEvent e = blankEvent(irr::EET_MOUSE_INPUT_EVENT);
    e.MouseInput = {x, y, wheel, false, false, buttons, what};
    return e;
}

inline irr::SEvent userEvent(int data1, int data2) {
    irr::SEvent e = blankEvent(irr::EET_USER_EVENT);
    e.UserEvent = {data1, data2};
    return e;
}

// Records the boxes shown while it lives ("caption|text" and the box type), then puts the hook before
// it back.
class BoxRecorder {
public:
    BoxRecorder() : previous_(qeSysGetBoxHook()) {
        boxes().clear();
        types().clear();
        qeSysSetBoxHook([](const char* caption, const char* text, unsigned int type) {
            boxes().push_back(std::string(caption) + "|" + text);
            types().push_back(type);
            return 1;  // IDOK
        });
    }
    ~BoxRecorder() { qeSysSetBoxHook(previous_); }
    static std::vector<std::string>& boxes() {
        static std::vector<std::string> list;
        return list;
    }
    static std::vector<unsigned int>& types() {
        static std::vector<unsigned int> list;
        return list;
    }
    // The text of box i without its caption.
    static std::string text(size_t i) { return boxes().at(i).substr(boxes().at(i).find('|') + 1); }

private:
    QeSysBoxHook previous_;
};

}  // namespace qetest

#endif
