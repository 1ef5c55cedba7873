#include "app/Controls.h"

namespace kivo {

const char* ControlName(Control control) {
    switch (control) {
#define KIVO_CONTROL_NAME(name) \
    case Control::name:         \
        return #name;
        KIVO_CONTROLS(KIVO_CONTROL_NAME)
#undef KIVO_CONTROL_NAME
    }
    return "";
}

}  // namespace kivo
