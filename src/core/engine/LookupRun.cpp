// SPDX-License-Identifier: MIT
#include "engine/LookupRun.h"

#include "engine/Schema.h"
#include "engine/ServiceStatus.h"
#include "platform/Paths.h"
#include "platform/SafeFile.h"
#include "platform/Store.h"
#include "platform/mConstants.h"

#include <QCoreApplication>
#include <QStringEncoder>

#include <algorithm>
#include <chrono>

using namespace Qt::StringLiterals;

using namespace brandle;

namespace {

using Clock = std::chrono::steady_clock;

// Replaces the page file as a whole, in the encoding the style sheet's output declares (UTF-8
// when that is not one Qt knows): a reader sees the old page or the new one, never a part, and a
// failed write keeps the old page.
void writePage(const QString& path, const QString& html, const QString& encoding)
{
    const QString text = html + "\r\n"_L1;
    QStringEncoder encoder(encoding.toLatin1().constData());
    writeFileSafely(path, encoder.isValid() ? QByteArray(encoder.encode(text)) : text.toUtf8());
}

// The schema with every placeholder replaced by the result document; refused when it would be
// larger than the limit.
QString mergeResults(const QString& schemaText, const QString& results, qint64 maxChars)
{
    const qint64 places = schemaText.count(mConstants::ResultsPlaceholder);
    const qint64 size =
        schemaText.size() + places * (results.size() - mConstants::ResultsPlaceholder.size());
    if (size > maxChars)
        throw BrandleError(
            ErrorCode::DocumentTooLarge,
            u"the schema with the results would be %1 characters, at most %2"_s.arg(size).arg(
                maxChars));
    QString merged = schemaText;
    merged.replace(mConstants::ResultsPlaceholder, results);
    return merged;
}

// Passes every call on and keeps the time the user spent on notices, which the lookup's time
// limit leaves aside.
class NoticeTimer final : public LookupUi {
public:
    explicit NoticeTimer(LookupUi& ui)
        : m_ui(ui)
    {
    }
    void showNotice(const ServiceNotice& notice) override
    {
        const Clock::time_point start = Clock::now();
        m_ui.showNotice(notice);
        m_spent += Clock::now() - start;
    }
    void showLoading() override { m_ui.showLoading(); }
    void closeLoading() override { m_ui.closeLoading(); }
    void playAlert(const QString& code) override { m_ui.playAlert(code); }
    Clock::duration spent() const { return m_spent; }

private:
    LookupUi& m_ui;
    Clock::duration m_spent{};
};

} // namespace

QString brandle::resultPagePath()
{
    return Paths::inProgramFolder(mConstants::PageFileName);
}

QString TransformResults(const XmlDocument& merged, const HttpResult& answer,
                         const XslLimits& limits, QString* encoding)
{
    const QString name = QCoreApplication::translate("LookupRun", "the style sheet");
    if (answer.tooLarge)
        throw BrandleError(ErrorCode::DocumentTooLarge, answer.error->detail()).about(name);
    if (answer.error)
        throw answer.error->about(name);
    if (answer.status < 200 || answer.status > 299)
        throw BrandleError(
            ErrorCode::XslTransform,
            QCoreApplication::translate("LookupRun", "the style sheet is not available (HTTP %1)")
                .arg(answer.status));
    const XmlDocument styleSheet = [&] {
        try {
            return XmlDocument::parseServiceDocument(answer.bytes, answer.charset);
        } catch (const BrandleError& e) {
            throw e.about(name);
        }
    }();
    QString html = xslTransform(merged, styleSheet, limits, encoding);
    html.replace("&lt;"_L1, "<"_L1);
    html.replace("&gt;"_L1, ">"_L1);
    return html;
}

void BuildResultPage(const QString& site, clsProps& props, LookupUi& ui, LookupOutcome& outcome,
                     const QueryOptions& options, HttpSession& session, const LookupLimits& limits,
                     StoreSession& store)
{
    outcome.pagePath = resultPagePath();

    ui.showLoading();
    struct LoadingCloser {
        LookupUi& ui;
        ~LoadingCloser() { ui.closeLoading(); }
    } closer{ui};

    const QString schemaText = GetEngineSchema(session);
    // The style sheet does not depend on the answers: it comes while the engines are asked.
    const int styleSheet =
        session.start(Paths::serviceUrl(mConstants::StyleSheetPath), HttpBody::Raw);
    const QString results =
        QueryEngines(schemaText, site, props, ui, outcome.query, store, options, session);
    store.save();
    if (results.isEmpty()) {
        outcome.kind = LookupOutcome::Kind::DownloadFailure;
        return;
    }
    outcome.resultDocument = results;

    const QString merged = mergeResults(schemaText, results, limits.maxMergedChars);
    const XmlDocument mergedDocument = XmlDocument::parse(merged);
    XslLimits transform = limits.transform;
    if (const auto deadline = session.options().deadline) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(*deadline - Clock::now());
        transform.timeMs = int(std::clamp<qint64>(left.count(), 0, transform.timeMs));
    }
    QString encoding;
    const QString html =
        TransformResults(mergedDocument, session.take(styleSheet), transform, &encoding);
    writePage(outcome.pagePath, html, encoding);
    props.setXMLSchema(merged);
    try {
        outcome.window = WindowParams::read(mergedDocument);
    } catch (const BrandleError&) {
        // Written, but the message window cannot be sized: the page is not shown.
    }
    outcome.kind = LookupOutcome::Kind::PageWritten;
}

LookupOutcome RunLookup(const QString& site, clsProps& props, LookupUi& ui,
                        const QueryOptions& options, const LookupLimits& limits)
{
    LookupOutcome outcome;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(limits.lookupMs);
    HttpOptions http = limits.http;
    http.deadline = deadline;
    HttpSession session(http);
    NoticeTimer timedUi(ui);
    const ServiceVerdict verdict = CheckServiceStatus(timedUi, session);
    session.setDeadline(deadline + timedUi.spent());
    switch (verdict) {
    case ServiceVerdict::Go:
        break;
    case ServiceVerdict::Stop:
        outcome.kind = LookupOutcome::Kind::ServiceRefused;
        return outcome;
    case ServiceVerdict::Unreachable:
        outcome.kind = LookupOutcome::Kind::ServiceUnreachable;
        return outcome;
    }
    StoreSession store;
    try {
        BuildResultPage(site, props, ui, outcome, options, session, limits, store);
    } catch (const BrandleError& e) {
        outcome.kind = LookupOutcome::Kind::Error;
        outcome.error = e;
    } catch (const std::exception& e) {
        outcome.kind = LookupOutcome::Kind::Error;
        outcome.error = BrandleError(ErrorCode::RequestFailed, QString::fromLocal8Bit(e.what()));
    }
    // An early end: what was set before it is saved now. A failed save is the error the user
    // must see (the store keeps its previous values); one that already ended the run is not
    // tried again.
    if (!outcome.error || outcome.error->code() != ErrorCode::StoreWrite) {
        try {
            store.save();
        } catch (const BrandleError& e) {
            outcome.kind = LookupOutcome::Kind::Error;
            outcome.error = e;
        }
    }
    return outcome;
}
