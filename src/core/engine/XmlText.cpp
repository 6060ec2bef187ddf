// SPDX-License-Identifier: MIT
#include "engine/XmlText.h"

using namespace Qt::StringLiterals;

namespace brandle::XmlText {

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
            out += "&amp;"_L1;
            break;
        case u'<':
            out += "&lt;"_L1;
            break;
        case u'>':
            out += "&gt;"_L1;
            break;
        case u'"':
            out += "&quot;"_L1;
            break;
        case u'\t':
            out += "&#9;"_L1;
            break;
        case u'\n':
            out += "&#10;"_L1;
            break;
        case u'\r':
            out += "&#13;"_L1;
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
    body.replace("]]>"_L1, "]]]]><![CDATA[>"_L1);
    return "<![CDATA["_L1 + body + "]]>"_L1;
}

} // namespace brandle::XmlText
