// SPDX-License-Identifier: MIT
#include "engine/LookupRun.h"

#include "engine/Schema.h"
#include "engine/ServiceStatus.h"
#include "platform/Http.h"
#include "platform/Paths.h"
#include "platform/Xml.h"
#include "platform/mConstants.h"

#include <QSaveFile>

using namespace Qt::StringLiterals;

using namespace brandle;

namespace {

// Replaces the page file as a whole: a reader sees the old page or the new one, never a part.
void writePage(const QString& path, const QString& html)
{
    QSaveFile file(path);
    const QByteArray bytes = html.toUtf8() + "\r\n";
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw BrandleError(ErrorCode::FileAccess, path);
}

} // namespace

QString brandle::resultPagePath()
{
    return Paths::inProgramFolder(mConstants::PageFileName);
}

QString TransformResults(const QString& mergedText)
{
    return TransformResults(XmlDocument::parse(mergedText));
}

QString TransformResults(const XmlDocument& merged)
{
    const HttpResult answer = httpGet(Paths::serviceUrl(mConstants::StyleSheetPath));
    if (answer.ok() && (answer.status < 200 || answer.status > 299))
        throw BrandleError(ErrorCode::XslTransform,
                           u"the style sheet is not available (HTTP %1)"_s.arg(answer.status));
    const XmlDocument styleSheet = XmlDocument::parse(answer.bodyOrThrow());
    QString html = xslTransform(merged, styleSheet);
    html.replace("&lt;"_L1, "<"_L1);
    html.replace("&gt;"_L1, ">"_L1);
    return html;
}

void BuildResultPage(const QString& site, clsProps& props, LookupUi& ui, LookupOutcome& outcome,
                     const QueryOptions& options)
{
    outcome.pagePath = resultPagePath();

    ui.showLoading();
    struct LoadingCloser {
        LookupUi& ui;
        ~LoadingCloser() { ui.closeLoading(); }
    } closer{ui};

    const QString schemaText = GetEngineSchema();
    const QString results = QueryEngines(schemaText, site, props, ui, outcome.query, options);
    if (results.isEmpty()) {
        outcome.kind = LookupOutcome::Kind::DownloadFailure;
        return;
    }

    QString merged = schemaText;
    merged.replace(mConstants::ResultsPlaceholder, results);
    const XmlDocument mergedDocument = XmlDocument::parse(merged);
    const QString html = TransformResults(mergedDocument);
    writePage(outcome.pagePath, html);
    props.setXMLSchema(merged);
    try {
        outcome.window = WindowParams::read(mergedDocument);
    } catch (const BrandleError&) {
        // Written, but the message window cannot be sized: the page is not shown.
    }
    outcome.kind = LookupOutcome::Kind::PageWritten;
}

LookupOutcome RunLookup(const QString& site, clsProps& props, LookupUi& ui,
                        const QueryOptions& options)
{
    LookupOutcome outcome;
    switch (CheckServiceStatus(ui)) {
    case ServiceVerdict::Go:
        break;
    case ServiceVerdict::Stop:
        outcome.kind = LookupOutcome::Kind::ServiceRefused;
        return outcome;
    case ServiceVerdict::Unreachable:
        outcome.kind = LookupOutcome::Kind::ServiceUnreachable;
        return outcome;
    }
    try {
        BuildResultPage(site, props, ui, outcome, options);
    } catch (const BrandleError& e) {
        outcome.kind = LookupOutcome::Kind::Error;
        outcome.error = e;
    } catch (const std::exception& e) {
        outcome.kind = LookupOutcome::Kind::Error;
        outcome.error = BrandleError(ErrorCode::RequestFailed, QString::fromLocal8Bit(e.what()));
    }
    return outcome;
}
