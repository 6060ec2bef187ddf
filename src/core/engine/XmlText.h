// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

namespace brandle {

// Pieces of XML written as text. Whatever the text holds, the result stays well-formed.
namespace XmlText {

// Characters that XML 1.0 cannot carry (most control characters) are dropped.
QString withoutForbiddenChars(const QString& text);

// The text escaped for an attribute value in double quotes.
QString attribute(const QString& text);

// "<![CDATA[" + text + "]]>"; a "]]>" inside the text is split across two sections.
QString cdata(const QString& text);

} // namespace XmlText

} // namespace brandle
