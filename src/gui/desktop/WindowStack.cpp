// SPDX-License-Identifier: MIT
#include "desktop/WindowStack.h"

#include <QGuiApplication>
#include <QWidget>

#ifdef BRANDLE_HAVE_XCB
#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>
#endif

namespace brandle::WindowStack {

#ifdef BRANDLE_HAVE_XCB
namespace {

struct FreeReply {
    void operator()(void* reply) const { std::free(reply); }
};
template <typename T> using Reply = std::unique_ptr<T, FreeReply>;

class X11 {
public:
    explicit X11(xcb_connection_t* connection)
        : m_c(connection)
        , m_root(xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root)
    {
    }

    xcb_atom_t atom(const char* name) const
    {
        const Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
            m_c, xcb_intern_atom(m_c, 1, uint16_t(std::strlen(name)), name), nullptr));
        return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    }

    // A property of 32-bit values (windows or atoms); nothing when the window has none.
    std::optional<std::vector<uint32_t>> values(xcb_window_t window, xcb_atom_t property,
                                                xcb_atom_t type) const
    {
        const Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
            m_c, xcb_get_property(m_c, 0, window, property, type, 0, 4096), nullptr));
        if (!reply || reply->type == XCB_ATOM_NONE)
            return std::nullopt;
        if (reply->format != 32)
            return std::vector<uint32_t>();
        const auto* first = static_cast<const uint32_t*>(xcb_get_property_value(reply.get()));
        return std::vector<uint32_t>(first, first + xcb_get_property_value_length(reply.get()) / 4);
    }

    // The child of the root that holds the window: the manager's frame around it.
    xcb_window_t frameOf(xcb_window_t window) const
    {
        for (;;) {
            const Reply<xcb_query_tree_reply_t> tree(
                xcb_query_tree_reply(m_c, xcb_query_tree(m_c, window), nullptr));
            if (!tree || tree->parent == m_root || tree->parent == XCB_WINDOW_NONE)
                return window;
            window = tree->parent;
        }
    }

    xcb_connection_t* connection() const { return m_c; }
    xcb_window_t root() const { return m_root; }

private:
    xcb_connection_t* m_c;
    xcb_window_t m_root;
};

bool holds(const std::optional<std::vector<uint32_t>>& list, xcb_atom_t value)
{
    return list && std::find(list->begin(), list->end(), value) != list->end();
}

} // namespace
#endif

void placeAmongOrdinaryWindows(QWidget* window)
{
#ifdef BRANDLE_HAVE_XCB
    const auto* native = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!native || !window->windowHandle())
        return;
    const X11 x(native->connection());
    const auto ours = xcb_window_t(window->winId());
    // The managed windows, from the bottom up; none listed without a window manager.
    const std::optional<std::vector<uint32_t>> managed =
        x.values(x.root(), x.atom("_NET_CLIENT_LIST_STACKING"), xcb_atom_t(XCB_ATOM_WINDOW));
    if (!managed)
        return;
    const std::vector<uint32_t>& stack = *managed;
    const xcb_atom_t type = x.atom("_NET_WM_WINDOW_TYPE");
    const xcb_atom_t dock = x.atom("_NET_WM_WINDOW_TYPE_DOCK");
    const xcb_atom_t state = x.atom("_NET_WM_STATE");
    const xcb_atom_t above = x.atom("_NET_WM_STATE_ABOVE");
    const xcb_atom_t fullScreen = x.atom("_NET_WM_STATE_FULLSCREEN");
    uint32_t placement[2] = {XCB_WINDOW_NONE, XCB_STACK_MODE_ABOVE};
    for (auto it = stack.rbegin(); it != stack.rend(); ++it) {
        const auto types = x.values(*it, type, XCB_ATOM_ATOM);
        const auto states = x.values(*it, state, XCB_ATOM_ATOM);
        if (*it != ours && !holds(types, dock) && !holds(states, above) &&
            !holds(states, fullScreen)) {
            placement[0] = x.frameOf(*it);
            break;
        }
    }
    if (placement[0] == ours)
        return;
    if (placement[0] != XCB_WINDOW_NONE) {
        xcb_configure_window(x.connection(), ours,
                             XCB_CONFIG_WINDOW_SIBLING | XCB_CONFIG_WINDOW_STACK_MODE, placement);
    } else if (!stack.empty()) { // only windows kept above others: beneath the lowest of them
        placement[0] = x.frameOf(stack.front());
        placement[1] = XCB_STACK_MODE_BELOW;
        xcb_configure_window(x.connection(), ours,
                             XCB_CONFIG_WINDOW_SIBLING | XCB_CONFIG_WINDOW_STACK_MODE, placement);
    } else { // no managed window yet: any that comes covers it
        const uint32_t bottom = XCB_STACK_MODE_BELOW;
        xcb_configure_window(x.connection(), ours, XCB_CONFIG_WINDOW_STACK_MODE, &bottom);
    }
    xcb_flush(x.connection());
#else
    (void)window;
#endif
}

} // namespace brandle::WindowStack
