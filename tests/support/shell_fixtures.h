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
    e.KeyInput.Key = static_cast<irr::EKEY_CODE>(code);
    e.KeyInput.PressedDown = down;
    e.KeyInput.Shift = shift;
    return e;
}

inline irr::SEvent mouseEvent(irr::EMOUSE_INPUT_EVENT what, int x = 0, int y = 0, unsigned buttons = 0,
                              float wheel = 0.0f) {
    irr::SEvent e = blankEvent(irr::EET_MOUSE_INPUT_EVENT);
    e.MouseInput.Event = what;
    e.MouseInput.X = x;
    e.MouseInput.Y = y;
    e.MouseInput.ButtonStates = buttons;
    e.MouseInput.Wheel = wheel;
    return e;
}

inline irr::SEvent userEvent(int data1, int data2) {
    irr::SEvent e = blankEvent(irr::EET_USER_EVENT);
    e.UserEvent.UserData1 = data1;
    e.UserEvent.UserData2 = data2;
    return e;
}

// Records the boxes shown while it lives ("caption|text" and the box type), then puts the hook before
// it back.
class BoxRecorder {
public:
    BoxRecorder() : previous_(qeSysGetBoxHook()) {
        boxes().clear();
        types().clear();
        qeSysSetBoxHook(record);
    }
    ~BoxRecorder() { qeSysSetBoxHook(previous_); }
    BoxRecorder(const BoxRecorder&) = delete;
    BoxRecorder& operator=(const BoxRecorder&) = delete;
    static std::vector<std::string>& boxes() {
        static std::vector<std::string> list;
        return list;
    }
    static std::vector<unsigned int>& types() {
        static std::vector<unsigned int> list;
        return list;
    }
    // The text of box i without its caption.
    static std::string text(size_t i) {
        const std::string& box = boxes().at(i);
        return box.substr(box.find('|') + 1);
    }

private:
    static int record(const char* caption, const char* text, unsigned int type) {
        boxes().push_back(std::string(caption) + "|" + text);
        types().push_back(type);
        return 1;  // IDOK
    }
    QeSysBoxHook previous_;
};

}  // namespace qetest

#endif
