// SPDX-License-Identifier: MIT
#include "engine/XmlText.h"

namespace XmlText {

QString withoutForbiddenChars(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        const char16_t u = c.unicode();
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            out += c;
            out += text.at(++i);
        } else if ((u >= 0x20 && u <= 0xD7FF && u != 0) || u == 0x9 || u == 0xA || u == 0xD ||
                   (u >= 0xE000 && u <= 0xFFFD)) {
            out += c;
        }
    }
    return out;
}

QString attribute(const QString& text)
{
    QString out;
    const QString clean = withoutForbiddenChars(text);
    out.reserve(clean.size());
    for (const QChar c : clean) {
        switch (c.unicode()) {
        case u'&':
            out += QLatin1String("&amp;");
            break;
        case u'<':
            out += QLatin1String("&lt;");
            break;
        case u'>':
            out += QLatin1String("&gt;");
            break;
        case u'"':
            out += QLatin1String("&quot;");
            break;
        case u'\t':
            out += QLatin1String("&#9;");
            break;
        case u'\n':
            out += QLatin1String("&#10;");
            break;
        case u'\r':
            out += QLatin1String("&#13;");
            break;
        default:
            out += c;
        }
    }
    return out;
}

QString cdata(const QString& text)
{
    QString body = withoutForbiddenChars(text);
    body.replace(QLatin1String("]]>"), QLatin1String("]]]]><![CDATA[>"));
    return QLatin1String("<![CDATA[") + body + QLatin1String("]]>");
}

} // namespace XmlText
