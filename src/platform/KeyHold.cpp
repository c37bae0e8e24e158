#include "platform/KeyHold.h"

#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>
// The XKB header names a field "explicit", which C++ reserves.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit

#include <cstdint>
#include <cstdlib>

namespace platform {

bool AskForDetectableAutoRepeat() {
    auto* x11 = qGuiApp != nullptr ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (x11 == nullptr || x11->connection() == nullptr)
        return true; // no X server: nothing to ask
    xcb_connection_t* connection = x11->connection();
    const auto flag = static_cast<std::uint32_t>(XCB_XKB_PER_CLIENT_FLAG_DETECTABLE_AUTO_REPEAT);
    const xcb_xkb_per_client_flags_cookie_t cookie =
        xcb_xkb_per_client_flags(connection, XCB_XKB_ID_USE_CORE_KBD, flag, flag, 0, 0, 0);
    xcb_xkb_per_client_flags_reply_t* reply = xcb_xkb_per_client_flags_reply(connection, cookie, nullptr);
    const bool granted = reply != nullptr && (reply->value & flag) != 0;
    std::free(reply);
    return granted;
}

} // namespace platform
