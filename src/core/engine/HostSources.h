// SPDX-License-Identifier: MIT
#pragma once

// What the service host says of its sources (GET /sources) and of one lookup of a source asked
// with the user's own key (POST /sources/<id>/test?site=SITE), for the settings window's Sources
// tab.

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

namespace brandle {

struct HostSource {
    QString id;                     // "majestic", "wikipedia", "bing" ...
    QString name;                   // as credited
    QString state;                  // "ready", "loading", "failed" or "off"
    std::optional<double> progress; // 0 to 1 while loading, when known
    QString release;                // what is served (a release, a list, an address)
    QDateTime updated;              // when that was fetched or confirmed (UTC); invalid: unknown
    QString error;                  // the last failure
    QString key;                    // where its key comes from: "keyring", "file", "none"
    QString terms;                  // the credit line: whose data, under which licence or terms
    QString termsLink;
};

// The sources of an answer of GET /sources; nothing when it is not a JSON array of objects.
std::optional<QList<HostSource>> readHostSources(const QByteArray& json);

struct SourceTest {
    QString site;
    std::optional<qint64> count; // none: no count, for the reason
    bool atLeast = false;
    QString unit;
    QString reason;
};

// The answer of a test lookup; nothing when it is not one.
std::optional<SourceTest> readSourceTest(const QByteArray& json);

// A request to the service host: what came back, or why nothing did.
struct HostAnswer {
    bool reached = false; // an HTTP answer came
    long status = 0;
    QByteArray body;
    QString error; // not reached: the transport's reason
};

// Blocking, for a worker thread: GET /sources, and POST /sources/<id>/test?site=SITE.
HostAnswer askHostSources(const QString& hostPort);
HostAnswer askSourceTest(const QString& hostPort, const QString& id, const QString& site);

} // namespace brandle
