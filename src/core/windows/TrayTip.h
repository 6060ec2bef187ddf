// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>

#include <array>

namespace brandle {

// The tray icon's tip after a check of the address: "Brandle", CR LF, "URL: " and the address
// as typed, cut to the 64 characters that the tip field holds.
QString trayTip(const QString& url);

// The tip before any check: "Brandle".
QString initialTrayTip();

// The Recent Lookups submenu of the tray menu: five items, the newest stored lookup on top
// ("URLGet5" on item 1 ... "URLGet1" on item 5). Captions, tags and visibility persist from one
// rebuild to the next, as the menu's own items do.
class RecentLookupsMenu {
public:
    struct Item {
        QString caption;
        QString tag;
        bool visible = false;
    };

    RecentLookupsMenu();

    // Rebuilds from the store: limit is the recent-lookups limit, stored.at(k - 1) the value of
    // "URLGet" + k ("" or missing for none).
    void rebuild(qint32 limit, const QStringList& stored);

    bool submenuVisible() const { return m_submenuVisible; }
    const Item& item(int index) const { return m_items.at(size_t(index)); } // 0 = top

private:
    std::array<Item, 5> m_items;
    bool m_submenuVisible = false;
};

} // namespace brandle
