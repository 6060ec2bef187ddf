// SPDX-License-Identifier: MIT
#pragma once

#include <QStringList>

namespace brandle {

// The recent lookups of the quick lookup box. The list runs from the oldest entry to the
// newest; entry i is stored under "URLGet" + (i + 1) in section "ParloApp", so the store keeps
// the oldest under "URLGet1". The drop-down shows the entries in the same order.
namespace RecentList {

// The limit held in the History setting. A text that is not a whole number within range gives
// 0: no stored entry is read, and nothing is dropped when an address is added.
qint32 limit(const QString& historyText);

// The values of "URLGet1" to "URLGet<limit>" in key order, "" where nothing is stored.
QStringList storedValues(qint32 limit);

// The entries stored under "URLGet1" to "URLGet<limit>", in key order; empty values are skipped.
QStringList load(qint32 limit);

// True when the address holds nothing but blanks: no lookup can be made of it.
bool isBlank(const QString& address);

// The list after a lookup of address. selected is the index of the entry chosen from the list
// and not edited since, or -1: a chosen entry moves to the end; otherwise the oldest entries
// make room when the list is full, and the address is appended even if the list holds it.
QStringList afterLookup(QStringList list, int selected, const QString& address, qint32 limit);

// Writes entry i under "URLGet" + (i + 1), in one save. Keys above the list's length are left as
// they are. False when the store could not be saved (it is then left as it was).
bool save(const QStringList& list);

} // namespace RecentList

} // namespace brandle
