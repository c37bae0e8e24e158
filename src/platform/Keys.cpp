#include "platform/Keys.h"

#include <QKeyEvent>

namespace platform {

int VirtualKeyOf(const QKeyEvent& event) {
    const int key = event.key();
    if (key >= Qt::Key_F1 && key <= Qt::Key_F11)
        return vk::kF1 + (key - Qt::Key_F1);
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        return vk::k0 + (key - Qt::Key_0);
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        return 'A' + (key - Qt::Key_A);
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return vk::kEnter;
    case Qt::Key_Escape:
        return vk::kEscape;
    default:
        return 0;
    }
}

} // namespace platform
