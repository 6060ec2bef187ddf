// SPDX-License-Identifier: MIT
#include "engine/WindowParams.h"

#include "platform/Errors.h"
#include "platform/LocaleText.h"
#include "platform/Xml.h"

using namespace Qt::StringLiterals;

namespace brandle {

namespace {

QString elementText(const XmlDocument& document, const QString& name)
{
    const XmlNode node = document.firstElement(name);
    if (node.isNull())
        throw BrandleError(ErrorCode::ElementMissing, name);
    return node.text();
}

} // namespace

WindowParams WindowParams::read(const XmlDocument& document)
{
    const auto number = [&document](const QString& name) {
        return LocaleText::toInt32(elementText(document, name));
    };
    WindowParams p;
    p.WinWidth = number(u"WinWidth"_s);
    p.WinHeight = number(u"WinHeight"_s);
    p.WinDuration = number(u"WinDuration"_s);
    p.WinSpeed = number(u"WinSpeed"_s);
    p.WinSlide = number(u"WinSlide"_s);
    p.WebWidth = number(u"WebWidth"_s);
    p.WebHeight = number(u"WebHeight"_s);
    p.PicHeight = number(u"PicHeight"_s);
    p.WinSleep = elementText(document, u"WinSleep"_s);
    return p;
}

} // namespace brandle
